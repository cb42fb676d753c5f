#include "boxlink/engine/keep_alive.h"

#include <cstdio>

#include "boxlink/client/http_transport.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "standins/inet/http.h"

namespace boxlink {

bool SessionKeepAlive::Start(ZBSESSION* session, Touch touch) {
  Stop();
  session_ = session;
  touch_ = touch ? std::move(touch) : Touch(SendKeepAliveRequest);
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = false;
  }
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void SessionKeepAlive::Stop() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
    if (in_flight_) in_flight_->Abandon();
  }
  cv_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool SessionKeepAlive::SetInFlight(inet::HttpRequest* request) {
  std::lock_guard<std::mutex> lock(mu_);
  if (stop_ && request) return false;
  in_flight_ = request;
  return true;
}

bool SessionKeepAlive::stopping() {
  std::lock_guard<std::mutex> lock(mu_);
  return stop_;
}

void SessionKeepAlive::Run() {
  platform::Clock& clock = platform::Env::Current()->clock();
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    if (clock.WaitFor(cv_, lock, kKeepAliveIntervalMs, [this] { return stop_; }))
      return;
    lock.unlock();
    touch_(session_, *this);
    lock.lock();
    if (stop_) return;
  }
}

void SendKeepAliveRequest(ZBSESSION* session, SessionKeepAlive& owner) {
  auto* connection = static_cast<inet::HttpConnection*>(session->ConnectHandle);
  if (!connection) return;
  char target[128];
  std::snprintf(target, sizeof target, "%s?SID=%08lu",
                "/TarnBox/Admin/boxnwGetBoxProperty",
                static_cast<unsigned long>(session->SessionId));
  uint32_t flags = session->WebSecure == 1
                       ? inet::kFlagSecure | inet::kFlagIgnoreCertNameInvalid |
                             inet::kFlagIgnoreCertDateInvalid
                       : inet::kFlagNoCacheWrite;
  auto request = inet::HttpRequest::Open(*connection, "GET", target, "HTTP/1.0", flags);
  if (!request) return;
  if (!owner.SetInFlight(request.get())) return;
  HttpSendRequestWithRetry(*request, nullptr, 0, nullptr, 0);
  owner.SetInFlight(nullptr);
}

}  // namespace boxlink
