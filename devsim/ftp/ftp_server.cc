#include "devsim/ftp/ftp_server.h"

#include <sys/socket.h>

#include "devsim/ftp/ftp_session.h"

namespace devsim {
namespace fs = std::filesystem;
using ftpc::FtpSocket;
using ftpc::SockAddr;
using ftp_session::kCreateSts;

FtpServer::FtpServer(FtpServerOptions options) : options_(std::move(options)) {}

FtpServer::~FtpServer() { Stop(); }

bool FtpServer::Start(std::string* error) {
  if (options_.tls) {
    tls_ = MakeSelfSignedServerContext(options_.address, error);
    if (!tls_) return false;
  }
  SockAddr local;
  uint32_t code = 0;
  if (!ftpc::ResolveHost(options_.address, options_.port,
                         options_.address.find(':') != std::string::npos
                             ? AF_INET6
                             : AF_INET,
                         0, &local, &code)) {
    *error = "bad FTP address " + options_.address;
    return false;
  }
  listener_ = FtpSocket::Listen(local, &code, 64);
  SockAddr bound;
  if (!listener_.valid() || !listener_.LocalAddress(&bound)) {
    *error = "cannot listen on " + options_.address + ":" +
             std::to_string(options_.port);
    return false;
  }
  listener_.set_real_time(true);
  port_ = bound.port();
  stopping_ = false;
  acceptor_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void FtpServer::AcceptLoop() {
  while (!stopping_) {
    uint32_t error = 0;
    FtpSocket c = listener_.Accept(1000, &error);
    if (!c.valid()) continue;
    std::lock_guard<std::mutex> lock(mu_);
    if (stopping_) break;
    int fd = c.fd();
    open_fds_.insert(fd);
    sessions_.emplace_back([this, fd, sock = std::move(c)]() mutable {
      {
        Session s(this, std::move(sock));
        s.Run();
      }
      Forget(fd);
    });
  }
}

void FtpServer::Forget(int fd) {
  std::lock_guard<std::mutex> lock(mu_);
  open_fds_.erase(fd);
}

void FtpServer::WaitStop(std::chrono::milliseconds d) {
  std::unique_lock<std::mutex> lock(mu_);
  if (d.count() <= 0)
    stop_cv_.wait(lock, [this] { return stopping_.load(); });
  else
    stop_cv_.wait_for(lock, d, [this] { return stopping_.load(); });
}

void FtpServer::Stop() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (stopping_ && !acceptor_.joinable()) return;
    stopping_ = true;
    // Wakes sessions blocked on their control connection. The fd stays
    // owned by its session, which closes it on the way out.
    for (int fd : open_fds_) ::shutdown(fd, SHUT_RDWR);
    if (listener_.valid()) ::shutdown(listener_.fd(), SHUT_RDWR);
  }
  stop_cv_.notify_all();
  if (acceptor_.joinable()) acceptor_.join();
  std::list<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mu_);
    threads.swap(sessions_);
  }
  for (auto& t : threads) t.join();
  listener_ = FtpSocket();
}

std::vector<std::string> FtpServer::FoldersBeingWritten() const {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(options_.root, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    if (it->path().filename() == kCreateSts) {
      auto rel = fs::relative(it->path().parent_path(), options_.root, ec);
      std::string v = "/" + rel.generic_string();
      if (v == "/.") v = "/";
      out.push_back(v);
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

uint64_t FtpServer::UsedBytes() const {
  uint64_t total = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(options_.root, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    if (it->is_regular_file(ec)) total += it->file_size(ec);
  }
  return total;
}

}  // namespace devsim
