// The language libraries: shared objects loaded by name that hold the
// texts and pictures of keeper and finder (see lang_abi.h).
//
//   auto lang = desktop::LanguageLibrary::Load("keeperlang", "", &error);
//   lang->Text(88);            // "Error" or "Fehler"
//
// One library per language, named "<base>_<tag>" ("keeperlang_de"). The
// language is the installed choice (the machine-wide registry value
// "Language" under kLanguageKey, a tag such as "de" or a Windows language
// number such as "1031"), else the user's locale (LC_ALL, LC_MESSAGES,
// LANG), else English; a language without a library falls back to English.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/lang_abi.h"
#include "desktop/texts.h"

namespace platform {
class Library;
}

namespace desktop {

inline constexpr std::string_view kLanguageKey =
    "Software\\TALLIS\\Corvane TALLIS Client";
inline constexpr std::string_view kLanguageValue = "Language";

// The languages that have libraries, English first.
std::span<const std::string_view> LanguageTags();

// The tag of a Windows language number or of a tag or locale name
// ("1031", "de", "de_AT.UTF-8"); "en" for anything unknown.
std::string LanguageTagOf(std::string_view choice);

// The language to load: the installed choice, else the locale, else "en".
std::string ChooseLanguage();

class LanguageLibrary final : public Texts {
 public:
  ~LanguageLibrary() override;

  // Loads "<base>_<tag>" by name; an empty tag means ChooseLanguage().
  // Null and the reason in *error when neither that language nor English
  // can be loaded.
  static std::unique_ptr<LanguageLibrary> Load(std::string_view base,
                                               std::string_view tag,
                                               std::string* error);
  // Loads the library at a path (the path one program hands another).
  static std::unique_ptr<LanguageLibrary> LoadPath(std::string_view path,
                                                   std::string* error);

  std::string_view Text(uint32_t id) const override;
  uint32_t LanguageId() const override { return language_id_; }

  // A picture's bytes (PNG), empty for an unknown number.
  std::span<const unsigned char> Picture(uint32_t id) const;
  // Every string number the library holds, in order.
  std::vector<uint32_t> Numbers() const;
  const std::string& path() const;

 private:
  LanguageLibrary() = default;
  std::unique_ptr<platform::Library> lib_;
  const ZeltLangString* strings_ = nullptr;
  uint32_t count_ = 0;
  uint32_t language_id_ = 0;
  ZeltLangPictureFn picture_ = nullptr;
};

}  // namespace desktop
