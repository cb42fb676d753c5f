// A clock for tests: sleeps return at once, timed waits are compressed.
//
// Virtual time is the real time elapsed since construction multiplied by
// `scale`, plus everything that SleepMillis() and Advance() added. So a
// retry loop that sleeps ten times a minute finishes at once and reads ten
// minutes more on the tick count, while a wait of 30 s for a reply that
// arrives 2 ms later still sees the reply (it waits 30 ms of real time with
// the default scale).
#pragma once

#include <atomic>
#include <vector>

#include "platform/clock.h"

namespace platform {

class TestClock final : public Clock {
 public:
  explicit TestClock(uint32_t scale = 1000, int64_t unix_start = 1767225600);

  uint64_t NowMillis() override;
  int64_t UnixTime() override;
  void SleepMillis(uint32_t ms) override;
  bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
               uint32_t timeout_ms,
               const std::function<bool()>& ready) override;
  std::chrono::milliseconds RealTimeout(uint32_t timeout_ms) override;

  // Moves virtual time forward without waiting.
  void Advance(uint64_t ms);
  void SetUnixTime(int64_t seconds);

  // The durations of all SleepMillis() calls so far, in order.
  std::vector<uint32_t> Sleeps() const;
  // Every time-out that code asked this clock to compress (RealTimeout),
  // in order: shows which waits ran on test time.
  std::vector<uint32_t> Timeouts() const;
  uint32_t scale() const { return scale_; }

 private:
  const uint32_t scale_;
  const std::chrono::steady_clock::time_point start_;
  std::atomic<uint64_t> offset_ms_{0};
  std::atomic<int64_t> unix_start_;
  mutable std::mutex mu_;
  std::vector<uint32_t> sleeps_;
  std::vector<uint32_t> timeouts_;
};

}  // namespace platform
