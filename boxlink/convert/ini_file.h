// The rule-file reader: INI files of sections in square brackets and lines
// of key, equals sign and value.
//
// The conversion rules and the model tables are INI files that ship beside
// the library, so new models need no new build. Reading follows the
// system's profile-file rules: section and key names compare without
// regard to ASCII case, white space around names and values is dropped, a
// line starting with ';' or '#' is a comment, and the first of several
// equal keys in a section wins. A line without '=' inside a section is an
// entry of its own (a list item); lines before the first section belong to
// no section and are ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace boxlink {

class CIniFile {
 public:
  struct Entry {
    std::string key;
    std::string value;  // empty for a line without '='
    bool has_value = false;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };

  // Files larger than this are not rule files; they are not read.
  static constexpr uint64_t kMaxFileBytes = 1u << 20;

  // Reads the file; false when it cannot be opened or read, or is larger
  // than kMaxFileBytes. A file that loads replaces what was loaded before.
  bool ReadFile(const std::string& path);
  // The same from file content. Never fails: lines that fit no rule are
  // skipped.
  void Parse(std::string_view text);

  // The value of the key in the section as an integer, read as the
  // profile functions do (optional sign, decimal digits up to the first
  // other character; "0x" takes hexadecimal). The default when the section
  // or the key is missing.
  int32_t GetInt(std::string_view section, std::string_view key,
                 int32_t default_value) const;
  // The text value; nullopt when missing.
  std::optional<std::string> GetString(std::string_view section,
                                       std::string_view key) const;
  // The section's entries in file order (all sections of the name merged),
  // or none.
  std::vector<Entry> Entries(std::string_view section) const;

  const std::vector<Section>& sections() const { return sections_; }

 private:
  const Entry* Find(std::string_view section, std::string_view key) const;

  std::vector<Section> sections_;
};

// Reads an integer the way the profile functions do; see GetInt.
int32_t ProfileInt(std::string_view text);

}  // namespace boxlink
