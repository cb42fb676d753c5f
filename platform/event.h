// Events in the Windows sense: manual- or auto-reset, optionally named.
//
// A named event is shared by everyone in the process who creates or opens
// the same name, for as long as one of them holds it. Waits go through the
// current Env's clock, so a test clock shortens them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace platform {

constexpr uint32_t kWaitObject0 = 0;
constexpr uint32_t kWaitTimeout = 258;
constexpr uint32_t kWaitFailed = 0xFFFFFFFF;
constexpr uint32_t kInfiniteWait = 0xFFFFFFFF;

class Event {
 public:
  // An unnamed event.
  static std::shared_ptr<Event> Create(bool manual_reset, bool initial_state);
  // The event of that name, created when it does not exist yet (then with
  // the given reset kind and state); *existed tells which happened.
  static std::shared_ptr<Event> CreateNamed(std::string_view name,
                                            bool manual_reset,
                                            bool initial_state,
                                            bool* existed = nullptr);
  // The existing event of that name, or null.
  static std::shared_ptr<Event> OpenNamed(std::string_view name);

  void Set();
  void Reset();
  // kWaitObject0 when signalled (an auto-reset event is then reset), else
  // kWaitTimeout.
  uint32_t Wait(uint32_t timeout_ms);
  // Waits until one of the events is signalled: kWaitObject0 + its index
  // (the lowest signalled one), or kWaitTimeout.
  static uint32_t WaitAny(std::span<Event* const> events, uint32_t timeout_ms);

  // While an event is held, every wait on it (also a wait of no time) blocks
  // until it is released, and only then looks at the state; Set and Reset
  // still work. Threads cannot be suspended from outside here: holding the
  // event that a job tests at its check points stops the job at the next
  // one, and releasing it lets the job go on from there. The time-out of a
  // wait counts only after the release.
  void Hold();
  void Release();

  bool manual_reset() const { return manual_reset_; }
  const std::string& name() const { return name_; }

  Event(bool manual_reset, bool initial_state, std::string name);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

 private:
  const bool manual_reset_;
  bool signalled_;  // guarded by the process-wide event lock
  bool held_ = false;  // the same
  const std::string name_;
};

}  // namespace platform
