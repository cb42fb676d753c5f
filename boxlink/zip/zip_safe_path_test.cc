#include "boxlink/zip/zip_safe_path.h"

#include <gtest/gtest.h>

namespace boxlink {
namespace {

TEST(SafeEntryPathTest, KeepsEntriesInsideTheFolder) {
  struct Case {
    const char* name;
    const char* expected;  // null: refused
  } cases[] = {
      {"BOX/Backup.XML", "/t/BOX/Backup.XML"},
      {"BOX\\DATA\\B0000001.tnb", "/t/BOX/DATA/B0000001.tnb"},
      {"BOX/B0000001/", "/t/BOX/B0000001"},
      {"./a//b", "/t/a/b"},
      {"a..b/..c", "/t/a..b/..c"},
      {"ünïcode/名前.txt", "/t/ünïcode/名前.txt"},
      {"../evil", nullptr},
      {"BOX/../../evil", nullptr},
      {"BOX\\..\\..\\evil", nullptr},
      {"..", nullptr},
      {"/etc/passwd", nullptr},
      {"\\evil", nullptr},
      {"C:evil", nullptr},
      {"C:\\evil", nullptr},
      {"", nullptr},
      {".", nullptr},
      {"./", nullptr},
  };
  for (const Case& c : cases) {
    auto got = SafeEntryPath("/t", c.name);
    if (c.expected) {
      ASSERT_TRUE(got) << c.name;
      EXPECT_EQ(*got, c.expected);
    } else {
      EXPECT_FALSE(got) << c.name << " -> " << got.value_or("");
    }
  }
  EXPECT_FALSE(SafeEntryPath("/t", std::string_view("a\0b", 3)));
}

}  // namespace
}  // namespace boxlink
