// Discovery against simulated devices in a network of the test's own:
// every broadcast and multicast stays inside namespaces this test makes.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

#include "finder/discovery_engine.h"
#include "finder/discovery_session.h"
#include "finder/id_file.h"
#include "finder/product_definition.h"
#include "finder/testing/discovery_lab.h"
#include "desktop/testing/fake_screen.h"
#include "desktop/testing/map_texts.h"
#include "finder/texts.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"
#include "snmpcore/snmp.h"

namespace finder {
namespace {

using testing::TestNetwork;
using testing::kDummyOnly;

// The rows a discovery should list, as (name, version) pairs.
using Expected = std::multiset<std::pair<std::string, int>>;

class DiscoveryNetnsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    lab_ = testing::DiscoveryLab::Create(&why_).release();
    // The passes and queries of these tests take a quarter of real time.
    if (lab_) snmpcore::SetTimeoutDivisor(4);
  }
  static void TearDownTestSuite() {
    snmpcore::SetTimeoutDivisor(1);
    delete lab_;
    lab_ = nullptr;
  }
  void SetUp() override {
    if (!lab_) GTEST_SKIP() << "no test network: " << why_;
    net_ = &lab_->network();
  }

  static void RestartDummyOnly() {
    std::string error;
    ASSERT_TRUE(lab_->RestartDummyOnly(&error)) << error;
  }

  CProducts KeeperProducts() {
    CDiscoveryModule m;
    EXPECT_TRUE(m.LoadArchive(platform::Env::Default()->ProgramDir() +
                              "/ZELT_Discovery.bin"));
    return m.products();
  }

  DiscoveryConfig Config(uint32_t mode, bool ipv4, bool ipv6) {
    DiscoveryConfig c;
    c.snmp_mode = mode;
    c.protocols.ipv4 = ipv4;
    c.protocols.ipv6 = ipv6;
    c.protocols.tcpip = ipv4 || ipv6;
    c.ipv4_range = SubnetRange(0x0A4D0001, 0xFFFFFF00);
    c.actual_wait_seconds = 3;
    c.v3 = V3Credentials{"MFP", "authpriv", "authpass123", "privpass123", 2, 4};
    return c;
  }

  std::vector<DeviceRow> Run(DiscoveryConfig config) {
    RestartDummyOnly();
    std::vector<DeviceRow> rows;
    EXPECT_TRUE(TestNetwork::RunIn(net_->client(), [&] {
      DiscoveryEngine engine(std::move(config), KeeperProducts());
      engine.Start();
      EXPECT_TRUE(engine.WaitFinished(60000));
      rows = engine.TakeRows();
    }));
    return rows;
  }

  static Expected NamesOf(const std::vector<DeviceRow>& rows) {
    Expected out;
    for (const DeviceRow& r : rows) out.insert({r.name, r.version});
    return out;
  }

  static testing::DiscoveryLab* lab_;
  static std::string why_;
  TestNetwork* net_ = nullptr;
};

testing::DiscoveryLab* DiscoveryNetnsTest::lab_ = nullptr;
std::string DiscoveryNetnsTest::why_;

TEST_F(DiscoveryNetnsTest, Ipv4ListsExactlyOurDevicesPerMode) {
  struct Case {
    uint32_t mode;
    Expected rows;
  } cases[] = {
      {1, {{"DEV0", 1}, {"DEV1", 1}, {"DEV4", 1}}},
      {3, {{"DEV1", 3}}},
      // Both versions: the dual device twice, once per version.
      {13, {{"DEV0", 1}, {"DEV1", 1}, {"DEV4", 1}, {"DEV1", 3}}},
  };
  for (const Case& c : cases) {
    std::vector<DeviceRow> rows = Run(Config(c.mode, true, false));
    EXPECT_EQ(NamesOf(rows), c.rows) << "mode " << c.mode;
    for (const DeviceRow& r : rows) {
      int i = r.name.back() - '0';
      EXPECT_EQ(r.address, TestNetwork::DeviceIpv4(i));
      EXPECT_EQ(r.location, "Room " + std::to_string(i));
      EXPECT_EQ(r.model, r.name);  // sysName is the network name
    }
  }
}

TEST_F(DiscoveryNetnsTest, Ipv4RangeAndMissingCredentials) {
  DiscoveryConfig c = Config(13, true, false);
  c.ipv4_range = {0x0A4D000B, 0x0A4D000C};  // 10.77.0.11 - 10.77.0.12
  EXPECT_EQ(NamesOf(Run(c)),
            (Expected{{"DEV0", 1}, {"DEV1", 1}, {"DEV1", 3}}));
  // No readable ID file: v3 queries are left out, v1 still runs.
  c.v3.reset();
  EXPECT_EQ(NamesOf(Run(c)), (Expected{{"DEV0", 1}, {"DEV1", 1}}));
}

TEST_F(DiscoveryNetnsTest, Ipv6AllNodesMulticast) {
  std::vector<DeviceRow> rows = Run(Config(13, false, true));
  EXPECT_EQ(NamesOf(rows),
            (Expected{{"DEV0", 1}, {"DEV1", 1}, {"DEV4", 1}, {"DEV1", 3}}));
  for (const DeviceRow& r : rows) {
    int i = r.name.back() - '0';
    // Expanded form of the device's link-local address.
    EXPECT_EQ(r.address, "fe80:0000:0000:0000:0000:0000:0000:00" +
                             std::to_string(11 + i));
  }
  // An IPv6 range (and an IPv4 range that only limits IPv4).
  DiscoveryConfig c = Config(1, true, true);
  c.use_subnet = false;
  c.ipv4_range = {0x0A4D000B, 0x0A4D000B};
  c.ipv6_from = "fe80::12";
  c.ipv6_to = "fe80:0000:0000:0000:0000:0000:0000:0015";
  rows = Run(c);
  std::multiset<std::string> addresses;
  for (const DeviceRow& r : rows) addresses.insert(r.address);
  EXPECT_EQ(addresses, (std::multiset<std::string>{
                           "10.77.0.11", "fe80:0000:0000:0000:0000:0000:0000:0012",
                           "fe80:0000:0000:0000:0000:0000:0000:0015"}));
  // Bounds that are no addresses do not filter.
  c.ipv6_from = "";
  EXPECT_EQ(Run(c).size(), 4u);
}

TEST_F(DiscoveryNetnsTest, StopEndsARunAtOnce) {
  DiscoveryConfig c = Config(13, true, true);
  c.actual_wait_seconds = 30;
  TestNetwork::RunIn(net_->client(), [&] {
    DiscoveryEngine engine(c, KeeperProducts());
    engine.Start();
    // Into the long actual pass (7.5 s here), with devices being queried.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_FALSE(engine.Finished());
    auto t0 = std::chrono::steady_clock::now();
    engine.Stop();
    EXPECT_TRUE(engine.Finished());
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  });
}

// The whole session as the list dialog runs it: stored settings in, the
// selection and "LastDiscovered" out, where keeper reads them.
TEST_F(DiscoveryNetnsTest, SessionStoresTheSelectionForKeeper) {
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  CDiscoveryModule module;
  ASSERT_TRUE(module.LoadArchive(platform::Env::Default()->ProgramDir() +
                                 "/ZELT_Discovery.bin"));
  const std::string base = "Software\\TALLIS\\Corvane TALLIS Client";
  const std::string key = base + "\\BRD";
  desktop::MapTexts texts({{141, base},
                    {149, base + "\\Discovery"},
                    {193, "V3"},
                    {224, "idfile"},
                    {400, "finder_timeout.ini"}});
  // Stored settings: both versions, an ID file, a community name, and a
  // value of keeper's that a confirmed discovery keeps.
  const std::string id_file = env.root() + "/creds.id";
  ASSERT_TRUE(IdFileLibrary("idfile").Encrypt(
      id_file, {"MFP", "authonly", "authpass123", "", 2, 1}));
  auto& reg = env.registry();
  auto user = platform::RegRoot::kCurrentUser;
  reg.SetValue(user, key, "SNMPVersion", platform::RegValue::Dword(13));
  reg.SetValue(user, key, "IDFilePath", platform::RegValue::String(id_file));
  reg.SetValue(user, key, "SNMPCommunityName", platform::RegValue::String("public"));
  reg.SetValue(user, key, "EnableLog", platform::RegValue::Dword(1));
  platform::WriteTestFile(env.ProgramDataDir() + "/finder_timeout.ini",
                          "[BroadcastTimeout]\nTimeoutValue=3\n");

  desktop::FakeScreen screen(&texts);

  RestartDummyOnly();
  std::vector<DeviceRow> rows;
  ASSERT_TRUE(TestNetwork::RunIn(net_->client(), [&] {
    platform::ScopedEnv in_thread(&env);
    DiscoverySession session(module, texts, screen);
    session.Init(CheckInstalledProtocols2());
    EXPECT_EQ(session.config().ipv4_range.from, 0x0A4D0000u);  // 10.77.0.0/24
    EXPECT_EQ(session.config().ipv4_range.to, 0x0A4D00FFu);
    session.mutable_config().protocols.ipv6 = false;  // IPv4 only here
    ASSERT_TRUE(session.Start());
    while (session.running()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    session.Poll();
    rows = session.rows();
    auto dual = std::find_if(rows.begin(), rows.end(), [](const DeviceRow& r) {
      return r.name == "DEV1" && r.version == 3;
    });
    ASSERT_NE(dual, rows.end());
    EXPECT_TRUE(session.Ok(static_cast<size_t>(dual - rows.begin())));
  }));
  EXPECT_TRUE(screen.shown().empty());
  EXPECT_EQ(NamesOf(rows),
            (Expected{{"DEV0", 1}, {"DEV1", 1}, {"DEV4", 1}, {"DEV1", 3}}));

  auto get = [&](const std::string& name) {
    return reg.GetValue(user, key, name).value_or(platform::RegValue::String("<none>"));
  };
  EXPECT_EQ(get("Last Selected IP"), platform::RegValue::String("10.77.0.12"));
  EXPECT_EQ(get("Last Selected Name"), platform::RegValue::String("DEV1"));
  EXPECT_EQ(get("Last Selected Location"), platform::RegValue::String("Room 1"));
  EXPECT_EQ(get("Last Selected SNMP Version"), platform::RegValue::String("V3"));
  EXPECT_EQ(get("SNMPVersion"), platform::RegValue::Dword(13));
  EXPECT_EQ(get("IDFilePath"), platform::RegValue::String(id_file));
  EXPECT_EQ(get("SNMPCommunityName"), platform::RegValue::String("public"));
  EXPECT_EQ(get("EnableLog"), platform::RegValue::Dword(1));
  for (size_t n = 0; n < rows.size(); ++n) {
    const std::string i = std::to_string(n);
    EXPECT_EQ(get("Name" + i), platform::RegValue::String(rows[n].name));
    EXPECT_EQ(get("Address" + i), platform::RegValue::String(rows[n].address));
    EXPECT_EQ(get("SNMP Version" + i),
              platform::RegValue::String(rows[n].version == 3 ? "V3" : "V1/V2"));
  }
  EXPECT_EQ(get("Name" + std::to_string(rows.size())),
            platform::RegValue::String("<none>"));
  // Each address once, however many rows it has.
  auto last = reg.EnumValues(user, base + "\\LastDiscovered");
  std::set<std::string> addresses;
  for (const auto& [name, value] : last) addresses.insert(value.text);
  EXPECT_EQ(last.size(), 3u);
  EXPECT_EQ(addresses, (std::set<std::string>{"10.77.0.11", "10.77.0.12",
                                              "10.77.0.15"}));
}

}  // namespace
}  // namespace finder
