#include "keeper/app/connection.h"

#include <array>
#include <string_view>

namespace keeper {

bool IsOldGeneration(std::string_view engine_version) {
  static constexpr std::array<std::string_view, 11> kOld = {
      "Varda7120/7140 V1.0", "Varda7120/7140 V1.1", "Varda7120/7140 V1.2",
      "Varda7120/7140 V1.3", "Varda720/740 V1.0",   "Varda720/740 V1.1",
      "Varda720/740 V1.2",   "Varda720/740 V1.3",   "Varda620/660 V1.0",
      "Varda620/660 V1.1",   "Varda620/660 V1.2"};
  for (std::string_view v : kOld)
    if (engine_version == v) return true;
  return false;
}

bool IsNetworkError(uint32_t code) {
  switch (code) {
    case 12: case 58: case 170: case 4319: case 12002: case 12004:
    case 12009: case 12029: case 12031:
      return true;
    default:
      return false;
  }
}

}  // namespace keeper
