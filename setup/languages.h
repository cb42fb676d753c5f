// The languages of the installer bootstrapper: which family a system
// language belongs to, which strings folder it reads, which list entry it
// preselects, and the name tables that turn the chosen list entry into the
// language the system is installed in.
//
// Language numbers are Windows language identifiers (0x0407 German, 0x0411
// Japanese): the strings files, the command lines and the installed
// programs all speak them.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace setup {

// The display-language families, one name table each.
enum class Family {
  kChineseSimplified,
  kChineseTraditional,
  kDanish,
  kGerman,
  kSpanish,
  kFinnish,
  kFrench,
  kItalian,
  kJapanese,
  kDutch,
  kNorwegian,
  kPolish,
  kPortuguese,
  kRussian,
  kSwedish,
  kTurkish,
  kEnglish,
};
inline constexpr int kFamilyCount = 17;

// English installs without a transform and has no entry in the tables.
inline constexpr uint16_t kEnglishLanguage = 1033;

// One entry of a name table: a language's name as written in the table's
// language, and the decimal number of that language's transform.
struct NamedLanguage {
  std::string_view name;
  uint16_t transform;
};
inline constexpr int kInstallableCount = 16;
using NameTable = std::array<NamedLanguage, kInstallableCount>;

// The transform numbers of the installable languages, in table order.
std::span<const uint16_t, kInstallableCount> InstallableLanguages();

Family FamilyOf(uint16_t system_language);
// The family's own language as a transform number (1033 for English).
uint16_t FamilyLanguage(Family family);
// The prefix that preselects the family's own language in the list:
// "Deutsch", "日本語", "English".
std::string_view PreselectionPrefix(Family family);
// The 16 installable languages as written in the family's language.
const NameTable& NameTableOf(Family family);
// "English" as written in the family's language (the 17th list entry).
std::string_view EnglishNameIn(Family family);

// The strings folder text for a system language code of four hexadecimal
// digits ("0407" -> "\STRINGS\GER\"), without regard to case; anything not
// listed gives the English folder.
std::string_view FolderText(std::string_view language_code);
// The family whose strings the folder holds (the folder "\STRINGS\GER\"
// holds German).
Family FamilyOfFolder(std::string_view folder_text);
// The folder text of a family's own strings.
std::string_view FolderTextOf(Family family);

// The keys of the Languages section of a strings file, in file order
// ("0x0804", ... "0x041F"), each with the family whose name it holds.
struct LanguageKey {
  std::string_view key;
  Family family;
};
std::span<const LanguageKey, kFamilyCount> LanguageKeys();

// The system language code as four upper-case hexadecimal digits.
std::string LanguageCode(uint16_t language);

// The Windows language number of a locale name ("de_CH.UTF-8" -> 0x0807,
// "ja_JP" -> 0x0411, "pt" -> 0x0416); 0x0409 for "C", "POSIX", empty and
// languages outside the families.
uint16_t LanguageOfLocale(std::string_view locale);

}  // namespace setup
