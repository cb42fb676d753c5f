// snmpcore against a real snmpd that answers the device OIDs.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "snmpcore/cco_snmp.h"
#include "snmpcore/snmp.h"
#include "testing/snmpd_process.h"

namespace snmpcore {
namespace {

using testing::SnmpdConfig;
using testing::SnmpdProcess;

constexpr const char* kWebPort = "1.3.6.1.4.1.58231.2.3.50.1.6.1.4.11.1.1.6.1.1";
constexpr const char* kDeviceName = "1.3.6.1.4.1.58231.2.3.50.1.2.3.1.2.1.1";
constexpr const char* kPhys2 = "1.3.6.1.2.1.2.2.1.6.2";
constexpr const char* kMissing = "1.3.6.1.4.1.58231.2.3.50.9.9.9";
constexpr const char* kAuth = "authpass123";
constexpr const char* kPriv = "privpass456";

class SnmpdTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!testing::SnmpdAvailable()) return;
    SnmpdConfig config;
    config.communities = {"tarnread"};
    config.sys_name = "MFP-Model-77";
    config.sys_location = "Floor 3";
    config.ipv6 = true;
    config.users = {{"md5user", "MD5", kAuth, "", ""},
                    {"shauser", "SHA", kAuth, "", ""},
                    {"desuser", "MD5", kAuth, "DES", kPriv},
                    {"aesuser", "SHA", kAuth, "AES", kPriv}};
    config.values = {{kWebPort, "integer", "8443"},
                     {kDeviceName, "octet_str", "Tarn Office"},
                     {kPhys2, "octet_str", "0x001A2B3C4DEF"}};
    snmpd_ = new SnmpdProcess(config);
  }
  static void TearDownTestSuite() {
    delete snmpd_;  // null when snmpd is not installed
    snmpd_ = nullptr;
  }
  void SetUp() override {
    if (!testing::SnmpdAvailable()) GTEST_SKIP() << "snmpd is not installed";
    ASSERT_TRUE(snmpd_->started()) << snmpd_->error();
    SetTimeoutDivisor(10);
  }
  void TearDown() override { SetTimeoutDivisor(1); }

  static std::string Endpoint() { return snmpd_->endpoint(); }
  static SnmpdProcess* snmpd_;
};

SnmpdProcess* SnmpdTest::snmpd_ = nullptr;

TEST_F(SnmpdTest, CommunityReadsNumbersAndTexts) {
  const struct {
    const char* oid;
    const char* expected;
  } cases[] = {{kWebPort, "8443"},
               {kDeviceName, "Tarn Office"},
               {"1.3.6.1.2.1.1.5.0", "MFP-Model-77"},
               {"1.3.6.1.2.1.1.6.0", "Floor 3"},
               {kPhys2, "0x00 1A 2B 3C 4D EF"}};
  for (const auto& c : cases) {
    CCoSnmp snmp(c.oid, 3, Endpoint().c_str(), 1);
    snmp.SetCommunityName("tarnread");
    const char* value = snmp.SnmpGetPtrToStringValue();
    ASSERT_NE(value, nullptr) << c.oid << " error " << snmp.SnmpGetErrorCode();
    EXPECT_STREQ(value, c.expected) << c.oid;
  }
}

TEST_F(SnmpdTest, MissingObjectsAndWrongCommunity) {
  CCoSnmp v1(kMissing, 3, Endpoint().c_str(), 1);
  v1.SetReadCommunity("tarnread");
  EXPECT_EQ(v1.SnmpGetPtrToStringValue(), nullptr);
  EXPECT_EQ(v1.SnmpGetErrorCode(), 2);  // noSuchName

  CCoSnmp v2(kMissing, 3, Endpoint().c_str(), 2);
  v2.SetReadCommunity("tarnread");
  EXPECT_EQ(v2.SnmpGetPtrToStringValue(), nullptr);
  EXPECT_EQ(v2.SnmpGetErrorCode(), SNMP_CLASS_NO_SUCH_OBJECT);

  // An agent ignores a wrong community: the request times out.
  CCoSnmp wrong(kWebPort, 3, Endpoint().c_str(), 1);
  wrong.SetCommunityName("public");
  EXPECT_EQ(wrong.SnmpGetPtrToStringValue(), nullptr);
  EXPECT_EQ(wrong.SnmpGetErrorCode(), SNMP_CLASS_TIMEOUT);
}

TEST_F(SnmpdTest, UserBasedSecurity) {
  const struct {
    const char* user;
    long auth;
    long priv;
    const char* auth_password;
    const char* priv_password;
    bool ok;
  } cases[] = {
      {"md5user", 1, 1, kAuth, "", true},
      {"shauser", 2, 1, kAuth, "", true},
      {"desuser", 1, 2, kAuth, kPriv, true},
      {"aesuser", 2, 4, kAuth, kPriv, true},
      {"md5user", 1, 1, "wrongpass99", "", false},
      {"md5user", 2, 1, kAuth, "", false},         // wrong digest
      {"aesuser", 2, 4, kAuth, "wrongpriv99", false},
      {"aesuser", 2, 2, kAuth, kPriv, false},      // wrong cipher
      {"nosuchuser", 1, 1, kAuth, "", false},
      {"aesuser", 2, 1, kAuth, "", false},         // privacy required
      {"md5user", 1, 1, kAuth, "", true},          // stale keys forgotten
  };
  for (const auto& c : cases) {
    CCoSnmp snmp;
    snmp.FormPduWithOid(kDeviceName);
    snmp.SetTimeOut(3);
    snmp.SetIPOrIPXAddress(Endpoint().c_str());
    snmp.SetSnmpVersion(3);
    snmp.PopulateV3Parameters("", c.priv_password, c.user, c.auth_password,
                              "", "", 3, c.priv == 1 ? 2 : 3, 1, c.auth,
                              c.priv);
    const char* value = snmp.SnmpGetPtrToStringValue();
    if (c.ok) {
      ASSERT_NE(value, nullptr) << c.user << " error " << snmp.SnmpGetErrorCode();
      EXPECT_STREQ(value, "Tarn Office");
    } else {
      EXPECT_EQ(value, nullptr) << c.user << "/" << c.auth << "/" << c.priv;
      EXPECT_NE(snmp.SnmpGetErrorCode(), 0);
    }
  }
}

TEST_F(SnmpdTest, SnmpClassGetWithTargetDefaults) {
  int status = -1;
  Snmp snmp(status, 0, false);
  ASSERT_EQ(status, 0);
  Pdu pdu;
  Vb vb{Oid(kWebPort)};
  pdu.trim(1);
  pdu += vb;
  CTarget target{IpAddress(snmpd_->address().c_str())};
  // Defaults: port 161 and community "public", which this agent ignores.
  EXPECT_EQ(snmp.get(pdu, target), SNMP_CLASS_TIMEOUT);

  CTarget here{UdpAddress(Endpoint().c_str())};
  here.set_readcommunity("tarnread");
  ASSERT_EQ(snmp.get(pdu, here), 0);
  Vb out;
  ASSERT_TRUE(pdu.get_vb(out, 0));
  EXPECT_STREQ(out.get_printable_value(), "8443");
}

TEST_F(SnmpdTest, BroadcastDiscoveryCollectsTheAnsweringAgent) {
  int status = -1;
  Snmp snmp(status, 0, false);
  ASSERT_EQ(status, 0);
  UdpAddress agent(Endpoint().c_str());
  for (snmp_version version : {version1, version3}) {
    SnmpCollection<GenAddress> found;
    OctetStr community("tarnread");
    ASSERT_EQ(snmp.broadcast_discovery(found, 3, agent, version,
                                       version == version1 ? &community : nullptr),
              0);
    ASSERT_EQ(found.size(), 1) << version;
    EXPECT_TRUE(found[0] == agent) << found[0].get_printable();
  }
  // Nobody answers a wrong community, nor on an empty address.
  SnmpCollection<GenAddress> none;
  OctetStr wrong("nope");
  EXPECT_EQ(snmp.broadcast_discovery(none, 1, agent, version1, &wrong), 0);
  EXPECT_EQ(snmp.broadcast_discovery(
                none, 1, UdpAddress(testing::FreshLoopbackAddress().c_str()),
                version3),
            0);
  EXPECT_EQ(none.size(), 0);
}

TEST_F(SnmpdTest, Ipv6) {
  ASSERT_FALSE(snmpd_->endpoint6().empty());
  CCoSnmp v1(kDeviceName, 3, snmpd_->endpoint6().c_str(), 1);
  v1.SetCommunityName("tarnread");
  const char* value = v1.SnmpGetPtrToStringValue();
  ASSERT_NE(value, nullptr) << v1.SnmpGetErrorCode();
  EXPECT_STREQ(value, "Tarn Office");

  CCoSnmp v3(kDeviceName, 3, snmpd_->endpoint6().c_str(), 3);
  v3.PopulateV3Parameters("", kPriv, "aesuser", kAuth, "", "", 3, 3, 1, 2, 4);
  value = v3.SnmpGetPtrToStringValue();
  ASSERT_NE(value, nullptr) << v3.SnmpGetErrorCode();
  EXPECT_STREQ(value, "Tarn Office");

  int status = -1;
  Snmp snmp(status, 0, true);
  ASSERT_EQ(status, 0);
  UdpAddress agent(snmpd_->endpoint6().c_str());
  ASSERT_EQ(agent.kind(), Address::kIpv6);
  SnmpCollection<GenAddress> found;
  OctetStr community("tarnread");
  ASSERT_EQ(snmp.broadcast_discovery(found, 2, agent, version1, &community), 0);
  ASSERT_EQ(found.size(), 1);
  EXPECT_TRUE(found[0] == agent) << found[0].get_printable();
}

TEST_F(SnmpdTest, SilentAgentTimesOutWithinTheTimeOut) {
  std::string silent = testing::FreshLoopbackAddress();
  for (int version : {1, 3}) {
    auto start = std::chrono::steady_clock::now();
    CCoSnmp snmp(kWebPort, 3, silent.c_str(), version);
    if (version == 3)
      snmp.PopulateV3Parameters("", "", "md5user", kAuth, "", "", 3, 2, 1, 1, 1);
    EXPECT_EQ(snmp.SnmpGetPtrToStringValue(), nullptr);
    EXPECT_EQ(snmp.SnmpGetErrorCode(), SNMP_CLASS_TIMEOUT) << version;
    // Three tries of a second, divided by ten, with room for a slow host.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  }
}

}  // namespace
}  // namespace snmpcore
