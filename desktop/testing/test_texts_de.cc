// A language library for the loader's tests: German.
#include "desktop/lang_table.h"

namespace zelt_lang {
namespace {
constexpr ZeltLangString kStrings[] = {
    {1, "eins"}, {7, "sieben %s von %d"}, {40000, "letzte"}};
static_assert(IsSorted(kStrings));
const unsigned char kDot[] = {1, 2, 3};
}  // namespace

const ZeltLangString* Strings(uint32_t* count) {
  *count = static_cast<uint32_t>(std::size(kStrings));
  return kStrings;
}
uint32_t LanguageId() { return 1031; }
const unsigned char* Picture(uint32_t id, uint32_t* size) {
  if (id != 5) return nullptr;
  *size = sizeof kDot;
  return kDot;
}
}  // namespace zelt_lang
