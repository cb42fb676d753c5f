#include "standins/ftplibpp/ftp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

#include "platform/clock.h"
#include "platform/env.h"
#include "standins/ftplibpp/ftp_errors.h"

namespace ftpc {
namespace {

int RealPollMillis(uint32_t timeout_ms) {
  auto real = platform::Env::Current()->clock().RealTimeout(timeout_ms);
  if (real.count() > 24 * 3600 * 1000LL) return -1;
  return static_cast<int>(real.count());
}

uint32_t ErrnoToError(int e) {
  switch (e) {
    case ECONNRESET:
    case EPIPE:
      return kErrConnectionReset;
    case ECONNABORTED:
      return kErrConnectionAborted;
    case ETIMEDOUT:
      return kErrTimeout;
    default:
      return kErrCannotConnect;
  }
}

// TLS writes go through write(2), which raises SIGPIPE when the peer has
// gone. A library must not change the process's signal handling, so the
// signal is blocked for this thread around TLS calls and a pending one is
// consumed before it is unblocked.
class ScopedSigpipeBlock {
 public:
  ScopedSigpipeBlock() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    was_pending_ = IsPending();
    pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
  }
  ~ScopedSigpipeBlock() {
    if (!was_pending_ && IsPending()) {
      timespec zero{0, 0};
      sigtimedwait(&pipe_, nullptr, &zero);
    }
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }

 private:
  static bool IsPending() {
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    return sigismember(&pending, SIGPIPE) == 1;
  }
  sigset_t pipe_, old_;
  bool was_pending_ = false;
};

bool SetNonBlocking(int fd) {
  int flags = fcntl(fd, F_GETFL, 0);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

uint16_t SockAddr::port() const {
  if (family() == AF_INET6)
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_port);
  return ntohs(reinterpret_cast<const sockaddr_in*>(&storage)->sin_port);
}

void SockAddr::set_port(uint16_t port) {
  if (family() == AF_INET6)
    reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port = htons(port);
  else
    reinterpret_cast<sockaddr_in*>(&storage)->sin_port = htons(port);
}

namespace {

// The same host address (the port and, for IPv6, the scope aside; an
// IPv4 peer may also appear in its IPv6-mapped form).
bool SameHost(const SockAddr& a, const SockAddr& b) {
  auto v4 = [](const SockAddr& x, in_addr* out) {
    if (x.family() == AF_INET) {
      *out = reinterpret_cast<const sockaddr_in*>(&x.storage)->sin_addr;
      return true;
    }
    const auto& a6 = reinterpret_cast<const sockaddr_in6*>(&x.storage)->sin6_addr;
    if (x.family() == AF_INET6 && IN6_IS_ADDR_V4MAPPED(&a6)) {
      std::memcpy(out, a6.s6_addr + 12, 4);
      return true;
    }
    return false;
  };
  in_addr x4{}, y4{};
  bool ax = v4(a, &x4), bx = v4(b, &y4);
  if (ax || bx) return ax && bx && x4.s_addr == y4.s_addr;
  if (a.family() != AF_INET6 || b.family() != AF_INET6) return false;
  return std::memcmp(&reinterpret_cast<const sockaddr_in6*>(&a.storage)->sin6_addr,
                     &reinterpret_cast<const sockaddr_in6*>(&b.storage)->sin6_addr,
                     sizeof(in6_addr)) == 0;
}

}  // namespace

std::string SockAddr::host() const {
  char buf[INET6_ADDRSTRLEN] = {};
  if (family() == AF_INET6)
    inet_ntop(AF_INET6,
              &reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_addr, buf,
              sizeof buf);
  else
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&storage)->sin_addr,
              buf, sizeof buf);
  return buf;
}

bool ResolveHost(const std::string& host_in, uint16_t port, int family,
                 uint32_t scope_id, SockAddr* out, uint32_t* error) {
  std::string host = host_in;
  if (host.size() > 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  if (host.empty()) {
    *error = kErrBadName;
    return false;
  }
  addrinfo hints{};
  hints.ai_family = family;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  std::string service = std::to_string(port);
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &res) != 0 || !res) {
    *error = kErrNameNotResolved;
    return false;
  }
  std::memcpy(&out->storage, res->ai_addr, res->ai_addrlen);
  out->length = res->ai_addrlen;
  freeaddrinfo(res);
  if (out->family() == AF_INET6 && scope_id != 0) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&out->storage);
    if (in6->sin6_scope_id == 0) in6->sin6_scope_id = scope_id;
  }
  return true;
}

FtpSocket::~FtpSocket() { Release(); }

FtpSocket::FtpSocket(FtpSocket&& other) noexcept
    : fd_(other.fd_), ssl_(other.ssl_) {
  other.fd_ = -1;
  other.ssl_ = nullptr;
}

FtpSocket& FtpSocket::operator=(FtpSocket&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = other.fd_;
    ssl_ = other.ssl_;
    other.fd_ = -1;
    other.ssl_ = nullptr;
  }
  return *this;
}

void FtpSocket::Release() {
  if (ssl_) SSL_free(ssl_);
  ssl_ = nullptr;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool FtpSocket::WaitReady(bool want_write, uint32_t timeout_ms,
                          uint32_t* error) {
  pollfd p{fd_, static_cast<short>(want_write ? POLLOUT : POLLIN), 0};
  int wait = real_time_ ? (timeout_ms == platform::Clock::kInfinite
                               ? -1
                               : static_cast<int>(timeout_ms))
                        : RealPollMillis(timeout_ms);
  for (;;) {
    int rc = ::poll(&p, 1, wait);
    if (rc > 0) return true;
    if (rc == 0) {
      *error = kErrTimeout;
      return false;
    }
    if (errno != EINTR) {
      *error = ErrnoToError(errno);
      return false;
    }
  }
}

FtpSocket FtpSocket::Connect(const SockAddr& to, uint32_t timeout_ms,
                             uint32_t* error, const SockAddr* from) {
  FtpSocket s(::socket(to.family(), SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!s.valid() || !SetNonBlocking(s.fd_)) {
    *error = kErrCannotConnect;
    return {};
  }
  if (from) {
    SockAddr local = *from;
    local.set_port(0);
    if (::bind(s.fd_, reinterpret_cast<const sockaddr*>(&local.storage), local.length) != 0) {
      *error = kErrCannotConnect;
      return {};
    }
  }
  int one = 1;
  setsockopt(s.fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (::connect(s.fd_, reinterpret_cast<const sockaddr*>(&to.storage),
                to.length) != 0) {
    if (errno != EINPROGRESS) {
      *error = kErrCannotConnect;
      return {};
    }
    if (!s.WaitReady(true, timeout_ms, error)) return {};
    int so_error = 0;
    socklen_t len = sizeof so_error;
    getsockopt(s.fd_, SOL_SOCKET, SO_ERROR, &so_error, &len);
    if (so_error != 0) {
      *error = kErrCannotConnect;
      return {};
    }
  }
  return s;
}

FtpSocket FtpSocket::Listen(const SockAddr& local, uint32_t* error,
                            int backlog) {
  FtpSocket s(::socket(local.family(), SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (s.valid() && backlog > 1) {
    int one = 1;
    setsockopt(s.fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  }
  if (!s.valid() || !SetNonBlocking(s.fd_) ||
      ::bind(s.fd_, reinterpret_cast<const sockaddr*>(&local.storage),
             local.length) != 0 ||
      ::listen(s.fd_, backlog) != 0) {
    *error = kErrCannotConnect;
    return {};
  }
  return s;
}

FtpSocket FtpSocket::Accept(uint32_t timeout_ms, uint32_t* error,
                            const SockAddr* only_from) {
  // Strangers turned away before the wait counts as failed, so that a
  // flood of them cannot keep the transfer waiting for ever.
  constexpr int kMaxStrangers = 8;
  FtpSocket c;
  for (int strangers = 0;; ++strangers) {
    if (strangers > kMaxStrangers) {
      *error = kErrCannotConnect;
      return {};
    }
    if (!WaitReady(false, timeout_ms, error)) return {};
    SockAddr peer;
    peer.length = sizeof peer.storage;
    c = FtpSocket(::accept4(fd_, reinterpret_cast<sockaddr*>(&peer.storage),
                            &peer.length, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!c.valid()) {
      *error = kErrCannotConnect;
      return c;
    }
    // Whoever reaches the port first would otherwise feed (or receive)
    // the transfer: only the server we talk to may connect.
    if (!only_from || SameHost(peer, *only_from)) break;
    c.Abort();
  }
  // Replies are small writes answered late; Nagle's wait for the peer's
  // delayed acknowledgement would add tens of milliseconds to each.
  int one = 1;
  setsockopt(c.fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  c.real_time_ = real_time_;
  return c;
}

bool FtpSocket::StartTls(SSL_CTX* ctx, SSL_SESSION* reuse, uint32_t timeout_ms,
                         uint32_t* error) {
  return Handshake(ctx, reuse, /*server=*/false, timeout_ms, error);
}

bool FtpSocket::AcceptTls(SSL_CTX* ctx, uint32_t timeout_ms, uint32_t* error) {
  return Handshake(ctx, nullptr, /*server=*/true, timeout_ms, error);
}

bool FtpSocket::Handshake(SSL_CTX* ctx, SSL_SESSION* reuse, bool server,
                          uint32_t timeout_ms, uint32_t* error) {
  ssl_ = SSL_new(ctx);
  if (!ssl_ || SSL_set_fd(ssl_, fd_) != 1) {
    *error = kErrSecureChannel;
    return false;
  }
  if (reuse) SSL_set_session(ssl_, reuse);
  ScopedSigpipeBlock no_sigpipe;
  for (;;) {
    ERR_clear_error();
    int rc = server ? SSL_accept(ssl_) : SSL_connect(ssl_);
    if (rc == 1) return true;
    if (!WaitForTls(SSL_get_error(ssl_, rc), timeout_ms, kErrSecureChannel, error))
      return false;
  }
}

bool FtpSocket::WaitForTls(int ssl_error, uint32_t timeout_ms, uint32_t failure,
                           uint32_t* error) {
  if (ssl_error != SSL_ERROR_WANT_READ && ssl_error != SSL_ERROR_WANT_WRITE) {
    *error = failure;
    return false;
  }
  return WaitReady(ssl_error == SSL_ERROR_WANT_WRITE, timeout_ms, error);
}

void FtpSocket::Abort() {
  if (fd_ >= 0) {
    linger l{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  }
  Release();
}

long FtpSocket::Read(void* buf, size_t n, uint32_t timeout_ms,
                     uint32_t* error) {
  if (!valid()) {
    *error = kErrConnectionAborted;
    return -1;
  }
  std::optional<ScopedSigpipeBlock> no_sigpipe;
  if (ssl_) no_sigpipe.emplace();
  for (;;) {
    if (ssl_) {
      ERR_clear_error();
      int rc = SSL_read(ssl_, buf, static_cast<int>(n > 1 << 30 ? 1 << 30 : n));
      if (rc > 0) return rc;
      int e = SSL_get_error(ssl_, rc);
      if (e == SSL_ERROR_ZERO_RETURN) return 0;
      // An end of stream without close_notify means the data may be cut
      // short; it counts as a reset, never as a complete transfer.
      if (!WaitForTls(e, timeout_ms, kErrConnectionReset, error)) return -1;
      continue;
    }
    ssize_t rc = ::recv(fd_, buf, n, 0);
    if (rc >= 0) return rc;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!WaitReady(false, timeout_ms, error)) return -1;
      continue;
    }
    *error = ErrnoToError(errno);
    return -1;
  }
}

bool FtpSocket::WriteAll(const void* buf, size_t n, uint32_t timeout_ms,
                         uint32_t* error) {
  const char* p = static_cast<const char*>(buf);
  std::optional<ScopedSigpipeBlock> no_sigpipe;
  if (ssl_) no_sigpipe.emplace();
  while (n > 0) {
    if (!valid()) {
      *error = kErrConnectionAborted;
      return false;
    }
    if (ssl_) {
      ERR_clear_error();
      int rc = SSL_write(ssl_, p, static_cast<int>(n > 1 << 30 ? 1 << 30 : n));
      if (rc > 0) {
        p += rc;
        n -= rc;
        continue;
      }
      if (!WaitForTls(SSL_get_error(ssl_, rc), timeout_ms, kErrConnectionReset,
                      error))
        return false;
      continue;
    }
    ssize_t rc = ::send(fd_, p, n, MSG_NOSIGNAL);
    if (rc > 0) {
      p += rc;
      n -= rc;
      continue;
    }
    if (rc < 0 && errno == EINTR) continue;
    if (rc < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitReady(true, timeout_ms, error)) return false;
      continue;
    }
    *error = ErrnoToError(errno);
    return false;
  }
  return true;
}

void FtpSocket::Close(uint32_t timeout_ms, bool wait_for_peer) {
  if (fd_ < 0) return;
  uint32_t ignored = 0;
  if (ssl_) {
    // One round of close_notify; the peer's answer is not awaited.
    ScopedSigpipeBlock no_sigpipe;
    for (int i = 0; i < 4; ++i) {
      int rc = SSL_shutdown(ssl_);
      if (rc >= 0) break;
      int e = SSL_get_error(ssl_, rc);
      if (e != SSL_ERROR_WANT_WRITE && e != SSL_ERROR_WANT_READ) break;
      if (!WaitReady(e == SSL_ERROR_WANT_WRITE, timeout_ms, &ignored)) break;
    }
  }
  // Closing with unread bytes in the receive buffer (TLS session tickets,
  // the peer's close_notify) would send a reset that can destroy data the
  // peer has not read yet. So end our side and let the peer close first.
  ::shutdown(fd_, SHUT_WR);
  char sink[4096];
  for (int i = 0; i < 64; ++i) {
    if (!WaitReady(false, wait_for_peer ? timeout_ms : 0, &ignored)) break;
    ssize_t n = ::recv(fd_, sink, sizeof sink, 0);
    if (n <= 0 && !(n < 0 && (errno == EINTR || errno == EAGAIN))) break;
  }
  Release();
}

bool FtpSocket::LocalAddress(SockAddr* out) const {
  out->length = sizeof out->storage;
  return getsockname(fd_, reinterpret_cast<sockaddr*>(&out->storage),
                     &out->length) == 0;
}

bool FtpSocket::PeerAddress(SockAddr* out) const {
  out->length = sizeof out->storage;
  return getpeername(fd_, reinterpret_cast<sockaddr*>(&out->storage),
                     &out->length) == 0;
}

}  // namespace ftpc
