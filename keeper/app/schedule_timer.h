// A periodic timer read from the platform clock, for the GUI thread.
//
// It does not wait by itself: the event loop calls Poll() (the Qt side
// from a QTimer armed with MillisUntilDue(), a test after moving the test
// clock), and Poll() fires the tick when its period has passed. Like a
// window timer, ticks that fall due while the loop was busy are folded
// into one.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace platform {
class Clock;
}

namespace keeper {

class ScheduleTimer {
 public:
  ScheduleTimer(platform::Clock& clock, uint32_t period_ms,
                std::function<void()> tick);

  void Start();  // the first tick one period from now
  void Stop();
  bool running() const { return due_.has_value(); }
  uint32_t period_ms() const { return period_ms_; }

  // Fires the tick when it is due; true when it did.
  bool Poll();
  // Milliseconds until the next tick (0 when due); nullopt when stopped.
  std::optional<uint64_t> MillisUntilDue() const;

 private:
  platform::Clock& clock_;
  const uint32_t period_ms_;
  std::function<void()> tick_;
  std::optional<uint64_t> due_;
};

}  // namespace keeper
