// SessionKeepAlive: touches the device's web session every 240 s while a
// job runs, so that a long transfer does not let the session time out.
//
// The thread waits on the platform Clock and is stopped by an orderly
// signal: Stop() wakes it, abandons a request in flight (which returns at
// once and sends nothing more) and joins it. After Stop() returns no
// request of this object can leave.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "boxlink.h"

namespace inet {
class HttpRequest;
}

namespace boxlink {

inline constexpr uint32_t kKeepAliveIntervalMs = 240'000;

class SessionKeepAlive {
 public:
  // One touch of the session; the default sends the property query over
  // the session's connection. `request_slot` lets the sender publish its
  // request so that Stop() can abandon it.
  using Touch = std::function<void(ZBSESSION*, SessionKeepAlive&)>;

  SessionKeepAlive() = default;
  ~SessionKeepAlive() { Stop(); }
  SessionKeepAlive(const SessionKeepAlive&) = delete;
  SessionKeepAlive& operator=(const SessionKeepAlive&) = delete;

  // False when the thread cannot be started.
  bool Start(ZBSESSION* session, Touch touch = {});
  void Stop();
  bool running() const { return thread_.joinable(); }

  // For the sender: registers the request in flight (null when done).
  // False when stopping has begun; the request must then not be sent.
  bool SetInFlight(inet::HttpRequest* request);
  bool stopping();

 private:
  void Run();

  ZBSESSION* session_ = nullptr;
  Touch touch_;
  std::mutex mu_;
  std::condition_variable cv_;
  bool stop_ = false;
  inet::HttpRequest* in_flight_ = nullptr;
  std::thread thread_;
};

// The default touch: one GET of the box property CGI with the session id,
// up to seven attempts as the HTTP transport makes them; the reply is not
// read.
void SendKeepAliveRequest(ZBSESSION* session, SessionKeepAlive& owner);

}  // namespace boxlink
