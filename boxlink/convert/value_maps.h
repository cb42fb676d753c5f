// The value maps that turn legacy codes into the texts of the storage
// layout's property files. Each map lists its codes in table order; a code
// not listed gives the map's fallback text (empty for some).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace boxlink::maps {

struct Code {
  uint32_t code;
  std::string_view text;
};

struct ValueMap {
  std::span<const Code> codes;
  std::string_view fallback;
  std::string_view Text(uint32_t code) const;
};

extern const ValueMap kJobType;
extern const ValueMap kColourMode;
extern const ValueMap kResolution;          // one axis, also horizontal
extern const ValueMap kVerticalResolution;
extern const ValueMap kResolutionPair;
extern const ValueMap kPaperSize;
extern const ValueMap kAngle;
extern const ValueMap kOrientation;
extern const ValueMap kPaperSource;
extern const ValueMap kPaperType;
extern const ValueMap kSort;
extern const ValueMap kStaple;
extern const ValueMap kOutputTray;
extern const ValueMap kHolePunch;

// The names the count maps of "documentproperties.xml" use.
inline constexpr std::string_view kJobNames[] = {"Copy", "Scan", "Fax", "Print"};
inline constexpr uint32_t kJobCodes[] = {1, 2, 4, 8};
inline constexpr std::string_view kColourNames[] = {"Mono", "Gray", "Color", "Flmbw"};
inline constexpr uint32_t kColourCodes[] = {1, 2, 4, 8};

}  // namespace boxlink::maps
