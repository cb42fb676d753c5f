#include "keeper/app/progress_dialog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "desktop/testing/fake_screen.h"
#include "keeper/app/testing/fake_job_backend.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"

namespace fs = std::filesystem;

namespace keeper {
namespace {

using desktop::Answer;
using std::chrono::milliseconds;

// A job with a check point before each of its 100 steps, as the engine
// tests its cancel event between steps.
uint32_t SteppingJob(const JobCall& call, FakeJobBackend& b) {
  for (uint32_t i = 1; i <= 100; ++i) {
    if (call.cancel->Wait(0)) return 995;
    JobProgress p;
    p.state = 3;
    p.percent = i;
    p.done_docs = i;
    p.total_docs = 100;
    p.box_name = "Sales";
    b.Report(call, p);
    std::this_thread::sleep_for(milliseconds(3));
  }
  return 0;
}

class ProgressDialogTest : public testing::TestWithParam<JobKind> {
 protected:
  ProgressDialogTest() {
    archive_ = fs::path(dir_.path()) / "archive.zip";
    std::ofstream(archive_) << "archive";
    fs::create_directories(fs::path(dir_.path()) / "fsroot");
    backend_.job = SteppingJob;
  }

  JobRequest Request() {
    JobRequest r;
    r.kind = GetParam();
    r.archive_path = archive_.string();
    r.boxes = {1};
    r.work_base = fs::path(dir_.path()) / "fsroot";
    return r;
  }

  void WaitForPercent(uint32_t at_least) {
    for (int i = 0; i < 2000 && backend_.ReadProgress().percent < at_least; ++i)
      std::this_thread::sleep_for(milliseconds(1));
    ASSERT_GE(backend_.ReadProgress().percent, at_least);
  }

  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
  platform::ScopedTempDir dir_;
  fs::path archive_;
  FakeJobBackend backend_;
  desktop::FakeScreen screen_;
  desktop::FakeProgressDisplay display_;
};

TEST_P(ProgressDialogTest, NoProgressWhileTheQuestionIsOpenAndNoGoesOn) {
  ProgressDialogLogic logic(GetParam(), backend_, screen_, display_);
  logic.Start(Request());
  WaitForPercent(5);
  uint32_t before = 0, after = 0;
  int updates_before = 0, updates_after = 0;
  bool cancel_enabled_while_open = true, animating_while_open = true;
  screen_.while_asking = [&](const desktop::Message&) {
    // The job reaches its next check point and stops there.
    std::this_thread::sleep_for(milliseconds(30));
    before = backend_.ReadProgress().percent;
    updates_before = display_.state().updates;
    std::this_thread::sleep_for(milliseconds(200));
    after = backend_.ReadProgress().percent;
    updates_after = display_.state().updates;
    cancel_enabled_while_open = display_.state().cancel_enabled;
    animating_while_open = display_.state().animating;
  };
  screen_.answers = {Answer::kNo};
  logic.OnCancel();
  EXPECT_EQ(before, after) << "the job moved while the question was open";
  EXPECT_EQ(updates_before, updates_after) << "the display moved";
  EXPECT_LT(after, 100u);
  EXPECT_FALSE(cancel_enabled_while_open);
  EXPECT_FALSE(animating_while_open);
  EXPECT_FALSE(logic.frame().paused());

  logic.Wait();
  EXPECT_EQ(logic.outcome(), kOutcomeDone) << "No let the job finish";
  EXPECT_EQ(backend_.ReadProgress().percent, 0u) << "cleared at the end";
  EXPECT_TRUE(display_.state().closed);

  auto shown = screen_.shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].message.text.id,
            GetParam() == JobKind::kBackup ? 49u : 50u);
  EXPECT_EQ(shown[0].message.caption.id, 108u);
  EXPECT_EQ(shown[0].message.icon, desktop::Icon::kQuestion);
  EXPECT_EQ(shown[0].buttons, desktop::Buttons::kYesNo);
  EXPECT_EQ(shown[0].default_answer, Answer::kNo);
}

TEST_P(ProgressDialogTest, YesEndsTheRunCancelledAndReleasesTheDevice) {
  ProgressDialogLogic logic(GetParam(), backend_, screen_, display_);
  logic.Start(Request());
  WaitForPercent(5);
  screen_.answers = {Answer::kYes};
  logic.OnCancel();
  EXPECT_TRUE(display_.state().busy);
  logic.Wait();
  EXPECT_EQ(logic.outcome(), kOutcomeCancelled);
  EXPECT_EQ(logic.result().error, 0u) << "995 is stored as 0";
  EXPECT_EQ(backend_.last_call().kind, GetParam());
  const std::string mode = GetParam() == JobKind::kBackup ? "0" : "1";
  std::vector<std::string> calls;
  for (const std::string& e : backend_.log())
    if (e.rfind("close ", 0) != 0) calls.push_back(e);
  EXPECT_EQ(calls, (std::vector<std::string>{"lock " + mode, "create-ftp",
                                             "job", "unlock " + mode,
                                             "delete-ftp", "percent 0"}));
  // A second Cancel after the run has ended asks nothing.
  logic.OnCancel();
  EXPECT_EQ(screen_.shown().size(), 1u);
}

TEST_P(ProgressDialogTest, TheDisplayFollowsTheJob) {
  ProgressDialogLogic logic(GetParam(), backend_, screen_, display_);
  EXPECT_EQ(logic.title_text(), GetParam() == JobKind::kBackup ? 44u : 48u);
  EXPECT_EQ(logic.caption_text(), GetParam() == JobKind::kBackup ? 43u : 47u);
  EXPECT_TRUE(logic.OnEscape());
  logic.Start(Request());
  EXPECT_EQ(display_.state().phase.id,
            GetParam() == JobKind::kBackup ? 45u : 46u);
  logic.Wait();
  auto s = display_.state();
  EXPECT_GT(s.updates, 0);
  EXPECT_EQ(s.phase.id, 92u);  // state 3: downloading
  EXPECT_NE(s.counts.find("/ 100"), std::string::npos) << s.counts;
  EXPECT_EQ(s.names.rfind("Sales", 0), 0u);
  EXPECT_TRUE(s.closed);
  EXPECT_FALSE(s.animating);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ProgressDialogTest,
                         testing::Values(JobKind::kBackup, JobKind::kRestore));

}  // namespace
}  // namespace keeper
