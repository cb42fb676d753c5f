// Registry paths kept in the language libraries are written with doubled
// backslashes; before use every doubled backslash becomes one, repeated
// until none is left ("A\\\\B" -> "A\B").
#pragma once

#include <string>
#include <string_view>

namespace desktop {

std::string CollapseBackslashes(std::string_view path);

}  // namespace desktop
