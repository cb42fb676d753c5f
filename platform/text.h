// Character sets: UTF-8, UTF-16 (char16_t, as in records and interfaces) and
// the system code page (the locale's character set; UTF-8 in practice).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Invalid input is replaced by U+FFFD, never dropped silently.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// The system code page ("ANSI" code page). Characters the code page lacks
// become '?', its default character.
std::string Utf16ToCodePage(std::u16string_view utf16);
std::u16string CodePageToUtf16(std::string_view text);
std::string Utf8ToCodePage(std::string_view utf8);
std::string CodePageToUtf8(std::string_view text);
// True when the code page is UTF-8 (conversions are then copies).
bool CodePageIsUtf8();

// Bounded copies into fixed fields. `capacity` counts the terminating zero;
// the result is always NUL-terminated (when capacity > 0) and never ends in
// the middle of a multi-byte character or a surrogate pair. Returns the
// number of units copied, without the zero.
size_t CopyBounded(char* dst, size_t capacity, std::string_view src);
size_t CopyBounded(char16_t* dst, size_t capacity, std::u16string_view src);

// Length of a NUL-terminated UTF-16 text, at most `max` units.
size_t U16Length(const char16_t* s, size_t max = static_cast<size_t>(-1));

// Case-insensitive comparison of ASCII letters (registry names, file names).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
std::string ToLowerAscii(std::string_view s);

}  // namespace platform
