// Time as the system sees it: tick counts, wall time, sleeps and timed waits.
//
// All waiting in the system goes through a Clock, so that a test can replace
// it with a TestClock (platform/testing/test_clock.h) under which sleeps
// return at once and timed waits are compressed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;

  // Milliseconds on a monotonic scale with an arbitrary origin.
  virtual uint64_t NowMillis() = 0;
  // The 32-bit millisecond tick count (wraps after 49.7 days).
  uint32_t TickCount() { return static_cast<uint32_t>(NowMillis()); }
  // Seconds since 1970-01-01 00:00:00 UTC.
  virtual int64_t UnixTime() = 0;

  virtual void SleepMillis(uint32_t ms) = 0;

  // Waits on cv (lock held by the caller) until ready() is true or the
  // timeout passes. Returns ready(). A timeout of kInfinite never expires.
  virtual bool WaitFor(std::condition_variable& cv,
                       std::unique_lock<std::mutex>& lock, uint32_t timeout_ms,
                       const std::function<bool()>& ready) = 0;

  // The real duration to give an operation that the system bounds by
  // timeout_ms (a socket poll, a transfer time-out). Identity for the real
  // clock; compressed by a test clock.
  virtual std::chrono::milliseconds RealTimeout(uint32_t timeout_ms) {
    return std::chrono::milliseconds(timeout_ms);
  }

  static constexpr uint32_t kInfinite = 0xFFFFFFFF;
};

// The clock of the machine.
class SystemClock final : public Clock {
 public:
  uint64_t NowMillis() override;
  int64_t UnixTime() override;
  void SleepMillis(uint32_t ms) override;
  bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
               uint32_t timeout_ms,
               const std::function<bool()>& ready) override;
};

}  // namespace platform
