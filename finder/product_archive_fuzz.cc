// libFuzzer target: the product definition's archive reader must refuse
// any damaged input without crashing, and whatever it accepts must write
// back to an archive that reads as the same model.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "finder/product_definition.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  finder::CDiscoveryModule module;
  if (!module.ReadArchive(
          std::string_view(reinterpret_cast<const char*>(data), size)))
    return 0;
  finder::CDiscoveryModule again;
  if (!again.ReadArchive(module.StoreArchive()) || !(again == module))
    std::abort();
  return 0;
}
