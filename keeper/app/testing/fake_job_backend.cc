#include "keeper/app/testing/fake_job_backend.h"

namespace keeper {
namespace {

class FakeEvent final : public JobEvent {
 public:
  FakeEvent(std::string name, FakeJobBackend* owner)
      : name_(std::move(name)),
        event_(platform::Event::CreateNamed(name_, false, false)),
        owner_(owner) {}
  ~FakeEvent() override { owner_->Log("close " + name_); }
  void Set() override { event_->Set(); }
  void Reset() override { event_->Reset(); }
  bool Wait(uint32_t ms) override {
    return event_->Wait(ms) == platform::kWaitObject0;
  }

 private:
  std::string name_;
  std::shared_ptr<platform::Event> event_;
  FakeJobBackend* owner_;
};

}  // namespace

std::unique_ptr<JobEvent> FakeJobBackend::OpenEvent(std::string_view name) {
  if (fail_events) return nullptr;
  return std::make_unique<FakeEvent>(std::string(name), this);
}

uint32_t FakeJobBackend::LockUiJob(uint32_t mode) {
  Log("lock " + std::to_string(mode));
  return lock_result;
}

uint32_t FakeJobBackend::RetryUnlockUiJob(uint32_t mode) {
  std::string entry = "unlock " + std::to_string(mode);
  std::error_code ec;
  if (!watch_work_folder.empty())
    entry += std::filesystem::exists(watch_work_folder, ec)
                 ? " work-folder-present"
                 : " work-folder-gone";
  if (!watch_program_data.empty())
    entry += std::filesystem::exists(watch_program_data, ec)
                 ? " program-data-present"
                 : " program-data-gone";
  Log(entry);
  return unlock_result;
}

uint32_t FakeJobBackend::CreateFtpAccount(std::string* login) {
  Log("create-ftp");
  if (create_ftp_result) return create_ftp_result;
  *login = "zbftp01";
  return 0;
}

uint32_t FakeJobBackend::DeleteFtpAccount() {
  Log("delete-ftp");
  return delete_ftp_result;
}

uint32_t FakeJobBackend::RunJob(const JobCall& call) {
  {
    std::lock_guard<std::mutex> g(mu_);
    last_call_ = call;
    log_.push_back("job");
  }
  return job(call, *this);
}

JobProgress FakeJobBackend::ReadProgress() {
  std::lock_guard<std::mutex> g(mu_);
  return progress_;
}

void FakeJobBackend::ClearPercent() {
  std::lock_guard<std::mutex> g(mu_);
  progress_.percent = 0;
  log_.push_back("percent 0");
}

void FakeJobBackend::Report(const JobCall& call, const JobProgress& p) {
  {
    std::lock_guard<std::mutex> g(mu_);
    progress_ = p;
  }
  call.status->Set();
}

void FakeJobBackend::Log(std::string entry) {
  std::lock_guard<std::mutex> g(mu_);
  log_.push_back(std::move(entry));
}

std::vector<std::string> FakeJobBackend::log() const {
  std::lock_guard<std::mutex> g(mu_);
  return log_;
}

JobCall FakeJobBackend::last_call() const {
  std::lock_guard<std::mutex> g(mu_);
  return last_call_;
}

}  // namespace keeper
