// The texts keeper shows, by string number.
//
// On the desktop they come from the language library; the job frame and
// the command-line front end use this built-in English table, which holds
// exactly the numbers they cite. An unknown number yields an empty text.
#pragma once

#include <cstdint>
#include <string_view>

namespace keeper {

std::string_view KeeperString(uint32_t id);

}  // namespace keeper
