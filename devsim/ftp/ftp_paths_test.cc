#include "devsim/ftp/ftp_paths.h"

#include <gtest/gtest.h>

namespace devsim {
namespace {

TEST(ResolveFtpPathTest, Table) {
  struct Case {
    const char* cwd;
    const char* arg;
    const char* want;  // nullptr: refused
  } cases[] = {
      {"/", "BOX/DATA", "/BOX/DATA"},
      {"/BOX", "DATA/", "/BOX/DATA"},
      {"/BOX/DATA", "/SHR//BOX/./DATA", "/SHR/BOX/DATA"},
      {"/BOX/DATA", "..", "/BOX"},
      {"/storage/box/TarnBoxes", "001/0002", "/storage/box/TarnBoxes/001/0002"},
      {"/", "", "/"},
      {"/", "..", nullptr},
      {"/BOX", "../../etc/passwd", nullptr},
      {"/", "/a/../..", nullptr},
      {"/", "Prüfung ä/x y", "/Prüfung ä/x y"},
  };
  for (const auto& c : cases) {
    auto got = ResolveFtpPath(c.cwd, c.arg);
    if (!c.want) {
      EXPECT_FALSE(got.has_value()) << c.cwd << " + " << c.arg;
    } else {
      ASSERT_TRUE(got.has_value()) << c.cwd << " + " << c.arg;
      EXPECT_EQ(*got, c.want);
    }
  }
}

TEST(ResolveFtpPathTest, LocalPathStaysBelowRoot) {
  EXPECT_EQ(ToLocalPath("/srv/store", "/"), "/srv/store");
  EXPECT_EQ(ToLocalPath("/srv/store", "/BOX/DATA"), "/srv/store/BOX/DATA");
}

}  // namespace
}  // namespace devsim
