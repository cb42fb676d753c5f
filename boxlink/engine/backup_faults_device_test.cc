// A backup that is cancelled, loses its device or its model checker in the
// middle, for every layout: the job ends with its code, removes the work
// tree, leaves an older archive as it was and sends nothing afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "boxlink/testing/backup_device_fixture.h"
#include "boxlink/engine/keep_alive.h"
#include "boxlink/base/model_addition_check.h"
#include "boxlink/testing/scripted_backup.h"
#include "devsim/web/web_service.h"

namespace boxlink::backuptest {
namespace {

constexpr char kOldArchive[] = "the old archive";

// Everything the device's services answer, for a device that goes silent.
constexpr const char* kFtpVerbs[] = {
    "USER", "PASS", "AUTH", "PBSZ", "PROT", "FEAT", "SYST", "NOOP", "OPTS", "PWD",
    "XPWD", "CWD",  "CDUP", "TYPE", "SIZE", "MDTM", "PASV", "EPSV", "PORT", "EPRT",
    "RETR", "STOR", "APPE", "LIST", "NLST", "MKD",  "RMD",  "DELE", "RNFR", "RNTO",
    "QUIT"};
constexpr const char* kWebPoints[] = {
    "boxnwConnect",          "boxnwDisconnect",         "boxnwGetEngineVersion",
    "boxnwGetBoxList",       "boxnwGetBoxProperty",     "boxnwGetFolderDocList",
    "boxnwGetBoxDiskSpace",  "boxnwBoxExModeIn",        "boxnwBoxExModeOut",
    "boxnwCreateFTPAccount", "boxnwDeleteFTPAccount",   "boxnwDeleteAllBox",
    "boxnwDeleteDoc",        "boxnwDirSerialClusterChange", "boxnwChangeLastBackupDate",
    "boxnwGetSecuritySetting", "boxnwAuthenticate",     "boxnwGetServiceStatus",
    "Halvo",                 "Tnb.html"};

devsim::Fault Hang() {
  devsim::Fault f;
  f.kind = devsim::Fault::Kind::kHang;
  f.delay = std::chrono::hours(1);  // until the device stops
  return f;
}

class BackupFaultsTest : public BackupDeviceTest {
 protected:
  // With the SNMP agent the device's name comes at once; without it every
  // job waits for the query to time out.
  BackupFaultsTest() : BackupDeviceTest({"web", "ftp", "snmp"}) {}

  // Runs a scripted job as zbBoxBackup would and destroys it before
  // returning, so the work tree is gone when the caller looks.
  uint32_t RunScripted(const std::function<void(ScriptedBackup&)>& script,
                       std::vector<CheckPoint>* seen = nullptr) {
    uint32_t rc;
    {
      ScriptedBackup job;
      script(job);
      rc = RunBackup(job, Call(0));
      if (seen) *seen = job.seen();
    }
    return rc;
  }

  int Hits(const char* point) { return dev_->faults().Hits(point); }

  // A last-backup date no backup gives, on every box of the job.
  static constexpr uint32_t kMarkedDate = 12345;
  void MarkBackupDates() {
    for (uint32_t b : boxes_) {
      devsim::BoxInfo info = *dev_->store().GetBox(b);
      info.last_backup_date = kMarkedDate;
      std::string error;
      ASSERT_TRUE(dev_->store().UpdateBox(info, &error)) << error;
    }
  }
  void ExpectMarkedBackupDates() {
    for (uint32_t b : boxes_)
      EXPECT_EQ(dev_->store().GetBox(b)->last_backup_date, kMarkedDate) << b;
  }

  void ExpectNothingLeftBehind() {
    EXPECT_FALSE(fs::exists(work_ + "/BOX"));
    EXPECT_EQ(ReadFile(archive_), kOldArchive);
    EXPECT_FALSE(fs::exists(archive_ + ".zip"));
  }

  // The device's silence over longer than one keep-alive period of the
  // test clock: a keep-alive or transfer left running would be counted.
  void ExpectNoMoreRequests() {
    const char* points[] = {"web.boxnwGetBoxProperty", "ftp.USER", "ftp.data"};
    std::vector<int> before;
    for (const char* p : points) before.push_back(Hits(p));
    std::this_thread::sleep_for(env_.env_.test_clock().RealTimeout(kKeepAliveIntervalMs) +
                                std::chrono::milliseconds(600));
    for (size_t i = 0; i < std::size(points); ++i)
      EXPECT_EQ(Hits(points[i]), before[i]) << points[i];
  }
};

// Where the job can stop for a cancel, as the progress record and the work
// tree show it at that moment.
struct Phase {
  const char* name;
  std::function<bool(const CheckPoint&, const std::string& first_box)> is;
  bool last = false;  // the phase's last check point rather than its first
};

TEST_P(BackupFaultsTest, CancelAtEveryKindOfCheckPoint) {
  WriteFile(archive_, kOldArchive);

  // A full run first, to learn the check points. It dwells in its first
  // box transfer for longer than a keep-alive period, so the keep-alive
  // touches the session (a property query without a box number).
  std::vector<CheckPoint> seen;
  bool dwelt = false;
  ASSERT_EQ(RunScripted(
                [&](ScriptedBackup& job) {
                  job.at_check = [&](size_t, const CheckPoint& p) {
                    if (dwelt || !p.transfer_open || p.box.empty()) return;
                    dwelt = true;
                    std::this_thread::sleep_for(
                        env_.env_.test_clock().RealTimeout(kKeepAliveIntervalMs) +
                        std::chrono::milliseconds(300));
                  };
                },
                &seen),
            0u);
  ASSERT_NE(ReadFile(archive_), kOldArchive);
  WriteFile(archive_, kOldArchive);
  char touch[32];
  std::snprintf(touch, sizeof touch, "SID=%08lu", static_cast<unsigned long>(s_.SessionId));
  int touches = 0;
  for (const auto& r : devsim::web::WebService::Of(*dev_)->RequestsTo("boxnwGetBoxProperty"))
    if (r.query == touch) ++touches;
  EXPECT_GE(touches, 1);
  std::string first_box;
  for (const CheckPoint& p : seen)
    if (p.state == BOXJOB_STATE_TRANSFERRING && !p.box.empty()) {
      first_box = p.box;
      break;
    }
  ASSERT_FALSE(first_box.empty());

  using P = const CheckPoint&;
  using B = const std::string&;
  const Phase phases[] = {
      {"start", [](P p, B) { return !p.box_tree; }},
      {"work folders made", [](P p, B) { return p.box_tree && !p.index_file; }},
      {"index file made", [](P p, B) { return p.state == BOXJOB_STATE_PREPARING && p.index_file; }},
      {"second box's properties",
       [](P p, B) { return p.state == BOXJOB_STATE_PREPARING && p.boxes_known == 1; }},
      {"index step", [](P p, B) { return p.state == BOXJOB_STATE_TRANSFERRING && p.box.empty(); }},
      {"index step, after the index files",
       [](P p, B) { return p.state == BOXJOB_STATE_TRANSFERRING && p.box.empty(); }, true},
      {"box transfer",
       [](P p, B first) { return p.state == BOXJOB_STATE_TRANSFERRING && p.box == first; }},
      {"box transfer, after its last download",
       [](P p, B first) { return p.state == BOXJOB_STATE_TRANSFERRING && p.box == first; }, true},
      {"next box, after the first was packed",
       [](P p, B first) {
         return p.state == BOXJOB_STATE_TRANSFERRING && !p.box.empty() && p.box != first;
       }},
      {"index tail, after the last box was packed",
       [](P p, B) { return p.state == BOXJOB_STATE_PACKING; }},
      // The zip writer asks before every file and chunk of the archive.
      {"final packing",
       [](P p, B) { return p.state == BOXJOB_STATE_PACKING && p.percent >= 98; }},
      {"final packing, its last file",
       [](P p, B) { return p.state == BOXJOB_STATE_PACKING && p.percent >= 98; }, true},
  };

  for (const Phase& phase : phases) {
    SCOPED_TRACE(phase.name);
    size_t at = seen.size();
    for (size_t i = 0; i < seen.size(); ++i)
      if (phase.is(seen[i], first_box)) {
        at = i;
        if (!phase.last) break;
      }
    const bool index_step = std::string(phase.name).starts_with("index step");
    if (at == seen.size()) {
      // Storage devices keep no index files: there is no index step.
      EXPECT_TRUE(storage() && index_step);
      continue;
    }
    if (index_step) {
      EXPECT_FALSE(storage());
    }
    zbBoxResetEvent(cancel_);
    dev_->faults().Clear();
    MarkBackupDates();
    std::vector<CheckPoint> run;
    uint32_t rc = RunScripted(
        [&](ScriptedBackup& job) {
          job.at_check = [&](size_t i, const CheckPoint&) {
            if (i == at) zbBoxSetEvent(cancel_);
          };
        },
        &run);
    EXPECT_EQ(rc, 995u);
    // The job stopped at that very check point, where the full run had
    // been: the same progress.
    ASSERT_EQ(run.size(), at + 1);
    EXPECT_EQ(run.back().state, seen[at].state);
    EXPECT_EQ(run.back().box, seen[at].box);
    EXPECT_EQ(run.back().done_docs, seen[at].done_docs);
    ExpectNothingLeftBehind();
    // Without an archive the device must not believe its boxes were saved:
    // an incremental backup after this one would skip what it lacks.
    ExpectMarkedBackupDates();
    EXPECT_EQ(s_.Alive, 1u);
  }
  zbBoxResetEvent(cancel_);
  ExpectNoMoreRequests();

  // A backup that finishes gives the engines that keep them the dates.
  MarkBackupDates();
  ASSERT_EQ(Backup(0), 0u);
  EXPECT_NE(ReadFile(archive_), kOldArchive);
  EXPECT_FALSE(fs::exists(work_ + "/BOX"));
  if (shared()) {
    ExpectMarkedBackupDates();
  } else {
    for (uint32_t b : boxes_)
      EXPECT_NE(dev_->store().GetBox(b)->last_backup_date, kMarkedDate) << b;
  }
}

TEST_P(BackupFaultsTest, APackingThatFailsBesideTheNextDownloadIsTheJobsError) {
  WriteFile(archive_, kOldArchive);
  // The first box is packed while the second downloads. A folder where its
  // zip goes makes that packing fail; the job must end with the packing's
  // error rather than go on to an archive without the box.
  const std::string first = storage() ? enginetest::Fmt3(kFirstBox)
                                      : "B0000" + enginetest::Fmt3(kFirstBox);
  const std::string blocked =
      work_ + "/BOX/" + (shared() ? "DATA/" : "") + first + ".zip";
  std::vector<CheckPoint> seen;
  uint32_t rc = RunScripted(
      [&](ScriptedBackup& job) {
        job.at_check = [&](size_t, const CheckPoint& p) {
          if (p.transfer_open && !fs::exists(blocked)) fs::create_directories(blocked);
        };
      },
      &seen);
  // The zip writer never takes over what stands under a name: 80, the file
  // exists.
  EXPECT_EQ(rc, 80u);
  ExpectNothingLeftBehind();
  // The job stopped before its index tail.
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back().state, uint32_t(BOXJOB_STATE_TRANSFERRING));
}

TEST_P(BackupFaultsTest, DeviceThatStopsAnswering) {
  WriteFile(archive_, kOldArchive);
  struct Case {
    const char* what;
    std::function<bool(const CheckPoint&)> when;
    std::function<void()> arm;
    uint32_t code;
    uint32_t alive;
  };
  auto silence_everything = [this] {
    for (const char* v : kFtpVerbs) dev_->faults().Arm(std::string("ftp.") + v, Hang(), -1);
    dev_->faults().Arm("ftp.data", Hang(), -1);
    for (const char* w : kWebPoints) dev_->faults().Arm(std::string("web.") + w, Hang(), -1);
  };
  std::thread unplug;
  const Case cases[] = {
      // The FTP client gives up after its 10 s receive time-out: 12002,
      // and the caller has to connect again.
      {"in the middle of the box transfer",
       [](const CheckPoint& p) {
         return p.state == BOXJOB_STATE_TRANSFERRING && !p.box.empty() && p.done_docs > 0;
       },
       silence_everything, 12002, 0},
      // A box query that gets no answer: the transport's watch finds the
      // device gone at its next connection check and gives 12004.
      {"at the second box's property query",
       [](const CheckPoint& p) {
         return p.state == BOXJOB_STATE_PREPARING && p.boxes_known == 1;
       },
       [this, &unplug] {
         // The query hangs, and once it is in flight the device takes no
         // more connections: the transport's connection check finds it
         // gone.
         dev_->faults().Arm("web.boxnwGetBoxProperty", Hang(), -1);
         const int asked = Hits("web.boxnwGetBoxProperty");
         unplug = std::thread([this, asked] {
           while (Hits("web.boxnwGetBoxProperty") == asked)
             std::this_thread::sleep_for(std::chrono::milliseconds(5));
           devsim::web::WebService::Of(*dev_)->StopListening();
         });
       },
       12004, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dev_->faults().Clear();
    bool armed = false;
    uint32_t rc = RunScripted([&](ScriptedBackup& job) {
      job.at_check = [&](size_t, const CheckPoint& p) {
        if (!armed && c.when(p)) {
          c.arm();
          armed = true;
        }
      };
    });
    if (unplug.joinable()) unplug.join();
    dev_->faults().Clear();
    EXPECT_TRUE(armed);
    EXPECT_EQ(rc, c.code);
    EXPECT_EQ(s_.Alive, c.alive);
    ExpectNothingLeftBehind();
  }
  // Requests of the job that were left hanging are abandoned, not resent.
  ExpectNoMoreRequests();
  // The device dropped off the network in the last case: bring it back.
  zbBoxCloseConnection(&s_);
  ASSERT_TRUE(dev_.Restart());
  boxlink::enginetest::OpenJobSession(*dev_, &s_, &user_);

  // Switched off: the services go, the connections are reset under the
  // transfer.
  bool stopped = false;
  uint32_t rc = RunScripted([&](ScriptedBackup& job) {
    job.at_check = [&](size_t, const CheckPoint& p) {
      if (!stopped && p.state == BOXJOB_STATE_TRANSFERRING && p.done_docs > 0) {
        dev_->Stop();
        stopped = true;
      }
    };
  });
  EXPECT_TRUE(stopped);
  EXPECT_EQ(rc, 12031u);
  EXPECT_EQ(s_.Alive, 1u);
  ExpectNothingLeftBehind();
}

TEST_P(BackupFaultsTest, BoxesAreSkippedWithoutTheModelChecker) {
  WriteFile(archive_, kOldArchive);
  int listings_before = -1;
  uint32_t rc = RunScripted([&](ScriptedBackup& job) {
    // Taken away once the layout is decided and the properties are read,
    // so that the box transfer is the first to miss it.
    job.after_prepare = [&] {
      ModelAdditionCheck::SetUnavailableForTesting(true);
      listings_before = Hits("ftp.LIST");
    };
  });
  ModelAdditionCheck::SetUnavailableForTesting(false);
  // Told once per box, and no box was fetched; an archive without the
  // chosen boxes is no backup, so the job fails and keeps the old one.
  EXPECT_EQ(env_.notices_.texts(),
            std::vector<std::string>(2, "ModelAdditioncheck pointer is NULL"));
  EXPECT_EQ(Hits("ftp.LIST"), listings_before);
  EXPECT_EQ(Hits("ftp.USER"), storage() ? 0 : 1);  // the index step's login only
  EXPECT_EQ(rc, 8u);
  ExpectNothingLeftBehind();
  EXPECT_EQ(s_.Alive, 1u);
}

// Members of storage-layout archives are sealed with a key made by the
// digest library. Without it the backup fails and keeps the old archive
// rather than seal with a key no other reader would make; the other
// layouts seal nothing and do not need it.
TEST_P(BackupFaultsTest, SealingWithoutTheDigestLibraryFailsTheBackup) {
  WriteFile(archive_, kOldArchive);
  BackupCall call = Call(0);
  call.hash_library = "/nonexistent/libdigestlib.so";
  uint32_t rc;
  {
    CBackup job;
    rc = RunBackup(job, call);
  }
  if (storage()) {
    EXPECT_EQ(rc, 126u);  // the module could not be found
    ExpectNothingLeftBehind();
    EXPECT_NE(ReadFile(boxlink::CLogger::LogFilePath()).find("HashBuff"), std::string::npos);
  } else {
    EXPECT_EQ(rc, 0u);
  }
}

class BackupNamesTest : public BackupFaultsTest {};

// Storage devices list items by the names in their property files, and an
// incremental backup fetches each by that name. A listed name that would
// lead out of the box fails the backup; the old archive stays.
TEST_P(BackupNamesTest, ListedNamesThatWouldLeaveTheBoxAreRefused) {
  env_.SetNoEncryption(true);
  ASSERT_EQ(Backup(0), 0u);
  const std::string full = ReadFile(archive_);
  devsim::ItemInfo changed;
  for (const devsim::ItemInfo& item : dev_->store().ListItems(kFirstBox, 0))
    if (item.kind == devsim::ItemKind::kDocument) {
      changed = item;
      break;
    }
  ASSERT_FALSE(changed.property_file.empty());
  std::string error;
  ASSERT_TRUE(dev_->store().WritePage(changed, 1, "a changed page", 2000000000u, &error))
      << error;
  ASSERT_TRUE(
      devsim::WritePropertyElement(changed.property_file, "documentName", "../008", &error))
      << error;
  EXPECT_EQ(Backup(1), 123u);
  EXPECT_EQ(ReadFile(archive_), full);
  EXPECT_FALSE(fs::exists(work_ + "/BOX"));
  EXPECT_NE(ReadFile(boxlink::CLogger::LogFilePath()).find("name refused"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Layouts, BackupFaultsTest, BACKUP_DEVICE_LAYOUTS);
INSTANTIATE_TEST_SUITE_P(Storage, BackupNamesTest,
                         ::testing::Values(devsim::Layout::kStorage), LayoutName);

}  // namespace
}  // namespace boxlink::backuptest
