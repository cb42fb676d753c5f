// The engine versions the library knows, matched as plain substrings of a
// reply's BoxNwLib/Header/Version text.
#pragma once

#include <array>
#include <string_view>

namespace boxlink {

inline constexpr std::array<std::string_view, 15> kSupportedEngines = {
    "Varda7120/7140 V1.3",       "Varda720/740 V1.3",         "Varda620/660 V1.2",
    "Varda 910 Series V1.0",     "Varda 520c Series V1.0",    "Varda 530 Series V1.0",
    "Varda 330 Series V1.0",     "Varda 4720c Series V2.0",   "Varda 930 Series V1.0",
    "Varda 340 Series V1.0",     "Varda 540 Series V1.0",     "Varda 5730C Series V3.0",
    "Varda 7730C Series V3.0",   "Varda 560 Series V4.0.0.0", "Varda 960 Series V4.0.0.0"};

// The "Series" engines: the last twelve supported entries. They report a
// last backup date and use the first controller family's transfer class.
inline constexpr size_t kFirstSeriesEngine = 3;

inline constexpr std::array<std::string_view, 8> kRetiredEngines = {
    "Varda7120/7140 V1.0", "Varda7120/7140 V1.1", "Varda7120/7140 V1.2",
    "Varda720/740 V1.0",   "Varda720/740 V1.1",   "Varda720/740 V1.2",
    "Varda620/660 V1.0",   "Varda620/660 V1.1"};

inline bool ContainsAny(std::string_view version, auto begin, auto end) {
  for (auto it = begin; it != end; ++it)
    if (version.find(*it) != std::string_view::npos) return true;
  return false;
}

inline bool IsSupportedEngine(std::string_view version) {
  return ContainsAny(version, kSupportedEngines.begin(), kSupportedEngines.end());
}
inline bool IsSeriesEngine(std::string_view version) {
  return ContainsAny(version, kSupportedEngines.begin() + kFirstSeriesEngine,
                     kSupportedEngines.end());
}
inline bool IsRetiredEngine(std::string_view version) {
  return ContainsAny(version, kRetiredEngines.begin(), kRetiredEngines.end());
}

}  // namespace boxlink
