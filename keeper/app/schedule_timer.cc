#include "keeper/app/schedule_timer.h"

#include "platform/clock.h"

namespace keeper {

ScheduleTimer::ScheduleTimer(platform::Clock& clock, uint32_t period_ms,
                             std::function<void()> tick)
    : clock_(clock), period_ms_(period_ms), tick_(std::move(tick)) {}

void ScheduleTimer::Start() { due_ = clock_.NowMillis() + period_ms_; }

void ScheduleTimer::Stop() { due_.reset(); }

bool ScheduleTimer::Poll() {
  if (!due_) return false;
  uint64_t now = clock_.NowMillis();
  if (now < *due_) return false;
  // Missed periods fold into this one tick; the next is a period away.
  due_ = now + period_ms_;
  tick_();  // may stop the timer
  return true;
}

std::optional<uint64_t> ScheduleTimer::MillisUntilDue() const {
  if (!due_) return std::nullopt;
  uint64_t now = clock_.NowMillis();
  return now >= *due_ ? 0 : *due_ - now;
}

}  // namespace keeper
