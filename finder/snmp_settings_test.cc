#include "finder/snmp_settings.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "finder/product_definition.h"
#include "desktop/testing/map_texts.h"
#include "finder/texts.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace finder {
namespace {

constexpr char kBase[] = "Software\\TALLIS\\Corvane TALLIS Client";
constexpr char kKey[] = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";

class SnmpSettingsTest : public ::testing::Test {
 protected:
  SnmpSettingsTest() : use_(&env_) {
    module_.set_module_type("ZELT");
    module_.mutable_generic().Set(kResStoreRegBase, 141);
    texts_.Set(141, kBase);
  }
  platform::Registry& reg() { return env_.registry(); }
  StoreContext Context() { return ContextFor(module_, texts_, kResStoreRegBase); }

  platform::FakeEnv env_;
  platform::ScopedEnv use_;
  CDiscoveryModule module_;
  desktop::MapTexts texts_{{}};
};

TEST(SnmpVersionTest, BothEncodings) {
  struct Case {
    uint32_t stored;
    bool allowed;
    int index;
  } cases[] = {{1, true, 0}, {3, true, 1}, {13, true, 2}, {13, false, 0},
               {2, true, 0}, {0, true, 0}, {3, false, 1}};
  for (const Case& c : cases)
    EXPECT_EQ(VersionIndexOf(c.stored, c.allowed), c.index) << c.stored;
  EXPECT_EQ(StoredVersionOf(0), 1u);
  EXPECT_EQ(StoredVersionOf(1), 3u);
  EXPECT_EQ(StoredVersionOf(2), 13u);
}

TEST_F(SnmpSettingsTest, KeeperSettingsShareTheSelectionKey) {
  EXPECT_EQ(Context().settings_key, kKey);
  EXPECT_EQ(SubKeyOf("ZELT"), "BRD");
  EXPECT_EQ(StoreKindOf("PD"), StoreKind::kPrinterData);
  EXPECT_EQ(StoreKindOf("FAX"), StoreKind::kPrinterData);
  EXPECT_EQ(StoreKindOf("WIA"), StoreKind::kIni);
  EXPECT_EQ(StoreKindOf("ZELT"), StoreKind::kRegistry);
}

TEST_F(SnmpSettingsTest, ReadAndWriteTheSettingsKey) {
  CSNMPRegistry store(Context());
  EXPECT_FALSE(store.Read());  // no key
  ASSERT_TRUE(reg().CreateKey(platform::RegRoot::kCurrentUser, kKey));
  EXPECT_FALSE(store.Read());  // no "SNMPVersion"

  ASSERT_TRUE(store.Write({kSnmpV1, "/ignored.id", "/ignored-too.id"}));
  auto s = store.Read();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->version, 1u);
  EXPECT_EQ(s->id_file_path, "");  // paths only for 3 and 13
  EXPECT_FALSE(reg().GetValue(platform::RegRoot::kCurrentUser, kKey, "IDFilePath"));

  ASSERT_TRUE(store.Write({kSnmpV1V3, "/home/u/a.id", "/home/u/b.id"}));
  s = store.Read();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->version, 13u);
  EXPECT_EQ(s->id_file_path, "/home/u/a.id");
  EXPECT_EQ(store.ReadLastSelected(), "/home/u/b.id");
  EXPECT_EQ(reg().GetValue(platform::RegRoot::kCurrentUser, kKey, "SNMPVersion"),
            platform::RegValue::Dword(13));
}

TEST_F(SnmpSettingsTest, CommunityNameStore) {
  StoreContext c = Context();
  EXPECT_EQ(ReadCommNameFromRegistry(c), "public");  // nothing stored
  EXPECT_FALSE(ReadStoredCommunity(c));
  ASSERT_TRUE(WriteCommNameToRegistry("lab-ro", c));
  EXPECT_EQ(ReadCommNameFromRegistry(c), "lab-ro");
  EXPECT_EQ(reg().GetValue(platform::RegRoot::kCurrentUser, kKey,
                           "SNMPCommunityName"),
            platform::RegValue::String("lab-ro"));
  // At most 255 bytes come back.
  ASSERT_TRUE(WriteCommNameToRegistry(std::string(400, 'c'), c));
  EXPECT_EQ(ReadCommNameFromRegistry(c).size(), 255u);
}

TEST_F(SnmpSettingsTest, PrinterDriverVariants) {
  module_.set_module_type("FAX");
  module_.mutable_checks().Set(kCheckCommunityName, "Fax Community");
  StoreContext c = Context();
  EXPECT_TRUE(c.settings_key.empty());
  c.printer = "Office MFP";
  EXPECT_FALSE(PrinterExists("Office MFP"));
  EXPECT_EQ(ReadCommNameFromRegistry(c), "public");
  ASSERT_TRUE(WriteCommNameToRegistry("faxcomm", c));
  EXPECT_TRUE(PrinterExists("Office MFP"));
  EXPECT_EQ(reg().GetValue(platform::RegRoot::kCurrentUser,
                           PrinterDataKey("Office MFP"), "Fax Community"),
            platform::RegValue::String("faxcomm"));
  EXPECT_EQ(ReadCommNameFromRegistry(c), "faxcomm");

  // Version and ID file path in the INI file's "SNMP" section.
  CSNMPRegistry store(c);
  EXPECT_FALSE(store.Read());
  ASSERT_TRUE(store.Write({kSnmpV3, "/p/a.id", "/p/b.id"}));
  auto s = store.Read();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->version, 3u);
  EXPECT_EQ(s->id_file_path, "/p/a.id");
  EXPECT_EQ(s->last_selected_path, "/p/b.id");
  EXPECT_EQ(ReadIniValue(c.ini_path, "snmp", "snmpversion"), "3");
  ASSERT_TRUE(store.Write({kSnmpV1, "", ""}));
  EXPECT_EQ(store.Read()->version, 1u);
  EXPECT_EQ(store.Read()->id_file_path, "/p/a.id");  // kept: only 3/13 write it
}

TEST_F(SnmpSettingsTest, IniValuesKeepOtherSectionsAndKeys) {
  std::string path = env_.root() + "/x.ini";
  platform::WriteTestFile(path, "[Other]\nSNMPVersion=9\n[SNMP]\n; note\nA=1\n");
  ASSERT_TRUE(WriteIniValue(path, "SNMP", "SNMPVersion", "13"));
  ASSERT_TRUE(WriteIniValue(path, "SNMP", "a", "2"));
  EXPECT_EQ(ReadIniValue(path, "Other", "SNMPVersion"), "9");
  EXPECT_EQ(ReadIniValue(path, "SNMP", "SNMPVersion"), "13");
  EXPECT_EQ(ReadIniValue(path, "SNMP", "A"), "2");
  EXPECT_EQ(platform::ReadTestFile(path),
            "[Other]\nSNMPVersion=9\n[SNMP]\n; note\na=2\nSNMPVersion=13\n");
}

TEST_F(SnmpSettingsTest, IdFileBackupModes) {
  CSNMPRegistry store(Context());
  const std::string& active = store.active_id_file();
  const std::string& backup = store.backup_id_file();
  EXPECT_TRUE(active.ends_with("/ZELT.id"));
  EXPECT_TRUE(backup.ends_with("/ZELTLastselectedIDfile.id"));
  EXPECT_EQ(active.rfind(env_.UserProfileDir(), 0), 0u);

  EXPECT_TRUE(store.BackupStep(CSNMPRegistry::Backup::kSaveOnce));  // nothing
  platform::WriteTestFile(active, "first");
  ASSERT_TRUE(store.BackupStep(CSNMPRegistry::Backup::kSaveOnce));
  EXPECT_EQ(platform::ReadTestFile(backup), "first");
  struct stat st {};
  ASSERT_EQ(stat(backup.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  platform::WriteTestFile(active, "second");
  ASSERT_TRUE(store.BackupStep(CSNMPRegistry::Backup::kSaveOnce));
  EXPECT_EQ(platform::ReadTestFile(backup), "first");  // a backup exists
  ASSERT_TRUE(store.BackupStep(CSNMPRegistry::Backup::kRestore));
  EXPECT_EQ(platform::ReadTestFile(active), "first");
  platform::WriteTestFile(active, "third");
  ASSERT_TRUE(store.BackupStep(CSNMPRegistry::Backup::kSave));
  EXPECT_EQ(platform::ReadTestFile(backup), "third");
}

}  // namespace
}  // namespace finder
