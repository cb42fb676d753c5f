#include "devsim/web/web_service.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <httplib.h>

#include "devsim/core/device.h"
#include "devsim/web/cgi_table.h"
#include "devsim/tls/self_signed.h"

namespace devsim::web {
namespace {

constexpr char kFrontPage[] = "<html><head><title>Halvo</title></head><body></body></html>\n";

// The plain pages: name (for faults) by path.
const char* PageName(std::string_view path) {
  if (path == "/Halvo") return "Halvo";
  if (path == "/TarnBox/Tnb.html") return "Tnb.html";
  return nullptr;
}

std::string PeerText(const sockaddr_storage& a, int* port) {
  char text[INET6_ADDRSTRLEN] = "";
  if (a.ss_family == AF_INET) {
    auto* in = reinterpret_cast<const sockaddr_in*>(&a);
    inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    *port = ntohs(in->sin_port);
  } else if (a.ss_family == AF_INET6) {
    auto* in6 = reinterpret_cast<const sockaddr_in6*>(&a);
    inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
    *port = ntohs(in6->sin6_port);
  }
  return text;
}

}  // namespace

DEVSIM_REGISTER_SERVICE(web, WebService);

WebService::WebService() = default;
WebService::~WebService() { Stop(); }

WebService* WebService::Of(Device& device) {
  return dynamic_cast<WebService*>(device.service("web"));
}

bool WebService::Start(Device& device, std::string* error) {
  device_ = &device;
  const Profile& profile = device.profile();
  tls_ = profile.web_tls;
  {
    std::lock_guard<std::mutex> g(mu_);
    stopping_ = false;
    // Session ids differ from device to device, and are never 0 or 1.
    uint32_t seed = 0;
    for (char c : device.address()) seed = seed * 31 + static_cast<unsigned char>(c);
    next_sid_ = 10'000'000 + seed % 80'000'000;
  }
  if (tls_) {
    char dir[] = "/tmp/devsim-web-XXXXXX";
    if (!mkdtemp(dir)) {
      *error = "web: cannot make a folder for the certificate";
      return false;
    }
    cert_dir_ = dir;
    PemPair pem;
    std::string cert = cert_dir_ + "/cert.pem", key = cert_dir_ + "/key.pem";
    if (!MakeSelfSignedCertificate(device.address(), 365, &pem) ||
        !WritePemFiles(pem, cert, key)) {
      *error = "web: cannot make a certificate";
      return false;
    }
    server_ = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
  } else {
    server_ = std::make_unique<httplib::Server>();
  }
  if (!server_->is_valid()) {
    *error = "web: server cannot be created";
    return false;
  }
  // One worker, when asked: a device that serves one request at a time
  // (a second client waits until the first is answered).
  auto workers = profile.extra.find("web.workers");
  if (workers != profile.extra.end()) {
    int n = std::atoi(workers->second.c_str());
    if (n > 0) server_->new_task_queue = [n] { return new httplib::ThreadPool(n); };
  }
  unplugged_ = false;
  listen_fd_ = -1;
  server_->set_socket_options([this](int fd) {
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    int none = -1;
    listen_fd_.compare_exchange_strong(none, fd);
  });
  auto handler = [this](const httplib::Request& req, httplib::Response& res) {
    Handle(req, res);
  };
  server_->Get(".*", handler);
  server_->Post(".*", handler);
  if (!server_->bind_to_port(device.address(), profile.web_port)) {
    *error = "web: cannot listen on " + device.address() + ":" + std::to_string(profile.web_port);
    server_.reset();
    return false;
  }
  port_ = profile.web_port;
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // The server library ignores a stop that comes before its loop runs;
  // so the service counts as started only once the loop is running.
  for (int i = 0; i < 5000 && !server_->is_running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

void WebService::Stop() {
  {
    std::lock_guard<std::mutex> g(mu_);
    stopping_ = true;
  }
  stop_cv_.notify_all();
  if (server_ && unplugged_) {
    // The server library closed its socket when accepting failed; its
    // loop ends once the requests in progress have ended, and a stop
    // meanwhile would close that socket's number a second time.
    for (int i = 0; i < 5000 && server_->is_running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (server_ && server_->is_running()) server_->stop();
  if (thread_.joinable()) thread_.join();
  server_.reset();
  if (!cert_dir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(cert_dir_, ec);
    cert_dir_.clear();
  }
}

std::vector<RecordedRequest> WebService::Requests() const {
  std::lock_guard<std::mutex> g(mu_);
  return requests_;
}

std::vector<RecordedRequest> WebService::RequestsTo(std::string_view cgi_name) const {
  std::vector<RecordedRequest> out;
  std::string suffix = "/" + std::string(cgi_name);
  for (RecordedRequest& r : Requests())
    if (r.path == cgi_name ||
        (r.path.size() >= suffix.size() &&
         r.path.compare(r.path.size() - suffix.size(), suffix.size(), suffix) == 0))
      out.push_back(std::move(r));
  return out;
}

void WebService::ClearRequests() {
  std::lock_guard<std::mutex> g(mu_);
  requests_.clear();
}

uint32_t WebService::OpenSession() {
  std::lock_guard<std::mutex> g(mu_);
  uint32_t sid = next_sid_++;
  sessions_.insert(sid);
  return sid;
}

void WebService::OpenRestrictedSession() {
  std::lock_guard<std::mutex> g(mu_);
  sessions_.insert(1);
}

uint32_t WebService::OpenSignedInSession() {
  uint32_t sid = OpenSession();
  std::lock_guard<std::mutex> g(mu_);
  signed_in_.insert(sid);
  return sid;
}

bool WebService::IsRestrictedSession(uint32_t sid) const {
  std::lock_guard<std::mutex> g(mu_);
  return sid == 1 || signed_in_.count(sid) > 0;
}

bool WebService::SessionOpen(uint32_t sid) const {
  std::lock_guard<std::mutex> g(mu_);
  return sessions_.count(sid) > 0;
}

bool WebService::CloseSession(uint32_t sid) {
  std::lock_guard<std::mutex> g(mu_);
  signed_in_.erase(sid);
  return sessions_.erase(sid) > 0;
}

size_t WebService::OpenSessionCount() const {
  std::lock_guard<std::mutex> g(mu_);
  return sessions_.size();
}

bool WebService::Pause(std::chrono::milliseconds ms) {
  std::unique_lock<std::mutex> lock(mu_);
  return !stop_cv_.wait_for(lock, ms, [this] { return stopping_; });
}

void WebService::DropConnection(const httplib::Request& req) {
  // The server library does not hand out its sockets; find the one of this
  // request among the process's descriptors by its two ends.
  DIR* fds = opendir("/proc/self/fd");
  if (!fds) return;
  while (dirent* e = readdir(fds)) {
    int fd = atoi(e->d_name);
    if (fd <= 2 || fd == dirfd(fds)) continue;
    sockaddr_storage local{}, peer{};
    socklen_t ll = sizeof local, pl = sizeof peer;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &ll) != 0 ||
        getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &pl) != 0)
      continue;
    int local_port = 0, peer_port = 0;
    PeerText(local, &local_port);
    std::string peer_ip = PeerText(peer, &peer_port);
    if (local_port != port_ || peer_port != req.remote_port || peer_ip != req.remote_addr)
      continue;
    linger l{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    shutdown(fd, SHUT_RDWR);
  }
  closedir(fds);
}

void WebService::StopListening() {
  int fd = listen_fd_.load();
  if (fd < 0 || unplugged_.exchange(true)) return;
  // Ends the listening state: waiting connects are reset, new ones
  // refused, and the server's accept loop ends on its own.
  ::shutdown(fd, SHUT_RDWR);
}

void WebService::Handle(const httplib::Request& req, httplib::Response& res) {
  RecordedRequest record;
  record.method = req.method;
  record.target = req.target;
  size_t q = req.target.find('?');
  record.path = req.path;
  record.query = q == std::string::npos ? "" : req.target.substr(q + 1);
  record.body = req.body;
  {
    std::lock_guard<std::mutex> g(mu_);
    requests_.push_back(record);
  }
  const CgiEntry* entry = FindCgi(req.path);
  const char* page = PageName(req.path);
  if (!entry && !page) {
    res.status = 404;
    res.set_content("<html><body>Not Found</body></html>\n", "text/html");
    return;
  }
  std::string name = entry ? entry->name : page;
  Fault fault = device_->faults().Take("web." + name);
  switch (fault.kind) {
    case Fault::Kind::kFailWith:
      res.status = fault.code ? fault.code : 500;
      res.set_content(fault.body, "text/xml");
      return;
    case Fault::Kind::kDelay:
      if (!Pause(fault.delay)) return;
      break;
    case Fault::Kind::kDropConnection:
      DropConnection(req);
      return;
    case Fault::Kind::kHang:
      Pause(std::chrono::hours(24));
      DropConnection(req);
      return;
    case Fault::Kind::kNone:
      break;
  }
  if (page) {
    res.set_content(kFrontPage, "text/html");
    return;
  }
  CgiContext ctx{*device_, *this, name, req.method,
                 req.method == "POST" ? req.body : record.query, {}};
  ctx.params = ParseParams(ctx.raw);
  Fault result = device_->faults().Take("web." + name + ".result");
  CgiAnswer answer = result.kind == Fault::Kind::kFailWith ? ctx.Reply(result.code)
                                                           : entry->handler(ctx);
  if (result.kind == Fault::Kind::kDropConnection) {
    // The device did what was asked; only the answer is lost on the way.
    DropConnection(req);
    return;
  }
  res.status = answer.status;
  res.set_content(answer.body, answer.content_type.c_str());
}

}  // namespace devsim::web
