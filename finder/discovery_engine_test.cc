// The engine against a simulated device on loopback: the "broadcast" is
// aimed at the device's own address, so nothing leaves the machine.
#include "finder/discovery_engine.h"

#include <atomic>

#include <gtest/gtest.h>

#include "devsim/testing/device_fixture.h"
#include "snmpcore/snmp.h"

namespace finder {
namespace {

CProducts Products(const char* id) {
  CProducts products;
  COID p;
  p.key = "P";
  p.id = id;
  p.enabled = p.checked = true;
  products.Add(p);
  return products;
}

DiscoveryConfig LoopbackConfig(devsim::ScopedDevice& dev) {
  DiscoveryConfig c;
  c.protocols.ipv4 = c.protocols.tcpip = true;
  c.ipv4_range = {0x7F000000, 0x7FFFFFFF};
  c.actual_wait_seconds = 3;
  c.ipv4_broadcast = dev->address() + "/" + std::to_string(dev->profile().snmp_port);
  return c;
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { snmpcore::SetTimeoutDivisor(4); }
  void TearDown() override { snmpcore::SetTimeoutDivisor(1); }
};

TEST_F(EngineTest, FindsADeviceAndWakesItsOwner) {
  devsim::Profile profile = devsim::Profile::Defaults(devsim::Layout::kShared);
  profile.snmp_port = 16161;
  profile.community = "lab";
  devsim::ScopedDevice dev(profile, {"snmp"});
  ASSERT_TRUE(dev.ok()) << dev.error();
  DiscoveryConfig c = LoopbackConfig(dev);
  c.community = "lab";
  std::atomic<int> wakes{0};
  DiscoveryEngine engine(c, Products("1.3.6.1.4.1.58231.2.3.14"));
  engine.Start([&] { ++wakes; });
  ASSERT_TRUE(engine.WaitFinished(30000));
  std::vector<DeviceRow> rows = engine.TakeRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (DeviceRow{"VARDA7140-SIM", dev->address(), 1, "Loopback lab",
                                "VARDA7140-SIM"}));
  EXPECT_GE(wakes.load(), 2);  // the row, the end
  EXPECT_TRUE(engine.TakeRows().empty());
  EXPECT_TRUE(engine.products().AnyEnabledCheckedAndFound());
  // The dummy pass's answer is merged, not listed a second time: one GET of
  // the sysObjectID per pass list entry.
  EXPECT_EQ(dev->faults().Hits("snmp.1.3.6.1.4.1.58231.2.3.50.1.2.4.1.7.1.1"), 1);
}

TEST_F(EngineTest, MakerAndProductDecide) {
  struct Case {
    const char* maker_value;  // "null": the device has no maker object
    const char* product;
    bool listed;
  } cases[] = {
      {"Corvane", "1.3.6.1.4.1.58231.2.3.14.1", true},
      {"Other", "1.3.6.1.4.1.58231.2.3.14.1", false},
      {"corvane", "1.3.6.1.4.1.58231.2.3.14.1", false},  // case-sensitive
      {"null", "1.3.6.1.4.1.58231.2.3.14.1", true},       // maker unread
      {"Corvane", "1.3.6.1.4.1.58231.2.3.43", false},     // no product
  };
  for (const Case& c : cases) {
    devsim::Profile profile = devsim::Profile::Defaults(devsim::Layout::kShared);
    profile.snmp_port = 16162;
    profile.extra["snmp.1.3.6.1.4.1.58231.2.3.50.1.2.4.1.7.1.1"] = c.maker_value;
    devsim::ScopedDevice dev(profile, {"snmp"});
    ASSERT_TRUE(dev.ok()) << dev.error();
    DiscoveryEngine engine(LoopbackConfig(dev), Products(c.product));
    engine.Start();
    ASSERT_TRUE(engine.WaitFinished(30000));
    EXPECT_EQ(engine.TakeRows().size(), c.listed ? 1u : 0u)
        << c.maker_value << " " << c.product;
  }
}

}  // namespace
}  // namespace finder
