#include "standins/inet/net_state.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/env.h"
#include "standins/inet/http.h"

namespace inet {
namespace {

std::atomic<NetworkState*> g_override{nullptr};

// How long a connection check may take, in Clock milliseconds, and at
// least in real time: a compressed test clock must not make a device that
// answers at its own pace look dead.
constexpr uint32_t kCheckTimeoutMs = 15000;
constexpr std::chrono::milliseconds kCheckRealFloor{2000};

uint32_t CheckTimeout() {
  auto real = platform::Env::Current()->clock().RealTimeout(kCheckTimeoutMs);
  if (real >= kCheckRealFloor || real.count() <= 0) return kCheckTimeoutMs;
  double stretch = static_cast<double>(kCheckRealFloor.count()) / static_cast<double>(real.count());
  return static_cast<uint32_t>(std::min(kCheckTimeoutMs * stretch, 4.0e9));
}

struct ParsedUrl {
  bool secure = false;
  std::string host;
  uint32_t scope_id = 0;
  uint16_t port = 80;
  std::string target = "/";
};

bool ParseUrl(std::string_view url, ParsedUrl* out) {
  size_t scheme_end = url.find("://");
  if (scheme_end == std::string_view::npos) return false;
  std::string_view scheme = url.substr(0, scheme_end);
  if (scheme == "https") {
    out->secure = true;
    out->port = 443;
  } else if (scheme != "http") {
    return false;
  }
  std::string_view rest = url.substr(scheme_end + 3);
  size_t path = rest.find('/');
  std::string_view authority = rest.substr(0, path);
  if (path != std::string_view::npos) out->target = std::string(rest.substr(path));
  std::string_view port_text;
  if (!authority.empty() && authority.front() == '[') {
    size_t close = authority.find(']');
    if (close == std::string_view::npos) return false;
    std::string_view inside = authority.substr(1, close - 1);
    size_t pct = inside.find('%');
    if (pct != std::string_view::npos) {
      std::string scope(inside.substr(pct + 1));
      if (scope.rfind("25", 0) == 0) scope = scope.substr(2);
      unsigned index = if_nametoindex(scope.c_str());
      out->scope_id = index ? index : static_cast<uint32_t>(std::strtoul(scope.c_str(), nullptr, 10));
      inside = inside.substr(0, pct);
    }
    out->host = std::string(inside);
    std::string_view after = authority.substr(close + 1);
    if (!after.empty() && after.front() == ':') port_text = after.substr(1);
  } else {
    size_t colon = authority.rfind(':');
    out->host = std::string(authority.substr(0, colon));
    if (colon != std::string_view::npos) port_text = authority.substr(colon + 1);
  }
  if (!port_text.empty()) {
    unsigned long port = std::strtoul(std::string(port_text).c_str(), nullptr, 10);
    if (port == 0 || port > 65535) return false;
    out->port = static_cast<uint16_t>(port);
  }
  return !out->host.empty();
}

}  // namespace

NetworkState& NetworkState::Current() {
  static SystemNetworkState system_state;
  NetworkState* o = g_override.load();
  return o ? *o : system_state;
}

bool SystemNetworkState::ConnectedState(bool* online) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool up = false;
  for (ifaddrs* a = list; a; a = a->ifa_next)
    if (a->ifa_flags & IFF_UP) up = true;
  freeifaddrs(list);
  *online = up;
  return true;
}

bool SystemNetworkState::CheckConnection(std::string_view url, bool /*force*/) {
  ParsedUrl parsed;
  if (!ParseUrl(url, &parsed)) return false;
  Session session("zbBoxFTPAcs");
  uint32_t timeout = CheckTimeout();
  session.SetTimeouts({timeout, timeout, timeout});
  HttpConnection connection(session, parsed.host, parsed.port, parsed.scope_id);
  uint32_t flags = parsed.secure ? kFlagSecure | kFlagIgnoreCertNameInvalid |
                                       kFlagIgnoreCertDateInvalid
                                 : kFlagNoCacheWrite;
  auto request = HttpRequest::Open(connection, "GET", parsed.target, "HTTP/1.0", flags);
  request->AddSecurityFlags(kSecurityIgnoreUnknownCa);
  return request->Send("", {});
}

ScopedNetworkState::ScopedNetworkState(NetworkState* state)
    : previous_(g_override.exchange(state)) {}

ScopedNetworkState::~ScopedNetworkState() { g_override.store(previous_); }

}  // namespace inet
