#include "keeper/app/archive_info.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"

namespace keeper {
namespace {

TEST(ArchiveInfoTest, SuitabilityBetweenSeries) {
  struct Case {
    const char* archive;
    const char* device;
    bool ok;
  } cases[] = {
      {"Varda 340 Series V1.0", "Varda 540 Series V1.0", true},
      {"Varda 340 Series V1.0", "Varda 930 Series V1.0", false},
      {"Varda 910 Series V1.0", "Varda 930 Series V1.0", true},
      {"Varda 910 Series V1.0", "Varda 5730C Series V3.0", false},
      {"Varda 4720c Series V2.0.1.0", "Varda 4720c Series V2.0.0.0", false},
      {"Varda 4720c Series V2.0.0.0", "Varda 4720c Series V2.0.1.0", true},
      {"Varda7120/7140 V1.3", "Varda7120/7140 V1.3", true},
      {"Varda7120/7140 V1.3", "", false},
      {"Varda 5730C Series V3.0", "Varda 7730C Series V3.0", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ArchiveSuitsDevice(c.archive, c.device), c.ok)
        << c.archive << " -> " << c.device;
}

TEST(ArchiveInfoTest, SizeTexts) {
  EXPECT_EQ(SizeText(1500), "1500 KB");
  EXPECT_EQ(SizeText(2048), "2 MB");
  EXPECT_EQ(SizeText(2047), "2047 KB");  // 2047 / 1024 is 1, not above
  EXPECT_EQ(SizeText(0), "1 KB");
  EXPECT_EQ(SizeText(5 * 1024 + 10), "5 MB");
}

std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// When no local copy can be made the index is read from the archive where
// it lies; the archive's folder is the user's, and a file there that has
// the index's name is neither overwritten nor removed.
TEST(ArchiveInfoTest, FilesBesideTheArchiveSurvive) {
  namespace fs = std::filesystem;
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  platform::ScopedTempDir dir;
  // No local copy can be made: a folder stands where it would go.
  fs::create_directories(fs::path(env.ProgramDataDir()) / "RestoreFile.zip");

  const fs::path staging = fs::path(dir.path()) / "staging";
  fs::create_directories(staging / "BOX");
  std::ofstream(staging / "BOX" / "Backup.XML")
      << "<BackupInfo><NetBiosName>mfp</NetBiosName><BackupType>0</BackupType>"
         "<EngineVersion>Varda 910 Series V1.0</EngineVersion>"
         "<MACAddress>m</MACAddress><BackupDate>2024/03/01 10:00:00</BackupDate>"
         "<Boxes NumOfBoxes=\"1\"><BoxProp><BoxName>Sales</BoxName><BoxNo>7</BoxNo>"
         "<Protected>no</Protected><NumOfFolders>0</NumOfFolders>"
         "<NumOfDocs>1</NumOfDocs><BoxUsedDisk>9</BoxUsedDisk>"
         "<LastBackupDate>0</LastBackupDate></BoxProp></Boxes></BackupInfo>";
  const fs::path folder = fs::path(dir.path()) / "archives";
  fs::create_directories(folder);
  const fs::path archive = folder / "week.zip";
  ASSERT_EQ(std::system(("cd '" + staging.string() + "' && zip -q -r '" +
                         archive.string() + "' BOX >/dev/null 2>&1")
                            .c_str()),
            0);
  std::ofstream(folder / "Backup.XML") << "my own notes";

  ArchiveInfo info;
  ASSERT_EQ(ReadArchiveInfo(archive.string(), &info), 0u);
  ASSERT_EQ(info.boxes.size(), 1u);
  EXPECT_EQ(info.boxes[0].name, "Sales");
  EXPECT_EQ(Slurp(folder / "Backup.XML"), "my own notes");
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    names.insert(e.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"Backup.XML", "week.zip"}));
}

}  // namespace
}  // namespace keeper
