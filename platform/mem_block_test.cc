#include "platform/mem_block.h"

#include <gtest/gtest.h>

#include <cstring>

namespace platform {
namespace {

TEST(MemBlockTest, ZeroFilledResizableAndFreeable) {
  UniqueBlock b(BlockAlloc(100));
  ASSERT_TRUE(b);
  EXPECT_EQ(BlockSize(b.get()), 100u);
  auto* p = static_cast<unsigned char*>(BlockLock(b.get()));
  for (int i = 0; i < 100; ++i) ASSERT_EQ(p[i], 0);
  std::memset(p, 0xAB, 100);

  BlockHandle grown = BlockReAlloc(b.get(), 1000);
  ASSERT_NE(grown, nullptr);
  b.release();
  b = UniqueBlock(grown);
  p = static_cast<unsigned char*>(BlockLock(b.get()));
  EXPECT_EQ(p[99], 0xAB);
  EXPECT_EQ(p[100], 0);
  EXPECT_EQ(p[999], 0);

  UniqueBlock empty(BlockAlloc(0));
  EXPECT_TRUE(empty);
  EXPECT_EQ(BlockSize(empty.get()), 0u);
  EXPECT_EQ(BlockLock(nullptr), nullptr);
  EXPECT_EQ(BlockSize(nullptr), 0u);
  BlockFree(nullptr);
}

}  // namespace
}  // namespace platform
