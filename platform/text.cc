#include "platform/text.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at s[i]; advances i. Malformed input (overlong
// forms, surrogates, truncation) yields U+FFFD and skips one byte.
char32_t DecodeUtf8(std::string_view s, size_t& i) {
  auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len;
  char32_t cp;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    ++i;
    return kReplacement;
  }
  if (i + len > s.size()) {
    ++i;
    return kReplacement;
  }
  for (int k = 1; k < len; ++k) {
    auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return kReplacement;
  }
  i += len;
  return cp;
}

void EncodeUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

const std::string& CodePageName() {
  static const std::string name = [] {
    const char* cs = nl_langinfo(CODESET);
    std::string n = cs ? cs : "";
    // The "C" locale reports ANSI_X3.4-1968; treat it as UTF-8 like every
    // other part of a modern system does, rather than losing all non-ASCII.
    if (n.empty() || n == "ANSI_X3.4-1968" || EqualsIgnoreCase(n, "UTF-8") ||
        EqualsIgnoreCase(n, "utf8"))
      return std::string("UTF-8");
    return n;
  }();
  return name;
}

// Converts with iconv; unconvertible characters become '?'.
std::string IconvConvert(const char* to, const char* from, const char* data,
                         size_t size, size_t unit) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out;
  char buf[4096];
  char* in = const_cast<char*>(data);
  size_t in_left = size;
  while (in_left > 0) {
    char* o = buf;
    size_t o_left = sizeof(buf);
    size_t r = iconv(cd, &in, &in_left, &o, &o_left);
    out.append(buf, o - buf);
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: skip one input unit and emit the default char.
      size_t skip = std::min(unit, in_left);
      in += skip;
      in_left -= skip;
      out += '?';
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = DecodeUtf8(utf8, i);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size() * 3);
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    EncodeUtf8(c, out);
  }
  return out;
}

bool CodePageIsUtf8() { return CodePageName() == "UTF-8"; }

std::string Utf8ToCodePage(std::string_view utf8) {
  if (CodePageIsUtf8()) return Utf16ToUtf8(Utf8ToUtf16(utf8));  // cleans input
  return IconvConvert((CodePageName() + "//TRANSLIT").c_str(), "UTF-8",
                      utf8.data(), utf8.size(), 1);
}

std::string CodePageToUtf8(std::string_view text) {
  if (CodePageIsUtf8()) return Utf16ToUtf8(Utf8ToUtf16(text));
  return IconvConvert("UTF-8", CodePageName().c_str(), text.data(),
                      text.size(), 1);
}

std::string Utf16ToCodePage(std::u16string_view utf16) {
  return Utf8ToCodePage(Utf16ToUtf8(utf16));
}

std::u16string CodePageToUtf16(std::string_view text) {
  return Utf8ToUtf16(CodePageToUtf8(text));
}

size_t CopyBounded(char* dst, size_t capacity, std::string_view src) {
  if (capacity == 0 || !dst) return 0;
  size_t n = std::min(src.size(), capacity - 1);
  if (n < src.size()) {
    // Back up over continuation bytes so that the cut falls between
    // characters: src[n] is the first byte left out.
    while (n > 0 && (static_cast<unsigned char>(src[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
  return n;
}

size_t CopyBounded(char16_t* dst, size_t capacity, std::u16string_view src) {
  if (capacity == 0 || !dst) return 0;
  size_t n = std::min(src.size(), capacity - 1);
  if (n < src.size() && n > 0 && src[n] >= 0xDC00 && src[n] <= 0xDFFF &&
      src[n - 1] >= 0xD800 && src[n - 1] <= 0xDBFF)
    --n;
  std::memcpy(dst, src.data(), n * sizeof(char16_t));
  dst[n] = u'\0';
  return n;
}

size_t U16Length(const char16_t* s, size_t max) {
  if (!s) return 0;
  size_t n = 0;
  while (n < max && s[n]) ++n;
  return n;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

std::string ToLowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

}  // namespace platform
