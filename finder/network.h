// What the machine's network offers discovery: which protocols are usable,
// the local IPv4 address and its mask, the subnet range between them, and
// the address forms the range filters compare.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace finder {

struct Protocols {
  bool ipv4 = false;
  bool ipv6 = false;
  bool tcpip = false;  // ipv4 || ipv6
  bool ipx = false;    // there is no IPX on this system
  uint32_t local_ipv4 = 0;  // host order; 0 when IPv4 is not usable
  uint32_t mask = 0;        // of the same interface; 0 when none
};

// CheckInstalledProtocols2 and GetSubnetMask over the interface list: the
// first interface that is up, not a loopback and has an IPv4 address other
// than 0.0.0.0 gives the local address and, from the same interface, the
// mask; IPv6 is usable when such an interface has an IPv6 address other
// than ::1.
Protocols CheckInstalledProtocols2();

struct Ipv4Range {
  uint32_t from = 0;  // host order
  uint32_t to = 0;
};

// Per octet, with z trailing zero bits in the mask's octet and g = 2^z:
// from = g * floor(local / g), to = g * (floor(local / g) + 1) - 1. A mask
// of 0.0.0.0 gives 0.0.0.0 to 0.0.0.0.
Ipv4Range SubnetRange(uint32_t local, uint32_t mask);

// Dotted IPv4 text <-> host order; nullopt for anything but four decimal
// octets.
std::optional<uint32_t> ParseIpv4(std::string_view text);
std::string Ipv4Text(uint32_t address);

// Eight groups of four lower-case hexadecimal digits joined by ':' (39
// characters); a "%scope" is dropped. nullopt when the text is no IPv6
// address.
std::optional<std::string> ExpandIpv6(std::string_view text);

// The kernel's major version, the operating-system gate of IPv6 search.
int SystemMajorVersion();

}  // namespace finder
