#include "boxlink/engine/backup_xml.h"

#include <gtest/gtest.h>

#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"

namespace boxlink {
namespace {

BackupXmlInfo Sample() {
  BackupXmlInfo info;
  info.net_bios_name = "MFP-Lobby";
  info.backup_type = 1;
  info.engine_version = "Engine V2.1";
  info.mac_address = "00:11:22:33:44:55";
  info.device_clock = 1768478400;  // 2026-01-15 12:00:00 UTC
  info.boxes = {{"Scans & Faxes <A>", 7, true, 2, 31, 1032, 1760000000},
                {"Open", 0, false, 0, 0, 8, 0}};
  return info;
}

TEST(BackupXmlTest, ClassicLayoutLineByLine) {
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  env.SetFixedTimeZone(60, 60);
  std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
      "<BackupInfo>\r\n"
      "<NetBiosName>MFP-Lobby</NetBiosName>\r\n"
      "<BackupType>1</BackupType>\r\n"
      "<EngineVersion>Engine V2.1</EngineVersion>\r\n"
      "<MACAddress>00:11:22:33:44:55</MACAddress>\r\n"
      "<BackupDate>2026/01/15 12:00:00</BackupDate>\r\n"
      "<Timezone>GMT+01:00</Timezone>\r\n"
      "<Boxes NumOfBoxes=\"2\">\r\n"
      "<BoxProp>\r\n"
      "<BoxName>Scans &amp; Faxes &lt;A&gt;</BoxName>\r\n"
      "<BoxNo>7</BoxNo>\r\n"
      "<Protected>yes</Protected>\r\n"
      "<NumOfFolders>2</NumOfFolders>\r\n"
      "<NumOfDocs>31</NumOfDocs>\r\n"
      "<BoxUsedDisk>1032</BoxUsedDisk>\r\n"
      "<LastBackupDate>1760000000</LastBackupDate>\r\n"
      "</BoxProp>\r\n"
      "<BoxProp>\r\n"
      "<BoxName>Open</BoxName>\r\n"
      "<BoxNo>0</BoxNo>\r\n"
      "<Protected>no</Protected>\r\n"
      "<NumOfFolders>0</NumOfFolders>\r\n"
      "<NumOfDocs>0</NumOfDocs>\r\n"
      "<BoxUsedDisk>8</BoxUsedDisk>\r\n"
      "<LastBackupDate>0</LastBackupDate>\r\n"
      "</BoxProp>\r\n"
      "</Boxes>\r\n"
      "</BackupInfo>";
  EXPECT_EQ(FormatBackupXml(Sample()), expected);

  platform::ScopedTempDir dir;
  ASSERT_EQ(WriteBackupXml(dir.Sub("Backup.XML"), Sample()), 0u);
  EXPECT_EQ(platform::ReadTestFile(dir.Sub("Backup.XML")), expected);
  EXPECT_NE(WriteBackupXml(dir.Sub("no/such/Backup.XML"), Sample()), 0u);
}

TEST(BackupXmlTest, StorageLayoutDateAndZones) {
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  struct Case {
    int offset, dst;
    int64_t clock;
    const char* date;
    const char* zone;
  } cases[] = {
      // Local time, then the daylight bias added whether or not in force.
      {60, 60, 1768478400, "2026/01/15 12:00:00", "GMT+01:00"},
      {60, 60, 1784116800, "2026/07/15 13:00:00", "GMT+01:00"},
      {-300, 0, 1768478400, "2026/01/15 07:00:00", "GMT-05:00"},
      {330, 0, 1768478400, "2026/01/15 17:30:00", "GMT+05:30"},
      {0, 0, 0, "1970/01/01 00:00:00", "GMT+00:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date);
    env.SetFixedTimeZone(c.offset, c.dst);
    BackupXmlInfo info = Sample();
    info.storage_layout = true;
    info.secure_mode = 2;
    info.device_clock = c.clock;
    std::string text = FormatBackupXml(info);
    EXPECT_NE(text.find("<MACAddress>00:11:22:33:44:55</MACAddress>\r\n"
                        "<SecureMode>2</SecureMode>\r\n<BackupDate>" +
                        std::string(c.date) + "</BackupDate>\r\n<Timezone>" +
                        c.zone + "</Timezone>\r\n"),
              std::string::npos)
        << text;
  }
}

}  // namespace
}  // namespace boxlink
