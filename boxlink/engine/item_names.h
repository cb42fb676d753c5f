// Names of boxes' items that become parts of paths. A restore builds remote
// paths from names it reads in the archive's property files and in the
// device's listings, and deletes what those paths name recursively: a name
// must never reach outside its box or name the box itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace boxlink {

// Whether `name` may be one component of a path: not empty, not "." or
// "..", and without "/", "\", NUL or control characters (C0, DEL, C1).
bool IsSafeItemName(std::u16string_view name);
bool IsSafeItemName(std::string_view utf8);

// The name for the diagnostic log, control characters and backslashes
// written as \xNN.
std::string PrintableName(std::string_view utf8);

// Throws ZB_ERR_INVALID_NAME, after logging `what` and the name, unless the name is safe.
void RequireSafeItemName(std::string_view what, std::u16string_view name);
void RequireSafeItemName(std::string_view what, std::string_view utf8);

}  // namespace boxlink
