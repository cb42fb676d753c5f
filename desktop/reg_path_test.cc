#include "desktop/reg_path.h"

#include <gtest/gtest.h>

namespace desktop {
namespace {

TEST(RegPathTest, DoubledBackslashesCollapse) {
  EXPECT_EQ(CollapseBackslashes("Software\\\\TALLIS\\\\Client"),
            "Software\\TALLIS\\Client");
  // Repeated until none is left: four become one.
  EXPECT_EQ(CollapseBackslashes("A\\\\\\\\B"), "A\\B");
  EXPECT_EQ(CollapseBackslashes("A\\B"), "A\\B");
  EXPECT_EQ(CollapseBackslashes(""), "");
}

}  // namespace
}  // namespace desktop
