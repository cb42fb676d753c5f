// The SNMP exports and probes against the simulated device.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "boxlink.h"
#include "boxlink/client/snmp_query.h"
#include "devsim/testing/device_fixture.h"
#include "snmpcore/snmp.h"

namespace boxlink {
namespace {

constexpr const char* kAuth = "authpass123";
constexpr const char* kPriv = "privpass456";

devsim::Profile DeviceProfile() {
  devsim::Profile p = devsim::Profile::Defaults(devsim::Layout::kStorage);
  p.network_name = "Tarn Office";
  p.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xEF};
  p.storage_description = "Solid State Drive";
  p.web_port = 8443;
  p.web_tls = true;
  p.ftp_port = 990;
  p.ftp_tls = true;
  p.auto_auth_mode = 1;
  p.community = "public";
  p.v3_users = {{"authuser", 1, kAuth, 1, ""},
                {"desuser", 1, kAuth, 2, kPriv},
                {"aesuser", 2, kAuth, 4, kPriv}};
  return p;
}

struct Access {
  const char* label;
  const char* community;
  const char* user;
  uint32_t auth, priv;
  const char* priv_password;
};

ZBSNMPSETTINGS Settings(const Access& a) {
  ZBSNMPSETTINGS s;
  std::memset(&s, 0, sizeof s);
  std::strcpy(s.Community, a.community);
  std::strcpy(s.UserName, a.user);
  if (*a.user) {
    std::strcpy(s.Context, "MFP");
    std::strcpy(s.AuthPassword, kAuth);
    std::strcpy(s.PrivPassword, a.priv_password);
  }
  s.AuthProtocol = a.auth;
  s.PrivProtocol = a.priv;
  return s;
}

const Access kAccesses[] = {
    {"library defaults", "", "", 0, 0, ""},
    {"v1 community", "public", "", 0, 0, ""},
    {"v3 without privacy", "", "authuser", 1, 1, ""},
    {"v3 with DES", "", "desuser", 1, 2, kPriv},
    {"v3 with AES", "", "aesuser", 2, 4, kPriv},
};

class SnmpDeviceExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The library's defaults and the device agree on port 161.
    if (geteuid() != 0) GTEST_SKIP() << "needs the right to bind port 161";
    snmpcore::SetTimeoutDivisor(10);
  }
  void TearDown() override { snmpcore::SetTimeoutDivisor(1); }

  static ZBSESSION Session(const std::string& host) {
    ZBSESSION s;
    std::memset(&s, 0, sizeof s);
    std::strcpy(s.Host, host.c_str());
    return s;
  }
};

TEST_F(SnmpDeviceExportsTest, EveryAccessMethodReadsTheDevice) {
  devsim::ScopedDevice dev(DeviceProfile(), {"snmp"}, {.boxes = 0});
  ASSERT_TRUE(dev.ok()) << dev.error();
  const char* host = dev->address().c_str();
  for (const Access& a : kAccesses) {
    SCOPED_TRACE(a.label);
    ZBSNMPSETTINGS settings = Settings(a);
    ZBSESSION s = Session(dev->address());
    QueryWebPort(&s, &settings);
    QueryFtpPort(&s, &settings);
    EXPECT_EQ(s.WebPort, 8443u);
    EXPECT_EQ(s.WebSecure, 1u);
    EXPECT_EQ(s.Port, 8443u);
    EXPECT_EQ(s.FtpPort, 990u);
    EXPECT_EQ(s.FtpSecure, 1u);

    std::string name;
    QueryDeviceName(&name, host, &settings);
    EXPECT_EQ(name, "Tarn Office");

    char mac[18] = {};
    EXPECT_EQ(GetMacAddress(host, &settings, mac), 0u);
    EXPECT_STREQ(mac, "00:1A:2B:3C:4D:EF");

    uint32_t status = 9;
    EXPECT_EQ(GetAutoAuthModeStatus(host, &settings, &status), 0u);
    EXPECT_EQ(status, 1u);

    uint32_t type = 9;
    EXPECT_EQ(zbBoxGetStorageType(host, &settings, &type), 0u);
    EXPECT_EQ(type, ZB_STORAGE_SSD);
  }
}

TEST_F(SnmpDeviceExportsTest, PlainServersAndOtherStorage) {
  devsim::Profile p = DeviceProfile();
  p.web_port = 8080;
  p.web_tls = false;
  p.ftp_port = 21;
  p.ftp_tls = false;
  p.auto_auth_mode = 0;
  p.storage_description = "Device Memory";
  devsim::ScopedDevice dev(p, {"snmp"}, {.boxes = 0});
  ASSERT_TRUE(dev.ok()) << dev.error();
  ZBSESSION s = Session(dev->address());
  s.WebSecure = s.FtpSecure = 1;
  QueryWebPort(&s, nullptr);
  QueryFtpPort(&s, nullptr);
  EXPECT_EQ(s.WebPort, 8080u);
  EXPECT_EQ(s.WebSecure, 0u);
  EXPECT_EQ(s.FtpPort, 21u);
  EXPECT_EQ(s.FtpSecure, 0u);
  uint32_t status = 9, type = 9;
  // The settings record must be given.
  EXPECT_EQ(GetAutoAuthModeStatus(dev->address().c_str(), nullptr, &status),
            1359u);
  ZBSNMPSETTINGS empty = Settings(kAccesses[0]);
  EXPECT_EQ(GetAutoAuthModeStatus(dev->address().c_str(), &empty, &status), 0u);
  EXPECT_EQ(status, 0u);
  EXPECT_EQ(zbBoxGetStorageType(dev->address().c_str(), nullptr, &type), 0u);
  EXPECT_EQ(type, ZB_STORAGE_DEVICE_MEMORY);
}

TEST_F(SnmpDeviceExportsTest, SilentDeviceGivesDefaultsWithinTheTimeOuts) {
  devsim::ScopedDevice dev(DeviceProfile(), {"snmp"}, {.boxes = 0});
  ASSERT_TRUE(dev.ok()) << dev.error();
  // Every object the probes and exports read stops answering.
  for (const char* oid :
       {snmp_oid::kWebPort, snmp_oid::kFtpPort, snmp_oid::kDeviceName,
        snmp_oid::kAutoAuthMode, snmp_oid::kStorageDescr2,
        "1.3.6.1.2.1.2.2.1.3.1", "1.3.6.1.2.1.2.2.1.3.2", "1.3.6.1.2.1.2.2.1.3.3"})
    dev->faults().Arm(std::string("snmp.") + oid,
                      devsim::Fault{devsim::Fault::Kind::kHang, 0, {}, {}}, -1);
  const char* host = dev->address().c_str();
  snmpcore::SetTimeoutDivisor(50);
  for (const Access& a : kAccesses) {
    SCOPED_TRACE(a.label);
    ZBSNMPSETTINGS settings = Settings(a);
    auto start = std::chrono::steady_clock::now();
    ZBSESSION s = Session(dev->address());
    QueryWebPort(&s, &settings);
    QueryFtpPort(&s, &settings);
    EXPECT_EQ(s.WebPort, 8080u);
    EXPECT_EQ(s.Port, 8080u);
    EXPECT_EQ(s.WebSecure, 0u);
    EXPECT_EQ(s.FtpPort, 21u);
    EXPECT_EQ(s.FtpSecure, 0u);
    std::string name;
    QueryDeviceName(&name, host, &settings);
    EXPECT_EQ(name, dev->address());
    char mac[18] = "untouched";
    EXPECT_EQ(GetMacAddress(host, &settings, mac), 0u);
    EXPECT_STREQ(mac, "untouched");
    uint32_t status = 9, type = 9;
    EXPECT_EQ(GetAutoAuthModeStatus(host, &settings, &status), 1359u);
    EXPECT_EQ(status, 2u);
    EXPECT_EQ(zbBoxGetStorageType(host, &settings, &type), 1359u);
    EXPECT_EQ(zbBoxGetLastError(), 1359u);
    // Eight requests of at most 3 s each, divided by fifty.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  }
  EXPECT_GT(dev->faults().Hits(std::string("snmp.") + snmp_oid::kWebPort), 0);
}

TEST_F(SnmpDeviceExportsTest, StoppedDeviceAndRefusedCredentials) {
  devsim::ScopedDevice dev(DeviceProfile(), {"snmp"}, {.boxes = 0});
  ASSERT_TRUE(dev.ok()) << dev.error();
  const Access refused[] = {
      {"wrong community", "private", "", 0, 0, ""},
      {"wrong privacy password", "", "aesuser", 2, 4, "wrongpriv99"},
      {"wrong protocol", "", "authuser", 2, 1, ""},
      {"unknown user", "", "nobody", 1, 1, ""},
  };
  for (const Access& a : refused) {
    SCOPED_TRACE(a.label);
    ZBSNMPSETTINGS settings = Settings(a);
    ZBSESSION s = Session(dev->address());
    QueryWebPort(&s, &settings);
    EXPECT_EQ(s.WebPort, 8080u);
    EXPECT_EQ(s.WebSecure, 0u);
  }
  dev->Stop();
  ZBSESSION s = Session(dev->address());
  QueryWebPort(&s, nullptr);
  QueryFtpPort(&s, nullptr);
  EXPECT_EQ(s.WebPort, 8080u);
  EXPECT_EQ(s.FtpPort, 21u);
}

TEST_F(SnmpDeviceExportsTest, HttpsPortRefusedFallsBackToThePlainPort) {
  devsim::Profile p = DeviceProfile();
  p.web_port = 80;
  devsim::ScopedDevice dev(p, {"snmp"}, {.boxes = 0});
  ASSERT_TRUE(dev.ok()) << dev.error();
  dev->faults().Arm(std::string("snmp.") + snmp_oid::kWebTlsPort,
                    devsim::Fault{devsim::Fault::Kind::kFailWith, 5, {}, {}}, -1);
  ZBSESSION s = Session(dev->address());
  QueryWebPort(&s, nullptr);
  EXPECT_EQ(s.WebPort, 80u);
  EXPECT_EQ(s.WebSecure, 0u);
  EXPECT_EQ(s.Port, 80u);
}

}  // namespace
}  // namespace boxlink
