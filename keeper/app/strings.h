// The texts keeper shows, by string number.
//
// They come from the language library keeperlang, loaded once in the
// chosen language (desktop/language.h) and kept for the life of the
// process. An unknown number yields an empty text.
#pragma once

#include <cstdint>
#include <string_view>

#include "desktop/texts.h"

namespace keeper {

// The process's keeper texts. When no language library can be loaded (a
// broken installation) every text is empty and the reason is printed once
// on the standard error stream.
const desktop::Texts& KeeperTexts();

std::string_view KeeperString(uint32_t id);

}  // namespace keeper
