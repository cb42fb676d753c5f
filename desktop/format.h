// Format strings that come from a language library.
//
// A translated text such as "Too many documents in %s." must take the same
// arguments in every language; Placeholders() lists what a format expects
// (the test of the language libraries compares them), and FormatText()
// fills one in without trusting it: a directive without an argument stays
// as written, an argument of the other kind is converted, and nothing is
// ever read from outside the arguments given.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace desktop {

using FormatArg = std::variant<int64_t, std::string>;

// The conversion directives in order, as written ("%s", "%d", "%.3d");
// "%%" is not one.
std::vector<std::string> Placeholders(std::string_view format);

// Supports the flags "-0 +", a width, a precision and the conversions
// d, i, u, x, X, s, c; "%%" gives "%".
std::string FormatText(std::string_view format,
                       const std::vector<FormatArg>& args);

}  // namespace desktop
