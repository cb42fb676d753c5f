#include "platform/clock.h"

#include <thread>

namespace platform {

uint64_t SystemClock::NowMillis() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch())
          .count());
}

int64_t SystemClock::UnixTime() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

void SystemClock::SleepMillis(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool SystemClock::WaitFor(std::condition_variable& cv,
                          std::unique_lock<std::mutex>& lock,
                          uint32_t timeout_ms,
                          const std::function<bool()>& ready) {
  if (timeout_ms == kInfinite) {
    cv.wait(lock, ready);
    return true;
  }
  return cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready);
}

}  // namespace platform
