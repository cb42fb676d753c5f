#include "desktop/format.h"

#include <gtest/gtest.h>

namespace desktop {
namespace {

TEST(FormatTest, PlaceholdersInOrder) {
  struct Case {
    const char* format;
    std::vector<std::string> expected;
  } cases[] = {
      {"plain", {}},
      {"%s %d / %d", {"%s", "%d", "%d"}},
      {"100%% done, %.3d left", {"%.3d"}},
      {"%-10s|%05u|%lu", {"%-10s", "%05u", "%lu"}},
      {"trailing %", {}},
      {"%q is no directive", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Placeholders(c.format), c.expected) << c.format;
}

TEST(FormatTest, FillsArgumentsOfEitherKind) {
  EXPECT_EQ(FormatText("%s %d / %d", {std::string("Documents:"), int64_t{3},
                                      int64_t{12}}),
            "Documents: 3 / 12");
  EXPECT_EQ(FormatText("\t%.3d %s", {int64_t{7}, std::string("Scans")}),
            "\t007 Scans");
  // A number where text is expected and the other way round.
  EXPECT_EQ(FormatText("%s|%d", {int64_t{42}, std::string("17")}), "42|17");
  EXPECT_EQ(FormatText("50%% of %u", {int64_t{8}}), "50% of 8");
}

TEST(FormatTest, MissingArgumentsLeaveTheDirectiveReadable) {
  // A translation with one directive more than the code gives must not read
  // past the arguments.
  EXPECT_EQ(FormatText("%s and %s", {std::string("a")}), "a and %s");
  EXPECT_EQ(FormatText("%d%%", {}), "%d%");
}

}  // namespace
}  // namespace desktop
