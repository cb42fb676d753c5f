// The simulated device's box CGIs: everything under /TarnBox/ that is not
// the web session itself (connect, disconnect), answered from the device's
// box store and profile.
//
// The web service hands each request to BoxCgis::Handle. What the CGIs
// remember between requests (the exclusive box job mode, the FTP accounts
// they created, the cluster changes asked for, every request answered) is
// kept in a BoxCgiState that tests read.
//
// Values a test wants to see served, valid or not, come from the profile's
// extra settings:
//   security_mode auth_enable auth_method hash_algorithm domain_name
//       the security settings (defaults 1, 1, 0, 1 and "")
//   service_status         the service status (default 1)
//   disk_capacity          KiB the store may hold (default 8388608)
//   restricted             "1": the web session is the restricted one
//                          (FTP account creation then returns a password)
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace devsim {

class Device;
class BoxCgiExchange;

struct CgiRequest {
  std::string method;  // "GET" or "POST"
  std::string path;    // "/TarnBox/Admin/boxnwGetBoxList"
  std::string query;   // the query text or body, percent-decoded
};

struct CgiAnswer {
  int status = 200;
  std::string body;    // XML
};

struct ClusterChange {
  uint32_t box = 0;
  std::string fid, did;  // as sent ("F0000003", "")
  std::string noc, mod;
};

// "A=1&B=" into its fields; the first '=' of a field splits name and value,
// and the first field of a name wins.
std::map<std::string, std::string, std::less<>> ParseQuery(
    std::string_view query);
// "%41" -> "A"; a '%' without two hex digits stays as it is.
std::string PercentDecode(std::string_view text);

class BoxCgiState {
 public:
  bool exclusive() const;
  uint32_t exclusive_mode() const;
  uint32_t exclusive_session() const;
  std::vector<ClusterChange> cluster_changes() const;
  // Every request given to Handle, in order.
  std::vector<CgiRequest> requests() const;
  // The queries of the requests to one path, in order.
  std::vector<std::string> queries(std::string_view path) const;
  void ClearRequests();
  // Web session ids handed out by authentication, newest last.
  std::vector<uint32_t> issued_sessions() const;

 private:
  friend class BoxCgis;
  friend class BoxCgiExchange;
  mutable std::mutex mu_;
  bool exclusive_ = false;
  uint32_t exclusive_mode_ = 0;
  uint32_t exclusive_session_ = 0;
  std::vector<ClusterChange> cluster_changes_;
  std::vector<CgiRequest> requests_;
  std::vector<uint32_t> issued_sessions_;
  std::map<uint32_t, std::string> ftp_users_;  // session id -> login name
  uint32_t next_session_ = 1000;
  uint32_t account_serial_ = 0;
};

class BoxCgis {
 public:
  explicit BoxCgis(Device& device) : device_(device) {}

  // The CGI paths answered here.
  static const std::vector<std::string>& Paths();
  // The answer, or nullopt when the path is not one of these CGIs.
  std::optional<CgiAnswer> Handle(const CgiRequest& request);

  BoxCgiState& state() { return state_; }

 private:
  Device& device_;
  BoxCgiState state_;
};

}  // namespace devsim
