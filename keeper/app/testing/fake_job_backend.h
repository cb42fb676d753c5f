// A JobBackend for tests: events are platform events, device calls answer
// with configured codes, the job is a function the test supplies, and
// every call is recorded in order.
#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "keeper/app/job_backend.h"
#include "platform/event.h"

namespace keeper {

class FakeJobBackend : public JobBackend {
 public:
  using Job = std::function<uint32_t(const JobCall&, FakeJobBackend&)>;

  uint32_t lock_result = 0;
  uint32_t unlock_result = 0;
  uint32_t create_ftp_result = 0;
  uint32_t delete_ftp_result = 0;
  bool fail_events = false;
  Job job = [](const JobCall&, FakeJobBackend&) { return 0u; };
  // Checked at the unlock call, to see what clean-up did before it.
  std::filesystem::path watch_work_folder;
  std::filesystem::path watch_program_data;

  std::unique_ptr<JobEvent> OpenEvent(std::string_view name) override;
  uint32_t LockUiJob(uint32_t mode) override;
  uint32_t RetryUnlockUiJob(uint32_t mode) override;
  uint32_t CreateFtpAccount(std::string* login) override;
  uint32_t DeleteFtpAccount() override;
  uint32_t RunJob(const JobCall& call) override;
  JobProgress ReadProgress() override;
  void ClearPercent() override;

  // For the job function: writes the record and sets the status event.
  void Report(const JobCall& call, const JobProgress& p);

  void Log(std::string entry);
  std::vector<std::string> log() const;
  JobCall last_call() const;

 private:
  mutable std::mutex mu_;
  std::vector<std::string> log_;
  JobProgress progress_;
  JobCall last_call_;
};

}  // namespace keeper
