#include <gtest/gtest.h>

#include "snmpcore/snmp.h"

namespace snmpcore {
namespace {

struct AddressCase {
  const char* text;
  Address::Kind kind;
  const char* printable;
  uint16_t port;
};

TEST(AddressTest, UdpAddressTexts) {
  const AddressCase cases[] = {
      {"127.1.2.3", Address::kIpv4, "127.1.2.3", 0},
      {"127.1.2.3:1161", Address::kIpv4, "127.1.2.3/1161", 1161},
      {"255.255.255.255:161", Address::kIpv4, "255.255.255.255/161", 161},
      {"10.0.0.1/162", Address::kIpv4, "10.0.0.1/162", 162},
      {"::1", Address::kIpv6, "::1", 0},
      {"[::1]:1161", Address::kIpv6, "::1/1161", 1161},
      {"FF02::1/161", Address::kIpv6, "ff02::1/161", 161},
      {"fe80::1%3", Address::kIpv6, "fe80::1%3", 0},
      {"[fe80::1%3]:161", Address::kIpv6, "fe80::1%3/161", 161},
      {"fe80::1%lo/161", Address::kIpv6, "fe80::1%1/161", 161},
      {"1.2.3.4:0", Address::kInvalid, "", 0},
      {"1.2.3.4:70000", Address::kInvalid, "", 0},
      {"1.2.3.4:", Address::kInvalid, "", 0},
      {"[::1", Address::kInvalid, "", 0},
      {"fe80::1%nosuchif0", Address::kInvalid, "", 0},
      {"", Address::kInvalid, "", 0},
  };
  for (const auto& c : cases) {
    UdpAddress a(c.text);
    EXPECT_EQ(a.kind(), c.kind) << c.text;
    EXPECT_STREQ(a.get_printable(), c.printable) << c.text;
    EXPECT_EQ(a.port(), c.port) << c.text;
  }
}

TEST(AddressTest, IpAddressTakesNoPortButResolvesNames) {
  EXPECT_EQ(IpAddress("127.0.0.1").kind(), Address::kIpv4);
  EXPECT_FALSE(IpAddress("127.0.0.1:161").valid());
  EXPECT_EQ(IpAddress("localhost").kind() == Address::kIpv4 ||
                IpAddress("localhost").kind() == Address::kIpv6,
            true);
  // An unknown name is not looked up here: that would ask the machine's
  // name server, and tests send nothing beyond loopback.
  EXPECT_FALSE(IpAddress(nullptr).valid());
}

TEST(AddressTest, IpxAddressesParseButAreNotIp) {
  IpxSockAddress ipx("00000000:ffffffffffff/36879");
  EXPECT_EQ(ipx.kind(), Address::kIpx);
  EXPECT_STREQ(ipx.get_printable(), "00000000:ffffffffffff/36879");
  EXPECT_FALSE(IpxSockAddress("0000:ffffffffffff/900F").valid());
  EXPECT_FALSE(IpxSockAddress("00000000:fffffffffff/900F").valid());
  EXPECT_EQ(GenAddress("00000000:FFFFFFFFFFFF/900F").kind(), Address::kIpx);
  sockaddr_storage ss;
  socklen_t len;
  EXPECT_FALSE(ipx.ToSockaddr(&ss, &len));
}

TEST(AddressTest, Equality) {
  EXPECT_TRUE(UdpAddress("127.0.0.1:161") == GenAddress("127.0.0.1/161"));
  EXPECT_TRUE(UdpAddress("[::1]:161") == UdpAddress("0:0::1/161"));
  EXPECT_FALSE(UdpAddress("127.0.0.1:161") == UdpAddress("127.0.0.1:162"));
  EXPECT_FALSE(UdpAddress("127.0.0.1:161") == UdpAddress("127.0.0.2:161"));
  EXPECT_FALSE(UdpAddress("fe80::1%1/161") == UdpAddress("fe80::1%2/161"));
  EXPECT_FALSE(IpAddress("127.0.0.1") == IpxSockAddress("00000000:ffffffffffff/1"));
  EXPECT_TRUE(IpxSockAddress("00000000:FFFFFFFFFFFF/1") ==
              IpxSockAddress("00000000:ffffffffffff/1"));
  EXPECT_TRUE(UdpAddress("127.0.0.1:161") != UdpAddress("127.0.0.1:1"));
}

TEST(AddressTest, SnmpWithIpxReportsUnusable) {
  int status = 0;
  Snmp snmp(status, IpxSockAddress("00000000:ffffffffffff/36879"));
  EXPECT_NE(status, 0);
  int ip_status = -1;
  Snmp ip(ip_status, 0, false);
  EXPECT_EQ(ip_status, 0);
}

}  // namespace
}  // namespace snmpcore
