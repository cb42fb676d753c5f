#include "boxlink/base/tree_names.h"

#include <gtest/gtest.h>

namespace boxlink::tree {
namespace {

TEST(TreeNames, NumbersKeepThreeDigitsAtLeast) {
  struct Case {
    std::string made, expected;
  };
  const Case cases[] = {
      {BoxFolder(7), "B0000007"},
      {BoxFolder(1000), "B00001000"},
      {StorageBoxFolder(7), "007"},
      {StorageBoxFolder(123), "123"},
      {StorageBoxFolder(0), "00000"},
      {DocumentFolder(1), "D0000001"},
      {DocumentFolder(1234), "D00001234"},
      {FolderFolder(42), "F0000042"},
      {ItemFile(DocumentFolder(5)), "D0000005.XML"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.made, c.expected);
}

TEST(TreeNames, ItemFilesAreReadBackAndOthersRefused) {
  struct Case {
    const char* name;
    bool ok;
    ItemKind kind;
    uint32_t number;
  };
  const Case cases[] = {
      {"D0000001.XML", true, ItemKind::kDocument, 1},
      {"F0000999.XML", true, ItemKind::kFolder, 999},
      {"D00001000.XML", true, ItemKind::kDocument, 1000},
      {"D0000123456789.XML", true, ItemKind::kDocument, 123456789},
      {"D00001234567890.XML", false, {}, 0},  // ten digits overflow
      {"D000001.XML", false, {}, 0},          // two digits
      {"D0000001.xml", false, {}, 0},
      {"D0000001", false, {}, 0},
      {"B0000001.XML", false, {}, 0},
      {"D00000a1.XML", false, {}, 0},
      {"D1000001.XML", false, {}, 0},
      {"", false, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<ItemFileName> parsed = ParseItemFile(c.name);
    ASSERT_EQ(parsed.has_value(), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(parsed->kind, c.kind);
    EXPECT_EQ(parsed->number, c.number);
    EXPECT_EQ(ItemFile(c.kind == ItemKind::kDocument ? DocumentFolder(c.number)
                                                     : FolderFolder(c.number)),
              c.name);
  }
}

}  // namespace
}  // namespace boxlink::tree
