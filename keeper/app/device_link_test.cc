// The job frame and the device link against the simulated device: what the
// device is left with after runs that end in different ways.
#include "keeper/app/device_link.h"

#include <gtest/gtest.h>

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
