// tarnkeeper-language: the language recorded for the installed programs.
//
//   tarnkeeper-language set 1031|de   record it (needs root: the value is
//                                     machine-wide)
//   tarnkeeper-language clear         forget it: the programs follow each
//                                     user's locale
//   tarnkeeper-language show          the recorded value, and which of
//                                     keeper's language libraries a program
//                                     started now loads
//
// The package's configuration step runs "set" with the language setup
// chose.
#include <cstdio>
#include <string>

#include "desktop/language.h"
#include "platform/env.h"
#include "platform/registry.h"
#include "setup/recorded_language.h"

namespace {

constexpr int kExitUsage = 2;
constexpr uint32_t kSampleText = 17;  // "Backup" in keeper's texts

int Usage() {
  std::fputs("usage: tarnkeeper-language set NUMBER|TAG | clear | show\n",
             stderr);
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  platform::Env* env = platform::Env::Default();
  platform::Registry& registry = env->registry();
  const std::string& file = registry.FileOf(platform::RegRoot::kLocalMachine);

  if (command == "set" && argc == 3) {
    std::string error;
    auto value = setup::LanguageToRecord(argv[2], &error);
    if (!value) {
      std::fprintf(stderr, "tarnkeeper-language: %s\n", error.c_str());
      return kExitUsage;
    }
    if (!setup::RecordLanguage(registry, *value)) {
      std::fprintf(stderr, "tarnkeeper-language: cannot write %s\n", file.c_str());
      return 1;
    }
    std::printf("language %s recorded in %s\n", value->c_str(), file.c_str());
    return 0;
  }
  if (command == "clear" && argc == 2) {
    if (!setup::ClearRecordedLanguage(registry)) {
      std::fprintf(stderr, "tarnkeeper-language: cannot write %s\n", file.c_str());
      return 1;
    }
    return 0;
  }
  if (command == "show" && argc == 2) {
    std::string recorded = setup::RecordedLanguage(registry);
    std::printf("recorded language: %s\n",
                recorded.empty() ? "none (the user's locale counts)"
                                 : recorded.c_str());
    std::printf("chosen now: %s\n", desktop::ChooseLanguage().c_str());
    std::string error;
    auto lang = desktop::LanguageLibrary::Load("keeperlang", "", &error);
    if (!lang) {
      std::fprintf(stderr, "tarnkeeper-language: %s\n", error.c_str());
      return 1;
    }
    std::printf("keeper's texts: %s (language %u): \"%s\"\n",
                lang->path().c_str(), lang->LanguageId(),
                std::string(lang->Text(kSampleText)).c_str());
    return 0;
  }
  return Usage();
}
