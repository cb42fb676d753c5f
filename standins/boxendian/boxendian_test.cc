#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/testing/temp_dir.h"
#include "standins/boxendian/image_index.h"

namespace {

using zelt::endian::ByteOrder;
using zelt::endian::DecodeImageIndex;
using zelt::endian::EncodeImageIndex;
using zelt::endian::ImageIndex;

using ChangeFn = int (*)(const char*);

class BoxendianTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lib_ = dlopen(BOXENDIAN_SO, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib_, nullptr) << dlerror();
    change_ = reinterpret_cast<ChangeFn>(dlsym(lib_, "fnChangeEndianFLData"));
    ASSERT_NE(change_, nullptr);
  }
  void TearDown() override {
    if (lib_) dlclose(lib_);
  }
  void* lib_ = nullptr;
  ChangeFn change_ = nullptr;
  platform::ScopedTempDir dir_;
};

TEST(ImageIndexTest, BothOrdersSpellTheSameNumbersTheirOwnWay) {
  ImageIndex index{ByteOrder::kLittle, {{1, 0x01020304}, {2, 5}}};
  std::string le = EncodeImageIndex(index);
  ASSERT_EQ(le.size(), 12u + 16u);
  EXPECT_EQ(le.substr(0, 12), std::string("FLIX\xFF\xFE\x01\x00\x02\x00\x00\x00", 12));
  EXPECT_EQ(le.substr(16, 4), std::string("\x04\x03\x02\x01", 4));
  index.order = ByteOrder::kBig;
  std::string be = EncodeImageIndex(index);
  EXPECT_EQ(be.substr(0, 12), std::string("FLIX\xFE\xFF\x00\x01\x00\x00\x00\x02", 12));
  EXPECT_EQ(be.substr(16, 4), std::string("\x01\x02\x03\x04", 4));
  auto back = DecodeImageIndex(be);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->order, ByteOrder::kBig);
  EXPECT_EQ(back->entries, index.entries);
}

TEST(ImageIndexTest, RefusesWhatIsNotAWholeIndex) {
  std::string good = EncodeImageIndex({ByteOrder::kLittle, {{1, 10}}});
  EXPECT_TRUE(DecodeImageIndex(good));
  EXPECT_FALSE(DecodeImageIndex(good.substr(0, good.size() - 1)));  // cut
  EXPECT_FALSE(DecodeImageIndex(good + "x"));                       // extended
  std::string bad_mark = good;
  bad_mark[4] = 0;
  EXPECT_FALSE(DecodeImageIndex(bad_mark));
  std::string bad_magic = good;
  bad_magic[0] = 'X';
  EXPECT_FALSE(DecodeImageIndex(bad_magic));
  std::string huge = EncodeImageIndex({ByteOrder::kLittle, {}});
  huge[8] = huge[9] = huge[10] = huge[11] = char(0xFF);  // 4 billion entries
  EXPECT_FALSE(DecodeImageIndex(huge));
}

TEST_F(BoxendianTest, TurnsAnIndexAroundInPlaceAndBack) {
  ImageIndex index{ByteOrder::kLittle, {{1, 700}, {2, 65536}, {3, 1}}};
  std::string path = dir_.Sub("00000");
  platform::WriteTestFile(path, EncodeImageIndex(index));
  ASSERT_EQ(change_(path.c_str()), 0);
  auto swapped = DecodeImageIndex(platform::ReadTestFile(path));
  ASSERT_TRUE(swapped);
  EXPECT_EQ(swapped->order, ByteOrder::kBig);
  EXPECT_EQ(swapped->entries, index.entries);
  ASSERT_EQ(change_(path.c_str()), 0);
  EXPECT_EQ(platform::ReadTestFile(path), EncodeImageIndex(index));
  EXPECT_FALSE(std::filesystem::exists(path + ".endian"));
}

TEST_F(BoxendianTest, LeavesOtherFilesAndLinksAlone) {
  std::string other = dir_.Sub("00000");
  platform::WriteTestFile(other, "not an index");
  EXPECT_EQ(change_(other.c_str()), 1);
  EXPECT_EQ(platform::ReadTestFile(other), "not an index");

  EXPECT_EQ(change_(dir_.Sub("missing").c_str()), 2);
  EXPECT_EQ(change_(nullptr), 2);

  std::string target = dir_.Sub("real");
  std::string index = EncodeImageIndex({ByteOrder::kLittle, {{1, 2}}});
  platform::WriteTestFile(target, index);
  std::filesystem::create_symlink(target, dir_.Sub("link"));
  EXPECT_EQ(change_(dir_.Sub("link").c_str()), 2);
  EXPECT_EQ(platform::ReadTestFile(target), index);
}

}  // namespace
