#include "setup/recorded_language.h"

#include "desktop/language.h"
#include "platform/registry.h"
#include "setup/languages.h"

namespace setup {

std::optional<std::string> LanguageToRecord(std::string_view language,
                                            std::string* error) {
  std::string value(language);
  if (value == std::to_string(kEnglishLanguage)) return value;
  for (uint16_t id : InstallableLanguages())
    if (value == std::to_string(id)) return value;
  for (std::string_view tag : desktop::LanguageTags())
    if (value == tag) return value;
  *error = "\"" + value + "\" is no language number of an installable "
           "language (1033 English, 1031 German, ...) and no language tag (" ;
  bool first = true;
  for (std::string_view tag : desktop::LanguageTags()) {
    *error += (first ? "" : ", ") + std::string(tag);
    first = false;
  }
  *error += ")";
  return std::nullopt;
}

bool RecordLanguage(platform::Registry& registry, std::string_view value) {
  return registry.SetValue(platform::RegRoot::kLocalMachine,
                           desktop::kLanguageKey, desktop::kLanguageValue,
                           platform::RegValue::String(std::string(value)));
}

bool ClearRecordedLanguage(platform::Registry& registry) {
  if (RecordedLanguage(registry).empty()) return true;
  return registry.DeleteValue(platform::RegRoot::kLocalMachine,
                              desktop::kLanguageKey, desktop::kLanguageValue);
}

std::string RecordedLanguage(platform::Registry& registry) {
  auto key = platform::RegKey::Open(registry, platform::RegRoot::kLocalMachine,
                                    desktop::kLanguageKey);
  if (!key) return {};
  return key->GetString(desktop::kLanguageValue).value_or("");
}

}  // namespace setup
