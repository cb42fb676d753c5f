// The strings file of the installer bootstrapper, COMM_BR.ini in a folder
// per language beside setup (STRINGS/GER/COMM_BR.ini): the names of the
// languages in that language and the texts of the language dialog.
//
// It is read the way the original platform reads a private profile: section
// and key names without regard to case, the first of equal keys counts,
// blanks around names and values dropped, a value in matching quotation
// marks loses them, a missing key reads as empty text. The file is UTF-8
// (with or without a byte-order mark) or UTF-16 with its byte-order mark.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "setup/languages.h"

namespace setup {

// Longest value kept, in UTF-16 units; a longer value is cut at a
// character boundary.
inline constexpr size_t kMaxStringUnits = 259;

class ProfileText {
 public:
  // Parses a file's bytes; never fails (lines it cannot read are skipped).
  static ProfileText Parse(std::string_view bytes);

  // The value, or empty text when the section or key is missing.
  std::string Get(std::string_view section, std::string_view key) const;
  bool Has(std::string_view section, std::string_view key) const;

 private:
  struct Entry {
    std::string section;
    std::string key;
    std::string value;
  };
  std::vector<Entry> entries_;
};

struct SetupStrings {
  // The Languages values in the order of LanguageKeys().
  std::array<std::string, kFamilyCount> languages;
  std::string ok;          // "1130"
  std::string cancel;      // "1131"
  std::string prompt;      // "1132"
  std::string title;       // "COMPONENT_NAME"
  std::string failed;      // "INSTALL_FAILED": after an unsuccessful run
  bool file_read = false;  // false: the file was missing or unreadable
};

SetupStrings ReadSetupStrings(const ProfileText& profile);

// The path of the strings file: the setup folder without its trailing
// separator, the folder text with "/" for "\", and "COMM_BR.ini".
std::string StringsFilePath(std::string_view setup_folder,
                            std::string_view folder_text);

// Cuts UTF-8 text to at most `units` UTF-16 units without splitting a
// character; invalid bytes count as one unit each.
std::string CutToUnits(std::string_view utf8, size_t units);
// The length of UTF-8 text in UTF-16 units.
size_t Utf16Units(std::string_view utf8);

}  // namespace setup
