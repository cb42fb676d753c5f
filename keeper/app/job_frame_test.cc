#include "keeper/app/job_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>

#include "keeper/app/strings.h"
#include "keeper/app/testing/fake_job_backend.h"
#include "keeper/app/work_area.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"

namespace fs = std::filesystem;

namespace keeper {
namespace {

JobProgress State(uint32_t state, uint32_t percent = 0) {
  JobProgress p;
  p.state = state;
  p.percent = percent;
  p.box_name = "Sales";
  p.done_docs = percent / 10;
  p.total_docs = 10;
  return p;
}

// Waits on the cancel event until it is set; 995 then, 0 after max_ms.
uint32_t WaitForCancel(const JobCall& call, uint64_t max_ms) {
  platform::Clock& clock = platform::Env::Current()->clock();
  uint64_t start = clock.NowMillis();
  while (clock.NowMillis() - start < max_ms)
    if (call.cancel->Wait(100)) return 995;
  return 0;
}

class RecordingSink : public ProgressSink {
 public:
  std::function<void(const ProgressView&)> on_view;
  void OnProgress(const ProgressView& view) override {
    phases.push_back(view.phase);
    if (on_view) on_view(view);
  }
  std::vector<std::string> phases;
};

class JobFrameTest : public ::testing::Test {
 protected:
  JobFrameTest() : use_env_(&env_) {
    archive_ = fs::path(dir_.path()) / "out" / "archive.zip";
    fs::create_directories(archive_.parent_path());
    std::ofstream(archive_) << "archive";
    work_base_ = fs::path(dir_.path()) / "fsroot";
    fs::create_directories(work_base_);
  }

  JobRequest Request(JobKind kind) {
    JobRequest r;
    r.kind = kind;
    r.archive_path = archive_.string();
    r.boxes = {1, 5};
    r.work_base = work_base_;
    return r;
  }

  // Entries of the log that are not event closings, in order.
  std::vector<std::string> Calls() {
    std::vector<std::string> out;
    for (const std::string& e : backend_.log())
      if (e.rfind("close ", 0) != 0) out.push_back(e);
    return out;
  }
  size_t IndexOf(const std::string& entry) {
    auto log = backend_.log();
    return std::find(log.begin(), log.end(), entry) - log.begin();
  }

  platform::FakeEnv env_;
  platform::ScopedEnv use_env_;
  platform::ScopedTempDir dir_;
  fs::path archive_;
  fs::path work_base_;
  FakeJobBackend backend_;
};

TEST_F(JobFrameTest, BackupRunsTheJobBetweenPreparationAndCleanUp) {
  fs::path seen_work;
  bool lock_file_seen = false;
  backend_.job = [&](const JobCall& call, FakeJobBackend& b) {
    seen_work = call.work_folder;
    lock_file_seen = false;
    for (const auto& e : fs::directory_iterator(archive_.parent_path()))
      if (e.path().filename().string().rfind(kWorkPrefix, 0) == 0)
        lock_file_seen = true;
    for (uint32_t s : {5u, 3u, 1u}) {
      b.Report(call, State(s, s * 10));
      platform::Env::Current()->clock().SleepMillis(200);
    }
    b.Report(call, State(1, 100));
    return 0u;
  };
  RecordingSink sink;
  JobFrame frame(backend_, &sink);
  JobResult r = frame.Run(Request(JobKind::kBackup));

  EXPECT_EQ(r.outcome, kOutcomeDone);
  EXPECT_EQ(r.error, 0u);
  EXPECT_FALSE(r.network_error);
  JobCall call = backend_.last_call();
  EXPECT_EQ(call.ftp_user, "zbftp01");
  EXPECT_EQ(call.archive_path, archive_.string());
  EXPECT_EQ(call.boxes, (std::vector<uint32_t>{1, 5}));
  EXPECT_EQ(seen_work.parent_path(), work_base_);
  EXPECT_EQ(seen_work.filename().string().rfind(kWorkPrefix, 0), 0u);
  EXPECT_TRUE(lock_file_seen);
  EXPECT_FALSE(fs::exists(seen_work));
  for (const auto& e : fs::directory_iterator(archive_.parent_path()))
    EXPECT_EQ(e.path().filename(), "archive.zip") << "left behind";
  EXPECT_EQ(Calls(), (std::vector<std::string>{"lock 0", "create-ftp", "job",
                                               "unlock 0", "delete-ftp",
                                               "percent 0"}));
  // Reports may be coalesced into one turn; the last one is packing.
  ASSERT_FALSE(sink.phases.empty());
  std::vector<std::string> phases = sink.phases;
  EXPECT_EQ(phases.back(), KeeperString(90));
}

TEST_F(JobFrameTest, CleanUpOrder) {
  fs::path work;
  fs::create_directories(ProgramDataFolder());
  backend_.job = [&](const JobCall& call, FakeJobBackend&) {
    work = call.work_folder;
    backend_.watch_work_folder = work;
    backend_.watch_program_data = ProgramDataFolder() / "RestoreFile.zip";
    return 0u;
  };
  JobFrame frame(backend_);
  JobResult r = frame.Run(Request(JobKind::kRestore));
  EXPECT_EQ(r.outcome, kOutcomeDone);
  // Events closed, work folder and program-data files gone, then unlock,
  // then the account, then the percent.
  size_t unlock = IndexOf("unlock 1 work-folder-gone program-data-gone");
  ASSERT_LT(unlock, backend_.log().size()) << ::testing::PrintToString(
      backend_.log());
  EXPECT_LT(IndexOf("close Status"), unlock);
  EXPECT_LT(IndexOf("close Cancel"), unlock);
  EXPECT_EQ(IndexOf("delete-ftp"), unlock + 1);
  EXPECT_EQ(IndexOf("percent 0"), unlock + 2);
}

TEST_F(JobFrameTest, RestoreReadsALocalCopyThatIsRemovedAfterwards) {
  std::string seen;
  std::string content;
  backend_.job = [&](const JobCall& call, FakeJobBackend&) {
    seen = call.archive_path;
    std::ifstream in(call.archive_path);
    content.assign(std::istreambuf_iterator<char>(in), {});
    return 0u;
  };
  JobFrame frame(backend_);
  JobRequest req = Request(JobKind::kRestore);
  req.restore_mode = 2;
  req.total_size_kb = 4321;
  EXPECT_EQ(frame.Run(req).outcome, kOutcomeDone);
  EXPECT_EQ(seen, (ProgramDataFolder() / "RestoreFile.zip").string());
  EXPECT_EQ(content, "archive");
  EXPECT_FALSE(fs::exists(seen));
  EXPECT_TRUE(fs::exists(archive_));
  EXPECT_EQ(backend_.last_call().restore_mode, 2u);
  EXPECT_EQ(backend_.last_call().total_size_kb, 4321u);
  EXPECT_EQ(Calls().front(), "lock 1");
}

struct CancelCase {
  JobKind kind;
  uint32_t state;
};

class JobFrameCancelTest : public JobFrameTest,
                           public ::testing::WithParamInterface<CancelCase> {};

TEST_P(JobFrameCancelTest, CancelInEachPhaseEndsCleanly) {
  const CancelCase c = GetParam();
  backend_.job = [&](const JobCall& call, FakeJobBackend& b) {
    for (uint32_t s : {5u, 2u, 3u, 4u, 1u}) {
      if (c.kind == JobKind::kBackup && (s == 2 || s == 4)) continue;
      if (c.kind == JobKind::kRestore && (s == 3 || s == 1)) continue;
      b.Report(call, State(s));
      if (s == c.state) return WaitForCancel(call, 3600000);
      platform::Env::Current()->clock().SleepMillis(100);
    }
    return 0u;
  };
  RecordingSink sink;
  JobFrame frame(backend_, &sink);
  sink.on_view = [&](const ProgressView& v) {
    if (v.record.state == c.state) frame.RequestCancel();
  };
  JobResult r = frame.Run(Request(c.kind));
  EXPECT_EQ(r.outcome, kOutcomeCancelled);
  EXPECT_EQ(r.error, 0u) << "995 counts as no error";
  EXPECT_EQ(r.last_state, c.state);
  EXPECT_FALSE(frame.worker_running());
  auto calls = Calls();
  uint32_t mode = c.kind == JobKind::kBackup ? 0 : 1;
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[calls.size() - 3], "unlock " + std::to_string(mode));
  EXPECT_EQ(calls[calls.size() - 2], "delete-ftp");
}

INSTANTIATE_TEST_SUITE_P(
    Phases, JobFrameCancelTest,
    ::testing::Values(CancelCase{JobKind::kBackup, 5},
                      CancelCase{JobKind::kBackup, 3},
                      CancelCase{JobKind::kBackup, 1},
                      CancelCase{JobKind::kRestore, 5},
                      CancelCase{JobKind::kRestore, 2},
                      CancelCase{JobKind::kRestore, 4}));

TEST_F(JobFrameTest, CancelBeforeTheFirstReportStillReachesTheJob) {
  JobFrame frame(backend_);
  frame.RequestCancel();  // cleared by Run: a new run starts fresh
  backend_.job = [&](const JobCall& call, FakeJobBackend&) {
    frame.RequestCancel();
    return WaitForCancel(call, 3600000);
  };
  JobResult r = frame.Run(Request(JobKind::kBackup));
  EXPECT_EQ(r.outcome, kOutcomeCancelled);
  EXPECT_EQ(r.error, 0u);
}

TEST_F(JobFrameTest, ExitCodesDecideOutcomeAndAccountDeletion) {
  struct Case {
    uint32_t job, unlock, del;
    uint32_t outcome, error;
    bool network, deletes;
  } cases[] = {
      {0, 0, 0, 303, 0, false, true},
      {0, 0, 5, 303, 5, false, true},         // delete failure reported
      {39, 0, 0, 304, 39, false, true},
      {8260, 0, 0, 304, 8260, false, true},
      // After a lost connection the web service usually still answers:
      // the account is deleted all the same, and a failure to do so does
      // not hide the job's own error.
      {12029, 0, 0, 304, 12029, true, true},
      {4319, 0, 0, 304, 4319, true, true},
      {12031, 0, 5, 304, 12031, true, true},
      {12002, 7, 0, 304, 7, true, true},       // unlock error wins
      {0, 1279, 0, 303, 1279, false, false},   // device still releasing
      {1359, 170, 5, 304, 170, false, true},
  };
  for (const Case& c : cases) {
    FakeJobBackend backend;
    backend.unlock_result = c.unlock;
    backend.delete_ftp_result = c.del;
    backend.job = [&](const JobCall& call, FakeJobBackend& b) {
      b.Report(call, State(3, 50));
      return c.job;
    };
    JobFrame frame(backend);
    JobResult r = frame.Run(Request(JobKind::kBackup));
    SCOPED_TRACE("job " + std::to_string(c.job) + " unlock " +
                 std::to_string(c.unlock));
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.network_error, c.network);
    auto log = backend.log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "delete-ftp"),
              c.deletes ? 1 : 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "unlock 0"), 1);
  }
}

TEST_F(JobFrameTest, PreparationFailuresEndBeforeTheJob) {
  {
    FakeJobBackend backend;
    backend.lock_result = 170;
    JobFrame frame(backend);
    JobResult r = frame.Run(Request(JobKind::kRestore));
    EXPECT_EQ(r.outcome, kOutcomeFailed);
    EXPECT_EQ(r.error, 170u);
    std::vector<std::string> want = {"lock 1", "unlock 1", "close Status",
                                     "close Cancel"};
    EXPECT_EQ(backend.log(), want);
    EXPECT_FALSE(fs::exists(frame.work_folder()));
  }
  // A failed lock may have locked the panel all the same (a reply lost
  // after the device applied it): it is unlocked, and a failed unlock
  // becomes the result.
  struct LockCase {
    uint32_t lock, unlock, error;
  };
  for (const LockCase& c : {LockCase{12002, 0, 12002}, LockCase{12031, 0, 12031},
                            LockCase{1359, 1460, 1460}}) {
    SCOPED_TRACE("lock " + std::to_string(c.lock));
    FakeJobBackend backend;
    backend.lock_result = c.lock;
    backend.unlock_result = c.unlock;
    JobFrame frame(backend);
    JobResult r = frame.Run(Request(JobKind::kBackup));
    EXPECT_EQ(r.outcome, kOutcomeFailed);
    EXPECT_EQ(r.error, c.error);
    std::vector<std::string> calls;
    for (auto& e : backend.log())
      if (e.rfind("close", 0) != 0) calls.push_back(e);
    EXPECT_EQ(calls, (std::vector<std::string>{"lock 0", "unlock 0"}));
    EXPECT_FALSE(fs::exists(frame.work_folder()));
  }
  for (uint32_t unlock : {0u, 1460u}) {
    FakeJobBackend backend;
    backend.create_ftp_result = 1359;
    backend.unlock_result = unlock;
    JobFrame frame(backend);
    JobResult r = frame.Run(Request(JobKind::kBackup));
    EXPECT_EQ(r.outcome, kOutcomeFailed);
    EXPECT_EQ(r.error, unlock ? unlock : 1359u);
    std::vector<std::string> calls;
    for (auto& e : backend.log())
      if (e.rfind("close", 0) != 0) calls.push_back(e);
    EXPECT_EQ(calls, (std::vector<std::string>{"lock 0", "create-ftp",
                                               "unlock 0"}));
    EXPECT_FALSE(fs::exists(frame.work_folder()));
  }
  {
    FakeJobBackend backend;
    backend.fail_events = true;
    JobFrame frame(backend);
    JobResult r = frame.Run(Request(JobKind::kBackup));
    EXPECT_EQ(r.error, 1359u);
    EXPECT_TRUE(backend.log().empty());
  }
  {
    JobFrame frame(backend_);
    JobRequest req = Request(JobKind::kBackup);
    req.work_base.clear();
    req.archive_path = (fs::path(dir_.path()) / "nowhere" / "a.zip").string();
    JobResult r = frame.Run(req);
    EXPECT_EQ(r.error, 3u);
    EXPECT_EQ(Calls(), std::vector<std::string>{});
  }
}

TEST_F(JobFrameTest, SilentRestoreIsGivenUpAfterTheLimit) {
  backend_.job = [&](const JobCall& call, FakeJobBackend& b) {
    b.Report(call, State(4, 10));
    return WaitForCancel(call, 24 * 3600 * 1000ull);
  };
  RecordingSink sink;
  JobFrame frame(backend_, &sink);
  bool asked = false;  // one No to the cancel question
  sink.on_view = [&](const ProgressView&) {
    if (!asked) frame.RequestResume();
    asked = true;
  };
  platform::Clock& clock = platform::Env::Current()->clock();
  uint64_t start = clock.NowMillis();
  JobRequest req = Request(JobKind::kRestore);
  req.largest_size_kb = 1000;  // 60 turns
  JobResult r = frame.Run(req);
  uint64_t elapsed = clock.NowMillis() - start;
  EXPECT_EQ(r.outcome, kOutcomeFailed);
  EXPECT_EQ(r.error, 257u);
  EXPECT_GE(elapsed, 60u * 5000u);
  EXPECT_LT(elapsed, 150u * 5000u) << "the limit of larger restores";
  EXPECT_EQ(IndexOf("delete-ftp"), IndexOf("unlock 1") + 1);
}

TEST_F(JobFrameTest, ProgressStopsTheSilenceCount) {
  // 30 silent turns, a report, then 40 more: more than 60 in all, but the
  // report ended the count.
  backend_.job = [&](const JobCall& call, FakeJobBackend& b) {
    b.Report(call, State(4, 10));
    WaitForCancel(call, 30 * 5000);
    b.Report(call, State(4, 20));
    if (WaitForCancel(call, 40 * 5000)) return 995u;
    return 0u;
  };
  bool asked = false;
  RecordingSink sink;
  JobFrame frame(backend_, &sink);
  sink.on_view = [&](const ProgressView&) {
    if (!asked) frame.RequestResume();
    asked = true;
  };
  JobRequest req = Request(JobKind::kRestore);
  req.largest_size_kb = 1000;
  JobResult r = frame.Run(req);
  EXPECT_EQ(r.outcome, kOutcomeDone);
  EXPECT_EQ(r.error, 0u);
}

TEST(JobFrameLimitsTest, SilenceLimitBySize) {
  EXPECT_EQ(SilenceLimitTurns(0), 60u);
  EXPECT_EQ(SilenceLimitTurns(799999), 60u);
  EXPECT_EQ(SilenceLimitTurns(800000), 180u);
  EXPECT_EQ(SilenceLimitTurns(2499999), 180u);
  EXPECT_EQ(SilenceLimitTurns(2500000), 300u);
}

TEST_F(JobFrameTest, RestoreCancelWaitsForTheWorkerAtMostFiveMinutes) {
  std::atomic<bool> release{false};
  backend_.job = [&](const JobCall& call, FakeJobBackend& b) {
    b.Report(call, State(4, 10));
    while (!release.load()) call.cancel->Wait(100);  // ignores cancel
    return 995u;
  };
  RecordingSink sink;
  JobFrame frame(backend_, &sink);
  sink.on_view = [&](const ProgressView&) { frame.RequestCancel(); };
  platform::Clock& clock = platform::Env::Current()->clock();
  uint64_t start = clock.NowMillis();
  JobResult r = frame.Run(Request(JobKind::kRestore));
  EXPECT_GE(clock.NowMillis() - start, 300000u);
  EXPECT_EQ(r.outcome, kOutcomeCancelled);
  EXPECT_EQ(r.error, 259u) << "the worker was still active";
  EXPECT_TRUE(frame.worker_running());
  EXPECT_EQ(IndexOf("close Status"), backend_.log().size())
      << "events stay open for the running worker";
  release.store(true);
}

}  // namespace
}  // namespace keeper
