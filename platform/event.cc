#include "platform/event.h"

#include <condition_variable>
#include <map>
#include <mutex>

#include "platform/clock.h"
#include "platform/env.h"

namespace platform {
namespace {

// One lock and one condition for all events keeps WaitAny simple; the
// system has a handful of events, so the shared wake-ups cost nothing.
struct Hub {
  std::mutex mu;
  std::condition_variable cv;
  std::map<std::string, std::weak_ptr<Event>, std::less<>> named;
};

Hub& TheHub() {
  static Hub* hub = new Hub;  // lives until exit; events may outlive main
  return *hub;
}

}  // namespace

Event::Event(bool manual_reset, bool initial_state, std::string name)
    : manual_reset_(manual_reset),
      signalled_(initial_state),
      name_(std::move(name)) {}

Event::~Event() {
  if (name_.empty()) return;
  Hub& hub = TheHub();
  std::lock_guard<std::mutex> g(hub.mu);
  auto it = hub.named.find(name_);
  if (it != hub.named.end() && it->second.expired()) hub.named.erase(it);
}

std::shared_ptr<Event> Event::Create(bool manual_reset, bool initial_state) {
  return std::make_shared<Event>(manual_reset, initial_state, std::string());
}

std::shared_ptr<Event> Event::CreateNamed(std::string_view name,
                                          bool manual_reset,
                                          bool initial_state, bool* existed) {
  if (name.empty()) {
    if (existed) *existed = false;
    return Create(manual_reset, initial_state);
  }
  Hub& hub = TheHub();
  std::lock_guard<std::mutex> g(hub.mu);
  auto it = hub.named.find(name);
  if (it != hub.named.end()) {
    if (auto ev = it->second.lock()) {
      if (existed) *existed = true;
      return ev;
    }
  }
  auto ev =
      std::make_shared<Event>(manual_reset, initial_state, std::string(name));
  hub.named[std::string(name)] = ev;
  if (existed) *existed = false;
  return ev;
}

std::shared_ptr<Event> Event::OpenNamed(std::string_view name) {
  Hub& hub = TheHub();
  std::lock_guard<std::mutex> g(hub.mu);
  auto it = hub.named.find(name);
  return it == hub.named.end() ? nullptr : it->second.lock();
}

void Event::Set() {
  Hub& hub = TheHub();
  {
    std::lock_guard<std::mutex> g(hub.mu);
    signalled_ = true;
  }
  hub.cv.notify_all();
}

void Event::Reset() {
  Hub& hub = TheHub();
  std::lock_guard<std::mutex> g(hub.mu);
  signalled_ = false;
}

void Event::Hold() {
  Hub& hub = TheHub();
  std::lock_guard<std::mutex> g(hub.mu);
  held_ = true;
}

void Event::Release() {
  Hub& hub = TheHub();
  {
    std::lock_guard<std::mutex> g(hub.mu);
    held_ = false;
  }
  hub.cv.notify_all();
}

uint32_t Event::Wait(uint32_t timeout_ms) {
  Event* self = this;
  return WaitAny(std::span<Event* const>(&self, 1), timeout_ms);
}

uint32_t Event::WaitAny(std::span<Event* const> events, uint32_t timeout_ms) {
  if (events.empty()) return kWaitFailed;
  Hub& hub = TheHub();
  std::unique_lock<std::mutex> lock(hub.mu);
  // A held event stops the waiter for as long as it takes a person to
  // decide, so this wait is in real time, not on the clock.
  auto any_held = [&] {
    for (Event* e : events)
      if (e->held_) return true;
    return false;
  };
  hub.cv.wait(lock, [&] { return !any_held(); });
  size_t hit = 0;
  auto ready = [&] {
    for (size_t i = 0; i < events.size(); ++i) {
      if (events[i]->signalled_) {
        hit = i;
        return true;
      }
    }
    return false;
  };
  if (!Env::Current()->clock().WaitFor(hub.cv, lock, timeout_ms, ready))
    return kWaitTimeout;
  if (!events[hit]->manual_reset_) events[hit]->signalled_ = false;
  return kWaitObject0 + static_cast<uint32_t>(hit);
}

}  // namespace platform
