// The simulated device's web server: HTTP, or HTTPS with a certificate
// made at start when the profile asks for TLS, on the profile's web port of
// the device's address. It serves the CGIs of the table (cgi_table.h) and
// two plain pages ("/Halvo", "/TarnBox/Tnb.html") that clients use to see
// whether the device answers.
//
// Every request is recorded, so tests can check the exact query texts.
// Faults are taken per CGI from the device's FaultPlan (docs/devsim-web.md).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "devsim/core/service.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace devsim::web {

struct RecordedRequest {
  std::string method;
  std::string target;  // as on the request line
  std::string path;
  std::string query;   // the part of the target after '?'
  std::string body;
};

class WebService final : public Service {
 public:
  WebService();
  ~WebService() override;

  std::string_view name() const override { return "web"; }
  bool Start(Device& device, std::string* error) override;
  void Stop() override;

  // The running web service of a device, or null.
  static WebService* Of(Device& device);

  uint16_t port() const { return port_; }
  bool tls() const { return tls_; }

  std::vector<RecordedRequest> Requests() const;
  // Requests whose path ends in "/<cgi name>" (or equals the path).
  std::vector<RecordedRequest> RequestsTo(std::string_view cgi_name) const;
  void ClearRequests();

  // Web sessions: ids are handed out by the connect CGI.
  uint32_t OpenSession();
  bool SessionOpen(uint32_t sid) const;
  // The restricted session (connect Result 4) always has id 1.
  void OpenRestrictedSession();
  // A session opened by signing in from the restricted session; it keeps
  // the restricted session's rules under its own id.
  uint32_t OpenSignedInSession();
  bool IsRestrictedSession(uint32_t sid) const;
  bool CloseSession(uint32_t sid);
  size_t OpenSessionCount() const;

  // Waits up to `ms` of real time; false when the service stops meanwhile.
  bool Pause(std::chrono::milliseconds ms);

  // The device drops off the network as far as new connections go: its
  // listening socket goes away, so connects are refused, while requests
  // already in progress go on as armed (a hung one stays hung). Lasts
  // until the service stops.
  void StopListening();

 private:
  void Handle(const httplib::Request& req, httplib::Response& res);
  void DropConnection(const httplib::Request& req);

  Device* device_ = nullptr;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::string cert_dir_;
  uint16_t port_ = 0;
  bool tls_ = false;
  std::atomic<int> listen_fd_{-1};
  std::atomic<bool> unplugged_{false};

  mutable std::mutex mu_;
  std::condition_variable stop_cv_;
  bool stopping_ = false;
  std::vector<RecordedRequest> requests_;
  std::set<uint32_t> sessions_;
  std::set<uint32_t> signed_in_;
  uint32_t next_sid_ = 0;
};

}  // namespace devsim::web
