// The job frame without a device: access modes, cancel, progress and the
// keep-alive's timing under the test clock.
#include "boxlink/engine/zelt.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>

#include "boxlink/base/box_error.h"
#include "boxlink/testing/engine_test_env.h"
#include "platform/testing/temp_dir.h"

namespace boxlink {
namespace {

namespace fs = std::filesystem;

class TestJob final : public CZelt {
 public:
  void PrepareBoxes() override {}
};

class ZeltTest : public ::testing::Test {
 protected:
  enginetest::EngineTestEnv env_;
  platform::ScopedTempDir dir_;
  ZBSESSION session_{};
  BoxJobProgress progress_{};
  ZBEVENT cancel_ = zbBoxCreateEvent(1, 0, nullptr);
  ZBEVENT status_ = zbBoxCreateEvent(0, 0, nullptr);
  uint32_t boxes_[2] = {1, 2};

  ~ZeltTest() override {
    zbBoxCloseEvent(cancel_);
    zbBoxCloseEvent(status_);
  }

  uint32_t BeginCode(TestJob& job, const char* password = "pw") {
    try {
      job.Begin(&session_, password, "ftpuser", dir_.path().c_str(),
                dir_.Sub("a.zip").c_str(), 2, boxes_, cancel_, status_, &progress_);
    } catch (const BoxError& e) {
      return e.code();
    }
    return 0;
  }
};

TEST_F(ZeltTest, PasswordByAccessMode) {
  struct Case { uint32_t mode; uint32_t code; const char* password; };
  for (Case c : {Case{0, 0, "pw"}, Case{20, 0, "pw"}, Case{1, 0, "rPLANAR604"},
                 Case{2, 1327, ""}, Case{5, 87, ""}}) {
    TestJob job;
    job.SetKeepAliveTouch([](ZBSESSION*, SessionKeepAlive&) {});
    session_.AccessMode = c.mode;
    session_.Alive = 0;
    EXPECT_EQ(BeginCode(job), c.code) << c.mode;
    if (c.code == 0) {
      EXPECT_EQ(job.password(), c.password);
      EXPECT_EQ(session_.Alive, 1u);
    }
  }
}

TEST_F(ZeltTest, BeginZeroesProgressAndSignalsPreparing) {
  std::memset(&progress_, 0x55, sizeof progress_);
  TestJob job;
  job.SetKeepAliveTouch([](ZBSESSION*, SessionKeepAlive&) {});
  ASSERT_EQ(BeginCode(job), 0u);
  EXPECT_EQ(progress_.State, uint32_t(BOXJOB_STATE_PREPARING));
  EXPECT_EQ(progress_.Percent, 0u);
  EXPECT_EQ(progress_.BoxName[0], '\0');
  EXPECT_EQ(progress_.DropReason, 0u);
  EXPECT_EQ(zbBoxWaitEvent(status_, 0), ZB_WAIT_OBJECT_0);
}

TEST_F(ZeltTest, CancelEndsAtTheFirstCheckAndLeavesNoTree) {
  zbBoxSetEvent(cancel_);
  {
    TestJob job;
    job.SetKeepAliveTouch([](ZBSESSION*, SessionKeepAlive&) {});
    EXPECT_EQ(BeginCode(job), 995u);
    // The tree the job makes for its boxes goes with the job.
    job.zip().CreateBoxRoot();
    fs::create_directories(dir_.Sub("BOX/B0000001"));
  }
  EXPECT_FALSE(fs::exists(dir_.Sub("BOX")));
  {
    // A BOX that the job did not make is someone else's: it stays.
    fs::create_directories(dir_.Sub("BOX/theirs"));
    TestJob job;
    job.SetKeepAliveTouch([](ZBSESSION*, SessionKeepAlive&) {});
    EXPECT_EQ(BeginCode(job), 995u);
    EXPECT_THROW(job.zip().CreateBoxRoot(), BoxError);
  }
  EXPECT_TRUE(fs::exists(dir_.Sub("BOX/theirs")));
  fs::remove_all(dir_.Sub("BOX"));
  zbBoxResetEvent(cancel_);
  TestJob job;
  job.SetKeepAliveTouch([](ZBSESSION*, SessionKeepAlive&) {});
  ASSERT_EQ(BeginCode(job), 0u);
  EXPECT_NO_THROW(job.CheckCancel());
  zbBoxSetEvent(cancel_);
  try {
    job.CheckCancel();
    FAIL();
  } catch (const BoxError& e) {
    EXPECT_EQ(e.code(), 995u);
  }
}

TEST_F(ZeltTest, KeepAliveTouchesEvery240SecondsAndNeverAfterTheJob) {
  std::atomic<int> touches{0};
  std::atomic<uint64_t> first_at{0};
  platform::Clock& clock = env_.env_.clock();
  const uint64_t start = clock.NowMillis();
  {
    TestJob job;
    job.SetKeepAliveTouch([&](ZBSESSION*, SessionKeepAlive&) {
      if (touches++ == 0) first_at = clock.NowMillis() - start;
    });
    ASSERT_EQ(BeginCode(job), 0u);
    // 240 s of test time pass in about a quarter of a real second.
    while (touches < 3) clock.SleepMillis(0), std::this_thread::yield();
  }
  int after = touches;
  EXPECT_GE(first_at.load(), 200'000u);
  EXPECT_LT(first_at.load(), 2 * 240'000u);
  // The job is gone: however much time passes, nothing more is sent.
  env_.env_.test_clock().Advance(10 * 240'000);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(touches.load(), after);
}

TEST_F(ZeltTest, LayoutAndFamilyByEngineVersion) {
  struct Case { const char* version; DeviceLayout layout; TransferFamily index, box; };
  const Case cases[] = {
      {enginetest::kSharedVersion, DeviceLayout::kShared, TransferFamily::kBrisk,
       TransferFamily::kBrisk},
      {enginetest::kStorageVersion, DeviceLayout::kStorage, TransferFamily::kBrisk,
       TransferFamily::kOriel},
      {enginetest::kSeriesVersion, DeviceLayout::kClassic, TransferFamily::kOriel,
       TransferFamily::kOriel},
      {enginetest::kClassicUnlisted, DeviceLayout::kClassic, TransferFamily::kBrisk,
       TransferFamily::kBrisk},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClassifyLayout(c.version).layout, c.layout) << c.version;
    EXPECT_EQ(ChooseFamily(c.version, false), c.index) << c.version;
    EXPECT_EQ(ChooseFamily(c.version, true), c.box) << c.version;
  }
  EXPECT_EQ(ClassifyLayout(enginetest::kSharedVersion).data_path, "/SHR/BOX/DATA");
  EXPECT_EQ(ClassifyLayout(enginetest::kStorageVersion).database_path, "");
  EXPECT_EQ(ClassifyLayout(enginetest::kClassicUnlisted).database_path, "/BOX/DATABASE");
}

TEST_F(ZeltTest, BackupExportRefusesBadSessionsAndHonoursCancel) {
  uint32_t mode = 1;
  auto backup = [&] {
    return zbBoxBackup(&session_, "pw", "u", dir_.path().c_str(),
                       dir_.Sub("a.zip").c_str(), 0, 2, boxes_, cancel_, status_,
                       &progress_, nullptr, &mode, "", "", "");
  };
  session_.AccessMode = 2;
  EXPECT_EQ(backup(), 1327u);
  session_.AccessMode = 5;
  EXPECT_EQ(backup(), 87u);
  session_.AccessMode = 0;
  zbBoxSetEvent(cancel_);
  enginetest::WriteFile(dir_.Sub("a.zip"), "old archive");
  EXPECT_EQ(backup(), 995u);
  EXPECT_FALSE(fs::exists(dir_.Sub("BOX")));
  EXPECT_EQ(enginetest::ReadFile(dir_.Sub("a.zip")), "old archive");
}

}  // namespace
}  // namespace boxlink
