// The simulated device's FTP server: plain FTP or FTP with explicit TLS,
// passive and active data connections, the listing dialect of the device's
// controller family, a store quota, and fault points for tests.
//
// It is usable on its own (tests of the FTP client start one directly) and
// is what the device's "ftp" service runs.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "devsim/ftp/ftp_listing.h"
#include "devsim/tls/self_signed.h"
#include "standins/ftplibpp/ftp_socket.h"

namespace devsim {

// What a fault point does when hit; the same kinds as the device's
// FaultPlan.
struct FtpFault {
  enum class Kind { kNone, kFailWith, kDelay, kDropConnection, kHang };
  Kind kind = Kind::kNone;
  // kFailWith: the reply code. kDropConnection at "ftp.data": the number of
  // bytes that pass before the data connection is cut.
  int code = 0;
  std::chrono::milliseconds delay{0};  // kDelay: before the command, or
                                       // between data chunks at "ftp.data"
  std::string body;                    // kFailWith: reply text

  static FtpFault FailWith(int code, std::string body = {}) {
    return {Kind::kFailWith, code, {}, std::move(body)};
  }
  static FtpFault Drop(int after_bytes = 0) {
    return {Kind::kDropConnection, after_bytes, {}, {}};
  }
  static FtpFault Hang() { return {Kind::kHang, 0, {}, {}}; }
  static FtpFault Delay(std::chrono::milliseconds d) {
    return {Kind::kDelay, 0, d, {}};
  }
};

struct FtpServerOptions {
  std::string address = "127.0.0.1";
  uint16_t port = 21;  // 0: any free port (see FtpServer::port())
  // Offers AUTH TLS and refuses logins before it.
  bool tls = false;
  // Data connections under TLS must resume the control connection's
  // session, as strict servers demand.
  bool require_session_reuse = true;
  FtpDialect dialect = FtpDialect::kUnixLong;
  std::filesystem::path root;  // "/" of the FTP tree
  uint64_t quota_bytes = 0;    // 0: no limit; else uploads beyond fail
  // The folder a login starts in (virtual path), or nullopt to refuse it.
  std::function<std::optional<std::string>(const std::string& user,
                                           const std::string& password)>
      login;
  // Fault points "ftp.<COMMAND>" and "ftp.data", each also as
  // "ftp.<COMMAND>:<path>" / "ftp.data:<path>" for one absolute path, which
  // is asked first.
  std::function<FtpFault(std::string_view point)> fault;
  std::string banner = "220 Corvane FTP server ready.";
};

class FtpServer {
 public:
  explicit FtpServer(FtpServerOptions options);
  ~FtpServer();  // Stop()
  FtpServer(const FtpServer&) = delete;
  FtpServer& operator=(const FtpServer&) = delete;

  bool Start(std::string* error);
  void Stop();  // idempotent; ends every session and joins its thread

  uint16_t port() const { return port_; }
  const FtpServerOptions& options() const { return options_; }
  // Virtual paths of the folders that hold "CREATE.STS": those still
  // marked as being written.
  std::vector<std::string> FoldersBeingWritten() const;
  // Bytes of all files under the root.
  uint64_t UsedBytes() const;
  int logins() const { return logins_.load(); }

 private:
  class Session;
  void AcceptLoop();
  // Blocks until the server stops or `d` passes (d 0: until it stops).
  void WaitStop(std::chrono::milliseconds d);
  void Forget(int fd);
  friend class Session;

  FtpServerOptions options_;
  SslCtxPtr tls_{nullptr, SSL_CTX_free};
  ftpc::FtpSocket listener_;
  uint16_t port_ = 0;
  std::thread acceptor_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> logins_{0};
  std::mutex mu_;
  std::condition_variable stop_cv_;
  std::set<int> open_fds_;             // control sockets, to wake at Stop
  std::list<std::thread> sessions_;
  std::mutex quota_mu_;                // one upload checks the quota at once
};

}  // namespace devsim
