#include "platform/library.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(LibraryTest, CandidatesForBareNamesPathsAndFileNames) {
  EXPECT_EQ(LibraryCandidates("ftpshim", "/opt/zelt"),
            (std::vector<std::string>{"/opt/zelt/libftpshim.so",
                                      "/opt/zelt/ftpshim.so",
                                      "libftpshim.so"}));
  EXPECT_EQ(LibraryCandidates("/x/libc.so", "/opt"),
            std::vector<std::string>{"/x/libc.so"});
  EXPECT_EQ(LibraryCandidates("libm.so.6", "/opt"),
            (std::vector<std::string>{"/opt/libm.so.6", "libm.so.6"}));
  EXPECT_TRUE(LibraryCandidates("", "/opt").empty());
}

TEST(LibraryTest, LoadsAndFindsSymbolsOrSaysWhy) {
  std::string error;
  auto lib = OpenLibrary("libm.so.6", "/nonexistent", &error);
  ASSERT_NE(lib, nullptr) << error;
  EXPECT_NE(lib->Symbol("cos"), nullptr);
  EXPECT_EQ(lib->Symbol("no_such_symbol_here"), nullptr);

  EXPECT_EQ(OpenLibrary("zelt_missing_library", "/nonexistent", &error),
            nullptr);
  EXPECT_NE(error.find("zelt_missing_library"), std::string::npos) << error;
}

}  // namespace
}  // namespace platform
