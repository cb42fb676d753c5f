#include <arpa/inet.h>
#include <net/if.h>
#include <netdb.h>

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "snmpcore/snmp.h"

namespace snmpcore {

namespace {

bool AllHex(std::string_view s) {
  for (char c : s)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return !s.empty();
}

bool ParsePort(std::string_view s, uint16_t* port) {
  if (s.empty() || s.size() > 5) return false;
  unsigned v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v == 0 || v > 65535) return false;
  *port = static_cast<uint16_t>(v);
  return true;
}

}  // namespace

std::string Address::host_text() const {
  char buf[INET6_ADDRSTRLEN];
  if (kind_ == kIpv4) {
    inet_ntop(AF_INET, &addr6_, buf, sizeof buf);
    return buf;
  }
  if (kind_ == kIpv6) {
    inet_ntop(AF_INET6, &addr6_, buf, sizeof buf);
    std::string text = buf;
    if (scope_id_) text += "%" + std::to_string(scope_id_);
    return text;
  }
  return ipx_;
}

void Address::UpdatePrintable() {
  if (kind_ == kInvalid) {
    printable_.clear();
    return;
  }
  printable_ = host_text();
  if (kind_ != kIpx && with_port_) printable_ += "/" + std::to_string(port_);
}

bool Address::ParseHost(std::string text) {
  kind_ = kInvalid;
  addr6_ = {};
  scope_id_ = 0;
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']')
    text = text.substr(1, text.size() - 2);
  if (text.empty()) return false;
  in_addr v4;
  if (inet_pton(AF_INET, text.c_str(), &v4) == 1) {
    std::memcpy(&addr6_, &v4, 4);
    kind_ = kIpv4;
    return true;
  }
  std::string host = text;
  std::string scope;
  if (auto pct = text.find('%'); pct != std::string::npos) {
    host = text.substr(0, pct);
    scope = text.substr(pct + 1);
  }
  if (inet_pton(AF_INET6, host.c_str(), &addr6_) == 1) {
    if (!scope.empty()) {
      char* end = nullptr;
      unsigned long n = std::strtoul(scope.c_str(), &end, 10);
      if (end && *end == '\0') {
        scope_id_ = static_cast<uint32_t>(n);
      } else {
        scope_id_ = if_nametoindex(scope.c_str());
        if (scope_id_ == 0) return false;
      }
    }
    kind_ = kIpv6;
    return true;
  }
  if (!scope.empty() || text.find(':') != std::string::npos) return false;
  // A host name: the first address it resolves to.
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0 || !found)
    return false;
  uint16_t keep_port = port_;
  SetFromSockaddr(found->ai_addr);
  port_ = keep_port;
  freeaddrinfo(found);
  return kind_ != kInvalid;
}

bool Address::ParseHostPort(std::string text) {
  port_ = 0;
  with_port_ = false;
  std::string host = text;
  std::string port;
  if (!text.empty() && text.front() == '[') {
    auto close = text.find(']');
    if (close == std::string::npos) return false;
    host = text.substr(1, close - 1);
    std::string rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest[0] != ':' && rest[0] != '/') return false;
      port = rest.substr(1);
      if (port.empty()) return false;
    }
  } else if (auto slash = text.rfind('/'); slash != std::string::npos) {
    host = text.substr(0, slash);
    port = text.substr(slash + 1);
    if (port.empty()) return false;
  } else if (std::count(text.begin(), text.end(), ':') == 1) {
    auto colon = text.find(':');
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (port.empty()) return false;
  }
  if (!port.empty() && !ParsePort(port, &port_)) return false;
  with_port_ = !port.empty();
  return ParseHost(host);
}

bool Address::ParseIpx(std::string text) {
  // network:node/socket: 8 and 12 hexadecimal digits, and a socket number
  // of up to 5 digits.
  auto colon = text.find(':');
  auto slash = text.find('/');
  if (colon != 8 || slash != 21 || text.size() < 23 || text.size() > 27)
    return false;
  if (!AllHex(std::string_view(text).substr(0, 8)) ||
      !AllHex(std::string_view(text).substr(9, 12)) ||
      !AllHex(std::string_view(text).substr(22)))
    return false;
  ipx_ = text;
  kind_ = kIpx;
  return true;
}

void Address::SetFromSockaddr(const sockaddr* sa) {
  addr6_ = {};
  scope_id_ = 0;
  if (sa->sa_family == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(sa);
    std::memcpy(&addr6_, &in->sin_addr, 4);
    port_ = ntohs(in->sin_port);
    kind_ = kIpv4;
  } else if (sa->sa_family == AF_INET6) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(sa);
    addr6_ = in6->sin6_addr;
    port_ = ntohs(in6->sin6_port);
    scope_id_ = in6->sin6_scope_id;
    kind_ = kIpv6;
  } else {
    kind_ = kInvalid;
  }
}

bool Address::ToSockaddr(sockaddr_storage* out, socklen_t* length) const {
  std::memset(out, 0, sizeof *out);
  uint16_t port = htons(port_ ? port_ : 161);
  if (kind_ == kIpv4) {
    auto* in = reinterpret_cast<sockaddr_in*>(out);
    in->sin_family = AF_INET;
    in->sin_port = port;
    std::memcpy(&in->sin_addr, &addr6_, 4);
    *length = sizeof *in;
    return true;
  }
  if (kind_ == kIpv6) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(out);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = port;
    in6->sin6_addr = addr6_;
    in6->sin6_scope_id = scope_id_;
    *length = sizeof *in6;
    return true;
  }
  return false;
}

bool operator==(const Address& a, const Address& b) {
  if (a.kind_ != b.kind_) return false;
  switch (a.kind_) {
    case Address::kInvalid:
      return true;
    case Address::kIpx:
      return strcasecmp(a.ipx_.c_str(), b.ipx_.c_str()) == 0;
    default:
      return std::memcmp(&a.addr6_, &b.addr6_, sizeof a.addr6_) == 0 &&
             a.scope_id_ == b.scope_id_ && a.port_ == b.port_;
  }
}

IpAddress::IpAddress(const char* text) {
  if (text) ParseHost(text);
  UpdatePrintable();
}

UdpAddress::UdpAddress(const char* text) {
  if (text) ParseHostPort(text);
  UpdatePrintable();
}

UdpAddress::UdpAddress(const IpAddress& host, uint16_t port) : IpAddress(host) {
  set_port(port);
}

void UdpAddress::set_port(uint16_t port) {
  port_ = port;
  with_port_ = true;
  UpdatePrintable();
}

IpxSockAddress::IpxSockAddress(const char* text) {
  if (text) ParseIpx(text);
  UpdatePrintable();
}

GenAddress::GenAddress(const char* text) {
  if (text && !ParseIpx(text)) ParseHostPort(text);
  UpdatePrintable();
}

GenAddress::GenAddress(const Address& other) : Address(other) {}

}  // namespace snmpcore
