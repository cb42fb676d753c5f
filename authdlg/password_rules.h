// What the password prompt accepts: the characters that may be typed and
// the lengths, and the filter that removes what may not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace authdlg {

// The edit's limit: 64 characters for controller type 1, else 10.
inline constexpr size_t kLongLimit = 64;
inline constexpr size_t kShortLimit = 10;
size_t PasswordLimit(uint8_t controller_type);

// Letters A-Z and a-z, digits, everything from U+007F up, and of the ASCII
// punctuation exactly "!#()*+,-./:;=?@\^_`{|}~$". Refused: control
// characters, space, '"', '%', '&', '\'', '<', '>', '[' and ']'.
bool IsAllowed(char16_t c);

// Position of the first character that may not be typed, or npos.
size_t FirstRefused(std::u16string_view text);

// One step of the filter: the text without its first refused character,
// and where that character stood (the caret goes there). Returns false
// when there was nothing to remove.
bool RemoveFirstRefused(std::u16string* text, size_t* caret);

}  // namespace authdlg
