// What a restore may touch on the simulated device: only the box it
// restores, and nothing of that box until every check that can refuse it
// has passed. Archives are made by a backup of the same device and, where
// a test needs it, changed by hand afterwards.
#include <sys/statvfs.h>

#include "boxlink/testing/restore_device_fixture.h"
#include "boxlink/engine/restore_rules.h"
#include "boxlink/testing/crafted_zip_testing.h"

namespace {

using namespace boxlink::restoretest;

class RestoreSafetyTest : public RestoreDeviceTest {
 protected:
  std::map<uint32_t, std::map<std::string, std::string>> Trees() {
    std::map<uint32_t, std::map<std::string, std::string>> out;
    for (const devsim::BoxInfo& b : dev_->store().ListBoxes()) out[b.number] = Tree(b.number);
    return out;
  }
  std::string Log() {
    return boxlink::enginetest::ReadFile(boxlink::CLogger::LogFilePath());
  }
  // The first entry of a storage box folder that holds `file`.
  static std::string FirstHolding(const std::string& box_folder, const char* file) {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(box_folder))
      if (fs::exists(e.path() / file)) found.push_back(e.path().string());
    std::sort(found.begin(), found.end());
    return found.empty() ? std::string() : found.front();
  }
  // The device's folders at the top of a box.
  std::vector<devsim::ItemInfo> Folders(uint32_t box) {
    std::vector<devsim::ItemInfo> out;
    for (const auto& i : dev_->store().ListItems(box, 0))
      if (i.kind == devsim::ItemKind::kFolder) out.push_back(i);
    return out;
  }
};

class RestoreNamesTest : public RestoreSafetyTest {};

// In the storage layout the names of documents and folders are the names of
// their folders on the device. A name from the archive that would leave its
// box, or name the box itself, fails the restore before anything of that
// box is deleted or made: every box of the device stays as it was.
TEST_P(RestoreNamesTest, NamesThatWouldLeaveTheirBoxAreRefused) {
  ASSERT_EQ(Backup(), 0u);
  const std::string original = archive_ + ".orig";
  fs::copy_file(archive_, original);
  const std::string names[] = {"", ".", "..", "../008", "a/b", "a\\b", "tab\there"};
  struct Target {
    const char* file;
    const char* element;
  };
  const Target targets[] = {{"documentproperties.xml", "documentName"},
                            {"folderproperties.xml", "folderName"}};
  int round = 0;
  for (const Target& target : targets) {
    for (const std::string& name : names) {
      // Both modes delete before they upload; alternate between them.
      const uint32_t mode = ++round % 2 ? 1 : 2;
      SCOPED_TRACE(testing::Message() << target.element << " \"" << name << "\" mode " << mode);
      fs::copy_file(original, archive_, fs::copy_options::overwrite_existing);
      EditArchivedBox(archive_, kFirstBox, [&](const std::string& box) {
        std::string item = FirstHolding(box, target.file);
        ASSERT_FALSE(item.empty());
        ASSERT_TRUE(boxlink::RewritePropertyFile(item + "/" + target.file, target.element,
                                                 platform::Utf8ToUtf16(name)));
      });
      const auto before = Trees();
      const int writes = Writes();
      Call call;
      call.boxes = {kFirstBox};
      call.mode = mode;
      EXPECT_EQ(Restore(call), 123u);
      EXPECT_EQ(Trees(), before);
      EXPECT_EQ(Writes(), writes) << "nothing of the box was deleted or made";
      EXPECT_FALSE(fs::exists(work_ + "/BOX"));
      EXPECT_NE(Log().find("name refused"), std::string::npos);
    }
  }
}

// An overwrite deletes the device's documents that the archive replaces.
// Every check that can refuse the box runs before the first deletion, so a
// refused restore leaves the device's documents as they were.
TEST_P(RestoreSafetyTest, RefusedOverwriteLeavesTheDeviceAsItWas) {
  ASSERT_EQ(Backup(1, 1), 0u);
  const auto restored = Tree(kFirstBox);
  devsim::BoxStore& st = dev_->store();
  std::string error;
  struct Case {
    const char* what;
    std::function<void()> arrange;
    uint32_t rc, state;
  };
  const Case cases[] = {
      {"no room for the box",
       [&] { ReportFree(0); }, ZB_ERR_HANDLE_DISK_FULL, BOXJOB_STATE_PREPARING},
      {"a merged folder would pass 400 documents",
       [&] {
         // The archive's two documents replace their namesakes; 399 others
         // stay beside them.
         const devsim::ItemInfo folder = Folders(kFirstBox).front();
         for (int i = 0; i < 399; ++i)
           ASSERT_TRUE(st.CreateDocument(kFirstBox, folder.number, "Extra " + std::to_string(i),
                                         {"x"}, 1700000000, &error))
               << error;
       },
       ZB_ERR_BOX_LIMITS, 9},
      {"the box would pass 100 folders",
       [&] {
         // The archive's folders are new to the device, which holds 99 others.
         std::vector<devsim::ItemInfo> folders = Folders(kFirstBox);
         for (auto it = folders.rbegin(); it != folders.rend(); ++it)
           ASSERT_TRUE(st.DeleteItem(kFirstBox, 0, it->kind, it->number, &error)) << error;
         for (int i = 0; i < 99; ++i)
           ASSERT_TRUE(st.CreateFolder(kFirstBox, "Kept " + std::to_string(i), 1700000000,
                                       &error))
               << error;
       },
       ZB_ERR_BOX_LIMITS, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The box as the archive has it, so that every archived document has
    // a namesake on the device that an overwrite would delete.
    Empty();
    dev_->mutable_profile().extra.erase("disk.capacity");
    ASSERT_EQ(Restore(2, 1), 0u);
    ASSERT_EQ(Tree(kFirstBox), restored);
    ASSERT_NO_FATAL_FAILURE(c.arrange());
    const auto before = Tree(kFirstBox);
    const int deletions = dev_->faults().Hits("web.boxnwDeleteDoc") +
                          dev_->faults().Hits("ftp.DELE") + dev_->faults().Hits("ftp.RMD");
    EXPECT_EQ(Restore(1, 1), c.rc);
    EXPECT_EQ(progress_.State, c.state);
    EXPECT_EQ(Tree(kFirstBox), before);
    EXPECT_EQ(dev_->faults().Hits("web.boxnwDeleteDoc") + dev_->faults().Hits("ftp.DELE") +
                  dev_->faults().Hits("ftp.RMD"),
              deletions);
    EXPECT_FALSE(fs::exists(work_ + "/BOX"));
  }
  dev_->mutable_profile().extra.erase("disk.capacity");
}

// Before each box the device's free space is compared with what the boxes
// still to come need; the boxes restored before it have already taken
// their share of the free space.
TEST_P(RestoreSafetyTest, SpaceCheckCountsOnlyWhatIsStillToCome) {
  // Boxes big enough that the device reports its free space in KiB
  // (figures below 1024 are in a larger unit).
  devsim::PopulateOptions big = Boxes();
  big.page_bytes = 60000;
  std::string error;
  ASSERT_TRUE(devsim::Populate(dev_->store(), big, &error)) << error;
  ASSERT_EQ(Backup(), 0u);
  BackupIndexInfo info{};
  BackupIndexBox* list = nullptr;
  ASSERT_EQ(zbBoxGetXMLInfo(archive_.c_str(), work_.c_str(), &info, &list, CIPHERLIB_SO,
                            DIGESTLIB_SO),
            0u);
  ASSERT_EQ(info.Count, 2u);
  const uint32_t first = list[0].BoxUsedDisk, second = list[1].BoxUsedDisk;
  zbBoxFreeIndexBoxes(list);
  ASSERT_GT(first, 400u);
  ASSERT_GT(second, 400u);
  std::map<uint32_t, std::map<std::string, std::string>> before;
  for (uint32_t b : boxes_) before[b] = Tree(b);

  struct Case {
    const char* what;
    uint32_t free_kib, rc;
  };
  const Case cases[] = {
      // Both boxes and the one unit per box fit, with room to spare that
      // is less than what the first box takes.
      {"both boxes fit", first + second + 3 + first / 2, 0},
      {"both boxes do not fit", first + second, ZB_ERR_HANDLE_DISK_FULL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Empty();
    ReportFree(c.free_kib);
    const int writes = Writes();
    EXPECT_EQ(Restore(1), c.rc);
    if (c.rc == 0) {
      for (uint32_t b : boxes_) EXPECT_EQ(Tree(b), before[b]) << b;
    } else {
      EXPECT_EQ(Writes(), writes) << "refused before the first box";
    }
  }
  dev_->mutable_profile().extra.erase("disk.capacity");
}

// A crafted box member whose entries declare 100,000 GB in all is refused
// before anything of it is written, and the device is not touched.
TEST_P(RestoreSafetyTest, ArchiveDeclaringMoreThanTheDiskHoldsIsRefused) {
  ASSERT_EQ(Backup(1, 1), 0u);
  const std::string bomb = boxlink::ziptest::DeclaredSizeBomb(100000ull * 1000 * 1000 * 1000);
  struct statvfs vfs {};
  ASSERT_EQ(::statvfs(work_.c_str(), &vfs), 0);
  ASSERT_LT(uint64_t(vfs.f_bavail) * vfs.f_frsize, 100000ull * 1000 * 1000 * 1000);
  EditArchive(archive_, [&](const std::string& box_root) {
    const std::string holder = MemberHolder(box_root, true);
    boxlink::CZipUtility names;
    names.SetLayout(GetParam() == devsim::Layout::kShared, storage());
    const std::string member = holder + "/" + names.BoxFolderName(kFirstBox);
    fs::remove(member + ".tnb");
    platform::WriteTestFile(member + ".zip", bomb);
    boxlink::ChangeZipCentralDirectory(member + ".zip");
    MemberHolder(box_root, false);
  });
  const auto before = Trees();
  const int writes = Writes();
  Call call;
  call.boxes = {kFirstBox};
  EXPECT_EQ(Restore(call), 112u);  // not enough space on the disk
  EXPECT_EQ(Trees(), before);
  EXPECT_EQ(Writes(), writes);
  EXPECT_FALSE(fs::exists(work_ + "/BOX"));
}

class RestoreNumbersTest : public RestoreSafetyTest {};

// Items of the shared and classic layouts are numbered folders "D0000ddd"
// and "F0000fff" with at least three digits: item 1000 and above travel too.
TEST_P(RestoreNumbersTest, ItemsNumberedFromAThousandRoundTrip) {
  devsim::BoxStore& st = dev_->store();
  const fs::path items = st.ItemRoot(kFirstBox);
  auto renumber = [&](const char* from, const char* to) {
    fs::rename(items / from, items / to);
    fs::rename(items / (std::string(from) + ".XML"), items / (std::string(to) + ".XML"));
  };
  ASSERT_TRUE(fs::exists(items / "D0000001")) << items;
  renumber("D0000001", "D00001000");
  ASSERT_TRUE(fs::exists(items / "F0000002")) << items;
  renumber("F0000002", "F00001234");
  const auto tree = Tree(kFirstBox);
  size_t numbered = 0;
  for (const auto& [path, value] : tree)
    if (value.rfind("1000|", 0) == 0 || value == "1234") ++numbered;
  ASSERT_EQ(numbered, 2u) << "the store sees both items under their numbers";

  ASSERT_EQ(Backup(1, 1), 0u);
  Empty();
  ASSERT_EQ(Restore(2, 1), 0u);
  EXPECT_EQ(Tree(kFirstBox), tree);
  size_t docs = 0, again = 0;
  for (const auto& [folder, d] : Of(kFirstBox)) docs += d.size();
  // Merged beside themselves, every item arrives once more under a free
  // number.
  ASSERT_EQ(Restore(2, 1), 0u);
  for (const auto& [folder, d] : Of(kFirstBox)) again += d.size();
  EXPECT_EQ(again, 2 * docs);
}

// Storage devices that know the client only from its model file open the
// restricted session; a storage model whose engine the client also knows
// by name opens a full session. Both back up and restore their boxes.
class RestoreSessionsTest : public RestoreSafetyTest {};

TEST_P(RestoreSessionsTest, StorageDeviceInBothSessionKinds) {
  for (bool restricted : {true, false}) {
    SCOPED_TRACE(restricted ? "restricted session" : "full session");
    zbBoxCloseConnection(&s_);
    s_ = ZBSESSION{};
    if (!restricted) {
      const char* engine = "Varda 960 Series V4.0.0.0";
      dev_->mutable_profile().engine_version = engine;
      ASSERT_TRUE(boxlink::WriteModelFile(env_.env_.root() + "/program/" + boxlink::kModelInfoFileName,
                              {{boxlink::kSupportedModelsCategory, {"Varda 8000", engine}}}));
      boxlink::ModelAdditionCheck::ResetForTesting();
    }
    dev_->mutable_profile().extra["web.connect_result"] = restricted ? "4" : "0";
    ASSERT_NO_FATAL_FAILURE(boxlink::enginetest::OpenJobSession(*dev_, &s_, &user_));
    ASSERT_EQ(s_.AccessMode, restricted ? 20u : 0u);
    std::map<uint32_t, std::map<std::string, std::string>> before;
    for (uint32_t b : boxes_) before[b] = Tree(b);
    ASSERT_EQ(Backup(), 0u);
    Empty();
    ASSERT_EQ(Restore(2), 0u) << progress_.State;
    for (uint32_t b : boxes_) EXPECT_EQ(Tree(b), before[b]) << b;
  }
}

INSTANTIATE_TEST_SUITE_P(Storage, RestoreNamesTest, ::testing::Values(devsim::Layout::kStorage),
                         LayoutName);
INSTANTIATE_TEST_SUITE_P(Storage, RestoreSessionsTest,
                         ::testing::Values(devsim::Layout::kStorage), LayoutName);
INSTANTIATE_TEST_SUITE_P(Layouts, RestoreNumbersTest,
                         ::testing::Values(devsim::Layout::kShared, devsim::Layout::kClassic),
                         LayoutName);
INSTANTIATE_TEST_SUITE_P(Layouts, RestoreSafetyTest,
                         ::testing::Values(devsim::Layout::kShared, devsim::Layout::kClassic,
                                           devsim::Layout::kStorage),
                         LayoutName);

}  // namespace
