// The archive index reader, over archives built in the test.
#include <gtest/gtest.h>

#include <filesystem>

#include "boxlink.h"
#include "boxlink/engine/encrypt.h"
#include "boxlink/testing/engine_test_env.h"
#include "platform/testing/temp_dir.h"

namespace boxlink {
namespace {

namespace fs = std::filesystem;
using enginetest::Member;
using enginetest::ReadFile;
using enginetest::WriteFile;
using enginetest::WriteZip;

std::string Index(const char* version, int boxes) {
  std::string s =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<BackupInfo>\r\n"
      "<NetBiosName>mfp</NetBiosName>\r\n<BackupType>0</BackupType>\r\n"
      "<EngineVersion>" + std::string(version) + "</EngineVersion>\r\n"
      "<MACAddress>m</MACAddress>\r\n<SecureMode>1</SecureMode>\r\n"
      "<BackupDate>2024/03/01 10:00:00</BackupDate>\r\n"
      "<Timezone>GMT+01:00</Timezone>\r\n<Boxes NumOfBoxes=\"" +
      std::to_string(boxes) + "\">\r\n";
  for (int i = 0; i < boxes; ++i)
    s += "<BoxProp><BoxName>b" + std::to_string(i) + "</BoxName><BoxNo>" +
         std::to_string(i) + "</BoxNo><Protected>no</Protected>"
         "<NumOfFolders>0</NumOfFolders><NumOfDocs>1</NumOfDocs>"
         "<BoxUsedDisk>9</BoxUsedDisk><LastBackupDate>0</LastBackupDate>"
         "</BoxProp>\r\n";
  return s + "</Boxes>\r\n</BackupInfo>";
}

class XmlInfoTest : public ::testing::Test {
 protected:
  enginetest::EngineTestEnv env_;
  platform::ScopedTempDir dir_;
  std::string archive_ = dir_.Sub("a.zip");
  std::string work_ = dir_.Sub("work");

  void SetUp() override {
    env_.env_.SetFixedTimeZone(0);
    fs::create_directories(work_);
  }
  bool WorkIsEmpty() const { return fs::is_empty(work_); }
};

TEST_F(XmlInfoTest, IndexKindByMembersAndMarker) {
  struct Case {
    std::vector<const char*> members;
    bool marker;
    uint32_t type;
  };
  const Case cases[] = {
      {{"BOX/Backup.XMLe", "BOX/Backup.XML"}, false, ZB_INDEX_BACKUP_XMLE},
      {{"BOX/Backup.XMLe", "BOX/Backup.XML"}, true, ZB_INDEX_BACKUP_XML},
      {{"BOX/backup.xml"}, false, ZB_INDEX_BACKUP_XML},  // case ignored
      {{"BOX/Archive.XML", "BOX/Backup.XML"}, false, ZB_INDEX_ARCHIVE_XML},
      {{"BOX/Backup.XML", "BOX/Archive.XML"}, true, ZB_INDEX_BACKUP_XML},
      {{"ARCHIVE.XML"}, true, ZB_INDEX_ARCHIVE_XML},
      {{"BOX/Backup.XMLe"}, true, ZB_INDEX_NONE},
      {{"BOX/Backup.XML.old", "Backup.XMLx"}, false, ZB_INDEX_NONE},
  };
  for (const Case& c : cases) {
    std::vector<Member> members;
    for (const char* m : c.members) members.push_back({m, "x"});
    WriteZip(archive_, members);
    env_.SetNoEncryption(c.marker);
    EXPECT_EQ(GetZipFileType(archive_.c_str()), c.type)
        << c.members[0] << " marker " << c.marker;
  }
  EXPECT_EQ(GetZipFileType(dir_.Sub("missing.zip").c_str()), 0u);
  WriteFile(archive_, "not a zip at all");
  EXPECT_EQ(GetZipFileType(archive_.c_str()), 0u);
}

TEST_F(XmlInfoTest, ReadsAPlainIndexAndLeavesNothingBehind) {
  WriteZip(archive_, {{"BOX/Backup.XML", Index(enginetest::kStorageVersion, 3)},
                      {"BOX/000.tnb", "z"}});
  env_.SetNoEncryption(true);
  BackupIndexInfo info{};
  BackupIndexBox* boxes = nullptr;
  ASSERT_EQ(zbBoxGetXMLInfo(archive_.c_str(), work_.c_str(), &info, &boxes,
                            "", ""),
            0u);
  ASSERT_NE(boxes, nullptr);
  EXPECT_EQ(info.Count, 3u);
  EXPECT_EQ(info.SecureMode, 1u);
  EXPECT_EQ(info.Date.wHour, 9);  // GMT+01:00 back to UTC (the local zone)
  EXPECT_EQ(boxes[2].BoxNo, 2u);
  EXPECT_STREQ(boxes[1].BoxName, "b1");
  zbBoxFreeIndexBoxes(boxes);
  EXPECT_TRUE(WorkIsEmpty());
}

TEST_F(XmlInfoTest, DecryptsAnEncryptedIndex) {
  // Seal the index as a backup would.
  std::string plain = dir_.Sub("Backup.XML");
  WriteFile(plain, Index(enginetest::kStorageVersion, 1));
  CEncrypt e;
  e.SetEncryptDllName(CIPHERLIB_SO);
  e.SetHashDllName(DIGESTLIB_SO);
  ASSERT_EQ(e.fnEncryptFile(plain.c_str(), (plain + "e").c_str(), kArchivePassword), 0u);
  WriteZip(archive_, {{"BOX/Backup.XMLe", ReadFile(plain + "e")}});

  BackupIndexInfo info{};
  BackupIndexBox* boxes = nullptr;
  ASSERT_EQ(zbBoxGetXMLInfo(archive_.c_str(), work_.c_str(), &info, &boxes,
                            CIPHERLIB_SO, DIGESTLIB_SO),
            0u);
  EXPECT_EQ(info.Count, 1u);
  zbBoxFreeIndexBoxes(boxes);
  EXPECT_TRUE(WorkIsEmpty());

  // Without the cipher library the decryption fails; the sealed copy that
  // was extracted is still removed.
  boxes = nullptr;
  EXPECT_EQ(zbBoxGetXMLInfo(archive_.c_str(), work_.c_str(), &info, &boxes,
                            "", ""),
            87u);
  EXPECT_EQ(boxes, nullptr);
  EXPECT_TRUE(WorkIsEmpty());
}

TEST_F(XmlInfoTest, OlderArchiveIndexGivesNoBoxList) {
  WriteZip(archive_, {{"BOX/Archive.XML",
                       "<ArchiveInfo><Version>Varda720/740 V1.0</Version>"
                       "<MACAddress>m</MACAddress><NumOfDocs>12</NumOfDocs>"
                       "<ArchiveDate>2009/09/09 09:09:09</ArchiveDate>"
                       "</ArchiveInfo>"}});
  BackupIndexInfo info{};
  BackupIndexBox* boxes = nullptr;
  ASSERT_EQ(zbBoxGetXMLInfo(archive_.c_str(), work_.c_str(), &info, &boxes, "", ""), 0u);
  EXPECT_EQ(info.IndexType, 2u);
  EXPECT_EQ(info.Count, 12u);
  EXPECT_EQ(boxes, nullptr);
  EXPECT_TRUE(WorkIsEmpty());
}

TEST_F(XmlInfoTest, FailuresReturnTheirCodesAndCleanUp) {
  BackupIndexInfo info{};
  BackupIndexBox* boxes = nullptr;
  EXPECT_EQ(zbBoxGetXMLInfo(dir_.Sub("none.zip").c_str(), work_.c_str(), &info,
                            &boxes, "", ""),
            1392u);
  WriteZip(archive_, {{"BOX/B0000001.tnb", "x"}});
  EXPECT_EQ(zbBoxGetXMLInfo(archive_.c_str(), work_.c_str(), &info, &boxes, "", ""),
            1392u);
  WriteZip(archive_, {{"BOX/Backup.XML", Index(enginetest::kClassicUnlisted, 1)}});
  EXPECT_EQ(zbBoxGetXMLInfo(archive_.c_str(), work_.c_str(), &info, &boxes, "", ""),
            1605u);
  EXPECT_EQ(boxes, nullptr);
  WriteZip(archive_, {{"BOX/Backup.XML", "<BackupInfo>"}});
  EXPECT_EQ(zbBoxGetXMLInfo(archive_.c_str(), work_.c_str(), &info, &boxes, "", ""),
            13u);
  EXPECT_TRUE(WorkIsEmpty());
  EXPECT_EQ(zbBoxGetXMLInfo(nullptr, work_.c_str(), &info, &boxes, "", ""), 87u);
}

// The folder a caller names may be anyone's: a file there of the index's
// own name is neither overwritten nor removed, whatever the outcome.
TEST_F(XmlInfoTest, FilesInTheFolderOfTheCallSurvive) {
  const std::string mine = work_ + "/Backup.XML";
  const std::string sealed = work_ + "/Backup.XMLe";
  WriteFile(mine, "my own notes");
  WriteFile(sealed, "my own sealed notes");
  struct Case {
    const char* what;
    std::string index;
    uint32_t rc;
  };
  const Case cases[] = {
      {"readable index", Index(enginetest::kStorageVersion, 2), 0},
      {"unreadable index", "<BackupInfo>", 13},
  };
  env_.SetNoEncryption(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteZip(archive_, {{"BOX/Backup.XML", c.index}});
    BackupIndexInfo info{};
    BackupIndexBox* boxes = nullptr;
    EXPECT_EQ(zbBoxGetXMLInfo(archive_.c_str(), work_.c_str(), &info, &boxes, "", ""), c.rc);
    zbBoxFreeIndexBoxes(boxes);
    EXPECT_EQ(ReadFile(mine), "my own notes");
    EXPECT_EQ(ReadFile(sealed), "my own sealed notes");
    size_t entries = 0;
    for (const auto& e : fs::directory_iterator(work_)) {
      (void)e;
      ++entries;
    }
    EXPECT_EQ(entries, 2u) << "nothing else stays in the folder";
  }
}

// The index is read into memory whole; an archive cannot make that as large
// as it likes. An oversized index is refused before it is extracted.
TEST_F(XmlInfoTest, OversizedIndexIsRefused) {
  std::string index = Index(enginetest::kStorageVersion, 1);
  // Valid XML all the same: the 20 MiB of padding are a comment.
  index.insert(index.find("<BackupInfo>"), "<!--" + std::string(20 << 20, 'x') + "-->");
  WriteZip(archive_, {{"BOX/Backup.XML", index}});
  env_.SetNoEncryption(true);
  BackupIndexInfo info{};
  BackupIndexBox* boxes = nullptr;
  EXPECT_EQ(zbBoxGetXMLInfo(archive_.c_str(), work_.c_str(), &info, &boxes, "", ""), 13u);
  EXPECT_EQ(boxes, nullptr);
  EXPECT_TRUE(WorkIsEmpty());
}

TEST_F(XmlInfoTest, UnzipXmlExtractsUnderTheBareName) {
  WriteZip(archive_, {{"BOX/sub/archive.xml", "content"}});
  EXPECT_EQ(zbBoxUnzipXml(archive_.c_str(), work_.c_str(), ZB_INDEX_ARCHIVE_XML), 1);
  EXPECT_EQ(ReadFile(work_ + "/ARCHIVE.XML"), "content");
  EXPECT_EQ(zbBoxUnzipXml(archive_.c_str(), work_.c_str(), ZB_INDEX_BACKUP_XML), 0);
  EXPECT_EQ(zbBoxUnzipXml(dir_.Sub("none").c_str(), work_.c_str(), 1), 0);
  EXPECT_EQ(zbBoxUnzipXml(archive_.c_str(), work_.c_str(), 9), 0);
}

}  // namespace
}  // namespace boxlink
