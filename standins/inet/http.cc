#include "standins/inet/http.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "platform/clock.h"
#include "platform/env.h"
#include "platform/last_error.h"
#include "standins/inet/curl_support.h"
#include "standins/inet/errors.h"

namespace inet {
namespace {

using SteadyClock = std::chrono::steady_clock;

// The part of a reply body the layer holds before the reader takes it.
constexpr size_t kWindowBytes = 256 * 1024;
constexpr uint32_t kErrInsufficientBuffer = 122;

std::string WireTarget(std::string_view target) {
  if (target.empty()) return "/";
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(target.size());
  for (unsigned char c : target) {
    if (c <= 0x20 || c == 0x7F) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::chrono::milliseconds RealLimit(uint32_t ms) {
  if (ms == kNoTimeout) return std::chrono::milliseconds::max();
  return platform::Env::Current()->clock().RealTimeout(ms);
}

int SslIndex() {
  static int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

}  // namespace

std::string UrlHost(std::string_view host) {
  if (host.find(':') == std::string_view::npos) return std::string(host);
  std::string bracketed = "[";
  bracketed += host;
  bracketed += ']';
  return bracketed;
}

struct HttpRequest::Impl {
  HttpConnection& connection;
  std::string method;
  std::string version;
  std::string wire_target;
  uint32_t flags = 0;
  std::atomic<uint32_t> security_flags{0};
  mutable std::mutex timeouts_mu;
  Timeouts timeouts;

  CURL* easy = nullptr;
  CURLM* multi = nullptr;
  bool attached = false;
  curl_slist* header_list = nullptr;

  std::mutex abandon_mu;
  std::condition_variable abandon_cv;
  std::atomic<bool> abandoned{false};
  std::atomic<uint32_t> error{0};

  // Reply state of the current attempt; only the thread that sends or
  // reads touches it.
  bool headers_done = false;
  bool done = false;
  CURLcode result = CURLE_OK;
  std::string window;
  size_t window_pos = 0;
  bool paused = false;
  SteadyClock::time_point last_activity;
  curl_off_t last_up = 0, last_down = 0;
  uint32_t cert_error = 0;

  explicit Impl(HttpConnection& c) : connection(c) {}

  ~Impl() {
    if (attached) curl_multi_remove_handle(multi, easy);
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
    curl_slist_free_all(header_list);
  }

  bool Fail(uint32_t code) {
    error = code;
    platform::SetLastError(code);
    return false;
  }

  void Touch() { last_activity = SteadyClock::now(); }

  // Drives the transfer until `enough` holds, the transfer ends, nothing
  // moves for `idle_ms`, or the request is abandoned.
  bool Pump(const std::function<bool()>& enough, uint32_t idle_ms) {
    const auto limit = RealLimit(idle_ms);
    Touch();
    for (;;) {
      if (abandoned) return Fail(kErrCancelled);
      int running = 0;
      curl_multi_perform(multi, &running);
      int queued = 0;
      while (CURLMsg* m = curl_multi_info_read(multi, &queued)) {
        if (m->msg == CURLMSG_DONE) {
          done = true;
          result = m->data.result;
        }
      }
      if (abandoned) return Fail(kErrCancelled);
      if (enough()) return true;
      if (done) {
        if (result != CURLE_OK) return Fail(MapCurlResult(result, cert_error));
        headers_done = true;
        return true;
      }
      auto idle = SteadyClock::now() - last_activity;
      if (limit != std::chrono::milliseconds::max() && idle >= limit)
        return Fail(kErrTimeout);
      auto left = limit == std::chrono::milliseconds::max()
                      ? std::chrono::milliseconds(200)
                      : std::chrono::duration_cast<std::chrono::milliseconds>(limit - idle);
      int wait = static_cast<int>(std::clamp<int64_t>(left.count(), 1, 200));
      curl_multi_poll(multi, nullptr, 0, wait, nullptr);
    }
  }

  static size_t OnHeader(char* data, size_t size, size_t n, void* user) {
    auto* self = static_cast<Impl*>(user);
    size_t len = size * n;
    self->Touch();
    std::string_view line(data, len);
    if (line == "\r\n" || line == "\n") {
      long code = 0;
      curl_easy_getinfo(self->easy, CURLINFO_RESPONSE_CODE, &code);
      if (code >= 200 || code == 0) self->headers_done = true;
    }
    return len;
  }

  static size_t OnBody(char* data, size_t size, size_t n, void* user) {
    auto* self = static_cast<Impl*>(user);
    size_t len = size * n;
    self->Touch();
    self->headers_done = true;
    if (self->window.size() - self->window_pos >= kWindowBytes) {
      self->paused = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    if (self->window_pos == self->window.size()) {
      self->window.clear();
      self->window_pos = 0;
    }
    self->window.append(data, len);
    return len;
  }

  static int OnProgress(void* user, curl_off_t, curl_off_t down, curl_off_t,
                        curl_off_t up) {
    auto* self = static_cast<Impl*>(user);
    if (self->abandoned) return 1;
    if (down != self->last_down || up != self->last_up) {
      self->last_down = down;
      self->last_up = up;
      self->Touch();
    }
    return 0;
  }

  bool IgnoreName() const {
    return (flags & kFlagIgnoreCertNameInvalid) ||
           (security_flags & kSecurityIgnoreCertNameInvalid);
  }
  bool IgnoreDate() const {
    return (flags & kFlagIgnoreCertDateInvalid) ||
           (security_flags & kSecurityIgnoreCertDateInvalid);
  }
  bool IgnoreCa() const { return security_flags & kSecurityIgnoreUnknownCa; }

  static int OnVerify(int ok, X509_STORE_CTX* store) {
    if (ok) return 1;
    auto* ssl = static_cast<SSL*>(
        X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* self = ssl ? static_cast<Impl*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), SslIndex()))
                     : nullptr;
    if (!self) return 0;
    switch (X509_STORE_CTX_get_error(store)) {
      case X509_V_ERR_CERT_NOT_YET_VALID:
      case X509_V_ERR_CERT_HAS_EXPIRED:
        if (self->IgnoreDate()) return 1;
        self->cert_error = kErrCertDateInvalid;
        return 0;
      case X509_V_ERR_HOSTNAME_MISMATCH:
      case X509_V_ERR_IP_ADDRESS_MISMATCH:
        if (self->IgnoreName()) return 1;
        self->cert_error = kErrCertNameInvalid;
        return 0;
      case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
      case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
      case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
      case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
      case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
      case X509_V_ERR_CERT_UNTRUSTED:
        if (self->IgnoreCa()) return 1;
        self->cert_error = kErrInvalidCa;
        return 0;
      default:
        self->cert_error = kErrSecureChannel;
        return 0;
    }
  }

  static CURLcode OnSslContext(CURL*, void* ctx, void* user) {
    auto* self = static_cast<Impl*>(user);
    auto* c = static_cast<SSL_CTX*>(ctx);
    SSL_CTX_set_ex_data(c, SslIndex(), self);
    SSL_CTX_set_default_verify_paths(c);
    if (!self->IgnoreName()) {
      X509_VERIFY_PARAM* param = SSL_CTX_get0_param(c);
      const std::string& host = self->connection.host();
      unsigned char addr[16];
      if (inet_pton(AF_INET, host.c_str(), addr) == 1 ||
          inet_pton(AF_INET6, host.c_str(), addr) == 1)
        X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
      else
        X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0);
    }
    SSL_CTX_set_verify(c, SSL_VERIFY_PEER, OnVerify);
    return CURLE_OK;
  }

  void ResetReply() {
    if (attached) {
      curl_multi_remove_handle(multi, easy);
      attached = false;
    }
    headers_done = done = paused = false;
    result = CURLE_OK;
    window.clear();
    window_pos = 0;
    last_up = last_down = 0;
    cert_error = 0;
  }

  void Configure(std::string_view extra_headers, std::span<const uint8_t> body) {
    const bool secure = flags & kFlagSecure;
    const std::string& host = connection.host();
    std::string url = secure ? "https://" : "http://";
    url += UrlHost(host);
    url += ":" + std::to_string(connection.port()) + "/";
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_REQUEST_TARGET, wire_target.c_str());
    if (connection.scope_id())
      curl_easy_setopt(easy, CURLOPT_ADDRESS_SCOPE, static_cast<long>(connection.scope_id()));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, connection.session().user_agent().c_str());
    std::string proxy = connection.session().ProxyFor(host);
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                     version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);

    curl_slist_free_all(header_list);
    header_list = nullptr;
    // Only what the caller asked for: no accept types, no content type.
    for (const char* h : {"Accept:", "Content-Type:", "Expect:"})
      header_list = curl_slist_append(header_list, h);
    size_t start = 0;
    while (start < extra_headers.size()) {
      size_t end = extra_headers.find("\r\n", start);
      if (end == std::string_view::npos) end = extra_headers.size();
      if (end > start)
        header_list = curl_slist_append(
            header_list, std::string(extra_headers.substr(start, end - start)).c_str());
      start = end + 2;
    }
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, header_list);

    if (method == "GET" && body.empty()) {
      curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
      curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, nullptr);
    } else {
      curl_easy_setopt(easy, CURLOPT_POST, 1L);
      curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
      curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS,
                       body.empty() ? "" : reinterpret_cast<const char*>(body.data()));
      curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method == "POST" ? nullptr : method.c_str());
    }

    Timeouts t;
    {
      std::lock_guard<std::mutex> g(timeouts_mu);
      t = timeouts;
    }
    long connect_ms = t.connect_ms == kNoTimeout
                          ? 0L
                          : static_cast<long>(std::min<int64_t>(RealLimit(t.connect_ms).count(), 1L << 30));
    // 0 would mean curl's own default; the layer's "none" is a long wait.
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connect_ms ? connect_ms : (1L << 30));

    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Impl::OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);

    if (secure) {
      // Certificates are checked by OnVerify, which knows which problems
      // this request was told to ignore.
      curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L);
      curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
      curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &Impl::OnSslContext);
      curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, this);
    }
  }
};

HttpConnection::HttpConnection(Session& session, std::string host, uint16_t port,
                               uint32_t scope_id)
    : session_(session), host_(std::move(host)), port_(port), scope_id_(scope_id) {}

std::unique_ptr<HttpRequest> HttpRequest::Open(HttpConnection& connection,
                                               std::string_view method,
                                               std::string_view target,
                                               std::string_view version, uint32_t flags) {
  EnsureCurl();
  auto impl = std::make_unique<Impl>(connection);
  impl->method = std::string(method.empty() ? "GET" : method);
  impl->version = std::string(version.empty() ? "HTTP/1.1" : version);
  impl->wire_target = WireTarget(target);
  impl->flags = flags;
  impl->timeouts = connection.session().timeouts();
  impl->easy = curl_easy_init();
  impl->multi = curl_multi_init();
  if (!impl->easy || !impl->multi) return nullptr;
  return std::unique_ptr<HttpRequest>(new HttpRequest(std::move(impl)));
}

HttpRequest::HttpRequest(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
HttpRequest::~HttpRequest() = default;

Timeouts HttpRequest::timeouts() const {
  std::lock_guard<std::mutex> g(impl_->timeouts_mu);
  return impl_->timeouts;
}

void HttpRequest::SetTimeouts(const Timeouts& t) {
  std::lock_guard<std::mutex> g(impl_->timeouts_mu);
  impl_->timeouts = t;
}

uint32_t HttpRequest::flags() const { return impl_->flags; }
uint32_t HttpRequest::security_flags() const { return impl_->security_flags; }
void HttpRequest::AddSecurityFlags(uint32_t flags) { impl_->security_flags |= flags; }

bool HttpRequest::Send(std::string_view headers, std::span<const uint8_t> body) {
  Impl& d = *impl_;
  if (d.abandoned) return d.Fail(kErrCancelled);
  d.ResetReply();
  d.Configure(headers, body);
  if (curl_multi_add_handle(d.multi, d.easy) != CURLM_OK) return d.Fail(kErrInternal);
  d.attached = true;
  uint32_t receive_ms = timeouts().receive_ms;
  if (!d.Pump([&d] { return d.headers_done; }, receive_ms)) return false;
  d.error = 0;
  platform::SetLastError(0);
  return true;
}

bool HttpRequest::QueryStatusCode(char* out, size_t* length) {
  Impl& d = *impl_;
  if (!d.headers_done) return d.Fail(kErrIncorrectHandleState);
  long code = 0;
  curl_easy_getinfo(d.easy, CURLINFO_RESPONSE_CODE, &code);
  std::string text = std::to_string(code);
  if (!out || *length < text.size() + 1) {
    *length = text.size() + 1;
    return d.Fail(kErrInsufficientBuffer);
  }
  std::copy(text.begin(), text.end(), out);
  out[text.size()] = '\0';
  *length = text.size();
  return true;
}

bool HttpRequest::Read(void* out, size_t want, size_t* got) {
  Impl& d = *impl_;
  *got = 0;
  if (d.abandoned) return d.Fail(kErrCancelled);
  if (!d.headers_done) return d.Fail(kErrIncorrectHandleState);
  if (want == 0) return true;
  if (d.window_pos == d.window.size()) {
    if (d.done) {
      if (d.result != CURLE_OK) return d.Fail(MapCurlResult(d.result, d.cert_error));
      return true;
    }
    if (d.paused) {
      d.paused = false;
      curl_easy_pause(d.easy, CURLPAUSE_CONT);
    }
    uint32_t idle_ms = timeouts().data_receive_ms;
    if (!d.Pump([&d] { return d.window_pos < d.window.size(); }, idle_ms)) return false;
    if (d.window_pos == d.window.size()) return true;  // ended cleanly
  }
  size_t n = std::min(want, d.window.size() - d.window_pos);
  std::copy_n(d.window.data() + d.window_pos, n, static_cast<char*>(out));
  d.window_pos += n;
  *got = n;
  return true;
}

void HttpRequest::Abandon() {
  {
    std::lock_guard<std::mutex> g(impl_->abandon_mu);
    impl_->abandoned = true;
  }
  impl_->abandon_cv.notify_all();
  curl_multi_wakeup(impl_->multi);
}

bool HttpRequest::abandoned() const { return impl_->abandoned; }

bool HttpRequest::WaitAbandoned(uint32_t ms) {
  std::unique_lock<std::mutex> lock(impl_->abandon_mu);
  return platform::Env::Current()->clock().WaitFor(
      impl_->abandon_cv, lock, ms, [this] { return impl_->abandoned.load(); });
}

uint32_t HttpRequest::last_error() const { return impl_->error; }
const std::string& HttpRequest::wire_target() const { return impl_->wire_target; }

}  // namespace inet
