#include "setup/strings_file.h"

#include <gtest/gtest.h>

namespace setup {
namespace {

TEST(ProfileTextTest, ReadsLikeAPrivateProfile) {
  ProfileText p = ProfileText::Parse(
      "; a comment\r\n"
      "[Strings]\r\n"
      "1130 = OK \r\n"
      "1131=\"  Cancel  \"\r\n"
      "1131=second\r\n"
      "no equals sign\r\n"
      "=no key\r\n"
      "[ languages ]\n"
      "0x0407=Deutsch\n"
      "0X040b=Suomi\n"
      "[Broken\n"
      "after=still languages\n");
  EXPECT_EQ(p.Get("Strings", "1130"), "OK");
  EXPECT_EQ(p.Get("strings", "1131"), "  Cancel  ");  // quotes keep blanks
  EXPECT_EQ(p.Get("Languages", "0x0407"), "Deutsch");
  EXPECT_EQ(p.Get("LANGUAGES", "0x040B"), "Suomi");   // names without case
  EXPECT_EQ(p.Get("Languages", "after"), "still languages");
  EXPECT_EQ(p.Get("Strings", "1132"), "");            // missing: empty
  EXPECT_FALSE(p.Has("Strings", "1132"));
  EXPECT_EQ(p.Get("Nowhere", "1130"), "");
}

TEST(ProfileTextTest, KeysBeforeAnySectionAreNotRead) {
  ProfileText p = ProfileText::Parse("1130=OK\n[Strings]\n");
  EXPECT_FALSE(p.Has("Strings", "1130"));
}

TEST(ProfileTextTest, EncodingsWithByteOrderMarks) {
  EXPECT_EQ(ProfileText::Parse("\xEF\xBB\xBF[S]\nk=Dänisch\n").Get("S", "k"),
            "Dänisch");
  // UTF-16 little endian: "[S]\nk=日\n" with a surrogate pair (U+1F600).
  std::u16string text = u"\uFEFF[S]\r\nk=\u65E5\U0001F600\r\n";
  std::string le, be;
  for (char16_t c : text) {
    le += static_cast<char>(c & 0xFF);
    le += static_cast<char>(c >> 8);
    be += static_cast<char>(c >> 8);
    be += static_cast<char>(c & 0xFF);
  }
  EXPECT_EQ(ProfileText::Parse(le).Get("S", "k"), "日\xF0\x9F\x98\x80");
  EXPECT_EQ(ProfileText::Parse(be).Get("S", "k"), "日\xF0\x9F\x98\x80");
  // An unpaired surrogate becomes the replacement character.
  std::u16string odd_text = u"\uFEFF[S]\nk=";
  odd_text += static_cast<char16_t>(0xD800);
  odd_text += u"\n";
  std::string odd;
  for (char16_t c : odd_text) {
    odd += static_cast<char>(c & 0xFF);
    odd += static_cast<char>(c >> 8);
  }
  EXPECT_EQ(ProfileText::Parse(odd).Get("S", "k"), "\xEF\xBF\xBD");
}

TEST(ProfileTextTest, ValuesAreCutAtTheLimitWithoutSplittingCharacters) {
  std::string long_value(300, 'x');
  EXPECT_EQ(ProfileText::Parse("[S]\nk=" + long_value).Get("S", "k").size(),
            kMaxStringUnits);
  // 258 ASCII characters and a character of two UTF-16 units: it would
  // need units 259 and 260, so it is left out whole.
  std::string v = std::string(258, 'a') + "\xF0\x9F\x98\x80";
  EXPECT_EQ(ProfileText::Parse("[S]\nk=" + v).Get("S", "k"), std::string(258, 'a'));
  EXPECT_EQ(Utf16Units("a\xC3\xA4\xE6\x97\xA5\xF0\x9F\x98\x80"), 5u);
  EXPECT_EQ(CutToUnits("\xE6\x97\xA5\xE6\x97\xA5", 1), "\xE6\x97\xA5");
  EXPECT_EQ(Utf16Units("\xFF\xC3"), 2u);  // invalid bytes count one each
}

TEST(SetupStringsTest, MissingKeysReadEmpty) {
  SetupStrings s = ReadSetupStrings(ProfileText::Parse(
      "[Languages]\n0x0407=Deutsch\n[Strings]\nCOMPONENT_NAME=Setup\n"));
  EXPECT_EQ(s.languages[7], "Deutsch");  // 0x0407 is the eighth key
  EXPECT_EQ(s.languages[0], "");
  EXPECT_EQ(s.title, "Setup");
  EXPECT_EQ(s.ok, "");
  EXPECT_TRUE(s.file_read);
}

TEST(SetupStringsTest, PathBesideSetup) {
  EXPECT_EQ(StringsFilePath("/media/cd/", "\\STRINGS\\GER\\"),
            "/media/cd/STRINGS/GER/COMM_BR.ini");
  EXPECT_EQ(StringsFilePath("/media/cd", "\\STRINGS\\ENG\\"),
            "/media/cd/STRINGS/ENG/COMM_BR.ini");
}

}  // namespace
}  // namespace setup
