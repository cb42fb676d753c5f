#include "boxlink/engine/zip_utility.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "boxlink/client/box_error.h"
#include "boxlink/engine/engine_test_env.h"
#include "boxlink/zip/zip_utls.h"
#include "platform/testing/temp_dir.h"

namespace boxlink {
namespace {

namespace fs = std::filesystem;
using enginetest::ReadFile;
using enginetest::WriteFile;

std::vector<std::string> Entries(const std::string& zip_path) {
  CZipClass zip;
  zip.Open(zip_path, CZipClass::kOpenReadOnly);
  std::vector<std::string> names;
  CZipHeaderInfo h;
  for (size_t i = 0; i < zip.GetCount(); ++i) {
    zip.GetFileInfo(h, i);
    names.push_back(h.name);
  }
  return names;
}

class ZipUtilityTest : public ::testing::Test {
 protected:
  enginetest::EngineTestEnv env_;
  platform::ScopedTempDir dir_;
  CZipUtility u_;

  void SetUp() override {
    u_.SetWorkFolder(dir_.path());
    u_.SetArchivePath(dir_.Sub("out.zip"));
    u_.encryption().SetEncryptDllName(CIPHERLIB_SO);
    u_.encryption().SetHashDllName(DIGESTLIB_SO);
  }
};

TEST_F(ZipUtilityTest, MemberNamesByLayout) {
  struct Case { DeviceLayout layout; uint32_t box; const char* tnb; const char* member; };
  const Case cases[] = {
      {DeviceLayout::kStorage, 0, "BOX/00000.tnb", "00000.tnbe"},
      {DeviceLayout::kStorage, 7, "BOX/007.tnb", "007.tnbe"},
      {DeviceLayout::kStorage, 1234, "BOX/1234.tnb", "1234.tnbe"},
      {DeviceLayout::kClassic, 123, "BOX/B0000123.tnb", "B0000123.tnbe"},
      {DeviceLayout::kShared, 5, "BOX/DATA/B0000005.tnb", "B0000005.tnbe"},
  };
  for (const Case& c : cases) {
    u_.SetLayout(c.layout);
    EXPECT_EQ(u_.BoxTnbPath(c.box), dir_.path() + "/" + c.tnb);
    EXPECT_EQ(u_.BoxMemberName(c.box, true), c.member);
  }
}

// Packs one box of each layout into an archive and reads it back the way a
// restore does.
TEST_F(ZipUtilityTest, BoxRoundTripsThroughTheArchive) {
  struct Case { DeviceLayout layout; bool encrypt; };
  for (Case c : {Case{DeviceLayout::kShared, false}, Case{DeviceLayout::kClassic, false},
                 Case{DeviceLayout::kStorage, true}, Case{DeviceLayout::kStorage, false}}) {
    SCOPED_TRACE(int(c.layout) * 10 + c.encrypt);
    u_.SetLayout(c.layout);
    u_.SetEncryptionOn(c.encrypt);
    u_.CreateWorkFolders();
    const uint32_t box = 0;
    std::string root = u_.LocalBoxFolder(box);
    WriteFile(root + "/P1/D0000001.XML", "item");
    WriteFile(root + "/P1/D0000001/page1.jpg", std::string(70000, 'p'));
    fs::create_directories(root + "/P1/F0000002");
    u_.PackBox(box);
    EXPECT_FALSE(fs::exists(root));
    if (c.encrypt) u_.EncryptBox(box);
    EXPECT_EQ(fs::exists(u_.BoxTnbePath(box)), c.encrypt);
    u_.PackData();
    WriteFile(u_.IndexPath(), "<BackupInfo/>");
    u_.PackArchive();
    EXPECT_FALSE(fs::exists(u_.BoxDir()));
    EXPECT_FALSE(fs::exists(dir_.path() + "/BOX.zip"));

    for (const std::string& name : Entries(u_.archive_path()))
      EXPECT_EQ(name.rfind("BOX/", 0), 0u) << name;

    fs::create_directories(u_.BoxDir());
    EXPECT_EQ(u_.ExtractDataZipFileIfPresent(), 0u);
    EXPECT_EQ(u_.box_members_from_data_zip(), c.layout == DeviceLayout::kShared);
    u_.ExtractOneBox(box);
    u_.UnpackBox(box);
    EXPECT_EQ(ReadFile(root + "/P1/D0000001.XML"), "item");
    EXPECT_EQ(ReadFile(root + "/P1/D0000001/page1.jpg").size(), 70000u);
    EXPECT_TRUE(fs::is_directory(root + "/P1/F0000002"));
    u_.DeleteBox();
  }
}

TEST_F(ZipUtilityTest, EmptyBoxStillGivesAMember) {
  u_.SetLayout(DeviceLayout::kClassic);
  u_.CreateWorkFolders();
  fs::create_directories(u_.LocalBoxFolder(3));
  u_.PackBox(3);
  ASSERT_TRUE(fs::exists(u_.BoxTnbPath(3)));
  RevertZipCentralDirectory(u_.BoxZipPath(3));
  EXPECT_EQ(Entries(u_.BoxZipPath(3)), std::vector<std::string>{"B0000003/"});
}

TEST_F(ZipUtilityTest, DatabaseMemberRoundTrips) {
  u_.SetLayout(DeviceLayout::kClassic);
  u_.CreateWorkFolders();
  WriteFile(u_.BoxDir() + "/DATABASE/B0000001.XML", "db");
  u_.PackDatabase();
  EXPECT_FALSE(fs::exists(u_.BoxDir() + "/DATABASE"));
  RevertZipCentralDirectory(u_.BoxDir() + "/Database.zip");
  EXPECT_EQ(Entries(u_.BoxDir() + "/Database.zip"),
            std::vector<std::string>{"Database/B0000001.XML"});
  ChangeZipCentralDirectory(u_.BoxDir() + "/Database.zip");
  u_.PackArchive();
  fs::create_directories(u_.BoxDir());
  u_.ExtractDatabase();
  EXPECT_EQ(ReadFile(u_.BoxDir() + "/Database/B0000001.XML"), "db");
}

TEST_F(ZipUtilityTest, AFailedMoveLeavesTheOldArchiveAndNoLeftovers) {
  u_.SetLayout(DeviceLayout::kClassic);
  // The archive's name is taken by a folder that cannot be replaced.
  std::string target = dir_.Sub("taken");
  WriteFile(target + "/old", "old archive");
  u_.SetArchivePath(target);
  u_.CreateWorkFolders();
  try {
    u_.PackArchive();
    FAIL() << "no error";
  } catch (const BoxError& e) {
    EXPECT_NE(e.code(), 0u);
  }
  EXPECT_EQ(ReadFile(target + "/old"), "old archive");
  EXPECT_FALSE(fs::exists(dir_.path() + "/BOX.zip"));
}

TEST_F(ZipUtilityTest, MissingMembersAreReported) {
  u_.SetLayout(DeviceLayout::kStorage);
  u_.SetEncryptionOn(true);
  enginetest::WriteZip(u_.archive_path(), {{"BOX/Backup.XML", "x"}});
  fs::create_directories(u_.BoxDir());
  auto code = [](auto f) {
    try {
      f();
    } catch (const BoxError& e) {
      return e.code();
    }
    return 0u;
  };
  EXPECT_EQ(code([&] { u_.ExtractOneBox(4); }), 2u);
  EXPECT_EQ(code([&] { u_.ExtractDatabase(); }), 2u);
  EXPECT_EQ(u_.ExtractDataZipFileIfPresent(), 0u);
  EXPECT_FALSE(u_.box_members_from_data_zip());
  u_.SetArchivePath(dir_.Sub("none.zip"));
  EXPECT_NE(code([&] { u_.ExtractOneBox(4); }), 0u);
}

}  // namespace
}  // namespace boxlink
