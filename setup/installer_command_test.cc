#include "setup/installer_command.h"

#include <gtest/gtest.h>

#include <string>

namespace setup {
namespace {

const Places kWin{"C:\\Windows", "C:\\Setup\\", "C:\\Setup\\keeperpkg.msi"};
const std::string kI =
    "\"C:\\Windows\\System32\\msiexec.exe\" /i \"C:\\Setup\\keeperpkg.msi\"";
const std::string kX =
    "\"C:\\Windows\\System32\\msiexec.exe\" /x \"C:\\Setup\\keeperpkg.msi\"";
const std::string kDir = "SETUPEXEDIR=\"C:\\Setup\\\"";

TEST(CommandFormatTest, EachFormatAsWritten) {
  EXPECT_EQ(InstallBase("C:\\Windows"), "\"C:\\Windows\\System32\\msiexec.exe\" /i");
  EXPECT_EQ(RemovalBase("C:\\Windows"), "\"C:\\Windows\\System32\\msiexec.exe\" /x");
  EXPECT_EQ(PlainCommand("B", "P", "Q"), "B \"P\" Q");
  EXPECT_EQ(FolderProperty("F"), "SETUPEXEDIR=\"F\"");
  EXPECT_EQ(PassedOnProperty("/qn", "F"), "/qn SETUPEXEDIR=\"F\"");
  EXPECT_EQ(OptionsWithTransform("B", "P", "1031", "Q"),
            "B \"P\" TRANSFORMS=\":1031.mst\"Q");
  EXPECT_EQ(OptionsWithoutTransform("B", "P", "Q"), "B \"P\"Q");
  EXPECT_EQ(NamedLanguageWithTransform("B", "P", "F", "1041"),
            "B \"P\" SETUPEXEDIR=\"F\" TRANSFORMS=\":1041.mst\"");
  EXPECT_EQ(NamedLanguageWithoutTransform("B", "P", "F"),
            "B \"P\" SETUPEXEDIR=\"F\"");
  EXPECT_EQ(ChosenLanguageProperty(2052, "F"),
            "TRANSFORMS=\":2052.mst\" SETUPEXEDIR=\"F\"");
}

struct UnattendedCase {
  const char* name;
  std::string line;
  std::string expected;  // empty: refused
};

class UnattendedCommandTest : public testing::TestWithParam<UnattendedCase> {};

TEST_P(UnattendedCommandTest, ComposesOrRefuses) {
  const UnattendedCase& c = GetParam();
  ASSERT_TRUE(IsUnattended(c.line));
  std::string error;
  std::optional<std::string> command;
  if (auto request = ReadUnattended(c.line, &error))
    command = UnattendedCommand(kWin, *request, &error);
  if (c.expected.empty()) {
    EXPECT_FALSE(command) << *command;
    EXPECT_FALSE(error.empty());
  } else {
    ASSERT_TRUE(command) << error;
    EXPECT_EQ(*command, c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, UnattendedCommandTest,
    testing::Values(
        // Without /S: the named-language forms, transform after SETUPEXEDIR.
        UnattendedCase{"German", "/w /L1031",
                       kI + " " + kDir + " TRANSFORMS=\":1031.mst\""},
        UnattendedCase{"English", "/w /L1033", kI + " " + kDir},
        UnattendedCase{"GermanFollowedBySpace", "/w /L1031 /q",
                       kI + " " + kDir + " TRANSFORMS=\":1031.mst\""},
        UnattendedCase{"JapaneseAnyThreeSkipped", "/w -l1041",
                       kI + " " + kDir + " TRANSFORMS=\":1041.mst\""},
        // DELETEMESS counts only with /S.
        UnattendedCase{"DeleteMessWithoutS", "/w /L1031 DELETEMESS",
                       kI + " " + kDir + " TRANSFORMS=\":1031.mst\""},
        // With /S: options unescaped and passed on, no blank before them.
        UnattendedCase{"GermanSilent",
                       "/w /L1031 /S /v\"/qn INSTALLDIR=\\\"C:\\P\\\"\"",
                       kI + " TRANSFORMS=\":1031.mst\"/qn INSTALLDIR=\"C:\\P\" " +
                           kDir},
        UnattendedCase{"EnglishSilent",
                       "/w /L1033 /S /v\" /qn REBOOT=\\\"R\\\"\"",
                       kI + " /qn REBOOT=\"R\" " + kDir},
        UnattendedCase{"GermanRemoval",
                       "/w /L1031 DELETEMESS /S /v\" X=\\\"1\\\"\"",
                       kX + " TRANSFORMS=\":1031.mst\" X=\"1\" " + kDir},
        UnattendedCase{"EnglishRemoval",
                       "/w /L1033 /S DELETEMESS /v\" X=\\\"1\\\"\"",
                       kX + " X=\"1\" " + kDir},
        // An open quotation gets its closing mark.
        UnattendedCase{"UnclosedQuotation", "/w /L1033 /S /v\" A=\\\"x\"",
                       kI + " A=\"x\" " + kDir},
        // Options without escapes are passed on whole.
        UnattendedCase{"PlainOptions", "/w /L1033 /S /v\" /qn\"",
                       kI + " /qn " + kDir},
        UnattendedCase{"EmptyOptions", "/w /L1033 /S /v\"\"",
                       kI + " " + kDir},
        // Refused: no or unknown language, /S without /v, /v not last or
        // not quoted.
        UnattendedCase{"NoLanguage", "/w", ""},
        UnattendedCase{"EmptyLanguage", "/w /L", ""},
        UnattendedCase{"UnknownLanguage", "/w /L9999", ""},
        UnattendedCase{"LanguageWithoutSpace", "/w /L1031/S", ""},
        UnattendedCase{"LeadingZero", "/w /L01033", ""},
        UnattendedCase{"SilentWithoutV", "/w /L1031 /S", ""},
        UnattendedCase{"VNotQuoted", "/w /L1031 /S /v/qn", ""},
        UnattendedCase{"VNotLast", "/w /L1031 /S /v\"/qn\" DELETEMESS", ""},
        UnattendedCase{"VOnlyOpening", "/w /L1031 /S /v\"", ""}),
    [](const testing::TestParamInfo<UnattendedCase>& i) {
      return std::string(i.param.name);
    });

TEST(UnattendedCommandTest, SearchesAreExactAndCaseSensitive) {
  EXPECT_TRUE(IsUnattended("/w /L1031"));
  EXPECT_FALSE(IsUnattended("/W /L1031"));
  EXPECT_FALSE(IsUnattended(""));
  std::string error;
  // "/s" is not "/S": no options are read.
  auto r = ReadUnattended("/w /L1031 /s /v\"x\"", &error);
  ASSERT_TRUE(r) << error;
  EXPECT_FALSE(r->silent);
  // Only the first "/w" counts.
  r = ReadUnattended("/w /L1031 /w /L1033", &error);
  ASSERT_TRUE(r) << error;
  EXPECT_EQ(r->language, "1031");
}

TEST(UnescapeOptionsTest, EscapedQuotationMarks) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"INSTALLDIR=\\\"C:\\x\\\"", "INSTALLDIR=\"C:\\x\""},
      {"/qn INSTALLDIR=\\\"C:\\x\\\"", "/qn INSTALLDIR=\"C:\\x\""},
      {"A=\\\"x", "A=\"x\""},                    // closed
      {"A=\\\"x\\\" /qn", "A=\"x\" /qn"},        // the tail is kept
      {"/qn", "/qn"},                            // nothing to unescape
      {"", ""},
      {"C:\\dir\\", "C:\\dir\\"},                // other backslashes stay
      {"A=\\\"\\\"", "A=\"\""},
  };
  for (const Case& c : cases) EXPECT_EQ(UnescapeOptions(c.in), c.out) << c.in;
}

TEST(CommandLimitTest, LongestCommandLineIsAcceptedOneMoreIsRefused) {
  std::string error;
  auto fits = [&](size_t option_length) {
    std::string line = "/w /L1033 /S /v\"" + std::string(option_length, 'a') + "\"";
    auto r = ReadUnattended(line, &error);
    return r && UnattendedCommand(kWin, *r, &error).has_value();
  };
  // Base, package and property around the options.
  size_t around = (kI + " " + kDir).size();
  EXPECT_TRUE(fits(kMaxCommandUnits - around));
  EXPECT_FALSE(fits(kMaxCommandUnits - around + 1));
  EXPECT_NE(error.find("1039"), std::string::npos) << error;
  // Limits count UTF-16 units, not bytes: "ä" is one unit in two bytes.
  std::string line = "/w /L1033 /S /v\"" +
                     std::string(kMaxCommandUnits - around - 10, 'a');
  for (int i = 0; i < 10; ++i) line += "\xC3\xA4";
  line += "\"";
  auto r = ReadUnattended(line, &error);
  ASSERT_TRUE(r);
  EXPECT_TRUE(UnattendedCommand(kWin, *r, &error)) << error;
}

TEST(CommandLimitTest, DialogPropertyLimit) {
  std::string error;
  Places deep = kWin;
  size_t around = ChosenLanguageProperty(1031, "").size();
  deep.setup_folder = std::string(kMaxDialogPropertyUnits - around, 'd');
  deep.package_path = "p";
  EXPECT_TRUE(ChosenLanguageCommand(deep, 1031, &error)) << error;
  deep.setup_folder += 'd';
  EXPECT_FALSE(ChosenLanguageCommand(deep, 1031, &error));
  // The English property is shorter and still fits.
  EXPECT_TRUE(ChosenLanguageCommand(deep, std::nullopt, &error)) << error;
}

TEST(ModeCommandTest, MaintenanceAndDialogCommands) {
  std::string error;
  EXPECT_EQ(MaintenanceCommand(kWin, &error), kI + " " + kDir);
  EXPECT_EQ(ChosenLanguageCommand(kWin, 1041, &error),
            kI + " TRANSFORMS=\":1041.mst\" " + kDir);
  EXPECT_EQ(ChosenLanguageCommand(kWin, std::nullopt, &error), kI + " " + kDir);
}

}  // namespace
}  // namespace setup
