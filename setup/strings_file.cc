#include "setup/strings_file.h"

#include <algorithm>
#include <cctype>

namespace setup {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-16 with a byte-order mark to UTF-8; unpaired surrogates become
// U+FFFD.
std::string FromUtf16(std::string_view bytes, bool big_endian) {
  std::string out;
  auto unit = [&](size_t i) -> char16_t {
    auto b0 = static_cast<unsigned char>(bytes[i]);
    auto b1 = static_cast<unsigned char>(bytes[i + 1]);
    return big_endian ? static_cast<char16_t>(b0 << 8 | b1)
                      : static_cast<char16_t>(b1 << 8 | b0);
  };
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    char16_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
      char16_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) +
                            (char32_t(low) - 0xDC00));
        i += 2;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    AppendUtf8(out, u);
  }
  return out;
}

// Length of the UTF-8 sequence that starts with lead byte b and its size in
// UTF-16 units; 1/1 for a byte that does not start a valid sequence.
void SequenceAt(std::string_view s, size_t i, size_t* bytes, size_t* units) {
  auto b = static_cast<unsigned char>(s[i]);
  size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3
           : (b >> 3) == 30 ? 4 : 0;
  bool ok = n > 0 && i + n <= s.size();
  for (size_t k = 1; ok && k < n; ++k)
    ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
  if (!ok) {
    *bytes = 1;
    *units = 1;
    return;
  }
  *bytes = n;
  *units = n == 4 ? 2 : 1;
}

}  // namespace

size_t Utf16Units(std::string_view utf8) {
  size_t total = 0;
  for (size_t i = 0; i < utf8.size();) {
    size_t bytes, units;
    SequenceAt(utf8, i, &bytes, &units);
    i += bytes;
    total += units;
  }
  return total;
}

std::string CutToUnits(std::string_view utf8, size_t max_units) {
  size_t total = 0, i = 0;
  while (i < utf8.size()) {
    size_t bytes, units;
    SequenceAt(utf8, i, &bytes, &units);
    if (total + units > max_units) break;
    total += units;
    i += bytes;
  }
  return std::string(utf8.substr(0, i));
}

ProfileText ProfileText::Parse(std::string_view bytes) {
  std::string decoded;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    decoded = FromUtf16(bytes, false);
  } else if (bytes.size() >= 2 &&
             static_cast<unsigned char>(bytes[0]) == 0xFE &&
             static_cast<unsigned char>(bytes[1]) == 0xFF) {
    decoded = FromUtf16(bytes, true);
  } else {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    decoded.assign(bytes);
  }

  ProfileText out;
  std::string section;
  bool in_section = false;
  std::string_view text = decoded;
  while (!text.empty()) {
    size_t nl = text.find('\n');
    std::string_view line = Trim(text.substr(0, nl));
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      size_t close = line.find(']');
      if (close == std::string_view::npos) continue;
      section.assign(Trim(line.substr(1, close - 1)));
      in_section = true;
      continue;
    }
    size_t eq = line.find('=');
    if (!in_section || eq == std::string_view::npos) continue;
    std::string_view key = Trim(line.substr(0, eq));
    std::string_view value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 &&
        ((value.front() == '"' && value.back() == '"') ||
         (value.front() == '\'' && value.back() == '\'')))
      value = value.substr(1, value.size() - 2);
    if (key.empty()) continue;
    out.entries_.push_back(
        Entry{section, std::string(key), CutToUnits(value, kMaxStringUnits)});
  }
  return out;
}

std::string ProfileText::Get(std::string_view section,
                             std::string_view key) const {
  for (const Entry& e : entries_)
    if (SameIgnoringCase(e.section, section) && SameIgnoringCase(e.key, key))
      return e.value;
  return {};
}

bool ProfileText::Has(std::string_view section, std::string_view key) const {
  for (const Entry& e : entries_)
    if (SameIgnoringCase(e.section, section) && SameIgnoringCase(e.key, key))
      return true;
  return false;
}

SetupStrings ReadSetupStrings(const ProfileText& profile) {
  SetupStrings s;
  for (int i = 0; i < kFamilyCount; ++i)
    s.languages[i] = profile.Get("Languages", LanguageKeys()[i].key);
  s.ok = profile.Get("Strings", "1130");
  s.cancel = profile.Get("Strings", "1131");
  s.prompt = profile.Get("Strings", "1132");
  s.title = profile.Get("Strings", "COMPONENT_NAME");
  s.failed = profile.Get("Strings", "INSTALL_FAILED");
  s.file_read = true;
  return s;
}

std::string StringsFilePath(std::string_view setup_folder,
                            std::string_view folder_text) {
  std::string path(setup_folder);
  if (!path.empty() && path.back() == '/') path.pop_back();
  for (char c : folder_text) path += c == '\\' ? '/' : c;
  path += "COMM_BR.ini";
  return path;
}

}  // namespace setup
