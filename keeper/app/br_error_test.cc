#include "keeper/app/br_error.h"

#include <gtest/gtest.h>

#include "keeper/app/strings.h"
#include "platform/last_error.h"

namespace keeper {
namespace {

std::string S(uint32_t id) { return std::string(KeeperString(id)); }

TEST(BrErrorTest, TextsByCode) {
  const std::string a = "127.9.0.1";
  struct Case {
    uint32_t code;
    std::string text;
  } cases[] = {
      {3, S(139)},
      {12, a + "\n" + S(128)},
      {58, a + "\n" + S(128)},
      {12004, a + "\n" + S(128)},
      {50, a + "\n" + S(138)},
      {257, S(129) + "\n" + S(10009)},
      {1279, a + "\n" + S(114) + "\n" + S(205) + "\n"},
      {1314, S(12004)},
      {1605, a + "\n" + S(140)},
      {12029, a + "\n" + S(67) + "\n" + S(125)},
      {4319, a + "\n" + S(67) + "\n" + S(125)},
      {1371, S(201)},
      {1062, S(201)},
      {995, S(114)},
      {1127, S(114)},
      {424242, S(114)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cZBBoxBRError(c.code).Text(a), c.text) << c.code;
    EXPECT_FALSE(cZBBoxBRError(c.code).Text(a).empty()) << c.code;
  }
}

TEST(BrErrorTest, DiskFullTextFollowsStorageType) {
  EXPECT_EQ(cZBBoxBRError(39, 0).Text("x"), S(142));
  EXPECT_EQ(cZBBoxBRError(39, 1).Text("x"), S(10020));
  EXPECT_EQ(cZBBoxBRError(39, 2).Text("x"), S(10021));
  EXPECT_NE(S(142), S(10020));
}

TEST(BrErrorTest, ZeroStandsForTheLastError) {
  platform::SetLastError(0);
  EXPECT_EQ(cZBBoxBRError(0).Text("a"), "");
  platform::SetLastError(5);
  EXPECT_EQ(cZBBoxBRError(0).Text("a"), S(136));
  platform::SetLastError(0);
}

TEST(BrErrorTest, SkipDialogClearedForTimeoutsAndNetworkFailures) {
  for (uint32_t code : {1460u, 4319u, 12002u, 12009u, 12029u, 12031u})
    EXPECT_TRUE(cZBBoxBRError(code).ClearsSkipDialog()) << code;
  for (uint32_t code : {5u, 39u, 12004u, 995u})
    EXPECT_FALSE(cZBBoxBRError(code).ClearsSkipDialog()) << code;
}

TEST(BrErrorTest, LongTextIsCutOnACharacterBoundary) {
  // "x" then two-byte characters: byte 256 would split the 128th one.
  std::string address = "x";
  for (int i = 0; i < 200; ++i) address += "\xC3\xA9";
  std::string text = cZBBoxBRError(50).Text(address);
  EXPECT_EQ(text.size(), 255u);
  EXPECT_EQ(text, address.substr(0, 255));
}

}  // namespace
}  // namespace keeper
