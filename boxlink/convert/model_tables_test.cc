#include "boxlink/convert/model_tables.h"

#include <gtest/gtest.h>

#include "boxlink/base/engine_versions.h"
#include "boxlink/testing/convert_test_env.h"
#include "boxlink/base/model_addition_check.h"

namespace boxlink {
namespace {

std::optional<ModelTables> Shipped() {
  return ModelTables::LoadFile(std::string(CONFIG_DIR) + "/" + kModelTablesFileName);
}

TEST(ModelTablesTest, ShippedTablesAreWholeAndConsistent) {
  std::optional<ModelTables> t = Shipped();
  ASSERT_TRUE(t);
  EXPECT_EQ(t->classic_sources.size(), 4u);
  EXPECT_FALSE(t->storage_sources.empty());
  // Every classic source is an engine the library knows; every storage
  // source a model the shipped model file lists.
  converttest::ConvertTestEnv env;
  for (const std::string& v : t->classic_sources) EXPECT_TRUE(IsSupportedEngine(v)) << v;
  for (const std::string& v : t->storage_sources) {
    EXPECT_TRUE(IsSupportedModel(v)) << v;
    EXPECT_FALSE(t->IsClassicSource(v)) << v;
  }
  // Every storage source may go somewhere, and every target it may go to
  // has a version to state.
  for (const std::string& v : t->storage_sources) {
    bool listed = false;
    for (const auto& row : t->allowed_targets) {
      if (row.source != v) continue;
      listed = true;
      ASSERT_FALSE(row.targets.empty()) << v;
      EXPECT_LE(row.targets.size(), 8u) << v;
      for (const std::string& target : row.targets) {
        EXPECT_TRUE(t->TargetAllowed(v, target)) << v << " -> " << target;
        EXPECT_TRUE(t->RelabelVersion(v, target)) << v << " -> " << target;
      }
    }
    EXPECT_TRUE(listed) << v;
  }
  for (const std::string& v : t->byte_order_exempt) EXPECT_TRUE(t->IsStorageSource(v)) << v;
  for (const auto& row : t->wide_paper) {
    EXPECT_TRUE(t->IsStorageSource(row.pair.source)) << row.pair.source;
    EXPECT_TRUE(t->TargetAllowed(row.pair.source, row.pair.target)) << row.pair.target;
  }
  // A relabelled index states a version the tables (and so a later
  // conversion) know again.
  for (const auto& row : t->relabel)
    EXPECT_TRUE(t->IsStorageSource(row.version)) << row.version;
  // The shipped file in the build folder is this one.
  std::optional<ModelTables> built =
      ModelTables::LoadFile(std::string(BIN_DIR) + "/" + kModelTablesFileName);
  ASSERT_TRUE(built);
  EXPECT_EQ(built->relabel.size(), t->relabel.size());
}

TEST(ModelTablesTest, EntriesMatchAsCaseSensitiveSubstrings) {
  CIniFile ini;
  ini.Parse(
      "[ClassicSources]\nOld C V3.0\n"
      "[StorageSources]\nNew S V1.0\nNew T V2.0\n"
      "[AllowedTargets]\nNew S V1.0 = Target A, Target B\n"
      "[WidePaper]\nNew S V1.0 | Target A = strict\nNew S V1.0 | Target B = narrow\n"
      "New S V1.0 | Target C = sometimes\nno bar = strict\n"
      "[ByteOrderTargets]\nTarget B\n"
      "[ByteOrderExempt]\nNew T V2.0\n"
      "[Relabel]\nOld C V3.0 | Target A = New A V1.0\nNew S V1.0 | Target B = New B V1.0\n");
  ModelTables t = ModelTables::FromIni(ini);
  EXPECT_TRUE(t.IsClassicSource("Maker Old C V3.0 build 7"));
  EXPECT_FALSE(t.IsClassicSource("maker old c v3.0"));
  EXPECT_TRUE(t.IsStorageSource("New S V1.0"));
  EXPECT_FALSE(t.IsStorageSource("Old C V3.0"));
  EXPECT_TRUE(t.TargetAllowed("New S V1.0 x", "Target A"));
  EXPECT_TRUE(t.TargetAllowed("New S V1.0", "The Target B Plus"));
  EXPECT_FALSE(t.TargetAllowed("New S V1.0", "target a"));
  EXPECT_FALSE(t.TargetAllowed("New T V2.0", "Target A"));
  EXPECT_EQ(t.WidePaper("New S V1.0", "Target A"), WidePaperCheck::kStrict);
  EXPECT_EQ(t.WidePaper("New S V1.0", "Target B"), WidePaperCheck::kNarrow);
  EXPECT_EQ(t.WidePaper("New S V1.0", "Target C"), WidePaperCheck::kNone);
  EXPECT_EQ(t.wide_paper.size(), 2u);  // the unknown form and the bad key are ignored
  EXPECT_TRUE(t.IsByteOrderTarget("Target B"));
  EXPECT_FALSE(t.IsByteOrderTarget("Target A"));
  EXPECT_TRUE(t.IsByteOrderExempt("New T V2.0"));
  EXPECT_EQ(t.RelabelVersion("Old C V3.0", "Target A"), "New A V1.0");
  EXPECT_FALSE(t.RelabelVersion("Old C V3.0", "Target B"));
}

TEST(ModelTablesTest, ShippedTablesComeFromTheProgramFolder) {
  converttest::ConvertTestEnv env;
  ASSERT_TRUE(ModelTables::LoadShipped());
  platform::WriteTestFile(env.program_ + "/" + kModelTablesFileName,
                          "[ClassicSources]\nOnly This\n");
  std::optional<ModelTables> t = ModelTables::LoadShipped();
  ASSERT_TRUE(t);
  ASSERT_EQ(t->classic_sources.size(), 1u);
  EXPECT_EQ(t->classic_sources[0], "Only This");
}

}  // namespace
}  // namespace boxlink
