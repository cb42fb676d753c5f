#include "keeper/app/strings.h"

#include <cstdio>
#include <memory>
#include <string>

#include "desktop/language.h"

namespace keeper {
namespace {

class NoTexts final : public desktop::Texts {
 public:
  std::string_view Text(uint32_t) const override { return {}; }
  uint32_t LanguageId() const override { return desktop::kLangEnglishUS; }
};

const desktop::Texts& Load() {
  std::string error;
  // Loaded once and never unloaded: the texts handed out point into it.
  static const std::unique_ptr<desktop::LanguageLibrary> lib =
      desktop::LanguageLibrary::Load("keeperlang", "", &error);
  if (lib) return *lib;
  static const NoTexts none;
  std::fprintf(stderr,
               "keeper: the language library keeperlang cannot be loaded "
               "(%s); install the program again\n",
               error.c_str());
  return none;
}

}  // namespace

const desktop::Texts& KeeperTexts() {
  static const desktop::Texts& texts = Load();
  return texts;
}

std::string_view KeeperString(uint32_t id) { return KeeperTexts().Text(id); }

}  // namespace keeper
