#include "authdlg/password_rules.h"

namespace authdlg {
namespace {

// Punctuation of the ASCII range that a password may hold. The list the
// dialog was designed with also names "§", "€" and "µ"; they lie above
// U+007E and pass anyway.
constexpr std::u16string_view kAllowedPunctuation =
    u"!#()*+,-./:;=?@\\^_`{|}~$";

}  // namespace

size_t PasswordLimit(uint8_t controller_type) {
  return controller_type == 1 ? kLongLimit : kShortLimit;
}

bool IsAllowed(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
      (c >= u'0' && c <= u'9') || c >= 0x7F)
    return true;
  return kAllowedPunctuation.find(c) != std::u16string_view::npos;
}

size_t FirstRefused(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i)
    if (!IsAllowed(text[i])) return i;
  return std::u16string_view::npos;
}

bool RemoveFirstRefused(std::u16string* text, size_t* caret) {
  size_t at = FirstRefused(*text);
  if (at == std::u16string_view::npos) return false;
  text->erase(at, 1);
  *caret = at;
  return true;
}

}  // namespace authdlg
