#include "boxlink/engine/index_reader.h"

#include "boxlink/engine/backup_xml.h"

#include <gtest/gtest.h>

#include <cstring>

#include "boxlink/base/box_error.h"
#include "boxlink/testing/engine_test_env.h"
#include "platform/testing/temp_dir.h"

namespace boxlink {
namespace {

using enginetest::ReadFile;
using enginetest::WriteFile;

class IndexReaderTest : public ::testing::Test {
 protected:
  enginetest::EngineTestEnv env_;
  platform::ScopedTempDir dir_;
  std::string path_ = dir_.Sub("Backup.XML");

  void Write(const char* version, bool storage, uint32_t type = 1) {
    BackupXmlInfo info;
    info.net_bios_name = "front<desk>";
    info.backup_type = type;
    info.engine_version = version;
    info.mac_address = "00:11:22:33:44:55";
    info.storage_layout = storage;
    info.secure_mode = 2;
    info.device_clock = 1700000000;  // 2023-11-14 22:13:20 UTC
    info.boxes = {{"A&B", 1, true, 2, 3, 101, 0},
                  {"Seven", 7, true, 2, 5, 107, 1700000000}};
    ASSERT_EQ(WriteBackupXml(path_, info), 0u);
  }
};

TEST_F(IndexReaderTest, DatesAndZonesParse) {
  platform::SystemTime t = ParseBackupDate("2024/02/29 23:05:09");
  EXPECT_EQ(t.year, 2024);
  EXPECT_EQ(t.month, 2);
  EXPECT_EQ(t.day, 29);
  EXPECT_EQ(t.hour, 23);
  EXPECT_EQ(t.minute, 5);
  EXPECT_EQ(t.second, 9);
  EXPECT_EQ(ParseBackupDate("garbage").year, 0);

  env_.env_.SetFixedTimeZone(0);
  ApplyTimezone("GMT+09:00", &t);  // to UTC, then local (= UTC here)
  EXPECT_EQ(t.day, 29);
  EXPECT_EQ(t.hour, 14);
  ApplyTimezone("GMT-01:30", &t);
  EXPECT_EQ(t.hour, 15);
  EXPECT_EQ(t.minute, 35);
  ApplyTimezone("GMT+9", &t);  // too short: left alone
  EXPECT_EQ(t.hour, 15);
}

TEST_F(IndexReaderTest, ReadsBackWhatTheWriterWrote) {
  env_.env_.SetFixedTimeZone(0);
  struct Case { const char* version; bool storage; bool dates; };
  for (Case c : {Case{enginetest::kSeriesVersion, false, true},
                 Case{enginetest::kStorageVersion, true, true},
                 Case{enginetest::kSharedVersion, false, false}}) {
    Write(c.version, c.storage);
    BackupIndexInfo info{};
    info.NetBiosName[0] = 'x';
    std::vector<BackupIndexBox> boxes;
    ReadIndexFile(path_, ZB_INDEX_BACKUP_XML, &info, &boxes);
    EXPECT_EQ(info.IndexType, 1u);
    EXPECT_STREQ(info.Version, c.version);
    EXPECT_STREQ(info.MACAddress, "00:11:22:33:44:55");
    EXPECT_EQ(info.Count, 2u);
    EXPECT_EQ(info.Date.wYear, 2023);
    EXPECT_EQ(info.Date.wHour, 22);
    // Only the newer generations carry the network name and kind.
    EXPECT_STREQ(info.NetBiosName, c.dates ? "front<desk>" : "x");
    EXPECT_EQ(info.BackupType, c.dates ? 1u : 0u);
    EXPECT_EQ(info.SecureMode, c.storage ? 2u : 0u);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].BoxNo, 1u);
    EXPECT_STREQ(boxes[0].BoxName, "A&B");
    EXPECT_EQ(boxes[0].Protected, 1u);
    EXPECT_EQ(boxes[1].NumOfDocs, 5u);
    EXPECT_EQ(boxes[1].BoxUsedDisk, 107u);
    // Never backed up: 0 seconds, converted like any other value.
    EXPECT_EQ(boxes[0].LastBackupDate.wYear, c.dates ? 1970 : 0);
    EXPECT_EQ(boxes[1].LastBackupDate.wYear, c.dates ? 2023 : 0);
  }
}

uint32_t ReadCode(const std::string& path, uint32_t type, BackupIndexInfo* info) {
  std::vector<BackupIndexBox> boxes;
  try {
    ReadIndexFile(path, type, info, &boxes);
  } catch (const BoxError& e) {
    return e.code();
  }
  return 0;
}

TEST_F(IndexReaderTest, ReaderFailuresCarryTheirCodes) {
  BackupIndexInfo info{};
  EXPECT_EQ(ReadCode(dir_.Sub("absent"), 1, &info), 2u);
  WriteFile(path_, "not <xml");
  EXPECT_EQ(ReadCode(path_, 1, &info), 13u);
  WriteFile(path_, "<BackupInfo><EngineVersion>Varda 910 Series V1.0</EngineVersion>"
                   "</BackupInfo>");
  EXPECT_EQ(ReadCode(path_, 1, &info), 11u);
  // A box count beyond the records present.
  WriteFile(path_, "<BackupInfo><EngineVersion>Varda 910 Series V1.0</EngineVersion>"
                   "<MACAddress>m</MACAddress><Boxes NumOfBoxes=\"100000000\">"
                   "</Boxes></BackupInfo>");
  EXPECT_EQ(ReadCode(path_, 1, &info), 11u);

  // An unlisted version fails only after the content was read.
  Write(enginetest::kClassicUnlisted, false);
  info = {};
  EXPECT_EQ(ReadCode(path_, 1, &info), 1605u);
  EXPECT_STREQ(info.Version, enginetest::kClassicUnlisted);
  EXPECT_EQ(info.Count, 2u);
  // Older generations are accepted.
  Write(enginetest::kRetiredVersion, false);
  EXPECT_EQ(ReadCode(path_, 1, &info), 0u);
}

TEST_F(IndexReaderTest, ArchiveIndexOfTheOlderKind) {
  WriteFile(path_, "<ArchiveInfo><Version>Varda720/740 V1.2</Version>"
                   "<MACAddress>aa</MACAddress><NumOfDocs>42</NumOfDocs>"
                   "<ArchiveDate>2010/01/02 03:04:05</ArchiveDate></ArchiveInfo>");
  BackupIndexInfo info{};
  std::vector<BackupIndexBox> boxes;
  ReadIndexFile(path_, ZB_INDEX_ARCHIVE_XML, &info, &boxes);
  EXPECT_EQ(info.IndexType, 2u);
  EXPECT_EQ(info.Count, 42u);
  EXPECT_EQ(info.Date.wYear, 2010);
  EXPECT_EQ(info.Date.wSecond, 5);
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace boxlink
