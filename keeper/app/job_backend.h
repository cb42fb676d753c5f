// What the job frame needs from the device and the engine, as one
// interface, so that the frame can be driven by a fake job in tests and by
// the box service library in the programs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace keeper {

enum class JobKind { kBackup, kRestore };

// The job's progress record as the monitor reads it.
struct JobProgress {
  uint32_t percent = 0;
  uint32_t done_docs = 0;
  uint32_t total_docs = 0;
  uint32_t state = 0;
  std::string box_name;     // UTF-8
  std::string folder_name;  // UTF-8
  std::string doc_name;     // UTF-8
};

// An auto-reset event shared with the job by name.
class JobEvent {
 public:
  virtual ~JobEvent() = default;
  virtual void Set() = 0;
  virtual void Reset() = 0;
  // True when the event was signalled within timeout_ms (it is then reset).
  virtual bool Wait(uint32_t timeout_ms) = 0;
};

// The arguments of the one long job call, as far as they change per run.
struct JobCall {
  JobKind kind = JobKind::kBackup;
  std::string ftp_user;
  std::string work_folder;
  std::string archive_path;  // restore: the local copy
  std::vector<uint32_t> boxes;
  uint32_t backup_type = 0;   // 0 full, 1 incremental
  uint32_t restore_mode = 1;  // 1 overwrite, 2 append
  int32_t restore_time = 0;
  uint32_t total_size_kb = 0;
  JobEvent* cancel = nullptr;
  JobEvent* status = nullptr;
};

class JobBackend {
 public:
  virtual ~JobBackend() = default;

  // The auto-reset, initially clear event of that name; null on failure.
  virtual std::unique_ptr<JobEvent> OpenEvent(std::string_view name) = 0;

  // Device preparation and its undoing. mode: 0 backup, 1 restore.
  virtual uint32_t LockUiJob(uint32_t mode) = 0;
  virtual uint32_t RetryUnlockUiJob(uint32_t mode) = 0;
  virtual uint32_t CreateFtpAccount(std::string* login) = 0;
  virtual uint32_t DeleteFtpAccount() = 0;

  // The job itself; runs on the worker thread and writes the progress
  // record that ReadProgress() copies out.
  virtual uint32_t RunJob(const JobCall& call) = 0;
  virtual JobProgress ReadProgress() = 0;
  virtual void ClearPercent() = 0;
};

}  // namespace keeper
