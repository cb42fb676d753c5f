// Whole restores against the simulated device, for every layout: archives
// come from a backup of the same device, and what arrives is compared
// through the device's own store.
#include "boxlink/testing/restore_device_fixture.h"

namespace {

using namespace boxlink::restoretest;

TEST_P(RestoreDeviceTest, RoundTripIntoAnEmptiedDevice) {
  ASSERT_EQ(Backup(), 0u);
  std::map<uint32_t, std::map<std::string, std::string>> before;
  for (uint32_t b : boxes_) before[b] = Tree(b);
  Empty();
  ZBENGINEINFO info{};
  ASSERT_EQ(zbBoxGetEngineInfo(&s_, kAdmin, &info), 0u);
  ASSERT_EQ(Restore(2), 0u) << progress_.State;
  EXPECT_FALSE(fs::exists(work_ + "/BOX"));
  EXPECT_EQ(progress_.Percent, 100u);
  for (uint32_t b : boxes_) {
    ASSERT_TRUE(dev_->store().GetBox(b)) << b;
    EXPECT_EQ(Tree(b), before[b]) << b;
    for (uint32_t t : AccessTimes(b)) {
      // Item files take the device's clock, property files the caller's time.
      if (storage() || info.CurrentTime == 0)
        EXPECT_EQ(t, uint32_t(kRestoreTime));
      else
        EXPECT_TRUE(t >= info.CurrentTime && t < info.CurrentTime + 600) << t;
    }
  }
}

// The wrapper's second family raises where the plain one only reports, and
// lists through a file: a whole restore must still arrive.
TEST_P(RestoreDeviceTest, RoundTripOverTheWrapper) {
  ASSERT_EQ(Backup(), 0u);
  std::map<uint32_t, Content> before;
  for (uint32_t b : boxes_) before[b] = Of(b);
  Empty();
  ASSERT_EQ(Restore(2, 2, FTPSHIM_DIR), 0u) << progress_.State;
  for (uint32_t b : boxes_) EXPECT_EQ(Of(b), before[b]) << b;
  // Into boxes that are there now: every document is appended once more.
  ASSERT_EQ(Restore(2, 1, FTPSHIM_DIR), 0u) << progress_.State;
  size_t docs = 0, again = 0;
  for (const auto& [folder, d] : before[kFirstBox]) docs += d.size();
  for (const auto& [folder, d] : Of(kFirstBox)) again += d.size();
  EXPECT_EQ(again, 2 * docs);
}

TEST_P(RestoreDeviceTest, AppendNumbersClashesAndOverwriteReplaces) {
  ASSERT_EQ(Backup(), 0u);
  Content original = Of(kFirstBox);
  ASSERT_EQ(Restore(2, 1), 0u);
  Content once = Of(kFirstBox);
  ASSERT_EQ(Restore(2, 1), 0u);
  Content twice = Of(kFirstBox);
  // Folders of the same name are merged: their count never grows.
  ASSERT_EQ(twice.size(), original.size());
  for (const auto& [folder, docs] : original) {
    ASSERT_TRUE(twice.count(folder)) << folder;
    EXPECT_EQ(twice[folder].size(), 3 * docs.size()) << folder;
    for (const auto& [name, page] : docs) {
      // Numbered names keep the first 60 UTF-16 units.
      std::u16string wide = platform::Utf8ToUtf16(name);
      if (wide.size() > 60) wide.resize(60);
      std::string head = platform::Utf16ToUtf8(wide);
      EXPECT_EQ(once[folder][name], page);
      EXPECT_EQ(once[folder][head + "-001"], page) << name;
      EXPECT_EQ(twice[folder][head + "-002"], page) << name;
    }
  }
  ASSERT_EQ(Restore(1, 1), 0u);
  EXPECT_EQ(Of(kFirstBox), twice);
}

TEST_P(RestoreDeviceTest, TooManyDocumentsAreRefusedBeforeAnyUpload) {
  devsim::BoxStore& st = dev_->store();
  std::string error;
  devsim::PopulateOptions big = Boxes(300);
  big.boxes = 1;
  big.folders = 0;
  ASSERT_TRUE(devsim::Populate(st, big, &error)) << error;
  ASSERT_EQ(Backup(), 0u);
  // Box 7 on the device now holds 101 documents.
  // From the last: the storage layout numbers items by their position.
  std::vector<devsim::ItemInfo> items = st.ListItems(kFirstBox, 0);
  for (auto it = items.rbegin(); it != items.rend(); ++it)
    ASSERT_TRUE(st.DeleteItem(kFirstBox, 0, it->kind, it->number, &error)) << error;
  for (int i = 0; i < 101; ++i)
    ASSERT_TRUE(st.CreateDocument(kFirstBox, 0, "Scan " + std::to_string(i), {"x"},
                                  1700000000, &error))
        << error;
  Content held = Of(kFirstBox);
  EXPECT_EQ(Restore(2, 1), uint32_t(ZB_ERR_BOX_LIMITS));
  EXPECT_EQ(progress_.State, 9u);
  EXPECT_EQ(Of(kFirstBox), held);
  EXPECT_FALSE(fs::exists(work_ + "/BOX"));
}

TEST_P(RestoreDeviceTest, CancelDuringUploadEndsWith995) {
  ASSERT_EQ(Backup(), 0u);
  Empty();
  std::atomic<bool> done{false};
  std::thread watcher([&] {
    while (!done) {
      if (zbBoxWaitEvent(status_, 20) == ZB_WAIT_OBJECT_0 && progress_.State == 4) {
        zbBoxSetEvent(cancel_);
        return;
      }
    }
  });
  uint32_t rc = Restore(2);
  done = true;
  watcher.join();
  EXPECT_EQ(rc, uint32_t(ZB_ERR_CANCELLED));
  EXPECT_FALSE(fs::exists(work_ + "/BOX"));
}

// The device's free-space report is compared before an append (with the
// caller's figure) and before anything of a box is made or changed (with
// what the chosen boxes use); a report below 1024 is in a larger unit.
TEST_P(RestoreDeviceTest, TooLittleFreeSpaceEndsWith39) {
  ASSERT_EQ(Backup(), 0u);
  const Content before = Of(kFirstBox);
  struct Case {
    const char* what;
    uint32_t mode, free_kib, needed, rc;
    bool box_made;  // the device box exists afterwards
  };
  const Case cases[] = {
      {"small report scales the caller's figure", 2, 1000, 1, 39, false},
      {"free space must exceed the caller's figure", 2, 4096, 4096, 39, false},
      {"just enough", 2, 4096, 4095, 0, true},
      {"overwrite skips the caller's figure", 1, 4096, 100000, 0, true},
      {"box check scales what the box uses", 2, 1000, 0, 39, false},
      {"box check in overwrite mode", 1, 0, 0, 39, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Empty();
    ReportFree(c.free_kib);
    const int writes = Writes();
    Call call;
    call.boxes = {kFirstBox};
    call.mode = c.mode;
    call.needed = c.needed;
    EXPECT_EQ(Restore(call), c.rc);
    EXPECT_FALSE(fs::exists(work_ + "/BOX"));
    EXPECT_EQ(bool(dev_->store().GetBox(kFirstBox)), c.box_made);
    if (c.rc == 0) {
      EXPECT_EQ(Of(kFirstBox), before);
    } else {
      EXPECT_EQ(Writes(), writes) << "refused before anything was made";
      EXPECT_EQ(progress_.State, 5u);
    }
  }
}

// Folders of the archive box and of the device box together may not pass
// 100; folders merged by name count once.
TEST_P(RestoreDeviceTest, MoreThanAHundredFoldersEndWith8260) {
  devsim::BoxStore& st = dev_->store();
  std::string error;
  devsim::PopulateOptions many = Boxes(0);
  many.boxes = 1;
  many.folders = 51;
  ASSERT_TRUE(devsim::Populate(st, many, &error)) << error;
  ASSERT_EQ(Backup(1, 1), 0u);
  std::vector<std::string> archived;
  for (const auto& item : st.ListItems(kFirstBox, 0)) archived.push_back(item.name);
  ASSERT_EQ(archived.size(), 51u);

  struct Case {
    int others;        // device folders of names the archive lacks
    bool shared_name;  // and one named like an archive folder
    uint32_t rc;
    size_t folders_after;
  };
  const Case cases[] = {
      {50, false, ZB_ERR_BOX_LIMITS, 0},  // 51 + 50
      {50, true, ZB_ERR_BOX_LIMITS, 0},   // 50 left after the merge + 51
      {49, false, 0, 100},                // 51 + 49
      {49, true, 0, 100},                 // 50 left after the merge + 50
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.others << (c.shared_name ? " + shared" : ""));
    std::vector<devsim::ItemInfo> items = st.ListItems(kFirstBox, 0);
    for (auto it = items.rbegin(); it != items.rend(); ++it)
      ASSERT_TRUE(st.DeleteItem(kFirstBox, 0, it->kind, it->number, &error)) << error;
    for (int i = 0; i < c.others; ++i)
      ASSERT_TRUE(st.CreateFolder(kFirstBox, "Kept " + std::to_string(i), 1700000000, &error))
          << error;
    if (c.shared_name) {
      ASSERT_TRUE(st.CreateFolder(kFirstBox, archived[0], 1700000000, &error)) << error;
    }
    const Content held = Of(kFirstBox);
    EXPECT_EQ(Restore(2, 1), c.rc);
    EXPECT_FALSE(fs::exists(work_ + "/BOX"));
    EXPECT_EQ(st.ListItems(kFirstBox, 0).size(), c.rc ? held.size() : c.folders_after);
    if (c.rc) {
      EXPECT_EQ(progress_.State, 10u);
      EXPECT_EQ(Of(kFirstBox), held);
    }
  }
}

TEST_P(RestoreDeviceTest, ABoxTheArchiveLacksIsSkipped) {
  ASSERT_EQ(Backup(), 0u);
  const Content before = Of(kFirstBox + 1);
  Empty();
  Call call;
  call.boxes = {kFirstBox + 40, kFirstBox + 1};
  ASSERT_EQ(Restore(call), 0u);
  EXPECT_FALSE(dev_->store().GetBox(kFirstBox + 40));
  EXPECT_FALSE(dev_->store().GetBox(kFirstBox)) << "not chosen";
  EXPECT_EQ(Of(kFirstBox + 1), before);
  EXPECT_EQ(progress_.Percent, 100u);
}

// Flips a byte in the middle of the data of the box member whose bare name
// is `stem` plus ".tnb" or ".tnbe" (in DATA.zip, when the archive has one),
// keeping the outer archive sound otherwise. 0 when done.
int DamageMember(const std::string& archive, const std::string& stem) {
  static const char* kScript = R"(
import io, sys, zipfile
path, stem = sys.argv[1], sys.argv[2].lower()
def damage(data):
    for info in zipfile.ZipFile(io.BytesIO(data)).infolist():
        if info.filename.split('/')[-1].lower() in (stem + '.tnb', stem + '.tnbe'):
            off = info.header_offset
            start = off + 30 + int.from_bytes(data[off + 26:off + 28], 'little') \
                    + int.from_bytes(data[off + 28:off + 30], 'little')
            out = bytearray(data)
            out[start + info.compress_size // 2] ^= 0xFF
            return bytes(out)
    return None
data = open(path, 'rb').read()
damaged = damage(data)
if damaged is None:
    outer = zipfile.ZipFile(io.BytesIO(data))
    entries = [(i, outer.read(i)) for i in outer.infolist()]
    if not any(i.filename.lower().endswith('data.zip') for i, _ in entries): sys.exit(1)
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_STORED) as z:
        for info, body in entries:
            if info.filename.lower().endswith('data.zip'):
                body = damage(body)
                if body is None: sys.exit(1)
            z.writestr(info.filename, body)
else:
    open(path, 'wb').write(damaged)
)";
  std::string script = archive + ".py";
  FILE* f = std::fopen(script.c_str(), "w");
  if (!f) return -1;
  std::fputs(kScript, f);
  std::fclose(f);
  int rc = std::system(("/usr/bin/python3 '" + script + "' '" + archive + "' '" + stem + "'").c_str());
  std::remove(script.c_str());
  return rc;
}

// The next box is unpacked while one uploads; a member that cannot be
// unpacked still fails the job only when its turn comes, after the boxes
// before it arrived whole.
TEST_P(RestoreDeviceTest, ADamagedMemberFailsOnlyWhenItsBoxIsReached) {
  ASSERT_EQ(Backup(), 0u);
  const Content first = Of(kFirstBox);
  std::string stem = boxlink::enginetest::Fmt3(kFirstBox + 1);
  ASSERT_EQ(DamageMember(archive_, storage() ? stem : "B0000" + stem), 0);
  Empty();
  EXPECT_EQ(Restore(2), 1359u);
  EXPECT_FALSE(fs::exists(work_ + "/BOX"));
  EXPECT_EQ(Of(kFirstBox), first);
  EXPECT_FALSE(dev_->store().GetBox(kFirstBox + 1));
}

// Arms a fault as soon as a running job turns to its second box, so that
// the first one is complete on the device when the fault strikes.
class ArmOnSecondBox {
 public:
  ArmOnSecondBox(ZBEVENT status, const BoxJobProgress& progress, devsim::FaultPlan& plan,
                 std::string point, devsim::Fault fault)
      : thread_([=, this, &progress, &plan] {
          std::string first;
          while (!stop_) {
            if (zbBoxWaitEvent(status, 20) != ZB_WAIT_OBJECT_0) continue;
            std::string name(progress.BoxName, strnlen(progress.BoxName, sizeof progress.BoxName));
            // The record is written without a lock: the first box's name is
            // taken only once it uploads, long after the name was written.
            if (first.empty()) {
              if (progress.State == 4) first = name;
              continue;
            }
            if (name != first) {
              plan.Arm(point, fault, -1);
              armed_ = true;
              return;
            }
          }
        }) {}
  ~ArmOnSecondBox() { Join(); }
  bool Join() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return armed_;
  }

 private:
  std::atomic<bool> stop_{false}, armed_{false};
  std::thread thread_;
};

devsim::Fault Make(devsim::Fault::Kind kind, int code = 0) {
  devsim::Fault f;
  f.kind = kind;
  f.code = code;
  return f;
}

// A fault on the device ends the restore with its code; the work tree goes,
// and what was restored before stays.
TEST_P(RestoreDeviceTest, DeviceFaultsEndTheRestoreAndKeepFinishedBoxes) {
  using Kind = devsim::Fault::Kind;
  ASSERT_EQ(Backup(), 0u);
  const Content first = Of(kFirstBox);
  const Content second = Of(kFirstBox + 1);
  struct Case {
    const char* what;
    const char* point;
    devsim::Fault fault;
    uint32_t rc[3];  // shared, classic, storage
    const char* transfer_library = "";
  };
  const Case cases[] = {
      // The device answers the broken upload with 426, and the upload
      // passes the reply's number on.
      {"dropped data connection", "ftp.data", Make(Kind::kDropConnection), {426, 426, 426}},
      {"refused CGI", "web.boxnwGetBoxDiskSpace", Make(Kind::kFailWith, 503), {100, 100, 100}},
      {"CGI result busy", "web.boxnwGetBoxDiskSpace.result", Make(Kind::kFailWith, 201),
       {170, 170, 170}},
      // A new box of the shared and classic layouts starts with its status
      // file, whose creation fails as 12004; the storage layout starts with
      // an upload, whose reset is 257.
      {"reset control connection", "ftp.STOR", Make(Kind::kDropConnection),
       {12004, 12004, 257}},
      // The wrapper's family raises the connection's own error.
      {"reset over the wrapper", "ftp.STOR", Make(Kind::kDropConnection),
       {12031, 12031, 12031}, FTPSHIM_DIR},
  };
  const size_t layout = GetParam() == devsim::Layout::kShared    ? 0
                        : GetParam() == devsim::Layout::kClassic ? 1
                                                                 : 2;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Empty();
    dev_->faults().Clear();
    zbBoxResetEvent(status_);
    progress_ = BoxJobProgress{};
    ArmOnSecondBox arm(status_, progress_, dev_->faults(), c.point, c.fault);
    Call call;
    call.transfer_library = c.transfer_library;
    uint32_t rc = Restore(call);
    ASSERT_TRUE(arm.Join()) << "the job never reached its second box, rc " << rc;
    dev_->faults().Clear();
    EXPECT_EQ(rc, c.rc[layout]);
    EXPECT_FALSE(fs::exists(work_ + "/BOX"));
    EXPECT_EQ(Of(kFirstBox), first);
    EXPECT_NE(Of(kFirstBox + 1), second);
  }
}

class RestoreStorageTest : public RestoreDeviceTest {};

// The restricted session refuses an archive written in secure mode 2 when
// the caller's security mode is 1, before anything is uploaded.
TEST_P(RestoreStorageTest, SecureArchiveRefusedWith1314) {
  struct Case {
    uint32_t archive_mode, caller_mode, rc;
  };
  const Case cases[] = {{2, 1, ZB_ERR_PRIVILEGE_NOT_HELD}, {2, 2, 0}, {1, 1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.archive_mode << "/" << c.caller_mode);
    ASSERT_EQ(Backup(c.archive_mode, 1), 0u);
    const Content held = Of(kFirstBox);
    const int writes = Writes();
    Call call;
    call.boxes = {kFirstBox};
    call.security = c.caller_mode;
    EXPECT_EQ(Restore(call), c.rc);
    EXPECT_FALSE(fs::exists(work_ + "/BOX"));
    if (c.rc) {
      EXPECT_EQ(Writes(), writes);
      EXPECT_EQ(Of(kFirstBox), held);
    } else {
      EXPECT_GT(Writes(), writes);
    }
  }
}

class RestoreClassicTest : public RestoreDeviceTest {};

// An archive of one series engine goes to its sibling, not to another
// generation; nothing is uploaded to a device that does not fit.
TEST_P(RestoreClassicTest, TargetEngineDecidesCompatibility) {
  ASSERT_EQ(dev_->profile().engine_version, "Varda 910 Series V1.0");
  ASSERT_EQ(Backup(1, 1), 0u);
  const Content held = Of(kFirstBox);
  struct Case {
    const char* target;
    uint32_t rc;
  };
  const Case cases[] = {{"Varda 5730C Series V3.0", ZB_ERR_NOT_SUPPORTED},
                        {"Varda 930 Series V1.0", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    dev_->mutable_profile().engine_version = c.target;
    Empty();
    const int writes = Writes();
    EXPECT_EQ(Restore(2, 1), c.rc);
    EXPECT_FALSE(fs::exists(work_ + "/BOX"));
    if (c.rc) {
      EXPECT_EQ(Writes(), writes);
      EXPECT_FALSE(dev_->store().GetBox(kFirstBox));
    } else {
      EXPECT_EQ(Of(kFirstBox), held);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Storage, RestoreStorageTest, ::testing::Values(devsim::Layout::kStorage),
                         LayoutName);
INSTANTIATE_TEST_SUITE_P(Classic, RestoreClassicTest, ::testing::Values(devsim::Layout::kClassic),
                         LayoutName);

INSTANTIATE_TEST_SUITE_P(Layouts, RestoreDeviceTest,
                         ::testing::Values(devsim::Layout::kShared, devsim::Layout::kClassic,
                                           devsim::Layout::kStorage),
                         LayoutName);

}  // namespace
