// The SNMP queries and exports against real snmpd agents.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

#include "boxlink.h"
#include "boxlink/base/logger.h"
#include "boxlink/client/snmp_query.h"
#include "platform/last_error.h"
#include "snmpcore/snmp.h"
#include "testing/snmpd_process.h"

namespace boxlink {
namespace {

using snmpcore::testing::SnmpdConfig;
using snmpcore::testing::SnmpdProcess;

ZBSNMPSETTINGS Settings(const char* community = "", const char* user = "",
                        const char* context = "", const char* auth = "") {
  ZBSNMPSETTINGS s;
  std::memset(&s, 0, sizeof s);
  std::strcpy(s.Community, community);
  std::strcpy(s.UserName, user);
  std::strcpy(s.Context, context);
  std::strcpy(s.AuthPassword, auth);
  s.AuthProtocol = 1;
  s.PrivProtocol = 1;
  return s;
}

TEST(SnmpAccessTest, ChosenFromTheSettingsInOrder) {
  const struct {
    ZBSNMPSETTINGS settings;
    SnmpAccess access;
  } cases[] = {
      {Settings(), SnmpAccess::kDefaults},
      {Settings("public", "user", "MFP", "authpass1"), SnmpAccess::kCommunity},
      {Settings("", "user", "MFP", "authpass1"), SnmpAccess::kUserBased},
      {Settings("", "user", "", "authpass1"), SnmpAccess::kDefaults},
      {Settings("", "user", "MFP", ""), SnmpAccess::kDefaults},
      {Settings("", "", "MFP", "authpass1"), SnmpAccess::kDefaults},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ChooseAccess(CredentialsFrom(&c.settings)), c.access)
        << c.settings.Community << "/" << c.settings.UserName;
  EXPECT_EQ(ChooseAccess(CredentialsFrom(nullptr)), SnmpAccess::kDefaults);

  // Texts are used up to 255 characters and never read past the field.
  ZBSNMPSETTINGS full;
  std::memset(&full, 'x', sizeof full);
  EXPECT_EQ(CredentialsFrom(&full).community.size(), 255u);
}

TEST(SnmpAccessTest, NumbersFromText) {
  const struct {
    const char* text;
    long value;
  } cases[] = {{"8080", 8080}, {" 21", 21}, {"-1", -1}, {"+7", 7},
               {"990abc", 990}, {"abc", 0}, {"", 0}, {"99999999999", 0}};
  for (const auto& c : cases) EXPECT_EQ(TextToNumber(c.text), c.value) << c.text;
}

constexpr const char* kHttpsPort = "1.3.6.1.4.1.58231.2.3.50.1.6.1.23.1.1.3.1.1";

// Two devices: a complete one, and one with gaps and odd values.
class SnmpDeviceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!snmpcore::testing::SnmpdAvailable()) return;
    SnmpdConfig full;
    full.communities = {"public", "tarnread"};
    full.values = {
        {snmp_oid::kWebPort, "integer", "80"},
        {snmp_oid::kWebTls, "integer", "1"},
        {kHttpsPort, "integer", "8443"},
        {snmp_oid::kFtpPort, "integer", "2121"},
        {snmp_oid::kFtpTls, "integer", "0"},
        {snmp_oid::kFtpTlsPort, "integer", "990"},
        {snmp_oid::kDeviceName, "octet_str", "Tarn Office"},
        {snmp_oid::kAutoAuthMode, "integer", "1"},
        {"1.3.6.1.2.1.2.2.1.3.1", "integer", "24"},
        {"1.3.6.1.2.1.2.2.1.3.2", "integer", "6"},
        {"1.3.6.1.2.1.2.2.1.6.1", "octet_str", "0x000000000000"},
        {"1.3.6.1.2.1.2.2.1.6.2", "octet_str", "0x001A2B3C4DEF"},
        {snmp_oid::kStorageDescr2, "octet_str", "Device Memory"},
    };
    full_ = new SnmpdProcess(full);
    SnmpdConfig odd;
    odd.communities = {"public"};
    odd.values = {
        {snmp_oid::kWebPort, "integer", "80"},
        {snmp_oid::kWebTls, "integer", "1"},
        {kHttpsPort, "null", ""},
        {snmp_oid::kFtpPort, "integer", "21"},
        {snmp_oid::kFtpTls, "integer", "1"},
        {snmp_oid::kFtpTlsPort, "integer", "990"},
        {snmp_oid::kAutoAuthMode, "integer", "5"},
        {"1.3.6.1.2.1.2.2.1.3.1", "integer", "24"},
        {"1.3.6.1.2.1.2.2.1.3.2", "integer", "24"},
        {"1.3.6.1.2.1.2.2.1.3.3", "integer", "24"},
        {snmp_oid::kStorageDescr2, "octet_str", "Solid State Drive "},
    };
    odd_ = new SnmpdProcess(odd);
    SnmpdConfig bare;
    bare.values = {{snmp_oid::kStorageDescr2, "null", ""},
                   {"1.3.6.1.2.1.2.2.1.3.1", "integer", "6"},
                   {"1.3.6.1.2.1.2.2.1.6.1", "octet_str", "0x0102"}};
    bare_ = new SnmpdProcess(bare);
  }
  static void TearDownTestSuite() {
    delete full_;
    delete odd_;
    delete bare_;
  }
  void SetUp() override {
    if (!snmpcore::testing::SnmpdAvailable()) GTEST_SKIP() << "no snmpd";
    ASSERT_TRUE(full_->started()) << full_->error();
    ASSERT_TRUE(odd_->started()) << odd_->error();
    ASSERT_TRUE(bare_->started()) << bare_->error();
    // The library's defaults send to port 161.
    if (full_->port() != 161) GTEST_SKIP() << "needs agents on port 161";
    snmpcore::SetTimeoutDivisor(10);
  }
  void TearDown() override { snmpcore::SetTimeoutDivisor(1); }

  static ZBSESSION Session(const SnmpdProcess& agent) {
    ZBSESSION s;
    std::memset(&s, 0, sizeof s);
    std::strcpy(s.Host, agent.address().c_str());
    return s;
  }

  static SnmpdProcess* full_;
  static SnmpdProcess* odd_;
  static SnmpdProcess* bare_;
};

SnmpdProcess* SnmpDeviceTest::full_ = nullptr;
SnmpdProcess* SnmpDeviceTest::odd_ = nullptr;
SnmpdProcess* SnmpDeviceTest::bare_ = nullptr;

TEST_F(SnmpDeviceTest, PortsOfACompleteDevice) {
  for (const ZBSNMPSETTINGS& settings :
       {Settings(), Settings("tarnread"), Settings("tarnread", "u", "MFP", "pw")}) {
    ZBSESSION s = Session(*full_);
    EXPECT_EQ(QueryWebPort(&s, &settings), 0u);
    EXPECT_EQ(QueryFtpPort(&s, &settings), 0u);
    EXPECT_EQ(s.WebPort, 8443u);
    EXPECT_EQ(s.WebSecure, 1u);
    EXPECT_EQ(s.Port, 8443u);
    EXPECT_EQ(s.FtpPort, 2121u);
    EXPECT_EQ(s.FtpSecure, 0u);
  }
}

TEST_F(SnmpDeviceTest, PortsWithGaps) {
  ZBSESSION s = Session(*odd_);
  QueryWebPort(&s, nullptr);
  QueryFtpPort(&s, nullptr);
  // TLS flag 1 but no HTTPS port: plain HTTP on the port given.
  EXPECT_EQ(s.WebPort, 80u);
  EXPECT_EQ(s.WebSecure, 0u);
  EXPECT_EQ(s.Port, 80u);
  EXPECT_EQ(s.FtpPort, 990u);
  EXPECT_EQ(s.FtpSecure, 1u);
}

TEST_F(SnmpDeviceTest, SilentDeviceGetsDefaultsWithinTheTimeOuts) {
  std::string silent = snmpcore::testing::FreshLoopbackAddress();
  for (const ZBSNMPSETTINGS& settings : {Settings(), Settings("tarnread")}) {
    ZBSESSION s;
    std::memset(&s, 0, sizeof s);
    std::strcpy(s.Host, silent.c_str());
    s.WebSecure = s.FtpSecure = 7;
    auto start = std::chrono::steady_clock::now();
    QueryWebPort(&s, &settings);
    QueryFtpPort(&s, &settings);
    // Two requests of at most 3 s each, divided by ten.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(s.WebPort, 8080u);
    EXPECT_EQ(s.Port, 8080u);
    EXPECT_EQ(s.WebSecure, 0u);
    EXPECT_EQ(s.FtpPort, 21u);
    EXPECT_EQ(s.FtpSecure, 0u);
  }
  // A wrong community is a silent device, too.
  ZBSESSION s = Session(*full_);
  ZBSNMPSETTINGS wrong = Settings("wrong");
  QueryWebPort(&s, &wrong);
  EXPECT_EQ(s.WebPort, 8080u);
}

TEST_F(SnmpDeviceTest, DeviceName) {
  std::string name;
  QueryDeviceName(&name, full_->address().c_str(), nullptr);
  EXPECT_EQ(name, "Tarn Office");
  std::string silent = snmpcore::testing::FreshLoopbackAddress();
  platform::SetLastError(1460);
  QueryDeviceName(&name, silent.c_str(), nullptr);
  EXPECT_EQ(name, silent);
  CLogger::StopLog();
  std::ifstream log(CLogger::LogFilePath());
  std::stringstream text;
  text << log.rdbuf();
  EXPECT_NE(text.str().find("zbBoxBackup Failed With ERROR - 1460"),
            std::string::npos)
      << text.str();
}

TEST_F(SnmpDeviceTest, MacAddress) {
  ZBSNMPSETTINGS settings = Settings();
  char mac[18] = {};
  // Interface 1 is not Ethernet, interface 2 is.
  EXPECT_EQ(GetMacAddress(full_->address().c_str(), &settings, mac), 0u);
  EXPECT_STREQ(mac, "00:1A:2B:3C:4D:EF");

  // No Ethernet interface among the first three, a short address, a
  // silent device: mac stays as it was, the result is 0.
  for (const std::string& host :
       {odd_->address(), bare_->address(),
        snmpcore::testing::FreshLoopbackAddress()}) {
    char keep[18] = "untouched";
    EXPECT_EQ(GetMacAddress(host.c_str(), &settings, keep), 0u) << host;
    EXPECT_STREQ(keep, "untouched") << host;
  }
  EXPECT_EQ(GetMacAddress(nullptr, &settings, mac), 1359u);
  EXPECT_EQ(zbBoxGetLastError(), 1359u);
  EXPECT_EQ(GetMacAddress(full_->address().c_str(), nullptr, mac), 1359u);
}

TEST_F(SnmpDeviceTest, AutoAuthMode) {
  ZBSNMPSETTINGS settings = Settings();
  uint32_t status = 9;
  EXPECT_EQ(GetAutoAuthModeStatus(full_->address().c_str(), &settings, &status), 0u);
  EXPECT_EQ(status, 1u);
  status = 9;  // the device says 5: left as the caller set it
  EXPECT_EQ(GetAutoAuthModeStatus(odd_->address().c_str(), &settings, &status), 0u);
  EXPECT_EQ(status, 9u);
  status = 9;
  EXPECT_EQ(GetAutoAuthModeStatus(bare_->address().c_str(), &settings, &status),
            1359u);
  EXPECT_EQ(status, 2u);
  status = 9;
  EXPECT_EQ(GetAutoAuthModeStatus(nullptr, &settings, &status), 1359u);
  EXPECT_EQ(status, 2u);
}

TEST_F(SnmpDeviceTest, StorageType) {
  const struct {
    std::string host;
    uint32_t result;
    uint32_t type;
  } cases[] = {
      {full_->address(), 0, ZB_STORAGE_DEVICE_MEMORY},
      {odd_->address(), 0, ZB_STORAGE_UNKNOWN},   // trailing space
      {bare_->address(), 0, ZB_STORAGE_UNKNOWN},  // no such entry
      {snmpcore::testing::FreshLoopbackAddress(), 1359, 77},
  };
  for (const auto& c : cases) {
    uint32_t type = 77;
    EXPECT_EQ(zbBoxGetStorageType(c.host.c_str(), nullptr, &type), c.result)
        << c.host;
    EXPECT_EQ(type, c.type) << c.host;
  }
  uint32_t type = 0;
  EXPECT_EQ(zbBoxGetStorageType(nullptr, nullptr, &type), 1359u);
}

TEST_F(SnmpDeviceTest, GetTextReportsTheLibraryCode) {
  int error = 0;
  ZBSNMPSETTINGS v1 = Settings("public");
  EXPECT_FALSE(SnmpGetTextEx(bare_->address().c_str(), snmp_oid::kStorageDescr2,
                             &v1, &error));
  EXPECT_EQ(error, 2);  // noSuchName
  auto text = SnmpGetText(full_->address().c_str(), snmp_oid::kDeviceName,
                          nullptr, 0, nullptr, 0, nullptr, nullptr, "tarnread");
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, "Tarn Office");
  EXPECT_FALSE(SnmpGetText(nullptr, snmp_oid::kDeviceName, nullptr, 0, nullptr,
                           0, nullptr, nullptr, nullptr, &error));
  EXPECT_NE(error, 0);
}

}  // namespace
}  // namespace boxlink
