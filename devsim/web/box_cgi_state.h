// What the simulated device's box CGIs remember between requests, per
// device: the exclusive box job mode, the FTP accounts they created, the
// cluster changes asked for. Tests read it to see what a client did.
//
// Values a test wants served, valid or not, come from the profile's extra
// settings:
//   security.mode security.auth_enable security.auth_method
//   security.hash_algorithm security.domain_name
//       the security settings (defaults 1, 1, 0, 1 and "")
//   service.status         the service status (default 1)
//   disk.capacity          KiB the store may hold (default 8388608)
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace devsim {
class Device;
}

namespace devsim::web {

struct ClusterChange {
  uint32_t box = 0;
  std::string fid, did;  // as sent ("F0000003", "")
  std::string noc, mod;
};

class BoxCgiState {
 public:
  bool exclusive() const;
  uint32_t exclusive_mode() const;
  uint32_t exclusive_session() const;
  std::vector<ClusterChange> cluster_changes() const;
  // The FTP login created for a web session, or "".
  std::string ftp_user(uint32_t sid) const;

  // For the CGIs.
  bool EnterExclusive(uint32_t sid, uint32_t mode);  // false when held
  // Only the session that holds the mode leaves it; for any other this
  // does nothing (the mode stays with its holder).
  void LeaveExclusive(uint32_t sid);
  void AddClusterChange(ClusterChange change);
  // A new login name and serial for the session's account.
  std::string NewFtpUser(uint32_t sid, uint32_t* serial);
  // Forgets and returns the session's login, "" when it has none.
  std::string TakeFtpUser(uint32_t sid);

 private:
  mutable std::mutex mu_;
  bool exclusive_ = false;
  uint32_t exclusive_mode_ = 0;
  uint32_t exclusive_session_ = 0;
  std::vector<ClusterChange> cluster_changes_;
  std::map<uint32_t, std::string> ftp_users_;
  uint32_t serial_ = 0;
};

// The state of a device's box CGIs, made on first use. It belongs to the
// device and its store: a later device with a fresh store starts afresh.
BoxCgiState& BoxCgiStateOf(Device& device);

}  // namespace devsim::web
