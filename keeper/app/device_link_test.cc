// The job frame and the device link against the simulated device: what the
// device is left with after runs that end in different ways.
#include "keeper/app/device_link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "devsim/testing/device_fixture.h"
#include "devsim/web/box_cgi_state.h"
#include "keeper/app/job_frame.h"
#include "platform/testing/temp_dir.h"

namespace fs = std::filesystem;

namespace keeper {
namespace {

class DeviceLinkTest : public ::testing::Test {
 protected:
  DeviceLinkTest() : dev_(devsim::Layout::kClassic) {}

  void SetUp() override {
    ASSERT_TRUE(dev_.ok()) << dev_.error();
    ConnectOptions c;
    c.address = dev_->address();
    c.port = dev_->profile().web_port;
    c.password = dev_->profile().admin_password;
    ASSERT_EQ(link_.Connect(c), 0u);
  }

  // The panel is free again and no FTP account of our session is left.
  void ExpectDeviceReleased() {
    devsim::web::BoxCgiState& state = devsim::web::BoxCgiStateOf(*dev_);
    EXPECT_FALSE(state.exclusive());
    EXPECT_EQ(state.ftp_user(link_.session().SessionId), "");
  }

  JobRequest Restore() {
    JobRequest r;
    r.kind = JobKind::kRestore;
    r.archive_path = Backup().archive_path;
    r.boxes = {1};
    r.restore_mode = 1;
    r.work_base = dir_.path();
    return r;
  }
  // An archive of box 1 for the restores, made through the frame.
  void MakeArchive() {
    if (!BoxlinkJobBackend::HasJob(JobKind::kBackup) ||
        !BoxlinkJobBackend::HasJob(JobKind::kRestore))
      GTEST_SKIP() << "the library lacks a job";
    BoxlinkJobBackend backend(link_);
    JobFrame frame(backend);
    JobResult r = frame.Run(Backup());
    ASSERT_EQ(r.outcome, kOutcomeDone) << r.error;
    ExpectDeviceReleased();
  }

  JobRequest Backup() {
    JobRequest r;
    r.kind = JobKind::kBackup;
    r.archive_path = (fs::path(dir_.path()) / "a.zip").string();
    r.boxes = {1};
    r.work_base = dir_.path();
    return r;
  }

  devsim::ScopedDevice dev_;
  platform::ScopedTempDir dir_;
  DeviceLink link_;
};

TEST_F(DeviceLinkTest, ListsTheDevicesBoxes) {
  std::vector<BoxEntry> boxes;
  ASSERT_EQ(link_.ListBoxes(&boxes), 0u);
  EXPECT_EQ(boxes.size(), 3u);  // the populated store's default
  for (const BoxEntry& b : boxes) EXPECT_FALSE(b.name.empty());
}

TEST_F(DeviceLinkTest, BackupRunLeavesTheDeviceReleased) {
  BoxlinkJobBackend backend(link_);
  JobFrame frame(backend);
  JobResult r = frame.Run(Backup());
  if (BoxlinkJobBackend::HasJob(JobKind::kBackup)) {
    EXPECT_EQ(r.outcome, kOutcomeDone) << r.error;
    EXPECT_TRUE(fs::exists(Backup().archive_path));
  } else {
    EXPECT_EQ(r.outcome, kOutcomeFailed);
    EXPECT_EQ(r.error, kErrProcNotFound);
  }
  ExpectDeviceReleased();
  EXPECT_FALSE(fs::exists(frame.work_folder()));
}

// Asks the frame to cancel once the job reports `state` (3: a backup
// downloads, 4: a restore uploads).
class CancelOnTransfer : public ProgressSink {
 public:
  explicit CancelOnTransfer(JobFrame** frame, uint32_t state = 3)
      : frame_(frame), state_(state) {}
  void OnProgress(const ProgressView& view) override {
    if (view.record.state == state_ && *frame_) (*frame_)->RequestCancel();
  }

 private:
  JobFrame** frame_;
  uint32_t state_;
};

TEST_F(DeviceLinkTest, CancelledBackupEndsCleanly) {
  if (!BoxlinkJobBackend::HasJob(JobKind::kBackup))
    GTEST_SKIP() << "the library has no backup job yet";
  devsim::Fault slow;
  slow.kind = devsim::Fault::Kind::kDelay;
  slow.delay = std::chrono::milliseconds(200);
  dev_->faults().Arm("ftp.data", slow, -1);
  BoxlinkJobBackend backend(link_);
  JobFrame* target = nullptr;
  CancelOnTransfer sink(&target);
  JobFrame frame(backend, &sink);
  target = &frame;
  JobRequest req = Backup();
  req.boxes = {1, 2, 3};
  JobResult r = frame.Run(req);
  EXPECT_EQ(r.outcome, kOutcomeCancelled);
  EXPECT_EQ(r.error, 0u);
  EXPECT_FALSE(fs::exists(req.archive_path));
  EXPECT_FALSE(fs::exists(frame.work_folder()));
  ExpectDeviceReleased();
}

devsim::Fault MakeFault(devsim::Fault::Kind kind, int code = 0,
                        std::chrono::milliseconds delay = {}) {
  devsim::Fault f;
  f.kind = kind;
  f.code = code;
  f.delay = delay;
  return f;
}

// However a restore ends, the panel is unlocked and the FTP account deleted.
TEST_F(DeviceLinkTest, RestoreRunsReleaseTheDevice) {
  using Kind = devsim::Fault::Kind;
  ASSERT_NO_FATAL_FAILURE(MakeArchive());
  if (IsSkipped()) return;
  struct Case {
    const char* what;
    const char* point;  // null: no fault
    devsim::Fault fault;
    bool cancel;
    const char* capacity_kib;  // null: the device's default
    uint32_t outcome, error;
    bool network_error;
  };
  const Case cases[] = {
      {"done", nullptr, {}, false, nullptr, kOutcomeDone, 0, false},
      {"cancelled while uploading", "ftp.data",
       MakeFault(Kind::kDelay, 0, std::chrono::milliseconds(200)), true, nullptr,
       kOutcomeCancelled, 0, false},
      {"refused CGI", "web.boxnwGetBoxDiskSpace.result", MakeFault(Kind::kFailWith, 201),
       false, nullptr, kOutcomeFailed, 170, false},  // busy
      {"device full", nullptr, {}, false, "1", kOutcomeFailed, 39, false},
      // The program folder holds the FTP wrapper, whose reset is 12031.
      {"lost FTP connection", "ftp.STOR", MakeFault(Kind::kDropConnection), false, nullptr,
       kOutcomeFailed, 12031, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dev_->faults().Clear();
    if (c.point) dev_->faults().Arm(c.point, c.fault, -1);
    if (c.capacity_kib)
      dev_->mutable_profile().extra["disk.capacity"] = c.capacity_kib;
    else
      dev_->mutable_profile().extra.erase("disk.capacity");
    BoxlinkJobBackend backend(link_);
    JobFrame* target = nullptr;
    CancelOnTransfer sink(&target, 4);
    JobFrame frame(backend, c.cancel ? &sink : nullptr);
    target = &frame;
    JobResult r = frame.Run(Restore());
    dev_->faults().Clear();
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.network_error, c.network_error);
    EXPECT_FALSE(fs::exists(frame.work_folder()));
    // Also after a lost FTP connection: the web service still answers, and
    // the device must not keep an account with the administrator's password.
    ExpectDeviceReleased();
  }
}

TEST_F(DeviceLinkTest, FailedAccountCreationStillUnlocks) {
  devsim::Fault fault;
  fault.kind = devsim::Fault::Kind::kFailWith;
  fault.code = 500;
  dev_->faults().Arm("web.boxnwCreateFTPAccount", fault);
  BoxlinkJobBackend backend(link_);
  JobFrame frame(backend);
  JobResult r = frame.Run(Backup());
  EXPECT_EQ(r.outcome, kOutcomeFailed);
  EXPECT_NE(r.error, 0u);
  ExpectDeviceReleased();
}

// A lock whose answer is lost after the device applied it leaves the panel
// locked unless the run unlocks it all the same.
TEST_F(DeviceLinkTest, LockWhoseAnswerWasLostIsUnlocked) {
  devsim::web::BoxCgiState& state = devsim::web::BoxCgiStateOf(*dev_);
  devsim::Fault fault;
  fault.kind = devsim::Fault::Kind::kDropConnection;
  dev_->faults().Arm("web.boxnwBoxExModeIn.result", fault);
  BoxlinkJobBackend backend(link_);
  JobFrame frame(backend);
  JobResult r = frame.Run(Backup());
  EXPECT_EQ(r.outcome, kOutcomeFailed);
  EXPECT_NE(r.error, 0u);
  EXPECT_GE(dev_->faults().Hits("web.boxnwBoxExModeIn.result"), 1);
  EXPECT_FALSE(state.exclusive()) << "the panel stays locked";
  EXPECT_EQ(dev_->faults().Hits("web.boxnwCreateFTPAccount"), 0);
  EXPECT_FALSE(fs::exists(frame.work_folder()));
}

TEST_F(DeviceLinkTest, LockHeldElsewhereFailsWithoutTouchingIt) {
  devsim::web::BoxCgiState& state = devsim::web::BoxCgiStateOf(*dev_);
  ASSERT_TRUE(state.EnterExclusive(999, 1));
  BoxlinkJobBackend backend(link_);
  JobFrame frame(backend);
  JobResult r = frame.Run(Backup());
  EXPECT_EQ(r.outcome, kOutcomeFailed);
  EXPECT_EQ(r.error, 170u);  // busy
  EXPECT_TRUE(state.exclusive()) << "the other holder keeps the panel";
  EXPECT_EQ(state.exclusive_session(), 999u);
}

}  // namespace
}  // namespace keeper
