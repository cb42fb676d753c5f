// The internet session: what every connection made through it shares (the
// user agent, default time-outs, proxy options). Protocol halves (HTTP
// here, FTP beside it) open their connections on a Session.
//
// Time-outs are in milliseconds of the platform Clock; the layer turns them
// into real durations through Clock::RealTimeout, so that a test clock
// compresses them like every other wait of the system.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace inet {

inline constexpr uint32_t kNoTimeout = 0xFFFFFFFF;

struct Timeouts {
  uint32_t connect_ms = 60000;
  // No limit by default: callers that want one set it, and callers that do
  // not rely on their own watchdog instead.
  uint32_t receive_ms = kNoTimeout;
  uint32_t data_receive_ms = kNoTimeout;
};

// Proxy flags of a connection setting.
inline constexpr uint32_t kProxyDirect = 1;  // reaching hosts directly is allowed
inline constexpr uint32_t kProxyNamed = 2;   // `server` may be used

struct ProxyOptions {
  std::string server;
  uint32_t flags = kProxyDirect;
  std::string bypass;  // ";"-separated; "<local>" is every dot-less name
};

class Session {
 public:
  explicit Session(std::string user_agent);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const std::string& user_agent() const { return user_agent_; }

  Timeouts timeouts() const;
  void SetTimeouts(const Timeouts& t);

  ProxyOptions proxy() const;
  // Always succeeds; kept as a result for callers that test it.
  bool SetProxy(ProxyOptions options);
  // Tells the session that its settings changed. Connections made later
  // see them; nothing is cached, so this only counts.
  void RefreshSettings();
  int refresh_count() const;

  // The proxy a request to `host` goes through, or "" for a direct one.
  // Direct access wins whenever it is allowed: the layer never reaches a
  // device through a machine-wide proxy the caller did not name.
  std::string ProxyFor(const std::string& host) const;

 private:
  const std::string user_agent_;
  mutable std::mutex mu_;
  Timeouts timeouts_;
  ProxyOptions proxy_;
  int refreshes_ = 0;
};

}  // namespace inet
