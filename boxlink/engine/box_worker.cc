#include "boxlink/engine/box_worker.h"

#include <memory>
#include <system_error>

#include "boxlink.h"
#include "boxlink/base/box_error.h"

namespace boxlink {

void BoxWorker::Check() const {
  // A stop ends the task like a cancel; Run does not keep it as a failure.
  if (stop_.load(std::memory_order_relaxed)) Raise(ZB_ERR_CANCELLED);
  if (cancel_event_ && cancel_event_->Wait(0) == platform::kWaitObject0)
    Raise(ZB_ERR_CANCELLED);
}

void BoxWorker::Run(const Task& task) {
  try {
    task([this] { Check(); });
  } catch (...) {
    std::lock_guard<std::mutex> lock(mu_);
    if (!stop_) failure_ = std::current_exception();
    failed_ = true;
  }
}

void BoxWorker::Join() {
  if (thread_.joinable()) thread_.join();
}

void BoxWorker::RaiseFailure() {
  if (!failed_) return;
  std::exception_ptr failure;
  {
    std::lock_guard<std::mutex> lock(mu_);
    failure = failure_;
  }
  if (failure) std::rethrow_exception(failure);
}

void BoxWorker::Submit(Task task) {
  Join();
  RaiseFailure();
  stop_ = false;
  auto shared = std::make_shared<const Task>(std::move(task));
  try {
    thread_ = std::thread([this, shared] { Run(*shared); });
    return;
  } catch (const std::system_error&) {
    // No thread to be had: the work is done here, as it always could be.
  }
  Run(*shared);
  RaiseFailure();
}

void BoxWorker::Finish() {
  Join();
  RaiseFailure();
}

void BoxWorker::RaiseIfFailed() { RaiseFailure(); }

std::exception_ptr BoxWorker::Abandon() {
  stop_ = true;
  Join();
  std::lock_guard<std::mutex> lock(mu_);
  return failure_;
}

}  // namespace boxlink
