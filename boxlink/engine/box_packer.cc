#include "boxlink/engine/box_packer.h"

#include <memory>
#include <system_error>

#include "boxlink.h"
#include "boxlink/client/box_error.h"

namespace boxlink {

void BoxPacker::Check() const {
  // A stop ends the task like a cancel; Run does not keep it as a failure.
  if (stop_.load(std::memory_order_relaxed)) Raise(ZB_ERR_CANCELLED);
  if (cancel_event_ && cancel_event_->Wait(0) == platform::kWaitObject0)
    Raise(ZB_ERR_CANCELLED);
}

void BoxPacker::Run(const Task& task) {
  try {
    task([this] { Check(); });
  } catch (...) {
    std::lock_guard<std::mutex> lock(mu_);
    if (!stop_) failure_ = std::current_exception();
    failed_ = true;
  }
}

void BoxPacker::Join() {
  if (thread_.joinable()) thread_.join();
}

void BoxPacker::RaiseFailure() {
  if (!failed_) return;
  std::exception_ptr failure;
  {
    std::lock_guard<std::mutex> lock(mu_);
    failure = failure_;
  }
  if (failure) std::rethrow_exception(failure);
}

void BoxPacker::Submit(Task task) {
  Join();
  RaiseFailure();
  stop_ = false;
  auto shared = std::make_shared<const Task>(std::move(task));
  try {
    thread_ = std::thread([this, shared] { Run(*shared); });
    return;
  } catch (const std::system_error&) {
    // No thread to be had: pack here, as the job always could.
  }
  Run(*shared);
  RaiseFailure();
}

void BoxPacker::Finish() {
  Join();
  RaiseFailure();
}

void BoxPacker::RaiseIfFailed() { RaiseFailure(); }

std::exception_ptr BoxPacker::Abandon() {
  stop_ = true;
  Join();
  std::lock_guard<std::mutex> lock(mu_);
  return failure_;
}

}  // namespace boxlink
