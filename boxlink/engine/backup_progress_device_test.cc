// What a caller watching the progress record of a backup sees, for every
// layout: the states in their order, the percent up to 100, and the names
// of the boxes, folders and documents as the job reads them from the item
// and property files it fetches.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "boxlink/testing/backup_device_fixture.h"
#include "boxlink/testing/scripted_backup.h"
#include "platform/text.h"

namespace boxlink::backuptest {
namespace {

class BackupProgressTest : public BackupDeviceTest {
 protected:
  // With the SNMP agent the device's name comes at once; without it every
  // job waits for the query to time out.
  BackupProgressTest() : BackupDeviceTest({"web", "ftp", "snmp"}) {}

  struct Names {
    std::set<std::string> boxes, folders, docs;
    uint32_t documents = 0;
  };

  // The names as the job shows them: shared and classic items by the
  // display name of their item file, in the system code page; storage items
  // by their folder's name on the device.
  Names DeviceNames() {
    Names n;
    auto name = [&](const devsim::ItemInfo& item) {
      return storage() ? item.dir.filename().string() : platform::Utf8ToCodePage(item.name);
    };
    for (uint32_t b : boxes_) {
      auto box = dev_->store().GetBox(b);
      EXPECT_TRUE(box.has_value()) << b;
      if (!box) continue;
      n.boxes.insert(platform::Utf8ToCodePage(box->name));
      for (const devsim::ItemInfo& item : dev_->store().ListItems(b, 0)) {
        if (item.kind == devsim::ItemKind::kFolder) {
          n.folders.insert(name(item));
          for (const devsim::ItemInfo& doc : dev_->store().ListItems(b, item.number)) {
            n.docs.insert(name(doc));
            ++n.documents;
          }
        } else {
          n.docs.insert(name(item));
          ++n.documents;
        }
      }
    }
    return n;
  }
};

struct Seen {
  uint32_t state, percent;
  std::string box, folder, doc;
};

// The states collapsed to their runs.
template <typename T>
std::vector<uint32_t> Runs(const std::vector<T>& seen) {
  std::vector<uint32_t> runs;
  for (const T& s : seen)
    if (runs.empty() || runs.back() != s.state) runs.push_back(s.state);
  return runs;
}

TEST_P(BackupProgressTest, StatesNamesAndPercentAsTheJobGoes) {
  const Names device = DeviceNames();
  ASSERT_FALSE(device.folders.empty());
  ASSERT_GT(device.docs.size(), device.folders.size());

  // A caller's thread, woken by the progress event.
  std::vector<Seen> watched;
  std::atomic<bool> done{false};
  auto look = [&] {
    watched.push_back({progress_.State, progress_.Percent, progress_.BoxName,
                       progress_.FolderName, progress_.DocName});
  };
  std::thread watcher([&] {
    while (!done)
      if (zbBoxWaitEvent(status_, 20) == ZB_WAIT_OBJECT_0) look();
    // The last signal may come after the job returned.
    if (zbBoxWaitEvent(status_, 0) == ZB_WAIT_OBJECT_0) look();
  });
  std::vector<CheckPoint> checks;
  uint32_t rc;
  {
    ScriptedBackup job;
    rc = RunBackup(job, Call(0));
    checks = job.seen();
  }
  done = true;
  watcher.join();
  ASSERT_EQ(rc, 0u);

  // At the check points, in the job's own thread: every item of the boxes
  // was named while it was fetched, and nothing else was.
  std::set<std::string> boxes, folders, docs;
  uint32_t percent = 0;
  for (const CheckPoint& p : checks) {
    EXPECT_GE(p.percent, percent);
    percent = p.percent;
    if (p.state == BOXJOB_STATE_PREPARING) {
      EXPECT_LE(p.percent, 3u);
    }
    if (p.state == BOXJOB_STATE_TRANSFERRING && !p.box.empty()) {
      // Storage devices have no index step to reach 5 before the boxes.
      if (!storage() || p.done_docs > 0) {
        EXPECT_GE(p.percent, 5u);
      }
      EXPECT_LE(p.percent, 95u);
      boxes.insert(p.box);
      if (!p.folder.empty()) folders.insert(p.folder);
      if (!p.doc.empty()) docs.insert(p.doc);
    }
  }
  EXPECT_EQ(boxes, device.boxes);
  EXPECT_EQ(folders, device.folders);
  EXPECT_EQ(docs, device.docs);
  EXPECT_EQ(Runs(checks), (std::vector<uint32_t>{BOXJOB_STATE_PREPARING,
                                                 BOXJOB_STATE_TRANSFERRING,
                                                 BOXJOB_STATE_PACKING}));

  // The watching thread sees a part of the same, in the job's order:
  // preparing, then transferring and packing by turns, and 100 at the end.
  ASSERT_FALSE(watched.empty());
  std::vector<uint32_t> runs = Runs(watched);
  EXPECT_EQ(runs.front(), uint32_t(BOXJOB_STATE_PREPARING));
  EXPECT_EQ(runs.back(), uint32_t(BOXJOB_STATE_PACKING));
  for (size_t i = 1; i < runs.size(); ++i) {
    bool ok = (runs[i - 1] == BOXJOB_STATE_PREPARING && runs[i] == BOXJOB_STATE_TRANSFERRING) ||
              (runs[i - 1] == BOXJOB_STATE_TRANSFERRING && runs[i] == BOXJOB_STATE_PACKING) ||
              (runs[i - 1] == BOXJOB_STATE_PACKING && runs[i] == BOXJOB_STATE_TRANSFERRING);
    EXPECT_TRUE(ok) << runs[i - 1] << " -> " << runs[i];
  }
  uint32_t last = 0;
  size_t named = 0;
  for (const Seen& s : watched) {
    EXPECT_GE(s.percent, last);
    last = s.percent;
    if (!s.box.empty()) {
      EXPECT_TRUE(device.boxes.count(s.box)) << s.box;
    }
    if (!s.folder.empty()) {
      EXPECT_TRUE(device.folders.count(s.folder)) << s.folder;
    }
    if (!s.doc.empty()) {
      EXPECT_TRUE(device.docs.count(s.doc)) << s.doc;
      ++named;
    }
  }
  EXPECT_GT(named, 0u);
  EXPECT_EQ(watched.back().percent, 100u);

  // The record as the job leaves it.
  EXPECT_EQ(progress_.Percent, 100u);
  EXPECT_EQ(progress_.State, uint32_t(BOXJOB_STATE_PACKING));
  EXPECT_EQ(progress_.TotalDocs, device.documents);
  EXPECT_EQ(progress_.DoneDocs, device.documents);
  EXPECT_STREQ(progress_.BoxName, "");
  EXPECT_STREQ(progress_.FolderName, "");
  EXPECT_STREQ(progress_.DocName, "");
}

INSTANTIATE_TEST_SUITE_P(Layouts, BackupProgressTest, BACKUP_DEVICE_LAYOUTS);

}  // namespace
}  // namespace boxlink::backuptest
