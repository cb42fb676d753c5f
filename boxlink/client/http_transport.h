// The two transports that carry every CGI request, and their helpers.
//
// Both return the whole reply body in one memory block (the caller frees
// it) or null with the error as the thread's last error:
//   12004  computer offline, a send that failed for another reason, an
//          unreadable status or body, a GET that did not finish
//   12002, 12029  from the HTTP client (GET; POST passes on only 12002)
//   8      no memory for the reply block
//   206    a target longer than the request buffer, after encoding
//          (refused whole, never cut)
//   translateHttpStatusCode() of a status outside 200-299.
// Every failure is written to the diagnostic log with its step's label.
//
// A GET runs on a sender thread of its own while the calling thread
// watches the device with a connection check every 30 s; a device that
// stops answering makes the caller abandon the request through the
// internet layer, which ends the sender thread at once (nothing is killed,
// nothing leaks, nothing is sent afterwards).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "boxlink.h"
#include "platform/mem_block.h"

namespace inet {
class HttpRequest;
}

namespace boxlink {

// A reply is read into one block of this size and shrunk afterwards; a
// longer body is cut at this length.
inline constexpr size_t kReplyCapacity = 3'670'000;
inline constexpr size_t kTargetCapacity = 2048;
inline constexpr uint32_t kWatchSliceMs = 30'000;
inline constexpr uint32_t kListWaitMs = 7'500'000;
inline constexpr uint32_t kConnectWaitMs = 60'000;
inline constexpr uint32_t kDefaultWaitMs = 250'000;
inline constexpr uint32_t kPostWaitMs = 7'500'000;
inline constexpr uint32_t kResetPauseMs = 10'000;
inline constexpr int kSendAttempts = 7;

platform::BlockHandle _zbBoxProcGet(ZBSESSION* session, std::string_view path_and_query,
                                    bool no_encoding);
// No percent-encoding: the text goes out as UTF-8.
platform::BlockHandle _zbBoxProcGet(ZBSESSION* session, std::u16string_view path_and_query);
// `body` is percent-encoded in place; the caller sees the text that was sent.
platform::BlockHandle _zbBoxProcPost(ZBSESSION* session, std::string_view path,
                                     std::string* body);
// The body goes out as UTF-8, without percent-encoding.
platform::BlockHandle _zbBoxProcPost(ZBSESSION* session, std::string_view path,
                                     std::u16string_view body);

// Up to seven attempts: a reset pauses 10 s (cut short when the request is
// abandoned) and tries again, an unknown certificate authority is accepted
// and tried again at once, anything else ends the loop. The error of the
// last attempt stays as the last error.
bool HttpSendRequestWithRetry(inet::HttpRequest& request, const char* headers,
                              size_t header_length, const void* body, size_t body_length);

uint32_t translateHttpStatusCode(uint32_t status);

// Every byte above 0x7F becomes "%" and two upper-case hex digits; all
// other bytes stay. Works in place on a NUL-terminated text in a buffer of
// `capacity` bytes; what does not fit is dropped at a whole character.
void PercentEncodeHigh(char* text, size_t capacity = kTargetCapacity);
std::string PercentEncodeHigh(std::string_view text);

// The wait time of a GET request, by plain substring tests on the target.
uint32_t GetWaitTimeForPath(std::string_view path_and_query);
uint32_t GetWaitTimeForPath(std::u16string_view path_and_query);

// Time-outs and proxy options of the HTTP client session (InternetHandle).
void SetProxySettings(ZBSESSION* session, std::string_view url);

// "host" or "[host]" for IPv6 literals, as URLs need it.
std::string UrlHost(const char* host);
// The session's host as a URL names it: a link-local host also carries
// the session's scope id ("[fe80::1%253]"), without which no connection
// to it can be made.
std::string UrlHost(const ZBSESSION& session);
// The session's host for socket-level calls: "fe80::1%3" for a link-local
// host with a scope id, the host text otherwise.
std::string ScopedHost(const ZBSESSION& session);

}  // namespace boxlink
