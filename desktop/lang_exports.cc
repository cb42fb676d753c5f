// The exports of a language library (lang_abi.h).
#include "desktop/lang_table.h"

#define ZELT_LANG_EXPORT __attribute__((visibility("default")))

extern "C" {

ZELT_LANG_EXPORT uint32_t ZeltLangId(void) { return zelt_lang::LanguageId(); }

ZELT_LANG_EXPORT const ZeltLangString* ZeltLangStrings(uint32_t* count) {
  uint32_t n = 0;
  const ZeltLangString* table = zelt_lang::Strings(&n);
  if (count) *count = n;
  return table;
}

ZELT_LANG_EXPORT const unsigned char* ZeltLangPicture(uint32_t id,
                                                      uint32_t* size) {
  uint32_t n = 0;
  const unsigned char* data = zelt_lang::Picture(id, &n);
  if (size) *size = data ? n : 0;
  return data;
}

}  // extern "C"
