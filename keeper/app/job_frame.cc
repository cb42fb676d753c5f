#include "keeper/app/job_frame.h"

#include <algorithm>
#include <optional>
#include <system_error>

#include "keeper/app/progress_text.h"
#include "keeper/app/strings.h"
#include "keeper/app/work_area.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "platform/event.h"

namespace keeper {
namespace {

constexpr uint32_t kStillActive = 259;
constexpr uint32_t kCancelled = 995;
constexpr uint32_t kTurnMillis = 5000;
constexpr uint32_t kSliceMillis = 100;
constexpr uint32_t kRestoreCancelWaitMillis = 300000;
constexpr char kCancelEventName[] = "Cancel";

platform::Clock& Clock() { return platform::Env::Current()->clock(); }

uint32_t JobMode(JobKind kind) { return kind == JobKind::kBackup ? 0 : 1; }

}  // namespace

bool IsNetworkErrorCode(uint32_t code) {
  switch (code) {
    case 4319: case 12002: case 12004: case 12009: case 12029: case 12031:
      return true;
    default:
      return false;
  }
}

uint32_t SilenceLimitTurns(uint32_t largest_size_kb) {
  if (largest_size_kb < 800000) return 60;
  if (largest_size_kb < 2500000) return 180;
  return 300;
}

struct JobFrame::Worker {
  JobCall call;
  std::atomic<bool> done{false};
  std::atomic<uint32_t> exit_code{kStillActive};
  // Set when the job call has returned; lets the monitor wait for the
  // worker through the clock instead of spinning.
  std::shared_ptr<platform::Event> ended = platform::Event::Create(true, false);
};

JobFrame::JobFrame(JobBackend& backend, ProgressSink* sink)
    : backend_(backend), sink_(sink) {}

JobFrame::~JobFrame() {
  Resume();
  // The cancel event is set by then; the job stops at its next check.
  if (thread_.joinable()) thread_.join();
}

void JobFrame::Pause() {
  std::lock_guard<std::mutex> g(gate_mu_);
  if (paused_) return;
  paused_ = true;
  // The job tests the cancel event at its check points; holding it stops
  // the job there. It is shared with the job by name.
  held_ = platform::Event::OpenNamed(kCancelEventName);
  if (held_) held_->Hold();
}

void JobFrame::Resume() {
  std::lock_guard<std::mutex> g(gate_mu_);
  if (!paused_) return;
  paused_ = false;
  if (held_) held_->Release();
  held_.reset();
  gate_cv_.notify_all();
}

bool JobFrame::paused() const {
  std::lock_guard<std::mutex> g(gate_mu_);
  return paused_;
}

void JobFrame::PassGate() {
  std::unique_lock<std::mutex> lock(gate_mu_);
  // A person is deciding: real time, not the clock.
  gate_cv_.wait(lock, [this] { return !paused_; });
}

bool JobFrame::worker_running() const {
  return worker_ && !worker_->done.load();
}

JobFrame::Turn JobFrame::WaitTurn(JobEvent& status, uint32_t timeout_ms) {
  platform::Clock& clock = Clock();
  const uint64_t start = clock.NowMillis();
  for (;;) {
    PassGate();
    uint64_t elapsed = clock.NowMillis() - start;
    if (elapsed >= timeout_ms) return Turn::kTimeout;
    uint32_t slice = static_cast<uint32_t>(
        std::min<uint64_t>(kSliceMillis, timeout_ms - elapsed));
    if (status.Wait(slice)) return Turn::kStatus;
    if (worker_->done.load()) return Turn::kWorkerEnded;
    if (cancel_requested_.load()) return Turn::kCancel;
  }
}

void JobFrame::Show(const JobRequest& request, const JobProgress& record,
                    uint32_t* phase_string) {
  if (uint32_t id = PhaseStringForState(record.state)) *phase_string = id;
  if (!sink_) return;
  ProgressView view;
  view.percent = std::min<uint32_t>(record.percent, 100);
  view.phase_string = *phase_string;
  view.phase = std::string(KeeperString(*phase_string));
  view.counts = CountLine(record.done_docs, record.total_docs);
  view.record = record;
  (void)request;
  sink_->OnProgress(view);
}

void JobFrame::CleanUp(const JobRequest& request, uint32_t exit_code,
                       JobResult* result) {
  // A worker that is still running (cancel or silence time-out) keeps its
  // events until the destructor has joined it.
  if (!worker_running()) {
    status_.reset();
    cancel_.reset();
  }
  RemoveWorkFolder(work_folder_);
  ClearProgramDataFiles();
  const uint32_t mode = JobMode(request.kind);
  uint32_t unlock = backend_.RetryUnlockUiJob(mode);
  // After 1279 the device is busy releasing itself and keeps the account
  // for later. After a lost FTP connection its web service usually still
  // answers: the account, which carries the administrator's password, is
  // deleted all the same, and a failure to do so does not replace the
  // job's own error.
  if (unlock != 1279) {
    uint32_t del = backend_.DeleteFtpAccount();
    if (del && !IsNetworkErrorCode(exit_code)) result->error = del;
  }
  if (unlock) result->error = unlock;
  backend_.ClearPercent();
}

JobResult JobFrame::Run(const JobRequest& request) {
  JobResult result;
  if (thread_.joinable()) thread_.join();  // a worker of an earlier run
  worker_.reset();
  cancel_requested_.store(false);
  resume_requested_.store(false);
  work_folder_.clear();
  ftp_user_.clear();
  platform::Clock& clock = Clock();

  status_ = backend_.OpenEvent("Status");
  cancel_ = backend_.OpenEvent(kCancelEventName);
  if (!status_ || !cancel_) {
    status_.reset();
    cancel_.reset();
    result.error = 1359;
    return result;
  }

  const uint32_t tick = clock.TickCount();
  uint32_t err = 0;
  std::filesystem::path base = request.work_base;
  if (base.empty()) base = WorkFolderBase(request.archive_path, &err);
  if (!err) err = CreateWorkFolder(base, tick, &work_folder_);
  if (err) {
    status_.reset();
    cancel_.reset();
    result.error = err;
    return result;
  }

  const uint32_t mode = JobMode(request.kind);
  if (uint32_t lock = backend_.LockUiJob(mode)) {
    result.error = lock;
    // A request whose answer was lost may have locked the panel all the
    // same, and its repetition then finds the panel busy: release it. The
    // device releases only the lock of the session that asks, so another
    // job's lock stays.
    if (uint32_t unlock = backend_.RetryUnlockUiJob(mode)) result.error = unlock;
    status_.reset();
    cancel_.reset();
    RemoveWorkFolder(work_folder_);
    return result;
  }
  if (uint32_t ftp = backend_.CreateFtpAccount(&ftp_user_)) {
    result.error = ftp;
    if (uint32_t unlock = backend_.RetryUnlockUiJob(mode))
      result.error = unlock;
    status_.reset();
    cancel_.reset();
    RemoveWorkFolder(work_folder_);
    return result;
  }

  worker_ = std::make_shared<Worker>();
  JobCall& call = worker_->call;
  call.kind = request.kind;
  call.ftp_user = ftp_user_;
  call.work_folder = work_folder_.string();
  call.archive_path = request.archive_path;
  call.boxes = request.boxes;
  call.backup_type = request.backup_type;
  call.restore_mode = request.restore_mode;
  call.restore_time = request.restore_time;
  call.total_size_kb = request.total_size_kb;
  call.cancel = cancel_.get();
  call.status = status_.get();
  // Made before the worker starts, so that it is there for the whole job.
  std::optional<LockFile> lock_file;
  if (request.kind == JobKind::kBackup)
    lock_file.emplace(request.archive_path, tick);
  try {
    thread_ = std::thread([worker = worker_, &backend = backend_] {
      JobCall& c = worker->call;
      c.cancel->Reset();
      if (c.kind == JobKind::kRestore) {
        // The job reads a copy, so that the archive can stay on a medium
        // that goes away or is slow; without a copy it reads in place.
        std::filesystem::path copy;
        if (MakeLocalCopy(c.archive_path, &copy) == 0)
          c.archive_path = copy.string();
      }
      uint32_t code = backend.RunJob(c);
      c.status->Reset();
      c.cancel->Reset();
      worker->exit_code.store(code);
      worker->done.store(true);
      worker->ended->Set();
    });
  } catch (const std::system_error&) {
    // Without a worker the device must still be released.
    worker_->done.store(true);
    lock_file.reset();
    result.error = 1359;
    CleanUp(request, 1359, &result);
    result.error = result.error ? result.error : 1359;
    return result;
  }

  const uint32_t limit = SilenceLimitTurns(request.largest_size_kb);
  bool counting = false;
  uint32_t silent = 0;
  uint32_t phase_string = InitialPhaseString(request.kind);

  for (;;) {
    clock.SleepMillis(kSliceMillis);
    Turn turn = WaitTurn(*status_, kTurnMillis);
    PassGate();
    bool ended = worker_->done.load();
    uint32_t code = ended ? worker_->exit_code.load() : kStillActive;
    if (ended && IsNetworkErrorCode(code)) result.network_error = true;
    JobProgress record = backend_.ReadProgress();
    result.last_state = record.state;
    result.box_name = record.box_name;
    result.folder_name = record.folder_name;

    if (cancel_requested_.load()) {
      result.outcome = kOutcomeCancelled;
      const uint64_t start = clock.NowMillis();
      // Set again on every look: the worker resets the event when it starts
      // and a cancel can come before that.
      while (!worker_->done.load()) {
        cancel_->Set();
        if (request.kind == JobKind::kRestore &&
            clock.NowMillis() - start >= kRestoreCancelWaitMillis)
          break;
        worker_->ended->Wait(kSliceMillis);
      }
      ended = worker_->done.load();
      code = ended ? worker_->exit_code.load() : kStillActive;
      if (ended && IsNetworkErrorCode(code)) result.network_error = true;
      result.error = code == kCancelled ? 0 : code;
      lock_file.reset();
      CleanUp(request, code, &result);
      return result;
    }

    if (turn == Turn::kStatus && ended && code == 0) {
      Show(request, record, &phase_string);
      result.outcome = kOutcomeDone;
      break;
    }
    if (ended) {
      Show(request, record, &phase_string);
      if (code == 0) result.outcome = kOutcomeDone;
      result.error = code;
      lock_file.reset();
      CleanUp(request, code, &result);
      return result;
    }

    if (request.kind == JobKind::kRestore) {
      if (resume_requested_.exchange(false)) {
        counting = true;
        silent = 0;
      }
      if (counting && turn == Turn::kStatus) counting = false;
      if (counting && turn == Turn::kTimeout && ++silent >= limit) {
        // The job gave no sign of life: give up, and tell it to stop.
        cancel_->Set();
        result.error = 257;
        result.outcome = kOutcomeFailed;
        CleanUp(request, 257, &result);
        return result;
      }
    }
    Show(request, record, &phase_string);
  }

  lock_file.reset();
  CleanUp(request, 0, &result);
  return result;
}

}  // namespace keeper
