#include "devsim/ftp/ftp_test_server.h"

#include <cstdlib>

namespace devsim {

TestFtpServer::TestFtpServer(TestFtpServerOptions o)
    : root_("zelt-ftp"),
      host_(!o.address.empty() ? o.address : o.ipv6 ? "::1" : "127.0.0.1") {
  FtpServerOptions s;
  s.address = host_;
  s.port = o.port;
  s.tls = o.tls;
  s.dialect = o.dialect;
  s.quota_bytes = o.quota_bytes;
  s.root = root_.path();
  s.require_session_reuse = o.require_session_reuse;
  std::string home = o.home;
  s.login = [home](const std::string& u,
                   const std::string& p) -> std::optional<std::string> {
    if (u == kUser && p == kPassword) return home;
    return std::nullopt;
  };
  s.fault = [this](std::string_view point) { return Take(point); };
  server_ = std::make_unique<FtpServer>(std::move(s));
  std::string error;
  if (!server_->Start(&error)) {
    std::fprintf(stderr, "test FTP server: %s\n", error.c_str());
    std::abort();
  }
}

TestFtpServer::~TestFtpServer() { server_->Stop(); }

std::string TestFtpServer::Local(const std::string& vpath) const {
  return root_.path() + vpath;
}

void TestFtpServer::Arm(const std::string& point, FtpFault fault, int times) {
  std::lock_guard<std::mutex> lock(mu_);
  armed_[point] = {std::move(fault), times};
}

int TestFtpServer::Hits(const std::string& point) const {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = hits_.find(point);
  return it == hits_.end() ? 0 : it->second;
}

FtpFault TestFtpServer::Take(std::string_view point) {
  std::lock_guard<std::mutex> lock(mu_);
  ++hits_[std::string(point)];
  auto it = armed_.find(point);
  if (it == armed_.end() || it->second.second == 0) return {};
  if (it->second.second > 0) --it->second.second;
  return it->second.first;
}

}  // namespace devsim
