#include "boxlink/engine/item_names.h"

#include <gtest/gtest.h>

#include "boxlink.h"
#include "boxlink/base/box_error.h"

namespace boxlink {
namespace {

TEST(ItemNames, OnlyNamesThatStayInTheirFolderPass) {
  struct Case {
    std::string name;
    bool safe;
  };
  const Case cases[] = {
      {"Scan 2024-03-01", true},
      {"Dokumente für Ämter", true},
      {"スキャン", true},
      {"..Scan", true},
      {"Scan.", true},
      {"...", true},
      {"", false},
      {".", false},
      {"..", false},
      {"../008", false},
      {"a/b", false},
      {"a\\b", false},
      {std::string("a\0b", 3), false},
      {"tab\there", false},
      {"line\nbreak", false},
      {"del\x7f", false},
      {"c1\xc2\x85", false},      // U+0085, a C1 control
      {"broken\xff", false},      // not UTF-8
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsSafeItemName(std::string_view(c.name)), c.safe) << PrintableName(c.name);
  }
  EXPECT_TRUE(IsSafeItemName(std::u16string_view(u"Ordner")));
  EXPECT_FALSE(IsSafeItemName(std::u16string_view(u"..")));
  // A character that only looks like a separator is just a character.
  EXPECT_TRUE(IsSafeItemName(std::u16string_view(u"a\u2215b")));
  EXPECT_FALSE(IsSafeItemName(std::u16string_view(u"x/y")));
}

TEST(ItemNames, RefusalsThrowTheInvalidNameCode) {
  try {
    RequireSafeItemName("test", std::string_view("../008"));
    ADD_FAILURE() << "not refused";
  } catch (const BoxError& e) {
    EXPECT_EQ(e.code(), ZB_ERR_INVALID_NAME);
  }
  EXPECT_NO_THROW(RequireSafeItemName("test", std::u16string_view(u"Scan")));
  EXPECT_EQ(PrintableName("a\tb\\c"), "\"a\\x09b\\x5Cc\"");
}

}  // namespace
}  // namespace boxlink
