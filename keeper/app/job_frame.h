// The frame around one backup or restore run: prepares the device and this
// machine, runs the one job call on a worker thread, follows its progress,
// handles cancel, and always cleans up in the same order.
//
// A display drives it from the thread that plays the monitor:
//
//   keeper::JobFrame frame(backend, &display);
//   keeper::JobResult r = frame.Run(request);   // returns after clean-up
//
// and may call RequestCancel() from any thread (also a signal handler).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "keeper/app/job_backend.h"

namespace platform {
class Event;
}

namespace keeper {

inline constexpr uint32_t kOutcomeDone = 303;
inline constexpr uint32_t kOutcomeFailed = 304;
inline constexpr uint32_t kOutcomeCancelled = 305;

struct JobRequest {
  JobKind kind = JobKind::kBackup;
  std::string archive_path;        // backup: target; restore: the archive
  std::vector<uint32_t> boxes;
  uint32_t backup_type = 0;        // 0 full, 1 incremental
  uint32_t restore_mode = 1;       // 1 overwrite, 2 append
  int32_t restore_time = 0;        // last-access time given to documents
  uint32_t total_size_kb = 0;      // restore: sum of the chosen boxes
  uint32_t largest_size_kb = 0;    // restore: decides the silence limit
  // Where the work folder goes; empty: WorkFolderBase() of the archive.
  std::filesystem::path work_base;
};

struct JobResult {
  uint32_t outcome = kOutcomeFailed;
  uint32_t error = 0;
  bool network_error = false;
  // What the record last said, for the result message of a restore.
  uint32_t last_state = 0;
  std::string box_name;
  std::string folder_name;
};

// What a display shows after every turn of the monitor.
struct ProgressView {
  uint32_t percent = 0;
  uint32_t phase_string = 0;  // string number of the phase text
  std::string phase;
  std::string counts;         // "Documents: d / t"
  JobProgress record;
};

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void OnProgress(const ProgressView& view) = 0;
};

// Exit codes after which the device connection is taken as lost.
bool IsNetworkErrorCode(uint32_t code);

// Turns of up to 5 s without a sign of life before a restore is given up.
uint32_t SilenceLimitTurns(uint32_t largest_size_kb);

class JobFrame {
 public:
  explicit JobFrame(JobBackend& backend, ProgressSink* sink = nullptr);
  // Waits for a worker that outlived its run (after a cancel time-out).
  ~JobFrame();
  JobFrame(const JobFrame&) = delete;
  JobFrame& operator=(const JobFrame&) = delete;

  JobResult Run(const JobRequest& request);

  // The user asked to stop; honoured at the monitor's next look.
  void RequestCancel() { cancel_requested_.store(true); }
  // A cancel question was answered No: the restore monitor from now on
  // counts turns without progress against the silence limit.
  void RequestResume() { resume_requested_.store(true); }

  // While a cancel question is open: the job stops at its next check point
  // (the cancel event is held) and the monitor at its next turn, so that
  // neither can change the result. Threads cannot be suspended from
  // outside here; this gate stands in for it. Resume() lets both go on
  // from where they stopped.
  void Pause();
  void Resume();
  bool paused() const;

  // True while a worker thread of the last run has not ended.
  bool worker_running() const;
  // The work folder of the current or last run.
  const std::filesystem::path& work_folder() const { return work_folder_; }

 private:
  struct Worker;
  enum class Turn { kStatus, kWorkerEnded, kTimeout, kCancel };

  Turn WaitTurn(JobEvent& status, uint32_t timeout_ms);
  // Returns at once unless paused; then when resumed.
  void PassGate();
  void Show(const JobRequest& request, const JobProgress& record,
            uint32_t* phase_string);
  void CleanUp(const JobRequest& request, uint32_t exit_code,
               JobResult* result);

  JobBackend& backend_;
  ProgressSink* sink_;
  std::atomic<bool> cancel_requested_{false};
  std::atomic<bool> resume_requested_{false};
  std::shared_ptr<Worker> worker_;
  std::thread thread_;
  std::unique_ptr<JobEvent> status_;
  std::unique_ptr<JobEvent> cancel_;
  std::filesystem::path work_folder_;
  std::string ftp_user_;
  mutable std::mutex gate_mu_;
  std::condition_variable gate_cv_;
  bool paused_ = false;
  std::shared_ptr<platform::Event> held_;
};

}  // namespace keeper
