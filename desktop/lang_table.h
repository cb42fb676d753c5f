// What each language library's sources define; lang_exports.cc turns them
// into the exports of lang_abi.h. A library is built from one table file,
// one picture file and lang_exports.cc.
#pragma once

#include <cstdint>
#include <iterator>

#include "desktop/lang_abi.h"

namespace zelt_lang {

const ZeltLangString* Strings(uint32_t* count);
uint32_t LanguageId();
const unsigned char* Picture(uint32_t id, uint32_t* size);

template <size_t N>
constexpr bool IsSorted(const ZeltLangString (&table)[N]) {
  for (size_t i = 1; i < N; ++i)
    if (table[i - 1].id >= table[i].id) return false;
  return true;
}

}  // namespace zelt_lang
