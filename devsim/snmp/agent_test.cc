// The device's SNMP agent, read with net-snmp's command-line tools and with
// our own client library.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>

#include "devsim/core/device.h"
#include "devsim/core/loopback.h"
#include "devsim/snmp/agent.h"
#include "platform/testing/temp_dir.h"
#include "snmpcore/cco_snmp.h"
#include "snmpcore/snmp.h"

namespace devsim::snmp {
namespace {

constexpr const char* kWebPort = "1.3.6.1.4.1.58231.2.3.50.1.6.1.4.11.1.1.6.1.1";
constexpr const char* kDeviceName = "1.3.6.1.4.1.58231.2.3.50.1.2.3.1.2.1.1";
constexpr const char* kMaker = "1.3.6.1.4.1.58231.2.3.50.1.2.4.1.7.1.1";
constexpr const char* kAuth = "authpass123";
constexpr const char* kPriv = "privpass456";

struct Result {
  int status;
  std::string output;
};

Result Shell(const std::string& command) {
  Result run{-1, {}};
  FILE* p = popen(("MIBS= " + command + " 2>&1").c_str(), "r");
  if (!p) return run;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) run.output.append(buf.data(), n);
  int rc = pclose(p);
  run.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  while (!run.output.empty() && run.output.back() == '\n') run.output.pop_back();
  return run;
}

Profile TestProfile(const std::string& name) {
  Profile p = Profile::Defaults(Layout::kShared);
  p.network_name = name;
  p.location = "Floor 3";
  p.model = "TX-4000";
  p.sys_object_id = "1.3.6.1.4.1.58231.2.3.26.1";
  p.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xEF};
  p.storage_description = "Solid State Drive";
  p.web_port = 8080;
  p.web_tls = true;
  p.ftp_port = 2121;
  p.ftp_tls = false;
  p.auto_auth_mode = 1;
  p.community = "tarnread";
  p.v3_users = {{"md5user", 1, kAuth, 1, ""},
                {"shauser", 2, kAuth, 1, ""},
                {"desuser", 1, kAuth, 2, kPriv},
                {"aesuser", 2, kAuth, 4, kPriv},
                {"noauth", 0, "", 1, ""}};
  if (geteuid() != 0) p.snmp_port = 10161;
  return p;
}

class AgentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = std::make_unique<Device>(TestProfile("Tarn Office"), dir_.path(),
                                       AllocateLoopbackAddress());
    device_->services() = {"snmp"};
    std::string error;
    ASSERT_TRUE(device_->Start(&error)) << error;
    snmpcore::SetTimeoutDivisor(10);
  }
  void TearDown() override { snmpcore::SetTimeoutDivisor(1); }

  std::string Endpoint() const {
    return device_->address() + ":" + std::to_string(device_->profile().snmp_port);
  }
  std::string Get(int version, const char* oid, const char* user = "md5user",
                  long auth = 1, long priv = 1) {
    snmpcore::CCoSnmp snmp(oid, 3, Endpoint().c_str(), version);
    snmp.SetCommunityName("tarnread");
    if (version == 3)
      snmp.PopulateV3Parameters("", priv == 1 ? "" : kPriv, user, kAuth, "MFP",
                                "", 3, priv == 1 ? 2 : 3, 1, auth, priv);
    const char* v = snmp.SnmpGetPtrToStringValue();
    last_error_ = snmp.SnmpGetErrorCode();
    return v ? v : "<null>";
  }

  platform::ScopedTempDir dir_{"devsim-snmp"};
  std::unique_ptr<Device> device_;
  int last_error_ = 0;
};

TEST_F(AgentTest, NetSnmpToolsReadTheDeviceObjects) {
  if (access("/usr/bin/snmpget", X_OK) != 0) GTEST_SKIP() << "no snmpget";
  const std::string oids = std::string(kWebPort) + " " + kDeviceName + " " +
                           kMaker + " 1.3.6.1.2.1.1.2.0 1.3.6.1.2.1.1.5.0 "
                           "1.3.6.1.2.1.1.6.0 1.3.6.1.2.1.2.2.1.6.1 "
                           "1.3.6.1.2.1.25.2.3.1.3.2";
  const std::string expected =
      "8080\n\"Tarn Office\"\n\"Corvane\"\n.1.3.6.1.4.1.58231.2.3.26.1\n"
      "\"Tarn Office\"\n\"Floor 3\"\n\"00 1A 2B 3C 4D EF \"\n\"Solid State Drive\"";
  const std::string base = "snmpget -On -Oqv -r 1 -t 2 ";
  const std::string target = " " + Endpoint() + " " + oids;
  for (const std::string& args : std::vector<std::string>{
           "-v1 -c tarnread", "-v2c -c tarnread",
        "-v3 -l authNoPriv -u md5user -a MD5 -A " + std::string(kAuth),
        "-v3 -l authNoPriv -u shauser -a SHA -A " + std::string(kAuth),
        "-v3 -l authPriv -u desuser -a MD5 -A " + std::string(kAuth) +
            " -x DES -X " + kPriv,
        "-v3 -l authPriv -u aesuser -a SHA -A " + std::string(kAuth) +
            " -x AES -X " + kPriv,
        std::string("-v3 -l noAuthNoPriv -u noauth")}) {
    Result run = Shell(base + args + target);
    EXPECT_EQ(run.status, 0) << args << "\n" << run.output;
    EXPECT_EQ(run.output, expected) << args;
  }
  // Refused: wrong password, wrong privacy key, unknown user, a level the
  // user does not have, a wrong community (no answer).
  for (const std::string& args : std::vector<std::string>{
           "-v3 -l authNoPriv -u md5user -a MD5 -A wrongpass99",
        "-v3 -l authPriv -u aesuser -a SHA -A " + std::string(kAuth) +
            " -x AES -X wrongpriv99",
        "-v3 -l authNoPriv -u nobody -a MD5 -A " + std::string(kAuth),
        "-v3 -l authNoPriv -u aesuser -a SHA -A " + std::string(kAuth),
        std::string("-v2c -c public")}) {
    Result run = Shell("snmpget -On -Oqv -r 0 -t 0.3 " + args + " " + Endpoint() +
                    " " + kDeviceName);
    EXPECT_NE(run.status, 0) << args << "\n" << run.output;
    EXPECT_EQ(run.output.find("Tarn Office"), std::string::npos) << args;
  }
}

TEST_F(AgentTest, WalkAndMissingObjects) {
  if (access("/usr/bin/snmpwalk", X_OK) != 0) GTEST_SKIP() << "no snmpwalk";
  Result walk = Shell("snmpwalk -On -v2c -c tarnread " + Endpoint() +
                   " 1.3.6.1.4.1.58231.2.3.50");
  EXPECT_EQ(walk.status, 0) << walk.output;
  EXPECT_NE(walk.output.find(kDeviceName), std::string::npos) << walk.output;
  Result bulk = Shell("snmpbulkwalk -On -v2c -c tarnread " + Endpoint() +
                   " 1.3.6.1.2.1.1");
  EXPECT_NE(bulk.output.find(".1.3.6.1.2.1.1.3.0 = Timeticks"), std::string::npos)
      << bulk.output;
  Result v1 = Shell("snmpget -On -v1 -c tarnread " + Endpoint() + " 1.3.6.1.9.9");
  EXPECT_NE(v1.output.find("noSuchName"), std::string::npos) << v1.output;
  Result v2 = Shell("snmpget -On -v2c -c tarnread " + Endpoint() + " 1.3.6.1.9.9");
  EXPECT_NE(v2.output.find("No Such Object"), std::string::npos) << v2.output;
}

TEST_F(AgentTest, OurClientReadsWithEveryAccess) {
  const struct {
    int version;
    const char* user;
    long auth, priv;
  } cases[] = {{1, "", 0, 1}, {2, "", 0, 1}, {3, "md5user", 1, 1},
               {3, "shauser", 2, 1}, {3, "desuser", 1, 2}, {3, "aesuser", 2, 4}};
  for (const auto& c : cases) {
    EXPECT_EQ(Get(c.version, kDeviceName, c.user, c.auth, c.priv), "Tarn Office")
        << c.user << " error " << last_error_;
    EXPECT_EQ(Get(c.version, "1.3.6.1.2.1.2.2.1.6.1", c.user, c.auth, c.priv),
              "0x00 1A 2B 3C 4D EF");
  }
  EXPECT_EQ(Get(1, "1.3.6.1.4.1.58231.2.3.50.1.6.1.23.1.1.3.1.1"), "8080");
  EXPECT_EQ(Get(1, "1.3.6.1.4.1.58231.2.3.50.1.6.1.23.3.1.3.1.1"), "<null>");
  EXPECT_EQ(last_error_, 2);
  EXPECT_EQ(Get(3, "1.3.6.1.4.1.58231.2.3.50.1.6.1.23.3.1.3.1.1"), "<null>");
  EXPECT_EQ(last_error_, snmpcore::SNMP_CLASS_NO_SUCH_OBJECT);
}

TEST_F(AgentTest, FaultsPerOid) {
  FaultPlan& faults = device_->faults();
  const std::string point = std::string("snmp.") + kDeviceName;
  faults.Arm(point, Fault{Fault::Kind::kFailWith, 5, {}, {}}, 1);
  EXPECT_EQ(Get(1, kDeviceName), "<null>");
  EXPECT_EQ(last_error_, 5);
  EXPECT_EQ(Get(1, kDeviceName), "Tarn Office");  // armed once only

  faults.Arm(point, Fault{Fault::Kind::kHang, 0, {}, {}}, -1);
  for (int version : {1, 3}) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Get(version, kDeviceName), "<null>");
    EXPECT_EQ(last_error_, snmpcore::SNMP_CLASS_TIMEOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  }
  EXPECT_EQ(Get(1, kWebPort), "8080");  // other objects still answer
  EXPECT_GE(faults.Hits(point), 3);

  faults.Arm(point, Fault{Fault::Kind::kDelay, 0, std::chrono::milliseconds(30), {}}, 1);
  EXPECT_EQ(Get(1, kDeviceName), "Tarn Office");
  faults.Clear();
}

TEST_F(AgentTest, DiscoveryProbesAndSeveralDevices) {
  platform::ScopedTempDir other_dir("devsim-snmp2");
  Device other(TestProfile("Second Office"), other_dir.path(),
               AllocateLoopbackAddress());
  other.services() = {"snmp"};
  std::string error;
  ASSERT_TRUE(other.Start(&error)) << error;
  std::string other_endpoint =
      other.address() + ":" + std::to_string(other.profile().snmp_port);

  // The same users on two devices: each has its own engine and keys.
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(Get(3, kDeviceName, "aesuser", 2, 4), "Tarn Office");
    snmpcore::CCoSnmp snmp(kDeviceName, 3, other_endpoint.c_str(), 3);
    snmp.PopulateV3Parameters("", kPriv, "aesuser", kAuth, "MFP", "", 3, 3, 1, 2, 4);
    const char* v = snmp.SnmpGetPtrToStringValue();
    EXPECT_STREQ(v ? v : "<null>", "Second Office");
  }

  int status = -1;
  snmpcore::Snmp snmp(status, 0, false);
  ASSERT_EQ(status, 0);
  snmpcore::OctetStr community("tarnread");
  for (snmpcore::snmp_version version : {snmpcore::version1, snmpcore::version3}) {
    snmpcore::SnmpCollection<snmpcore::GenAddress> found;
    snmpcore::UdpAddress target(Endpoint().c_str());
    ASSERT_EQ(snmp.broadcast_discovery(found, 2, target, version, &community), 0);
    ASSERT_EQ(found.size(), 1);
    EXPECT_TRUE(found[0] == target) << found[0].get_printable();
  }
  other.Stop();
  EXPECT_EQ(Get(3, kDeviceName, "aesuser", 2, 4), "Tarn Office");
}

TEST(AgentUnitTest, MalformedDatagramsGetNoAnswer) {
  Agent agent(Mib::FromProfile(TestProfile("x")), "public",
              Usm(Agent::EngineIdFor("127.0.0.1"), {}), nullptr);
  for (std::string_view bad :
       {std::string_view(""), std::string_view("\x30"),
        std::string_view("\x30\x03\x02\x01\x00", 5),
        std::string_view("\x30\x05\x02\x01\x03\x30\x00", 7),
        std::string_view("\x30\x84\xFF\xFF\xFF\xFF", 6)})
    EXPECT_EQ(agent.Handle(bad), "");
}

TEST(MibTest, ExtraEntriesAddAndRemoveObjects) {
  Profile p = TestProfile("x");
  p.extra["snmp.1.3.6.1.4.1.58231.2.3.50.1.6.1.23.1.1.3.1.1"] = "int:8443";
  p.extra["snmp.1.3.6.1.2.1.1.6.0"] = "null";
  p.extra["snmp.1.3.6.1.2.1.1.1.0"] = "Custom";
  p.extra["snmp.bad..oid"] = "int:1";
  Mib mib = Mib::FromProfile(p);
  const MibValue* https = mib.Find(*ParseOid("1.3.6.1.4.1.58231.2.3.50.1.6.1.23.1.1.3.1.1"));
  ASSERT_NE(https, nullptr);
  EXPECT_EQ(https->content, std::string("\x20\xFB", 2));
  EXPECT_EQ(mib.Find(*ParseOid("1.3.6.1.2.1.1.6.0")), nullptr);
  EXPECT_EQ(mib.Find(*ParseOid("1.3.6.1.2.1.1.1.0"))->content, "Custom");
}

}  // namespace
}  // namespace devsim::snmp
