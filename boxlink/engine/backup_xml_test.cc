#include "boxlink/engine/backup_xml.h"

#include <gtest/gtest.h>

#include <cstring>

#include "boxlink/client/box_error.h"
#include "boxlink/engine/engine_test_env.h"
#include "platform/testing/temp_dir.h"

namespace boxlink {
namespace {

using enginetest::ReadFile;
using enginetest::WriteFile;

ZBBOXPROPERTY Box(uint32_t no, const char* name, const char* raw, uint32_t docs) {
  ZBBOXPROPERTY b{};
  b.BoxNo = no;
  std::strcpy(b.BoxName, name);
  std::strcpy(b.RawBoxName, raw);
  b.Protected = no % 2;
  b.NumOfFolders = 2;
  b.NumOfDocs = docs;
  b.BoxUsedDisk = 100 + no;
  b.LastBackupDate = no == 1 ? 0 : 1700000000;
  return b;
}

class BackupXmlTest : public ::testing::Test {
 protected:
  enginetest::EngineTestEnv env_;
  platform::ScopedTempDir dir_;
  std::string path_ = dir_.Sub("Backup.XML");

  void Write(const char* version, bool storage, uint32_t type = 1) {
    BackupXmlWriter w;
    w.Open(path_);
    BackupXmlHead head;
    head.net_bios_name = "front<desk>";
    head.backup_type = type;
    head.engine_version = version;
    head.mac_address = "00:11:22:33:44:55";
    head.storage = storage;
    head.secure_mode = 2;
    head.backup_date = FormatBackupDate(BackupDateFromDeviceClock(1700000000, storage));
    head.timezone = FormatTimezone();
    w.WriteHead(head);
    ZBBOXPROPERTY boxes[] = {Box(1, "A&B", "A&amp;B", 3), Box(7, "Seven", "", 5)};
    w.WriteBoxes(boxes);
    EXPECT_FALSE(w.is_open());
  }
};

TEST_F(BackupXmlTest, LinesAreExactlyTheIndexFormat) {
  env_.env_.SetFixedTimeZone(0);
  Write("Varda 100 V9.9", /*storage=*/false);
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
      "<BackupInfo>\r\n"
      "<NetBiosName>front&lt;desk&gt;</NetBiosName>\r\n"
      "<BackupType>1</BackupType>\r\n"
      "<EngineVersion>Varda 100 V9.9</EngineVersion>\r\n"
      "<MACAddress>00:11:22:33:44:55</MACAddress>\r\n"
      "<BackupDate>2023/11/14 22:13:20</BackupDate>\r\n"
      "<Timezone>GMT+00:00</Timezone>\r\n"
      "<Boxes NumOfBoxes=\"2\">\r\n"
      "<BoxProp>\r\n<BoxName>A&amp;B</BoxName>\r\n<BoxNo>1</BoxNo>\r\n"
      "<Protected>yes</Protected>\r\n<NumOfFolders>2</NumOfFolders>\r\n"
      "<NumOfDocs>3</NumOfDocs>\r\n<BoxUsedDisk>101</BoxUsedDisk>\r\n"
      "<LastBackupDate>0</LastBackupDate>\r\n</BoxProp>\r\n"
      "<BoxProp>\r\n<BoxName>Seven</BoxName>\r\n<BoxNo>7</BoxNo>\r\n"
      "<Protected>yes</Protected>\r\n<NumOfFolders>2</NumOfFolders>\r\n"
      "<NumOfDocs>5</NumOfDocs>\r\n<BoxUsedDisk>107</BoxUsedDisk>\r\n"
      "<LastBackupDate>1700000000</LastBackupDate>\r\n</BoxProp>\r\n"
      "</Boxes>\r\n"
      "</BackupInfo>";
  EXPECT_EQ(ReadFile(path_), expected);
}

TEST_F(BackupXmlTest, StorageLayoutAddsSecureModeAndLocalDate) {
  env_.env_.SetFixedTimeZone(9 * 60);  // nine hours east, no summer time
  Write(enginetest::kStorageVersion, /*storage=*/true);
  std::string text = ReadFile(path_);
  EXPECT_NE(text.find("<MACAddress>00:11:22:33:44:55</MACAddress>\r\n"
                      "<SecureMode>2</SecureMode>\r\n"
                      "<BackupDate>2023/11/15 07:13:20</BackupDate>\r\n"
                      "<Timezone>GMT+09:00</Timezone>\r\n"),
            std::string::npos)
      << text;
}

TEST_F(BackupXmlTest, TimezoneTextFollowsTheStandardBias) {
  struct Case { int east_minutes; const char* text; };
  for (Case c : {Case{0, "GMT+00:00"}, Case{330, "GMT+05:30"},
                 Case{-300, "GMT-05:00"}, Case{-210, "GMT-03:30"}}) {
    env_.env_.SetFixedTimeZone(c.east_minutes);
    EXPECT_EQ(FormatTimezone(), c.text) << c.east_minutes;
  }
}

TEST_F(BackupXmlTest, DatesAndZonesParse) {
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

TEST_F(BackupXmlTest, ReadsBackWhatTheWriterWrote) {
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
    EXPECT_EQ(boxes[0].LastBackupDate.wYear, 0);  // never backed up
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

TEST_F(BackupXmlTest, ReaderFailuresCarryTheirCodes) {
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

TEST_F(BackupXmlTest, ArchiveIndexOfTheOlderKind) {
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
