#include "desktop/language.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>

#include "platform/env.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace desktop {
namespace {

// Sets an environment variable for one test and restores it afterwards.
class ScopedVar {
 public:
  ScopedVar(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedVar() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class LanguageTest : public testing::Test {
 protected:
  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
  ScopedVar all_{"LC_ALL", nullptr};
  ScopedVar messages_{"LC_MESSAGES", nullptr};
  ScopedVar lang_{"LANG", nullptr};

  void Install(const char* choice) {
    env_.registry().SetValue(platform::RegRoot::kLocalMachine, kLanguageKey,
                             kLanguageValue,
                             platform::RegValue::String(choice));
  }
};

TEST_F(LanguageTest, TagsOfChoicesAndLocales) {
  struct Case {
    const char* choice;
    const char* tag;
  } cases[] = {
      {"1031", "de"}, {"2055", "de"},  // German, Swiss German
      {"1033", "en"}, {"2057", "en"},  // U.S. and British English
      {"1041", "en"},                  // no Japanese library: English
      {"de", "de"},   {"DE", "de"},
      {"de_AT.UTF-8", "de"},           {"de-CH@euro", "de"},
      {"C", "en"},    {"POSIX", "en"}, {"fr_FR.UTF-8", "en"},
      {"", "en"},     {"99999999999", "en"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LanguageTagOf(c.choice), c.tag) << c.choice;
}

TEST_F(LanguageTest, InstalledChoiceWinsOverTheLocale) {
  ScopedVar lang("LANG", "de_DE.UTF-8");
  EXPECT_EQ(ChooseLanguage(), "de");
  Install("1033");
  EXPECT_EQ(ChooseLanguage(), "en");
  ScopedVar all("LC_ALL", "en_US.UTF-8");
  Install("de");
  EXPECT_EQ(ChooseLanguage(), "de");
}

TEST_F(LanguageTest, LocaleVariablesInTheirOrder) {
  ScopedVar lang("LANG", "en_GB.UTF-8");
  ScopedVar messages("LC_MESSAGES", "de_DE.UTF-8");
  EXPECT_EQ(ChooseLanguage(), "de");
  ScopedVar all("LC_ALL", "C");
  EXPECT_EQ(ChooseLanguage(), "en");
}

TEST_F(LanguageTest, LoadsTheChosenLibraryAndLooksUpByNumber) {
  Install("1031");
  std::string error;
  auto de = LanguageLibrary::Load("testlang", "", &error);
  ASSERT_TRUE(de) << error;
  EXPECT_EQ(de->LanguageId(), kLangGerman);
  EXPECT_EQ(de->Text(1), "eins");
  EXPECT_EQ(de->Text(40000), "letzte");
  EXPECT_EQ(de->Text(2), "");       // between two numbers
  EXPECT_EQ(de->Text(0), "");
  EXPECT_EQ(de->Text(40001), "");   // past the last
  EXPECT_EQ(de->Numbers(), (std::vector<uint32_t>{1, 7, 40000}));
  EXPECT_EQ(de->Picture(5).size(), 3u);
  EXPECT_TRUE(de->Picture(6).empty());

  auto en = LanguageLibrary::Load("testlang", "en", &error);
  ASSERT_TRUE(en) << error;
  EXPECT_EQ(en->LanguageId(), kLangEnglishUS);
  EXPECT_EQ(en->Text(1), "one");
}

TEST_F(LanguageTest, FallsBackToEnglishAndFailsWithAReason) {
  std::string error;
  // A language we list but this test library set lacks behaves like a
  // missing translation: English serves.
  auto lib = LanguageLibrary::Load("testlang", "xx", &error);
  ASSERT_TRUE(lib) << error;
  EXPECT_EQ(lib->LanguageId(), kLangEnglishUS);

  error.clear();
  EXPECT_FALSE(LanguageLibrary::Load("nosuchlang", "de", &error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(LanguageLibrary::LoadPath("/nonexistent/lib.so", &error));
  EXPECT_FALSE(error.empty());
}

TEST_F(LanguageTest, ALibraryWithoutTheExportsIsRefused) {
  std::string error;
  // The platform library is a real shared object, but no language library.
  EXPECT_FALSE(LanguageLibrary::LoadPath(
      platform::Env::Default()->ProgramDir() + "/libzeltplatform.so", &error));
  EXPECT_NE(error.find("not a language library"), std::string::npos) << error;
}

}  // namespace
}  // namespace desktop
