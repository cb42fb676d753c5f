#include "boxlink/zip/zip_utls.h"

#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <filesystem>

#include "boxlink.h"
#include "boxlink/base/box_error.h"
#include "boxlink/testing/crafted_zip_testing.h"
#include "boxlink/testing/zip_test_util.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"

namespace boxlink {
namespace {

using namespace ziptest;
namespace fs = std::filesystem;

class ZipUtlsTest : public ::testing::Test {
 protected:
  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
  platform::ScopedTempDir dir_;
  std::string Path(const std::string& n) { return dir_.Sub(n); }

  std::vector<std::string> Names(const std::string& zip) {
    CZipClass z;
    z.Open(zip, CZipClass::kOpenReadOnly);
    std::vector<std::string> names;
    for (const auto& e : z.directory().entries) names.push_back(e.name);
    return names;
  }
};

TEST_F(ZipUtlsTest, ZipNamesEntriesAfterTheFolderAndKeepsEmptyFolders) {
  std::string box = Path("work/BOX");
  platform::WriteTestFile(box + "/Backup.XML", "<BackupInfo>");
  platform::WriteTestFile(box + "/B0000001/P0001/D0000001.XML", "item");
  platform::WriteTestFile(box + "/.marker", "hidden files are data too");
  fs::create_directories(box + "/B0000002");
  std::string zip = Path("work/out.zip");
  CZipUtls u;
  ASSERT_EQ(u.Zip(box, zip), 1);
  std::vector<std::string> expected = {"BOX/.marker",
                                       "BOX/B0000001/P0001/D0000001.XML",
                                       "BOX/B0000002/", "BOX/Backup.XML"};
  EXPECT_EQ(Names(zip), expected);
  CZipClass z;
  z.Open(zip, CZipClass::kOpenReadOnly);
  const CZipHeaderInfo& folder = z.directory().entries[2];
  EXPECT_EQ(folder.method, 0);
  EXPECT_EQ(folder.compressed_size, 0u);
  EXPECT_EQ(folder.external_attributes & kAttrDirectory, kAttrDirectory);
  z.Close();
  EXPECT_EQ(Sh("unzip -t " + zip), 0);
  ASSERT_EQ(Sh("unzip -q " + zip + " -d " + Path("x")), 0);
  EXPECT_EQ(platform::ReadTestFile(Path("x/BOX/B0000001/P0001/D0000001.XML")),
            "item");
  EXPECT_TRUE(fs::is_directory(Path("x/BOX/B0000002")));
}

TEST_F(ZipUtlsTest, ZipOfAMissingFolderFails) {
  CZipUtls u;
  EXPECT_EQ(u.Zip(Path("nope"), Path("n.zip")), 0);
}

TEST_F(ZipUtlsTest, ScrambleHidesTheArchiveAndRevertRestoresItExactly) {
  platform::WriteTestFile(Path("B0000001/F/doc"), TextBytes(20000, 1));
  std::string zip = Path("B0000001.zip");
  CZipUtls u;
  ASSERT_EQ(u.Zip(Path("B0000001"), zip), 1);
  std::string original = platform::ReadTestFile(zip);
  EXPECT_EQ(ChangeZipCentralDirectory(zip), 0u);
  EXPECT_FALSE(fs::exists(zip));
  std::string tnb = Path("B0000001.tnb");
  ASSERT_TRUE(fs::exists(tnb));
  EXPECT_NE(Sh("unzip -l " + tnb), 0);
  EXPECT_NE(Sh("/usr/bin/python3 -c \"import zipfile; zipfile.ZipFile('" + tnb +
                "').testzip()\""),
            0);
  EXPECT_EQ(RevertZipCentralDirectory(zip), 0u);
  EXPECT_FALSE(fs::exists(tnb));
  EXPECT_EQ(platform::ReadTestFile(zip), original);
  try {
    ChangeZipCentralDirectory(Path("missing.zip"));
    ADD_FAILURE();
  } catch (const BoxError& e) {
    EXPECT_EQ(e.code(), 2u);
  }
}

TEST_F(ZipUtlsTest, GotoAndExtractByBareNameIgnoringCase) {
  platform::WriteTestFile(Path("BOX/Backup.XML"), "index");
  platform::WriteTestFile(Path("BOX/DATA/B0000001.tnb"), "member");
  std::string zip = Path("arc.zip");
  CZipUtls u;
  ASSERT_EQ(u.Zip(Path("BOX"), zip), 1);
  ASSERT_EQ(u.OpenFile(zip, 1), 1);
  EXPECT_EQ(u.GotoFile("backup.xml"), 1);
  EXPECT_EQ(u.GotoFile("b0000001.TNB"), 1);
  EXPECT_EQ(u.GotoFile("DATA"), 0);
  EXPECT_EQ(u.GotoFile("Backup.XMLe"), 0);
  ASSERT_EQ(u.ExtractFile(Path("to"), "backup.xml"), 1);
  EXPECT_EQ(platform::ReadTestFile(Path("to/backup.xml")), "index");
  EXPECT_EQ(u.ExtractFile(Path("to"), "none.xml"), 0);
}

// A deflate stream whose first block has the reserved type: zlib reports a
// data error, which reaches callers as a damaged archive, not as zlib's
// own negative code (it would surface as a job's result 4294967293).
TEST_F(ZipUtlsTest, ADamagedStreamIsReportedAsADamagedArchive) {
  platform::WriteTestFile(Path("BOX/DATA/page.bin"), std::string(20000, 'x'));
  std::string zip = Path("arc.zip");
  CZipUtls u;
  ASSERT_EQ(u.Zip(Path("BOX"), zip), 1);
  uint64_t data_offset = 0;
  {
    CZipClass z;
    z.Open(zip, CZipClass::kOpenReadOnly);
    bool found = false;
    for (const auto& e : z.directory().entries) {
      if (e.name.ends_with("page.bin")) {
        ASSERT_EQ(e.method, 8) << "the test needs a deflated entry";
        // The local header's name and extra fields may differ from the
        // central directory's; read their lengths from the local header.
        std::string bytes = platform::ReadTestFile(zip);
        const auto* local = reinterpret_cast<const uint8_t*>(bytes.data()) + e.local_header_offset;
        data_offset = e.local_header_offset + 30 + Get16(local + 26) + Get16(local + 28);
        found = true;
      }
    }
    ASSERT_TRUE(found);
  }
  std::string bytes = platform::ReadTestFile(zip);
  bytes[data_offset] = char(bytes[data_offset] | 0x06);  // block type 3: reserved
  platform::WriteTestFile(zip, bytes);

  ASSERT_EQ(u.OpenFile(zip, 1), 1);
  EXPECT_EQ(u.ExtractFile(Path("to"), "page.bin"), 0);
  EXPECT_EQ(u.last_error(), uint32_t{ZB_ERR_INTERNAL_ERROR});
}

TEST_F(ZipUtlsTest, NonAsciiNamesComeBackUnchanged) {
  std::string tree = Path("Bóx");
  platform::WriteTestFile(tree + "/Dokumente für Ämter/スキャン.pdf", "pdf");
  std::string zip = Path("u.zip");
  CZipUtls u;
  ASSERT_EQ(u.Zip(tree, zip), 1);
  EXPECT_EQ(Names(zip)[0], "Bóx/Dokumente für Ämter/スキャン.pdf");
  ASSERT_EQ(u.OpenFile(zip, 1), 1);
  u.ExtractZipFile(Path("out"));
  EXPECT_EQ(platform::ReadTestFile(Path("out/Bóx/Dokumente für Ämter/スキャン.pdf")),
            "pdf");
  EXPECT_EQ(Sh("unzip -t " + zip), 0);
}

TEST_F(ZipUtlsTest, MaliciousNamesWriteNothingAnywhere) {
  std::string zip = Path("evil.zip");
  ASSERT_EQ(Sh("/usr/bin/python3 -c \"import zipfile; z=zipfile.ZipFile('" + zip +
                "','w'); z.writestr('ok.txt','fine'); "
                "z.writestr('../evil.txt','x'); z.writestr('/abs.txt','x'); "
                "z.writestr('a/../../evil2.txt','x'); z.close()\""),
            0);
  std::string out = Path("target/inner");
  fs::create_directories(out);
  CZipUtls u;
  ASSERT_EQ(u.OpenFile(zip, 1), 1);
  try {
    u.ExtractZipFile(out);
    ADD_FAILURE() << "malicious archive extracted";
  } catch (const BoxError& e) {
    EXPECT_EQ(e.code(), 1359u);
  }
  EXPECT_TRUE(fs::is_empty(out));
  EXPECT_FALSE(fs::exists(Path("target/evil.txt")));
  EXPECT_FALSE(fs::exists(Path("evil2.txt")));
  EXPECT_FALSE(fs::exists(Path("target/evil2.txt")));
}

// Every entry is bounded by its declared size while it is extracted; the
// declared sizes together must fit the free space of the target before the
// first byte is written.
TEST_F(ZipUtlsTest, DeclaredSizesBeyondTheFreeSpaceAreRefusedBeforeWriting) {
  constexpr uint64_t kDeclared = 100000ull * 1000 * 1000 * 1000;  // 100,000 GB
  std::string out = Path("target");
  fs::create_directories(out);
  struct statvfs vfs {};
  ASSERT_EQ(::statvfs(out.c_str(), &vfs), 0);
  ASSERT_LT(uint64_t(vfs.f_bavail) * vfs.f_frsize, kDeclared);
  std::string zip = Path("bomb.zip");
  platform::WriteTestFile(zip, DeclaredSizeBomb(kDeclared));
  CZipUtls u;
  ASSERT_EQ(u.OpenFile(zip, 1), 1);
  EXPECT_GT(u.zip().GetCount(), 23000u);
  try {
    u.ExtractZipFile(out);
    ADD_FAILURE() << "the archive was extracted";
  } catch (const BoxError& e) {
    EXPECT_EQ(e.code(), 112u);  // not enough space on the disk
  }
  EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(ZipUtlsTest, ManyEntriesBothWays) {
  std::string tree = Path("many");
  for (int i = 0; i < 3000; ++i)
    platform::WriteTestFile(tree + "/d" + std::to_string(i % 30) + "/f" +
                                std::to_string(i),
                            std::to_string(i));
  std::string zip = Path("many.zip");
  CZipUtls u;
  ASSERT_EQ(u.Zip(tree, zip), 1);
  EXPECT_EQ(Names(zip).size(), 3000u);
  EXPECT_EQ(Sh("unzip -t " + zip), 0);
  std::string info = Path("info.zip");
  ASSERT_EQ(Sh("cd " + Path("") + " && zip -q -r " + info + " many"), 0);
  ASSERT_EQ(u.OpenFile(info, 1), 1);
  u.ExtractZipFile(Path("back"));
  EXPECT_EQ(platform::ReadTestFile(Path("back/many/d7/f2917")), "2917");
}


}  // namespace
}  // namespace boxlink
