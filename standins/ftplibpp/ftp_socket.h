// One TCP stream of an FTP session (control or data), optionally inside
// TLS. Every wait is bounded: a time-out is given in milliseconds of the
// platform clock and enforced with poll(), so a test clock shortens it.
#pragma once

#include <openssl/ssl.h>
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace ftpc {

// An address to connect to or listen on.
struct SockAddr {
  sockaddr_storage storage{};
  socklen_t length = 0;
  int family() const { return storage.ss_family; }
  uint16_t port() const;
  void set_port(uint16_t port);
  std::string host() const;  // numeric, without brackets or scope
};

// Numeric host (IPv4 or IPv6, optionally "%scope") or a name; resolves
// within the family (AF_INET, AF_INET6). False with *error set.
bool ResolveHost(const std::string& host, uint16_t port, int family,
                 uint32_t scope_id, SockAddr* out, uint32_t* error);

class FtpSocket {
 public:
  FtpSocket() = default;
  explicit FtpSocket(int fd) : fd_(fd) {}
  ~FtpSocket();
  FtpSocket(FtpSocket&& other) noexcept;
  FtpSocket& operator=(FtpSocket&& other) noexcept;
  FtpSocket(const FtpSocket&) = delete;
  FtpSocket& operator=(const FtpSocket&) = delete;

  // With `from`, the connection leaves from that address (its port is
  // ignored): a server connecting back in active mode does so from the
  // address its client talks to, as clients demand.
  static FtpSocket Connect(const SockAddr& to, uint32_t timeout_ms,
                           uint32_t* error, const SockAddr* from = nullptr);
  // A listening socket on `local` (port 0 picks one). A server (backlog
  // above 1) may reuse an address that a previous run left in TIME_WAIT.
  static FtpSocket Listen(const SockAddr& local, uint32_t* error,
                          int backlog = 1);
  // Waits for one incoming connection on a listening socket. With
  // `only_from`, connections from any other host address are closed at
  // once and the wait goes on (within the same time-out).
  FtpSocket Accept(uint32_t timeout_ms, uint32_t* error,
                   const SockAddr* only_from = nullptr);

  // TLS server handshake (the simulated device's side).
  bool AcceptTls(SSL_CTX* ctx, uint32_t timeout_ms, uint32_t* error);
  // Whether a TLS connection resumed an earlier session.
  bool TlsResumed() const { return ssl_ && SSL_session_reused(ssl_) == 1; }
  // Time-outs in real milliseconds instead of the platform clock's: for
  // servers, whose peers do not share the client's notion of time.
  void set_real_time(bool on) { real_time_ = on; }
  // Closes at once with a reset instead of an orderly end.
  void Abort();

  // TLS client handshake; `reuse` resumes the control connection's session,
  // which servers demand of data connections.
  bool StartTls(SSL_CTX* ctx, SSL_SESSION* reuse, uint32_t timeout_ms,
                uint32_t* error);
  // Bytes read (> 0), 0 at the orderly end of the stream, -1 on failure.
  long Read(void* buf, size_t n, uint32_t timeout_ms, uint32_t* error);
  bool WriteAll(const void* buf, size_t n, uint32_t timeout_ms,
                uint32_t* error);
  // Sends TLS close_notify (when in TLS), ends our direction and closes.
  // With wait_for_peer it first waits (up to timeout_ms) for the peer to
  // close, so that a sender's last bytes are never cut off by a reset; a
  // receiver whose peer waits for a reply before closing must not wait.
  void Close(uint32_t timeout_ms = 1000, bool wait_for_peer = true);

  bool valid() const { return fd_ >= 0; }
  SSL* ssl() const { return ssl_; }
  int fd() const { return fd_; }
  bool LocalAddress(SockAddr* out) const;
  bool PeerAddress(SockAddr* out) const;

 private:
  // Waits until the socket is readable (want_write false) or writable.
  bool WaitReady(bool want_write, uint32_t timeout_ms, uint32_t* error);
  // The TLS handshake of either side; `reuse` resumes a client session.
  bool Handshake(SSL_CTX* ctx, SSL_SESSION* reuse, bool server,
                 uint32_t timeout_ms, uint32_t* error);
  // After a TLS call that did not finish: waits until the socket can do
  // what TLS asked for (true: call again); any other TLS error fails with
  // `failure`.
  bool WaitForTls(int ssl_error, uint32_t timeout_ms, uint32_t failure,
                  uint32_t* error);
  void Release();

  int fd_ = -1;
  SSL* ssl_ = nullptr;
  bool real_time_ = false;
};

}  // namespace ftpc
