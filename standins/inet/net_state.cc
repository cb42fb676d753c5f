#include "standins/inet/net_state.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
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
  // A connection check is a TCP connect to the server's port and nothing
  // more: a server busy with a long request (some serve one at a time)
  // still takes connections, and that is all the question is.
  ParsedUrl parsed;
  if (!ParseUrl(url, &parsed)) return false;
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (getaddrinfo(parsed.host.c_str(), std::to_string(parsed.port).c_str(), &hints,
                  &found) != 0)
    return false;
  std::unique_ptr<addrinfo, void (*)(addrinfo*)> list(found, freeaddrinfo);
  const int wait_ms = static_cast<int>(std::min<int64_t>(
      platform::Env::Current()->clock().RealTimeout(CheckTimeout()).count(), INT32_MAX));
  for (addrinfo* a = found; a; a = a->ai_next) {
    sockaddr_storage to{};
    std::memcpy(&to, a->ai_addr, std::min<size_t>(a->ai_addrlen, sizeof to));
    if (a->ai_family == AF_INET6 && parsed.scope_id) {
      auto* in6 = reinterpret_cast<sockaddr_in6*>(&to);
      if (in6->sin6_scope_id == 0) in6->sin6_scope_id = parsed.scope_id;
    }
    int fd = ::socket(a->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) continue;
    bool up = ::connect(fd, reinterpret_cast<sockaddr*>(&to), a->ai_addrlen) == 0;
    if (!up && errno == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      int rc;
      do {
        rc = ::poll(&p, 1, wait_ms);
      } while (rc < 0 && errno == EINTR);
      int so_error = 0;
      socklen_t len = sizeof so_error;
      up = rc > 0 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &len) == 0 &&
           so_error == 0;
    }
    ::close(fd);
    if (up) return true;
  }
  return false;
}

ScopedNetworkState::ScopedNetworkState(NetworkState* state)
    : previous_(g_override.exchange(state)) {}

ScopedNetworkState::~ScopedNetworkState() { g_override.store(previous_); }

}  // namespace inet
