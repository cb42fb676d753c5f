#include "standins/inet/session.h"

#include <utility>

namespace inet {

Session::Session(std::string user_agent) : user_agent_(std::move(user_agent)) {}

Timeouts Session::timeouts() const {
  std::lock_guard<std::mutex> g(mu_);
  return timeouts_;
}

void Session::SetTimeouts(const Timeouts& t) {
  std::lock_guard<std::mutex> g(mu_);
  timeouts_ = t;
}

ProxyOptions Session::proxy() const {
  std::lock_guard<std::mutex> g(mu_);
  return proxy_;
}

bool Session::SetProxy(ProxyOptions options) {
  std::lock_guard<std::mutex> g(mu_);
  proxy_ = std::move(options);
  return true;
}

void Session::RefreshSettings() {
  std::lock_guard<std::mutex> g(mu_);
  ++refreshes_;
}

int Session::refresh_count() const {
  std::lock_guard<std::mutex> g(mu_);
  return refreshes_;
}

std::string Session::ProxyFor(const std::string& host) const {
  std::lock_guard<std::mutex> g(mu_);
  if ((proxy_.flags & kProxyDirect) || !(proxy_.flags & kProxyNamed) ||
      proxy_.server.empty())
    return "";
  size_t start = 0;
  const std::string& list = proxy_.bypass;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    std::string entry = list.substr(start, end - start);
    if (entry == "<local>" && host.find('.') == std::string::npos &&
        host.find(':') == std::string::npos)
      return "";
    if (!entry.empty() && entry == host) return "";
    start = end + 1;
  }
  return proxy_.server;
}

}  // namespace inet
