#include "boxlink/engine/item_names.h"

#include <cstdio>

#include "boxlink/base/box_error.h"
#include "boxlink/base/logger.h"
#include "boxlink.h"
#include "platform/text.h"

namespace boxlink {

namespace {

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

bool IsSafeItemName(std::u16string_view name) {
  if (name.empty() || name == u"." || name == u"..") return false;
  for (char16_t c : name)
    if (c == u'/' || c == u'\\' || IsControl(c)) return false;
  return true;
}

bool IsSafeItemName(std::string_view utf8) {
  // A byte sequence that is not UTF-8 could still hold a separator once a
  // server decodes it otherwise: only valid text passes.
  std::u16string wide = platform::Utf8ToUtf16(utf8);
  if (platform::Utf16ToUtf8(wide) != utf8) return false;
  return IsSafeItemName(std::u16string_view(wide));
}

std::string PrintableName(std::string_view utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '\\' || c == '"') {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out += hex;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

namespace {

[[noreturn]] void Refuse(std::string_view what, std::string_view utf8) {
  CLogger::LogError(std::string(what) + " - name refused " + PrintableName(utf8),
                    ZB_ERR_INVALID_NAME);
  Raise(ZB_ERR_INVALID_NAME);
}

}  // namespace

void RequireSafeItemName(std::string_view what, std::string_view utf8) {
  if (!IsSafeItemName(utf8)) Refuse(what, utf8);
}

void RequireSafeItemName(std::string_view what, std::u16string_view name) {
  if (!IsSafeItemName(name)) Refuse(what, platform::Utf16ToUtf8(name));
}

}  // namespace boxlink
