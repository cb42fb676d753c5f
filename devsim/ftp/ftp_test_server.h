// A simulated FTP server for tests of the FTP client and the transfer
// classes: a temporary store, one account, faults armed by the test.
//
//   devsim::TestFtpServer srv({.tls = true});
//   ftp.Connect(srv.host(), srv.port(), 0); ftp.Login("user", "secret");
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "devsim/ftp/ftp_server.h"
#include "platform/testing/temp_dir.h"

namespace devsim {

struct TestFtpServerOptions {
  bool tls = false;
  bool ipv6 = false;
  FtpDialect dialect = FtpDialect::kUnixLong;
  uint64_t quota_bytes = 0;
  std::string home = "/";  // where the login starts
  bool require_session_reuse = true;
  std::string address;  // empty: 127.0.0.1 (or ::1 with ipv6)
  uint16_t port = 0;    // 0: any free port
};

class TestFtpServer {
 public:
  static constexpr char kUser[] = "user";
  static constexpr char kPassword[] = "secret";

  explicit TestFtpServer(TestFtpServerOptions options = {});
  ~TestFtpServer();

  const std::string& host() const { return host_; }
  int port() const { return server_->port(); }
  const std::string& root() const { return root_.path(); }
  std::string Local(const std::string& vpath) const;
  FtpServer& server() { return *server_; }

  // The next `times` hits of `point` (-1: all) answer with `fault`.
  void Arm(const std::string& point, FtpFault fault, int times = 1);
  int Hits(const std::string& point) const;

 private:
  FtpFault Take(std::string_view point);

  platform::ScopedTempDir root_;
  std::string host_;
  mutable std::mutex mu_;
  std::map<std::string, std::pair<FtpFault, int>, std::less<>> armed_;
  std::map<std::string, int, std::less<>> hits_;
  std::unique_ptr<FtpServer> server_;
};

}  // namespace devsim
