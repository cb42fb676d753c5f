#include "boxlink/base/model_addition_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "boxlink/base/model_file.h"
#include "platform/last_error.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/recording_notifier.h"

namespace {

using boxlink::ModelAdditionCheck;
using boxlink::ModelFileRecord;

class ModelCheckTest : public ::testing::Test {
 protected:
  ModelCheckTest() : use_(&env_), notify_(&notices_) {
    env_.SetProgramDir(env_.root() + "/program");
    std::filesystem::create_directories(env_.root() + "/program");
    ModelAdditionCheck::ResetForTesting();
  }
  ~ModelCheckTest() override { ModelAdditionCheck::ResetForTesting(); }

  std::string Shipped() const {
    return env_.root() + "/program/ZELT_ModelInfo.bin";
  }
  std::string Copy() const {
    return env_.root() + "/programdata/ZELT_ModelInfo.bin";
  }
  void Ship(const std::vector<ModelFileRecord>& records, bool utf16 = false) {
    ASSERT_TRUE(boxlink::WriteModelFile(Shipped(), records, utf16));
  }

  platform::FakeEnv env_;
  platform::ScopedEnv use_;
  platform::RecordingNotifier notices_;
  platform::ScopedNotifier notify_;
};

TEST_F(ModelCheckTest, ListedModelMakesADeviceSupported) {
  for (bool utf16 : {false, true}) {
    ModelAdditionCheck::ResetForTesting();
    Ship({{"KVX_Supported_Models", {"Varda 8000"}}}, utf16);
    EXPECT_TRUE(boxlink::IsSupportedModel("Varda 8000 Series V1.0 build 12"));
    EXPECT_FALSE(boxlink::IsSupportedModel("Varda 8100 Series V1.0"));
    EXPECT_FALSE(boxlink::IsSupportedModel("varda 8000 Series V1.0"))
        << "the test is case-sensitive";
    EXPECT_TRUE(std::filesystem::exists(Copy()));
  }
  EXPECT_TRUE(notices_.notices().empty());
}

TEST_F(ModelCheckTest, ShippedFileReplacesTheOlderCopy) {
  std::filesystem::create_directories(env_.root() + "/programdata");
  ASSERT_TRUE(boxlink::WriteModelFile(
      Copy(), {{"KVX_Supported_Models", {"Varda 1111"}}}));
  Ship({{"KVX_Supported_Models", {"Varda 2222"}}});
  ModelAdditionCheck check;
  check.Load(env_);
  EXPECT_EQ(check.CheckCategory("Varda 2222", "KVX_Supported_Models"), 1);
  EXPECT_EQ(check.CheckCategory("Varda 1111", "KVX_Supported_Models"), 0);
}

TEST_F(ModelCheckTest, FailedCopyUsesTheCopyThatIsThere) {
  std::filesystem::create_directories(env_.root() + "/programdata");
  ASSERT_TRUE(boxlink::WriteModelFile(
      Copy(), {{"KVX_Supported_Models", {"Varda 1111"}}}));
  platform::SetLastError(0);
  ModelAdditionCheck check;
  check.Load(env_);  // nothing shipped
  EXPECT_EQ(platform::GetLastError(), 1359u);
  EXPECT_EQ(check.CheckCategory("Varda 1111 V1", "KVX_Supported_Models"), 1);
}

TEST_F(ModelCheckTest, NoFileAnywhereLeavesTheCheckerEmpty) {
  ModelAdditionCheck check;
  check.Load(env_);
  EXPECT_EQ(check.CategoryIndex("KVX_Supported_Models"), -1);
  EXPECT_EQ(check.CheckCategory("Varda 8000", "KVX_Supported_Models"), 0);
  EXPECT_TRUE(notices_.notices().empty());
}

TEST_F(ModelCheckTest, TruncatedFileKeepsWhatWasReadAndSaysSoOnce) {
  std::string bytes = boxlink::EncodeModelFile(
      {{"First", {"Varda 1000", "Varda 1001"}},
       {"KVX_Supported_Models", {"Varda 8000", "Varda 8100"}}});
  // Cut inside the last model string of the second record.
  bytes.resize(bytes.size() - 3);
  ModelAdditionCheck check;
  check.LoadBytes(bytes);
  EXPECT_EQ(check.CheckCategory("Varda 1001", "First"), 1);
  EXPECT_EQ(check.CheckCategory("Varda 8000 V1", "KVX_Supported_Models"), 1);
  EXPECT_EQ(check.CheckCategory("Varda 8100 V1", "KVX_Supported_Models"), 0);
  auto n = notices_.notices();
  ASSERT_EQ(n.size(), 1u);
  EXPECT_EQ(n[0].text, "endOfFile reached");
  EXPECT_EQ(n[0].caption, "endOfFile");
}

TEST_F(ModelCheckTest, TruncationPointsAllKeepEarlierRecords) {
  std::string full = boxlink::EncodeModelFile(
      {{"A", {"m1"}}, {"B", {"m2", "m3"}}});
  // Every proper prefix is a truncated file: none may crash, each keeps the
  // records completed before the cut and reports once.
  for (size_t len = 0; len < full.size(); ++len) {
    platform::RecordingNotifier rec;
    platform::ScopedNotifier install(&rec);
    ModelAdditionCheck check;
    check.LoadBytes(std::string_view(full).substr(0, len));
    EXPECT_EQ(rec.notices().size(), 1u) << len;
    if (len >= 4 + 2 + 4 + 3) {
      EXPECT_EQ(check.CheckCategory("m1", "A"), 1) << len;
    }
  }
}

TEST_F(ModelCheckTest, CategoriesAreIndexedByFirstAppearance) {
  std::vector<ModelFileRecord> records;
  for (int i = 0; i < 8; ++i)
    records.push_back({"C" + std::to_string(i), {"M" + std::to_string(i)}});
  records.push_back({"C2", {"M2b"}});  // second record of a known category
  ModelAdditionCheck check;
  check.LoadBytes(boxlink::EncodeModelFile(records));
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(check.CategoryIndex("C" + std::to_string(i)), i);
  EXPECT_EQ(check.CheckCategory("xM2bx", "C2"), 1);
  EXPECT_EQ(check.CheckCategory("M6", "C6"), 1);
  // The eighth category is held but never consulted.
  EXPECT_EQ(check.Category(7).size(), 1u);
  EXPECT_EQ(check.CheckCategory("M7", "C7"), 0);
}

TEST_F(ModelCheckTest, MoreThanTenCategoriesAreNotHeld) {
  std::vector<ModelFileRecord> records;
  for (int i = 0; i < 12; ++i)
    records.push_back({"C" + std::to_string(i), {"M" + std::to_string(i)}});
  ModelAdditionCheck check;
  check.LoadBytes(boxlink::EncodeModelFile(records));
  EXPECT_EQ(check.CategoryIndex("C9"), 9);
  EXPECT_EQ(check.CategoryIndex("C10"), -1);
  EXPECT_EQ(check.CategoryIndex("C11"), -1);
}

TEST_F(ModelCheckTest, CheckTakesABlockOfNamesEndedByAnEmptyOne) {
  ModelAdditionCheck check;
  check.LoadBytes(boxlink::EncodeModelFile(
      {{"A", {"alpha"}}, {"B", {"beta"}}, {"C", {"gamma"}}}));
  char names[10][260] = {};
  EXPECT_EQ(check.Check("beta", names), 0) << "empty list";
  std::strcpy(names[0], "A");
  std::strcpy(names[1], "B");
  std::strcpy(names[3], "C");  // after the empty third entry: not looked at
  EXPECT_EQ(check.Check("has beta", names), 1);
  EXPECT_EQ(check.Check("has gamma", names), 0);
  EXPECT_EQ(check.Check(nullptr, names), 0);
  EXPECT_EQ(check.Check("alpha", nullptr), 0);
  std::strcpy(names[0], "Unknown");
  EXPECT_EQ(check.Check("alpha", names), 0);
}

TEST_F(ModelCheckTest, OverlongModelStringIsLeftOut) {
  ModelAdditionCheck check;
  check.LoadBytes(boxlink::EncodeModelFile(
      {{"A", {std::string(600, 'v'), "short"}}}));
  ASSERT_EQ(check.Category(0).size(), 1u);
  EXPECT_STREQ(check.Category(0)[0].ModelName, "short");
  EXPECT_STREQ(check.Category(0)[0].CategoryName, "A");
}

}  // namespace
