#include "finder/search_settings.h"

#include "platform/env.h"
#include "platform/registry.h"

namespace finder {

SearchSettings ReadSearchSettings(const std::string& key) {
  SearchSettings s;
  auto k = platform::RegKey::Open(platform::Env::Current()->registry(),
                                  platform::RegRoot::kCurrentUser, key);
  if (!k) return s;
  auto flag = [&](const char* name, bool fallback) {
    auto v = k->GetDword(name);
    return v ? *v != 0 : fallback;
  };
  auto text = [&](const char* name) { return k->GetString(name).value_or(""); };
  s.ipx = flag(kValueDoIpxDiscovery, true);
  s.tcpip = flag(kValueDoIpDiscovery, true);
  s.ipv4 = flag(kValueDoIpv4, true);
  s.ipv6 = flag(kValueDoIpv6, true);
  s.use_subnet = flag(kValueUseSubnet, true);
  s.ipv4_from = text(kValueRangeFrom);
  s.ipv4_to = text(kValueRangeTo);
  s.ipv6_from = text(kValueIpv6From);
  s.ipv6_to = text(kValueIpv6To);
  return s;
}

bool WriteSearchSettings(const std::string& key, const SearchSettings& s) {
  auto k = platform::RegKey::Create(platform::Env::Current()->registry(),
                                    platform::RegRoot::kCurrentUser, key);
  if (!k) return false;
  return k->SetDword(kValueDoIpxDiscovery, s.ipx) &&
         k->SetDword(kValueDoIpDiscovery, s.tcpip) &&
         k->SetDword(kValueDoIpv4, s.ipv4) && k->SetDword(kValueDoIpv6, s.ipv6) &&
         k->SetDword(kValueUseSubnet, s.use_subnet) &&
         k->SetString(kValueRangeFrom, s.ipv4_from) &&
         k->SetString(kValueRangeTo, s.ipv4_to) &&
         k->SetString(kValueIpv6From, s.ipv6_from) &&
         k->SetString(kValueIpv6To, s.ipv6_to);
}

}  // namespace finder
