// HTTP connections and requests over an internet Session.
//
//   inet::Session session("agent");
//   inet::HttpConnection conn(session, "127.1.2.3", 8080);
//   auto req = inet::HttpRequest::Open(conn, "GET", "/x?a=1", "HTTP/1.0",
//                                      inet::kFlagNoCacheWrite);
//   if (req->Send("", {})) { req->QueryStatusCode(...); req->Read(...); }
//
// Send() returns once the status line and headers of the reply are in; the
// body is then pulled in pieces with Read(), and the layer never holds more
// than a small window of it, so a caller that stops reading at its own limit
// never makes the layer buffer the rest.
//
// Failures return false and leave the code (errors.h) as the thread's last
// error and in last_error(). A request can be abandoned from any thread:
// a Send or Read in progress returns at once with kErrCancelled, and no
// later Send goes out. Closing (destroying) a request drops its connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "standins/inet/session.h"

namespace inet {

// Request flags.
inline constexpr uint32_t kFlagNoCacheWrite = 0x04000000;
inline constexpr uint32_t kFlagSecure = 0x00800000;
inline constexpr uint32_t kFlagIgnoreCertNameInvalid = 0x00001000;
inline constexpr uint32_t kFlagIgnoreCertDateInvalid = 0x00002000;

// Security flags of a request (added before sending).
inline constexpr uint32_t kSecurityIgnoreUnknownCa = 0x00000100;
inline constexpr uint32_t kSecurityIgnoreCertDateInvalid = 0x00002000;
inline constexpr uint32_t kSecurityIgnoreCertNameInvalid = 0x00001000;

// `host` as the host part of a URL: an IPv6 literal (it holds a colon)
// in brackets, anything else as it is.
std::string UrlHost(std::string_view host);

class HttpConnection {
 public:
  // `host`: a name, an IPv4 address or an IPv6 literal without brackets;
  // `scope_id` selects the interface of a link-local IPv6 host.
  HttpConnection(Session& session, std::string host, uint16_t port,
                 uint32_t scope_id = 0);
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  Session& session() const { return session_; }
  const std::string& host() const { return host_; }
  uint16_t port() const { return port_; }
  uint32_t scope_id() const { return scope_id_; }

 private:
  Session& session_;
  const std::string host_;
  const uint16_t port_;
  const uint32_t scope_id_;
};

class HttpRequest {
 public:
  // `target` is sent as it is, except that bytes that cannot stand in a
  // request line (controls, space) go out as %XX; an empty target means
  // "/". The request starts with the session's time-outs.
  static std::unique_ptr<HttpRequest> Open(HttpConnection& connection,
                                           std::string_view method,
                                           std::string_view target,
                                           std::string_view version,
                                           uint32_t flags);
  ~HttpRequest();
  HttpRequest(const HttpRequest&) = delete;
  HttpRequest& operator=(const HttpRequest&) = delete;

  Timeouts timeouts() const;
  void SetTimeouts(const Timeouts& t);
  uint32_t flags() const;
  uint32_t security_flags() const;
  void AddSecurityFlags(uint32_t flags);

  // Sends the request ("\r\n"-separated extra header lines, then the body)
  // and waits for the reply's headers. May be called again after a failure
  // (a retry): the old connection is dropped and a new one made.
  bool Send(std::string_view headers, std::span<const uint8_t> body);
  // The HTTP status of the reply as decimal text. On success *length is
  // the text's length; false (12019) before a reply, false with
  // *length = the needed size (122) when the buffer is too small.
  bool QueryStatusCode(char* out, size_t* length);
  // Up to `want` body bytes into out; *got = 0 with true means the body
  // has ended (or want was 0).
  bool Read(void* out, size_t want, size_t* got);

  // Thread-safe.
  void Abandon();
  bool abandoned() const;
  // Waits up to ms (Clock milliseconds); true when the request was
  // abandoned meanwhile. For callers that pause between attempts.
  bool WaitAbandoned(uint32_t ms);
  uint32_t last_error() const;
  // The target as it goes out on the request line.
  const std::string& wire_target() const;

  struct Impl;

 private:
  explicit HttpRequest(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace inet
