#include "setup/recorded_language.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "desktop/language.h"
#include "platform/env.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"

namespace setup {
namespace {

TEST(RecordedLanguageTest, OnlyInstallableLanguagesAreRecorded) {
  std::string error;
  for (const char* ok : {"1031", "1033", "1041", "2052", "de", "en"})
    EXPECT_EQ(LanguageToRecord(ok, &error), ok) << ok;
  for (const char* bad : {"", "1032", "01031", "de_DE", "German", "1031 "}) {
    EXPECT_FALSE(LanguageToRecord(bad, &error)) << bad;
    EXPECT_NE(error.find("1031"), std::string::npos) << error;
  }
}

TEST(RecordedLanguageTest, TheProgramsLoadTheRecordedLanguage) {
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  setenv("LANG", "en_US.UTF-8", 1);
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  EXPECT_EQ(RecordedLanguage(env.registry()), "");
  EXPECT_EQ(desktop::ChooseLanguage(), "en");
  ASSERT_TRUE(RecordLanguage(env.registry(), "1031"));
  EXPECT_EQ(RecordedLanguage(env.registry()), "1031");
  EXPECT_EQ(desktop::ChooseLanguage(), "de");
  ASSERT_TRUE(ClearRecordedLanguage(env.registry()));
  ASSERT_TRUE(ClearRecordedLanguage(env.registry()));  // nothing to clear
  EXPECT_EQ(desktop::ChooseLanguage(), "en");
}

// The program the package's configuration step runs.
TEST(RecordedLanguageTest, LanguageTool) {
  platform::ScopedTempDir dir("zelt-language");
  std::string machine = dir.Sub("etc/zelt/machine.reg");
  auto run = [&](const std::string& args, std::string* out) {
    std::string cmd = "env -u LC_ALL -u LC_MESSAGES LANG=C ZELT_REGISTRY_MACHINE=" +
                      machine + " " LANGUAGE_TOOL " " + args + " >" +
                      dir.Sub("out") + " 2>&1";
    int status = std::system(cmd.c_str());
    *out = platform::ReadTestFile(dir.Sub("out"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  std::string out;
  EXPECT_EQ(run("show", &out), 0) << out;
  EXPECT_NE(out.find("recorded language: none"), std::string::npos) << out;
  EXPECT_NE(out.find("libkeeperlang_en.so (language 1033): \"Backup\""),
            std::string::npos) << out;

  ASSERT_EQ(run("set 1031", &out), 0) << out;
  EXPECT_NE(platform::ReadTestFile(machine).find("\"Language\"=\"1031\""),
            std::string::npos);
  EXPECT_EQ(run("show", &out), 0) << out;
  EXPECT_NE(out.find("libkeeperlang_de.so (language 1031): \"Sicherung\""),
            std::string::npos) << out;

  EXPECT_EQ(run("set Klingon", &out), 2);
  EXPECT_NE(out.find("no language number"), std::string::npos) << out;
  EXPECT_NE(platform::ReadTestFile(machine).find("1031"), std::string::npos);
  EXPECT_EQ(run("", &out), 2);

  ASSERT_EQ(run("clear", &out), 0) << out;
  EXPECT_EQ(platform::ReadTestFile(machine).find("Language"), std::string::npos);
}

}  // namespace
}  // namespace setup
