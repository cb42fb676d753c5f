// What the discovery settings dialog edits and the list dialog stores when
// it is confirmed: which protocols to search and which addresses.
//
// Kept under HKCU\<settings key> (a language text chosen by the primary
// product's family): "DoIpxDiscovery", "DoIpDiscovery" (TCP/IP),
// "DoIpDiscoveryUseSubnet", the IPv4 range as dotted texts and the IPv6
// range in the full form. The two TCP/IP families can be switched apart in
// the dialog; this system keeps that choice in "DoIpDiscoveryIPV4" and
// "DoIpDiscoveryIPV6". A missing value reads as its default.
#pragma once

#include <string>

namespace finder {

inline constexpr char kValueDoIpxDiscovery[] = "DoIpxDiscovery";
inline constexpr char kValueDoIpDiscovery[] = "DoIpDiscovery";
inline constexpr char kValueDoIpv4[] = "DoIpDiscoveryIPV4";
inline constexpr char kValueDoIpv6[] = "DoIpDiscoveryIPV6";
inline constexpr char kValueUseSubnet[] = "DoIpDiscoveryUseSubnet";
inline constexpr char kValueRangeFrom[] = "DoIpDiscoveryRangeFrom";
inline constexpr char kValueRangeTo[] = "DoIpDiscoveryRangeTo";
inline constexpr char kValueIpv6From[] = "DoIpDiscoveryIPV6RangeFrom";
inline constexpr char kValueIpv6To[] = "DoIpDiscoveryIPV6RangeTo";

struct SearchSettings {
  bool ipx = true;
  bool tcpip = true;
  bool ipv4 = true;
  bool ipv6 = true;
  bool use_subnet = true;
  std::string ipv4_from, ipv4_to;  // dotted
  std::string ipv6_from, ipv6_to;  // full form, or "" for none
  bool operator==(const SearchSettings&) const = default;
};

SearchSettings ReadSearchSettings(const std::string& key);
// False when the key cannot be written.
bool WriteSearchSettings(const std::string& key, const SearchSettings& s);

}  // namespace finder
