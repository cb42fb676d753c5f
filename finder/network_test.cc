#include "finder/network.h"

#include <gtest/gtest.h>

#include "finder/discovery_engine.h"

namespace finder {
namespace {

TEST(NetworkTest, SubnetRangeFormula) {
  struct Case {
    const char *local, *mask, *from, *to;
  } cases[] = {
      {"10.1.2.77", "255.255.255.0", "10.1.2.0", "10.1.2.255"},
      {"172.16.37.5", "255.255.240.0", "172.16.32.0", "172.16.47.255"},
      {"192.168.1.130", "255.255.255.192", "192.168.1.128", "192.168.1.191"},
      {"10.9.8.7", "255.0.0.0", "10.0.0.0", "10.255.255.255"},
      {"10.9.8.7", "0.0.0.0", "0.0.0.0", "0.0.0.0"},
  };
  for (const Case& c : cases) {
    Ipv4Range r = SubnetRange(*ParseIpv4(c.local), *ParseIpv4(c.mask));
    EXPECT_EQ(Ipv4Text(r.from), c.from) << c.local << "/" << c.mask;
    EXPECT_EQ(Ipv4Text(r.to), c.to) << c.local << "/" << c.mask;
  }
}

TEST(NetworkTest, AddressTexts) {
  EXPECT_EQ(ParseIpv4("10.0.0.1"), 0x0A000001u);
  for (const char* bad : {"", "10.0.0", "10.0.0.256", "10.0.0.1.2", "a.b.c.d",
                          "10.0.0.1 ", "1000.0.0.1"})
    EXPECT_FALSE(ParseIpv4(bad)) << bad;
  EXPECT_EQ(ExpandIpv6("2001:db8::1"), "2001:0db8:0000:0000:0000:0000:0000:0001");
  EXPECT_EQ(ExpandIpv6("FE80::11%3"), "fe80:0000:0000:0000:0000:0000:0000:0011");
  EXPECT_FALSE(ExpandIpv6("10.0.0.1"));
}

TEST(NetworkTest, ActualPassWait) {
  struct Case {
    std::optional<int> value;
    int seconds;
  } cases[] = {{2, 15}, {3, 3}, {30, 30}, {31, 15}, {std::nullopt, 15}, {-5, 15}};
  for (const Case& c : cases) EXPECT_EQ(ActualWaitSeconds(c.value), c.seconds);
}

TEST(NetworkTest, IpxIsNeverUsable) {
  Protocols p = CheckInstalledProtocols2();
  EXPECT_FALSE(p.ipx);
  EXPECT_EQ(p.tcpip, p.ipv4 || p.ipv6);
  if (!p.ipv4) {
    EXPECT_EQ(p.local_ipv4, 0u);
  }
}

}  // namespace
}  // namespace finder
