// Whole restores against the simulated device, for every layout: archives
// come from a backup of the same device, and what arrives is compared
// through the device's own store.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "boxlink.h"
#include "boxlink/client/logger.h"
#include "boxlink/client/session_hooks.h"
#include "boxlink/engine/engine_test_env.h"
#include "boxlink/engine/job_device_env.h"
#include "devsim/testing/device_fixture.h"
#include "platform/testing/temp_dir.h"
#include "platform/text.h"

namespace {

namespace fs = std::filesystem;
using boxlink::enginetest::FixedFtpProbe;
using boxlink::enginetest::FixedWebProbe;
using boxlink::enginetest::kAdmin;
using boxlink::enginetest::ProfileFor;

constexpr uint32_t kFirstBox = 7;
constexpr int32_t kRestoreTime = 1750000000;

devsim::PopulateOptions Boxes(int documents = 2) {
  devsim::PopulateOptions o;
  o.first_box = kFirstBox;
  o.boxes = 2;
  o.folders = 2;
  o.documents = documents;
  o.pages = 1;
  o.page_bytes = 700;
  return o;
}

// What a box holds, by container name: name -> first page.
using Content = std::map<std::string, std::map<std::string, std::string>>;

class RestoreDeviceTest : public ::testing::TestWithParam<devsim::Layout> {
 protected:
  // Test time runs ten times faster: the FTP client's 10-second waits stay
  // long enough (1 s) for a loaded machine to list a big box.
  RestoreDeviceTest()
      : env_(10),
        probes_({&FixedWebProbe, &FixedFtpProbe}),
        dev_(ProfileFor(GetParam()), {"web", "ftp"}, Boxes()) {}

  void SetUp() override {
    ASSERT_TRUE(dev_.ok()) << dev_.error();
    boxlink::enginetest::OpenJobSession(*dev_, &s_, &user_);
    fs::create_directories(work_);
    env_.SetNoEncryption(true);
  }
  void TearDown() override {
    zbBoxCloseConnection(&s_);
    if (HasFailure())
      std::fprintf(stderr, "diagnostic log:\n%s\n",
                   boxlink::enginetest::ReadFile(boxlink::CLogger::LogFilePath()).c_str());
    boxlink::CLogger::StopLog();
    zbBoxCloseEvent(cancel_);
    zbBoxCloseEvent(status_);
  }

  bool storage() const { return GetParam() == devsim::Layout::kStorage; }

  uint32_t Backup() {
    uint32_t mode = 1;
    return zbBoxBackup(&s_, kAdmin, user_.c_str(), work_.c_str(), archive_.c_str(), 0, 2,
                       boxes_, cancel_, status_, &progress_, nullptr, &mode, "",
                       CIPHERLIB_SO, DIGESTLIB_SO);
  }
  uint32_t Restore(uint32_t mode, uint32_t count = 2, const char* transfer_library = "") {
    uint32_t security = 0;
    return zbBoxRestore(&s_, kAdmin, user_.c_str(), work_.c_str(), archive_.c_str(), count,
                        boxes_, mode, kRestoreTime, cancel_, status_, &progress_, 0,
                        &security, transfer_library, CIPHERLIB_SO, DIGESTLIB_SO);
  }

  Content Of(uint32_t box) {
    Content out;
    devsim::BoxStore& st = dev_->store();
    for (const auto& item : st.ListItems(box, 0)) {
      if (item.kind == devsim::ItemKind::kFolder) {
        auto& c = out[item.name];
        for (const auto& d : st.ListItems(box, item.number))
          c[d.name] = st.ReadPage(d, 1).value_or("?");
      } else {
        out[""][item.name] = st.ReadPage(item, 1).value_or("?");
      }
    }
    return out;
  }
  std::vector<uint32_t> AccessTimes(uint32_t box) {
    std::vector<uint32_t> out;
    devsim::BoxStore& st = dev_->store();
    for (const auto& item : st.ListItems(box, 0)) {
      if (item.kind == devsim::ItemKind::kFolder) {
        for (const auto& d : st.ListItems(box, item.number)) out.push_back(d.last_access_date);
      } else {
        out.push_back(item.last_access_date);
      }
    }
    return out;
  }
  void Empty() {
    std::string error;
    for (uint32_t b : boxes_) ASSERT_TRUE(dev_->store().DeleteBox(b, &error)) << error;
  }

  boxlink::enginetest::EngineTestEnv env_;
  boxlink::ScopedPortProbes probes_;
  devsim::ScopedDevice dev_;
  platform::ScopedTempDir dir_;
  std::string work_ = dir_.Sub("work");
  std::string archive_ = dir_.Sub("backup.zip");
  ZBSESSION s_{};
  std::string user_;
  uint32_t boxes_[2] = {kFirstBox, kFirstBox + 1};
  BoxJobProgress progress_{};
  ZBEVENT cancel_ = zbBoxCreateEvent(1, 0, nullptr);
  ZBEVENT status_ = zbBoxCreateEvent(0, 0, nullptr);
};

TEST_P(RestoreDeviceTest, RoundTripIntoAnEmptiedDevice) {
  ASSERT_EQ(Backup(), 0u);
  std::map<uint32_t, Content> before;
  for (uint32_t b : boxes_) before[b] = Of(b);
  Empty();
  ZBENGINEINFO info{};
  ASSERT_EQ(zbBoxGetEngineInfo(&s_, kAdmin, &info), 0u);
  ASSERT_EQ(Restore(2), 0u) << progress_.State;
  EXPECT_FALSE(fs::exists(work_ + "/BOX"));
  EXPECT_EQ(progress_.Percent, 100u);
  for (uint32_t b : boxes_) {
    ASSERT_TRUE(dev_->store().GetBox(b)) << b;
    EXPECT_EQ(Of(b), before[b]) << b;
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

INSTANTIATE_TEST_SUITE_P(Layouts, RestoreDeviceTest,
                         ::testing::Values(devsim::Layout::kShared, devsim::Layout::kClassic,
                                           devsim::Layout::kStorage),
                         [](const auto& info) {
                           switch (info.param) {
                             case devsim::Layout::kShared: return std::string("Shared");
                             case devsim::Layout::kClassic: return std::string("Classic");
                             default: return std::string("Storage");
                           }
                         });

}  // namespace
