#include "authdlg/password_rules.h"

#include <gtest/gtest.h>

namespace authdlg {
namespace {

TEST(PasswordRulesTest, ExactlyTheListedAsciiCharactersAreRefused) {
  const std::u16string refused = u" \"%&'<>[]";
  for (char16_t c = 0; c < 0x80; ++c) {
    bool expected = c >= 0x20 && refused.find(c) == std::u16string::npos;
    EXPECT_EQ(IsAllowed(c), expected) << "U+" << std::hex << int(c);
  }
}

TEST(PasswordRulesTest, CharactersAboveAsciiAreAccepted) {
  for (char16_t c : {u'\u007F', u'\u00A7', u'\u20AC', u'\u00B5', u'\u00E9',
                     u'\u00FC', u'\u65E5', u'\uAC00', char16_t(0xD83D), u'\uFFFF'})
    EXPECT_TRUE(IsAllowed(c)) << int(c);
}

TEST(PasswordRulesTest, FilterRemovesOneCharacterPerStep) {
  struct Case {
    std::u16string in;
    std::u16string after_one;
    size_t caret;
  } cases[] = {
      {u"a b", u"ab", 1},
      {u" ab", u"ab", 0},
      {u"ab<", u"ab", 2},
      {u"x\"y%z", u"xy%z", 1},
      {u"\t", u"", 0},
  };
  for (const Case& c : cases) {
    std::u16string text = c.in;
    size_t caret = 99;
    ASSERT_TRUE(RemoveFirstRefused(&text, &caret));
    EXPECT_EQ(text, c.after_one);
    EXPECT_EQ(caret, c.caret);
  }
  std::u16string clean = u"Pa$$w0rd!#()*+,-./:;=?@\\^_`{|}~\u00e9\u65e5";
  size_t caret = 7;
  EXPECT_FALSE(RemoveFirstRefused(&clean, &caret));
  EXPECT_EQ(caret, 7u);
  EXPECT_EQ(FirstRefused(clean), std::u16string::npos);
}

TEST(PasswordRulesTest, LimitsByControllerType) {
  EXPECT_EQ(PasswordLimit(1), 64u);
  for (uint8_t t : {0, 2, 255}) EXPECT_EQ(PasswordLimit(t), 10u) << int(t);
}

}  // namespace
}  // namespace authdlg
