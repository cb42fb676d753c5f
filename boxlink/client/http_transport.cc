#include "boxlink/client/http_transport.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

#include "boxlink/base/logger.h"
#include "boxlink/base/marker_file.h"
#include "boxlink/client/session_hooks.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "platform/last_error.h"
#include "platform/text.h"
#include "standins/inet/errors.h"
#include "standins/inet/http.h"
#include "standins/inet/net_state.h"

namespace boxlink {
namespace {

using platform::BlockHandle;
using platform::UniqueBlock;

constexpr char kHex[] = "0123456789ABCDEF";

inet::HttpConnection* Connection(ZBSESSION* session) {
  return static_cast<inet::HttpConnection*>(session ? session->ConnectHandle : nullptr);
}

uint32_t RequestFlags(const ZBSESSION& session) {
  if (session.WebSecure == 1)
    return inet::kFlagSecure | inet::kFlagIgnoreCertNameInvalid |
           inet::kFlagIgnoreCertDateInvalid;
  return inet::kFlagNoCacheWrite;
}

void SetRequestTimeouts(inet::HttpRequest& request, uint32_t ms) {
  request.SetTimeouts({ms, ms, ms});
}

// False when the computer is known to be offline; a state that cannot be
// asked counts as online.
bool Online() {
  bool online = true;
  if (!inet::NetworkState::Current().ConnectedState(&online)) {
    CLogger::LogError("fnGetInternetConnectedState - InternetGetConnectedState",
                      platform::GetLastError());
    return true;
  }
  return online;
}

// Replies are read into a block that grows as the body arrives, up to
// kReplyCapacity, and is shrunk to the body at the end. Most replies are a
// few hundred bytes: setting up the whole capacity for each of them cost
// about a millisecond per request, a second in a restore of 1,000
// documents.
constexpr size_t kReplyFirstCapacity = 64 * 1024;

UniqueBlock NewReplyBlock() {
  return UniqueBlock(platform::BlockAlloc(kReplyFirstCapacity));
}

struct Labels {
  const char* offline;
  const char* open_request;
  const char* query_info;
  const char* translate;
  const char* read_file;
  const char* realloc;  // null: not logged
};
constexpr Labels kGetLabels{"_zbBoxProcGet - fnGetInternetConnectedState",
                            "_zbBoxProcGet - HttpOpenRequest",
                            "_zbBoxProcGet - HttpQueryInfo ",
                            " _zbBoxProcGet - translateHttpStatusCode ",
                            "_zbBoxProcGet - InternetReadFile ", nullptr};
constexpr Labels kPostLabels{"_zbBoxProcPost - fnGetInternetConnectedState",
                             "_zbBoxProcPost - HttpOpenRequest",
                             "_zbBoxProcPost - HttpQueryInfo",
                             " _zbBoxProcPost - translateHttpStatusCode ",
                             "_zbBoxProcPost - InternetReadFile",
                             "_zbBoxProcPost - GlobalReAlloc"};

// Status and body of a sent request: the reply block, or null with the
// last error set.
BlockHandle ReceiveReply(inet::HttpRequest& request, UniqueBlock buffer,
                         const Labels& labels) {
  char status[32];
  size_t status_length = sizeof status - 1;
  if (!request.QueryStatusCode(status, &status_length)) {
    CLogger::LogError(labels.query_info, request.last_error());
    platform::SetLastError(inet::kErrInternal);
    return nullptr;
  }
  status[std::min(status_length, sizeof status - 1)] = '\0';
  uint32_t code = translateHttpStatusCode(static_cast<uint32_t>(std::strtoul(status, nullptr, 10)));
  if (code != 0) {
    CLogger::LogError(labels.translate, code);
    platform::SetLastError(code);
    return nullptr;
  }
  size_t capacity = kReplyFirstCapacity;
  size_t received = 0;
  for (;;) {
    if (received == capacity && capacity < kReplyCapacity) {
      capacity = std::min(2 * capacity, kReplyCapacity);
      BlockHandle grown = platform::BlockReAlloc(buffer.get(), capacity);
      if (!grown) {
        if (labels.realloc) CLogger::LogError(labels.realloc, ZB_ERR_NOT_ENOUGH_MEMORY);
        platform::SetLastError(ZB_ERR_NOT_ENOUGH_MEMORY);
        return nullptr;
      }
      buffer.release();  // realloc moved it
      buffer = platform::UniqueBlock(grown);
    }
    auto* data = static_cast<char*>(platform::BlockLock(buffer.get()));
    size_t got = 0;
    if (!request.Read(data + received, capacity - received, &got)) {
      // What arrived before a failed read is the reply, if anything did.
      if (received > 0 && got == 0) break;
      CLogger::LogError(labels.read_file, request.last_error());
      platform::SetLastError(inet::kErrInternal);
      return nullptr;
    }
    if (got == 0) break;
    received += got;
  }
  BlockHandle shrunk = platform::BlockReAlloc(buffer.get(), received);
  if (!shrunk) {
    if (labels.realloc) CLogger::LogError(labels.realloc, ZB_ERR_NOT_ENOUGH_MEMORY);
    platform::SetLastError(ZB_ERR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  buffer.release();
  return shrunk;
}

// The sender thread's outcome, watched by the calling thread.
struct SenderState {
  std::mutex mu;
  std::condition_variable cv;
  bool done = false;
  uint32_t exit_code = 0;
};

// The check asks the web server the session uses, so a TLS device is
// asked over TLS (a plain request to its TLS port would never be answered).
std::string ProbeUrl(const ZBSESSION& session) {
  return (session.WebSecure == 1 ? "https://" : "http://") + UrlHost(session) + ":" + std::to_string(session.Port) +
         "/TarnBox/Tnb.html?";
}

// Sends on a thread of its own and waits as the device allows: the exit
// code of the send (0 when a reply arrived), or 12004 when the device
// stopped answering, or a code that is neither 12002 nor 12029 when the
// wait ran out.
uint32_t SendWatched(const ZBSESSION& session, inet::HttpRequest& request,
                     uint32_t wait_ms, bool new_timeout) {
  auto state = std::make_shared<SenderState>();
  const bool secure = session.WebSecure == 1;
  std::thread sender([&request, state, secure] {
    if (secure) request.AddSecurityFlags(inet::kSecurityIgnoreUnknownCa);
    bool ok = HttpSendRequestWithRetry(request, nullptr, 0, nullptr, 0);
    std::lock_guard<std::mutex> g(state->mu);
    state->exit_code = ok ? 0 : request.last_error();
    state->done = true;
    state->cv.notify_all();
  });
  platform::Clock& clock = platform::Env::Current()->clock();
  auto wait = [&](uint32_t ms) {
    std::unique_lock<std::mutex> lock(state->mu);
    return clock.WaitFor(state->cv, lock, ms, [&] { return state->done; });
  };
  uint32_t code = 0;
  bool finished = false;
  if (!new_timeout) {
    const std::string probe = ProbeUrl(session);
    for (;;) {
      if (wait(kWatchSliceMs)) {
        finished = true;
        break;
      }
      if (!inet::NetworkState::Current().CheckConnection(probe, true)) {
        code = inet::kErrInternal;
        break;
      }
    }
  } else {
    finished = wait(wait_ms);
    if (!finished) code = inet::kErrCancelled;
  }
  if (!finished) request.Abandon();
  sender.join();
  if (finished) code = state->exit_code;
  return code;
}

}  // namespace

std::string UrlHost(const char* host) {
  return inet::UrlHost(std::string_view(host, strnlen(host, sizeof(ZBSESSION::Host))));
}

std::string UrlHost(const ZBSESSION& session) {
  std::string h = UrlHost(session.Host);
  if (session.ScopeId != 0 && IsLinkLocalHost(session.Host) &&
      h.find('%') == std::string::npos)
    h.insert(h.size() - 1, "%25" + std::to_string(session.ScopeId));
  return h;
}

std::string ScopedHost(const ZBSESSION& session) {
  std::string h(session.Host, strnlen(session.Host, sizeof session.Host));
  if (session.ScopeId != 0 && IsLinkLocalHost(session.Host) &&
      h.find('%') == std::string::npos)
    h += "%" + std::to_string(session.ScopeId);
  return h;
}

uint32_t translateHttpStatusCode(uint32_t status) {
  if (status >= 200 && status <= 299) return 0;
  switch (status) {
    case 400: return ZB_ERR_INVALID_PARAMETER;
    case 404: return ZB_ERR_FILE_NOT_FOUND;
    case 405: return ZB_ERR_NOT_SUPPORTED;
    case 503: return ZB_ERR_TOO_MANY_SEMAPHORES;
    default: break;
  }
  if (status >= 300 && status <= 499) return ZB_ERR_INVALID_ACCESS;
  if (status >= 600) return ZB_ERR_HTTP_INTERNAL;
  return ZB_ERR_BAD_NET_RESP;
}

std::string PercentEncodeHigh(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c > 0x7F) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

void PercentEncodeHigh(char* text, size_t capacity) {
  if (!text || capacity == 0) return;
  std::string encoded = PercentEncodeHigh(std::string_view(text, strnlen(text, capacity - 1)));
  size_t n = 0;
  // Keep only whole characters: never half of a %XX.
  for (size_t i = 0; i < encoded.size();) {
    size_t step = encoded[i] == '%' && i + 2 < encoded.size() &&
                          std::strchr(kHex, encoded[i + 1]) && std::strchr(kHex, encoded[i + 2])
                      ? 3
                      : 1;
    if (n + step > capacity - 1) break;
    n += step;
    i += step;
  }
  std::memcpy(text, encoded.data(), n);
  text[n] = '\0';
}

uint32_t GetWaitTimeForPath(std::string_view p) {
  if (p.find("/TarnBox/Admin/boxnwGetBoxList") != std::string_view::npos ||
      p.find("/TarnBox/Admin/boxnwGetFolderDocList") != std::string_view::npos ||
      p.find("/TarnBox/Admin/boxnwGetBoxProperty") != std::string_view::npos)
    return kListWaitMs;
  if (p.find("/TarnBox/boxnwConnect") != std::string_view::npos) return kConnectWaitMs;
  return kDefaultWaitMs;
}

uint32_t GetWaitTimeForPath(std::u16string_view p) {
  return GetWaitTimeForPath(platform::Utf16ToUtf8(p));
}

bool HttpSendRequestWithRetry(inet::HttpRequest& request, const char* headers,
                              size_t header_length, const void* body, size_t body_length) {
  std::string_view head = headers ? std::string_view(headers, header_length) : std::string_view();
  std::span<const uint8_t> bytes(static_cast<const uint8_t*>(body), body ? body_length : 0);
  uint32_t error = 0;
  for (int attempt = 1; attempt <= kSendAttempts; ++attempt) {
    if (request.Send(head, bytes)) return true;
    error = request.last_error();
    if (attempt == kSendAttempts) break;
    if (error == inet::kErrConnectionReset) {
      if (request.WaitAbandoned(kResetPauseMs)) {
        error = inet::kErrCancelled;
        break;
      }
      continue;
    }
    if (error == inet::kErrInvalidCa) {
      request.AddSecurityFlags(inet::kSecurityIgnoreUnknownCa);
      continue;
    }
    break;
  }
  platform::SetLastError(error);
  return false;
}

void SetProxySettings(ZBSESSION* session, std::string_view url) {
  auto* internet = static_cast<inet::Session*>(session ? session->InternetHandle : nullptr);
  if (!internet) return;
  if (!HasMarkerFile(kMarkerNewTimeout)) internet->SetTimeouts({5000, 5000, 5000});
  inet::ProxyOptions options;
  options.server = std::string(url.substr(0, 511));
  options.flags = inet::kProxyDirect | inet::kProxyNamed;
  options.bypass = "<local>";
  if (internet->SetProxy(std::move(options))) internet->RefreshSettings();
}

namespace {

// A request over the session's connection; null, with the thread's last
// error set, when the machine is offline, the session has no connection or
// the request cannot be made.
std::unique_ptr<inet::HttpRequest> OpenRequest(ZBSESSION* session, const char* verb,
                                               std::string_view target,
                                               const Labels& labels) {
  if (!Online()) {
    CLogger::LogError(labels.offline, ZB_ERR_HTTP_INTERNAL);
    platform::SetLastError(ZB_ERR_HTTP_INTERNAL);
    return nullptr;
  }
  inet::HttpConnection* connection = Connection(session);
  if (!connection) {
    platform::SetLastError(ZB_ERR_INVALID_HANDLE);
    return nullptr;
  }
  auto request = inet::HttpRequest::Open(*connection, verb, target, "HTTP/1.0",
                                         RequestFlags(*session));
  if (!request) {
    CLogger::LogError(labels.open_request, ZB_ERR_HTTP_INTERNAL);
    platform::SetLastError(ZB_ERR_HTTP_INTERNAL);
  }
  return request;
}

BlockHandle Get(ZBSESSION* session, const std::string& target, uint32_t wait_ms) {
  auto request = OpenRequest(session, "GET", target, kGetLabels);
  if (!request) return nullptr;
  UniqueBlock buffer = NewReplyBlock();
  if (!buffer) {
    platform::SetLastError(ZB_ERR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const bool new_timeout = HasMarkerFile(kMarkerNewTimeout);
  if (!new_timeout) SetRequestTimeouts(*request, wait_ms);
  uint32_t code = SendWatched(*session, *request, wait_ms, new_timeout);
  if (code != 0) {
    CLogger::LogError("_zbBoxProcGet - HttpSendRequest-1", code);
    platform::SetLastError(code == inet::kErrTimeout || code == inet::kErrCannotConnect
                               ? code
                               : inet::kErrInternal);
    return nullptr;
  }
  return ReceiveReply(*request, std::move(buffer), kGetLabels);
}

BlockHandle Post(ZBSESSION* session, std::string_view path, std::span<const uint8_t> body) {
  std::string target = PercentEncodeHigh(path);
  if (target.size() > kTargetCapacity - 1) {
    CLogger::LogError("_zbBoxProcPost - request target too long", ZB_ERR_FILENAME_EXCED_RANGE);
    platform::SetLastError(ZB_ERR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  auto request = OpenRequest(session, "POST", target, kPostLabels);
  if (!request) return nullptr;
  SetRequestTimeouts(*request, kPostWaitMs);
  UniqueBlock buffer = NewReplyBlock();
  if (!buffer) {
    CLogger::LogError("_zbBoxProcPost - GlobalAlloc", ZB_ERR_NOT_ENOUGH_MEMORY);
    platform::SetLastError(ZB_ERR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (session->WebSecure == 1) request->AddSecurityFlags(inet::kSecurityIgnoreUnknownCa);
  if (!HttpSendRequestWithRetry(*request, nullptr, 0, body.data(), body.size())) {
    uint32_t code = request->last_error();
    CLogger::LogError("_zbBoxProcPost - HttpSendRequestWithRetry", code);
    platform::SetLastError(code == inet::kErrTimeout ? code : inet::kErrInternal);
    return nullptr;
  }
  return ReceiveReply(*request, std::move(buffer), kPostLabels);
}

}  // namespace

BlockHandle _zbBoxProcGet(ZBSESSION* session, std::string_view path_and_query,
                          bool no_encoding) {
  // The target is a C text: it ends at its first NUL, as it always did.
  path_and_query = path_and_query.substr(0, path_and_query.find('\0'));
  std::string target =
      no_encoding ? std::string(path_and_query) : PercentEncodeHigh(path_and_query);
  // A target the request buffer cannot hold is refused rather than cut: a
  // shortened query could name another document or lose its password.
  if (target.size() > kTargetCapacity - 1) {
    CLogger::LogError("_zbBoxProcGet - request target too long", ZB_ERR_FILENAME_EXCED_RANGE);
    platform::SetLastError(ZB_ERR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  // The cluster-change CGI goes out with its full target like every other
  // one: an empty target would ask the device for its root page instead.
  return Get(session, target, GetWaitTimeForPath(path_and_query));
}

BlockHandle _zbBoxProcGet(ZBSESSION* session, std::u16string_view path_and_query) {
  std::string target = platform::Utf16ToUtf8(path_and_query);
  return Get(session, target, GetWaitTimeForPath(path_and_query));
}

BlockHandle _zbBoxProcPost(ZBSESSION* session, std::string_view path, std::string* body) {
  std::string empty;
  std::string& text = body ? *body : empty;
  text = PercentEncodeHigh(text);
  return Post(session, path,
              {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

BlockHandle _zbBoxProcPost(ZBSESSION* session, std::string_view path,
                           std::u16string_view body) {
  // The whole body is sent: cutting it would change the query silently.
  std::string utf8 = platform::Utf16ToUtf8(body);
  return Post(session, path, {reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size()});
}

}  // namespace boxlink
