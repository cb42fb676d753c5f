#include "platform/text.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(TextTest, Utf8AndUtf16RoundTrip) {
  const std::string samples[] = {"", "abc", "Scan-001", "日本語の箱",
                                 "\xF0\x9F\x93\x84 doc"};
  for (const auto& s : samples) EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(s)), s);
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x93\x84").size(), 2u);  // surrogate pair
}

TEST(TextTest, InvalidInputBecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong
  EXPECT_EQ(Utf8ToUtf16("\xE6\x97"), u"\uFFFD\uFFFD");  // cut short
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

TEST(TextTest, BoundedCopyNeverSplitsACharacter) {
  char buf[8];
  // "日本語" is 9 bytes; 7 fit, but only two whole characters (6 bytes).
  EXPECT_EQ(CopyBounded(buf, sizeof buf, "日本語"), 6u);
  EXPECT_STREQ(buf, "日本");
  EXPECT_EQ(CopyBounded(buf, sizeof buf, "abcdefghij"), 7u);
  EXPECT_STREQ(buf, "abcdefg");
  EXPECT_EQ(CopyBounded(buf, 1, "abc"), 0u);
  EXPECT_STREQ(buf, "");

  char16_t wbuf[3];
  std::u16string pair = u"a\U0001F4C4";  // a + surrogate pair
  EXPECT_EQ(CopyBounded(wbuf, 3, pair), 1u);
  EXPECT_EQ(std::u16string(wbuf), u"a");
}

TEST(TextTest, CodePageIsUtf8HereAndConvertsLosslessly) {
  ASSERT_TRUE(CodePageIsUtf8());
  EXPECT_EQ(Utf16ToCodePage(u"日本"), "日本");
  EXPECT_EQ(CodePageToUtf16("日本"), u"日本");
}

TEST(TextTest, IgnoreCase) {
  EXPECT_TRUE(EqualsIgnoreCase("FtpLog", "FTPLOG"));
  EXPECT_FALSE(EqualsIgnoreCase("FtpLog", "FtpLo"));
  EXPECT_EQ(ToLowerAscii("NoEncryption"), "noencryption");
}

}  // namespace
}  // namespace platform
