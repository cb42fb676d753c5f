#include "boxlink/convert/ini_file.h"

#include <gtest/gtest.h>

#include "platform/testing/temp_dir.h"

namespace boxlink {
namespace {

constexpr char kRules[] =
    "; rules\r\n"
    "stray = 5\r\n"
    "[Varda 8000]\r\n"
    "ColorCheck=1\r\n"
    "  WidePaperCheck  =  0x10  \r\n"
    "colorcheck=0\r\n"
    "# a comment\r\n"
    "Negative=-3\r\n"
    "Words=abc\r\n"
    "Digits=12abc\r\n"
    "Huge=99999999999\r\n"
    "Listed item without value\r\n"
    "=no key\r\n"
    "[Broken\r\n"
    "Lost=1\r\n"
    "[varda 8000]\r\n"
    "CopyCompoundCheck=7\n"
    "[Other]\n"
    "ColorCheck=2";

TEST(IniFileTest, ReadsKeysAsTheProfileFunctionsDo) {
  CIniFile ini;
  ini.Parse(kRules);
  struct Case {
    const char* section;
    const char* key;
    int32_t want;
  } cases[] = {
      {"Varda 8000", "ColorCheck", 1},         // the first of two equal keys wins
      {"VARDA 8000", "colorCHECK", 1},         // names ignore case
      {"Varda 8000", "WidePaperCheck", 16},    // blanks dropped, hexadecimal
      {"Varda 8000", "Negative", -3},
      {"Varda 8000", "Words", 0},              // no digits
      {"Varda 8000", "Digits", 12},            // up to the first other character
      {"Varda 8000", "Huge", -1},              // saturates at 32 bits
      {"Varda 8000", "CopyCompoundCheck", 7},  // a second section of the same name
      {"Varda 8000", "Missing", 42},           // default
      {"Other", "ColorCheck", 2},              // last line without line end
      {"Nowhere", "ColorCheck", 42},
      {"", "stray", 42},                       // lines before any section
      {"Broken", "Lost", 42},                  // a header without ']'
  };
  for (const Case& c : cases)
    EXPECT_EQ(ini.GetInt(c.section, c.key, 42), c.want) << c.section << "/" << c.key;
}

TEST(IniFileTest, KeepsListEntriesInFileOrder) {
  CIniFile ini;
  ini.Parse("\xEF\xBB\xBF[List]\nfirst\n second item \nkey = value\n[Next]\nthird\n");
  auto entries = ini.Entries("list");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].key, "first");
  EXPECT_FALSE(entries[0].has_value);
  EXPECT_EQ(entries[1].key, "second item");
  EXPECT_EQ(entries[2].key, "key");
  EXPECT_EQ(entries[2].value, "value");
  EXPECT_EQ(ini.GetString("List", "key"), "value");
  EXPECT_FALSE(ini.GetString("List", "first"));  // a list entry is not a key
  EXPECT_TRUE(ini.Entries("Missing").empty());
}

TEST(IniFileTest, ReadFileRefusesMissingAndOversizedFiles) {
  platform::ScopedTempDir dir;
  CIniFile ini;
  EXPECT_FALSE(ini.ReadFile(dir.Sub("missing.ini")));
  platform::WriteTestFile(dir.Sub("big.ini"), std::string(CIniFile::kMaxFileBytes + 1, ' '));
  EXPECT_FALSE(ini.ReadFile(dir.Sub("big.ini")));
  EXPECT_FALSE(ini.ReadFile(dir.path()));  // a folder
  platform::WriteTestFile(dir.Sub("ok.ini"), "[A]\nx=3\n");
  ASSERT_TRUE(ini.ReadFile(dir.Sub("ok.ini")));
  EXPECT_EQ(ini.GetInt("A", "x", 0), 3);
}

}  // namespace
}  // namespace boxlink
