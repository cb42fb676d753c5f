#include "platform/testing/test_clock.h"

#include <algorithm>

namespace platform {

TestClock::TestClock(uint32_t scale, int64_t unix_start)
    : scale_(std::max<uint32_t>(scale, 1)),
      start_(std::chrono::steady_clock::now()),
      unix_start_(unix_start) {}

uint64_t TestClock::NowMillis() {
  using namespace std::chrono;
  auto real = duration_cast<microseconds>(steady_clock::now() - start_).count();
  return static_cast<uint64_t>(real) * scale_ / 1000 + offset_ms_.load();
}

int64_t TestClock::UnixTime() {
  return unix_start_.load() + static_cast<int64_t>(NowMillis() / 1000);
}

void TestClock::SleepMillis(uint32_t ms) {
  offset_ms_ += ms;
  std::lock_guard<std::mutex> g(mu_);
  sleeps_.push_back(ms);
}

std::chrono::milliseconds TestClock::RealTimeout(uint32_t timeout_ms) {
  {
    std::lock_guard<std::mutex> g(mu_);
    timeouts_.push_back(timeout_ms);
  }
  if (timeout_ms == kInfinite) return std::chrono::milliseconds::max();
  // At least one real millisecond, so that a compressed wait still gives
  // other threads a chance to run.
  return std::chrono::milliseconds(std::max<uint32_t>(timeout_ms / scale_, 1));
}

bool TestClock::WaitFor(std::condition_variable& cv,
                        std::unique_lock<std::mutex>& lock,
                        uint32_t timeout_ms,
                        const std::function<bool()>& ready) {
  if (timeout_ms == kInfinite) {
    cv.wait(lock, ready);
    return true;
  }
  uint64_t deadline = NowMillis() + timeout_ms;
  bool ok = cv.wait_for(lock, RealTimeout(timeout_ms), ready);
  // The compressed real wait may end a little short of the virtual
  // deadline; a caller measuring with the tick count must see it passed.
  if (!ok) {
    uint64_t now = NowMillis();
    if (now < deadline) offset_ms_ += deadline - now;
  }
  return ok;
}

void TestClock::Advance(uint64_t ms) { offset_ms_ += ms; }

void TestClock::SetUnixTime(int64_t seconds) {
  unix_start_ = seconds - static_cast<int64_t>(NowMillis() / 1000);
}

std::vector<uint32_t> TestClock::Timeouts() const {
  std::lock_guard<std::mutex> g(mu_);
  return timeouts_;
}

std::vector<uint32_t> TestClock::Sleeps() const {
  std::lock_guard<std::mutex> g(mu_);
  return sleeps_;
}

}  // namespace platform
