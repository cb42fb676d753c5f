// Security settings, authentication and service status against the
// simulated device.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <filesystem>
#include <string>

#include "boxlink.h"
#include "boxlink/testing/device_session_fixture.h"
#include "boxlink/client/query_texts.h"
#include "boxlink/base/model_file.h"
#include "standins/cryptocore/crypto_core.h"
#include "standins/inet/net_state.h"

namespace {

using boxlink::testing::DeviceSession;
using boxlink::testing::kAdmin;
using devsim::Fault;
using boxlink::testing::BodyFault;

std::string SettingsReply(std::string_view version, std::string_view settings) {
  return "<BoxNwLib><Header><Version>" + std::string(version) +
         "</Version></Header><Message><Result>0</Result><SecuritySetting>" +
         std::string(settings) + "</SecuritySetting></Message></BoxNwLib>";
}

constexpr char kFullSettings[] =
    "<SecurityMode>2</SecurityMode><AuthenticationEnable>1</AuthenticationEnable>"
    "<AuthenticationMethod>1</AuthenticationMethod><HashAlgorithm>3</HashAlgorithm>"
    "<AuthenticationDomainName>corp</AuthenticationDomainName>";

class SecurityOpsTest : public ::testing::TestWithParam<bool> {};

TEST_P(SecurityOpsTest, SettingsAreMappedOrRefused) {
  DeviceSession d(GetParam());
  struct Case {
    const char *mode, *enable, *method, *hash;
    uint32_t code, want_method;
  } cases[] = {
      {"1", "1", "0", "1", 0, 2}, {"2", "1", "1", "2", 0, 4},
      {"1", "1", "2", "3", 0, 3}, {"1", "1", "3", "1", 0, 0},
      {"1", "0", "1", "1", 0, 0},  {"1", "1", "4", "1", 13, 0},
      {"3", "1", "0", "1", 13, 0}, {"1", "2", "0", "1", 13, 0},
      {"1", "1", "0", "0", 13, 0},
  };
  auto& extra = d.dev().mutable_profile().extra;
  extra["security.domain_name"] = "corp.example";
  for (const Case& c : cases) {
    extra["security.mode"] = c.mode;
    extra["security.auth_enable"] = c.enable;
    extra["security.auth_method"] = c.method;
    extra["security.hash_algorithm"] = c.hash;
    ZBSECURITY sec{};
    std::strcpy(sec.Password, "kept");
    SCOPED_TRACE(std::string(c.mode) + c.enable + c.method + c.hash);
    ASSERT_EQ(zbBoxGetSecuritySettings(d.s(), &sec), c.code);
    if (c.code != 0) continue;
    EXPECT_EQ(sec.SecurityMode, static_cast<uint32_t>(std::atoi(c.mode)));
    EXPECT_EQ(sec.AuthenticationMethod, c.want_method);
    EXPECT_EQ(sec.HashAlgorithm, static_cast<uint32_t>(std::atoi(c.hash)));
    EXPECT_STREQ(sec.AuthenticationDomainName, "corp.example");
    EXPECT_STREQ(sec.Password, "kept");
  }
  // Refusals leave the session usable.
  EXPECT_NE(d.s()->ConnectHandle, nullptr);
}

TEST_P(SecurityOpsTest, AuthenticationGivesANewWebSession) {
  DeviceSession d(GetParam());
  ZBSECURITY sec{};
  sec.AuthenticationMethod = 2;
  std::strcpy(sec.Password, kAdmin);
  ASSERT_EQ(zbBoxAuthenticate(d.s(), &sec), 0u);
  EXPECT_EQ(zbBoxGetLastError(), 0u);
  EXPECT_TRUE(d.web()->SessionOpen(d.s()->SessionId));
  EXPECT_NE(d.s()->SessionId, 1u);
  // The encoded form, with ENC=1.
  std::string encoded = zelt::crypto::EncodeCredentialMode1(kAdmin);
  std::strcpy(sec.Password, encoded.c_str());
  sec.PasswordEncoded = 1;
  ASSERT_EQ(zbBoxAuthenticate(d.s(), &sec), 0u);
  // The encoded form's "+", "/" and "=" travel escaped, as in any value.
  EXPECT_EQ(d.LastQuery("boxnwAuthenticate"),
            "UID=Admin&PWD=" + boxlink::QueryValue(encoded) + "&APL=ZELT&ENC=1");
  // Refused: 1244 and no session any more.
  sec.PasswordEncoded = 0;
  std::strcpy(sec.Password, "wrong");
  EXPECT_EQ(zbBoxAuthenticate(d.s(), &sec), 1244u);
  EXPECT_EQ(d.s()->SessionId, 0u);
  uint32_t count;
  ZBBOX* boxes;
  EXPECT_EQ(zbBoxGetBoxList(d.s(), &count, &boxes), nullptr);
  EXPECT_EQ(zbBoxGetLastError(), 87u);
}

TEST_P(SecurityOpsTest, ServiceStatus) {
  DeviceSession d(GetParam());
  auto& extra = d.dev().mutable_profile().extra;
  for (auto [status, code] : {std::pair<const char*, uint32_t>{"1", 0}, {"0", 1260},
                              {"7", 0}}) {
    extra["service.status"] = status;
    EXPECT_EQ(zbBoxGetServiceStatus(d.s()), code) << status;
    EXPECT_EQ(zbBoxGetLastError(), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Sessions, SecurityOpsTest, ::testing::Bool(),
                         [](const auto& info) {
                           return info.param ? "Restricted" : "Normal";
                         });

TEST(SecurityOpsEngineTest, EngineVersionOfTheSettingsReply) {
  DeviceSession d(false);
  struct Case {
    const char* version;
    bool ship_model_file;
    uint32_t code;
    bool closed;
  } cases[] = {
      {"Varda 910 Series V1.0", false, 0, false},
      {"Varda7120/7140 V1.1", false, 50, false},
      {"Varda 8000 Series V1.0 build 12", true, 0, false},
      {"Varda 8000 Series V1.0 build 12", false, 1605, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    boxlink::ModelAdditionCheck::ResetForTesting();
    std::string dir = d.env().root() + "/program";
    std::filesystem::create_directories(dir);
    d.env().SetProgramDir(dir);
    std::filesystem::remove(dir + "/ZELT_ModelInfo.bin");
    std::filesystem::remove(d.env().ProgramDataDir() + "/ZELT_ModelInfo.bin");
    if (c.ship_model_file) {
      ASSERT_TRUE(boxlink::WriteModelFile(dir + "/ZELT_ModelInfo.bin",
                                          {{"KVX_Supported_Models", {"Varda 8000"}}}));
    }
    d.dev().faults().Arm("web.boxnwGetSecuritySetting",
                         BodyFault(SettingsReply(c.version, kFullSettings)));
    ZBSECURITY sec{};
    EXPECT_EQ(zbBoxGetSecuritySettings(d.s(), &sec), c.code);
    EXPECT_EQ(d.s()->ConnectHandle == nullptr, c.closed);
  }
}

TEST(SecurityOpsFailureTest, BadRepliesAndMissingElements) {
  DeviceSession d(false);
  const std::string v = "Varda 910 Series V1.0";
  struct Case {
    const char* cgi;
    std::string body;
    uint32_t code;
  } cases[] = {
      {"boxnwGetSecuritySetting", "not xml at all <", 13},
      {"boxnwGetSecuritySetting",
       SettingsReply(v, "<SecurityMode>1</SecurityMode><AuthenticationEnable>1"
                        "</AuthenticationEnable><AuthenticationMethod>0"
                        "</AuthenticationMethod><HashAlgorithm>1</HashAlgorithm>"),
       11},
      {"boxnwGetSecuritySetting",
       "<BoxNwLib><Message><Result>0</Result></Message></BoxNwLib>", 11},
      {"boxnwGetServiceStatus",
       "<BoxNwLib><Message><Result>0</Result><AccessMode/></Message></BoxNwLib>", 11},
      {"boxnwGetServiceStatus", "<html>", 13},
      {"boxnwAuthenticate",
       "<BoxNwLib><Message><Result>0</Result><AuthenticateResult><Authorize>1"
       "</Authorize></AuthenticateResult></Message></BoxNwLib>",
       11},
      {"boxnwAuthenticate",
       "<BoxNwLib><Message><Result>605</Result></Message></BoxNwLib>", 1909},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    d.dev().faults().Arm(std::string("web.") + c.cgi, BodyFault(c.body));
    ZBSECURITY sec{};
    std::strcpy(sec.Password, kAdmin);
    uint32_t got = std::string(c.cgi) == "boxnwGetSecuritySetting"
                       ? zbBoxGetSecuritySettings(d.s(), &sec)
                   : std::string(c.cgi) == "boxnwGetServiceStatus"
                       ? zbBoxGetServiceStatus(d.s())
                       : zbBoxAuthenticate(d.s(), &sec);
    EXPECT_EQ(got, c.code);
    if (std::string(c.cgi) != "boxnwGetSecuritySetting") {
      EXPECT_EQ(zbBoxGetLastError(), c.code);
    }
  }
  EXPECT_EQ(d.s()->SessionId, 0u) << "a failed authentication drops the session";
}

// Whatever goes wrong under the settings request (here the question
// whether the machine is online throws), the export reports it as a code
// and never lets it reach the caller.
TEST(SecurityOpsFailureTest, AnExceptionUnderTheRequestBecomesACode) {
  DeviceSession d(false);
  struct Throwing : inet::NetworkState {
    bool ConnectedState(bool*) override { throw std::runtime_error("interfaces"); }
    bool CheckConnection(std::string_view, bool) override { return true; }
  } throwing;
  inet::ScopedNetworkState use(&throwing);
  ZBSECURITY sec{};
  uint32_t code = 0;
  EXPECT_NO_THROW(code = zbBoxGetSecuritySettings(d.s(), &sec));
  EXPECT_EQ(code, 1359u);
}

}  // namespace
