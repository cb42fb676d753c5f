#include "finder/network.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace finder {

Protocols CheckInstalledProtocols2() {
  Protocols p;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return p;
  std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, freeifaddrs);
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || !(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK))
      continue;
    if (i->ifa_addr->sa_family == AF_INET && !p.ipv4) {
      uint32_t a = ntohl(reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr);
      if (a == 0) continue;
      p.ipv4 = true;
      p.local_ipv4 = a;
      if (i->ifa_netmask)
        p.mask = ntohl(reinterpret_cast<sockaddr_in*>(i->ifa_netmask)->sin_addr.s_addr);
    } else if (i->ifa_addr->sa_family == AF_INET6) {
      const in6_addr& a = reinterpret_cast<sockaddr_in6*>(i->ifa_addr)->sin6_addr;
      if (!IN6_IS_ADDR_LOOPBACK(&a) && !IN6_IS_ADDR_UNSPECIFIED(&a)) p.ipv6 = true;
    }
  }
  p.tcpip = p.ipv4 || p.ipv6;
  p.ipx = false;
  return p;
}

Ipv4Range SubnetRange(uint32_t local, uint32_t mask) {
  if (mask == 0) return {};
  Ipv4Range r;
  for (int shift = 24; shift >= 0; shift -= 8) {
    uint32_t m = (mask >> shift) & 0xFF, l = (local >> shift) & 0xFF;
    int z = 0;
    while (z < 8 && !(m & (1u << z))) ++z;
    uint32_t g = 1u << z;
    uint32_t from = g * (l / g), to = g * (l / g + 1) - 1;
    r.from |= from << shift;
    r.to |= to << shift;
  }
  return r;
}

std::optional<uint32_t> ParseIpv4(std::string_view text) {
  uint32_t out = 0;
  int octets = 0;
  size_t i = 0;
  while (octets < 4) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
    uint32_t v = 0;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      v = v * 10 + static_cast<uint32_t>(text[i++] - '0');
      if (++digits > 3 || v > 255) return std::nullopt;
    }
    out = out << 8 | v;
    if (++octets < 4) {
      if (i >= text.size() || text[i] != '.') return std::nullopt;
      ++i;
    }
  }
  if (i != text.size()) return std::nullopt;
  return out;
}

std::string Ipv4Text(uint32_t a) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF,
                (a >> 8) & 0xFF, a & 0xFF);
  return buf;
}

std::optional<std::string> ExpandIpv6(std::string_view text) {
  std::string host(text.substr(0, text.find('%')));
  in6_addr a{};
  if (inet_pton(AF_INET6, host.c_str(), &a) != 1) return std::nullopt;
  std::string out;
  char group[5];
  for (int i = 0; i < 8; ++i) {
    std::snprintf(group, sizeof group, "%02x%02x", a.s6_addr[2 * i],
                  a.s6_addr[2 * i + 1]);
    if (i) out += ':';
    out += group;
  }
  return out;
}

int SystemMajorVersion() {
  utsname u{};
  if (uname(&u) != 0) return 0;
  return std::atoi(u.release);
}

}  // namespace finder
