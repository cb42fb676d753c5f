// The language recorded for the installed programs: the machine-wide
// registry value "Language" under HKLM\Software\TALLIS\Corvane TALLIS
// Client, which keeper and finder read before the user's locale
// (desktop/language.h). The package's configuration step writes it from
// the language setup chose; tarnkeeper-language sets, clears and shows it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {
class Registry;
}

namespace setup {

// The value to record for a language number (1033 or one of the
// installable languages) or a language tag ("de"); nullopt and why for
// anything else.
std::optional<std::string> LanguageToRecord(std::string_view language,
                                            std::string* error);

bool RecordLanguage(platform::Registry& registry, std::string_view value);
bool ClearRecordedLanguage(platform::Registry& registry);
// The recorded value, empty when there is none.
std::string RecordedLanguage(platform::Registry& registry);

}  // namespace setup
