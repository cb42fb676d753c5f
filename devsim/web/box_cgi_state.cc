#include "devsim/web/box_cgi_state.h"

#include <filesystem>
#include <memory>
#include <utility>

#include "devsim/core/device.h"

namespace devsim::web {

bool BoxCgiState::exclusive() const {
  std::lock_guard<std::mutex> g(mu_);
  return exclusive_;
}
uint32_t BoxCgiState::exclusive_mode() const {
  std::lock_guard<std::mutex> g(mu_);
  return exclusive_mode_;
}
uint32_t BoxCgiState::exclusive_session() const {
  std::lock_guard<std::mutex> g(mu_);
  return exclusive_session_;
}
std::vector<ClusterChange> BoxCgiState::cluster_changes() const {
  std::lock_guard<std::mutex> g(mu_);
  return cluster_changes_;
}
std::string BoxCgiState::ftp_user(uint32_t sid) const {
  std::lock_guard<std::mutex> g(mu_);
  auto it = ftp_users_.find(sid);
  return it == ftp_users_.end() ? std::string() : it->second;
}

bool BoxCgiState::EnterExclusive(uint32_t sid, uint32_t mode) {
  std::lock_guard<std::mutex> g(mu_);
  if (exclusive_) return false;
  exclusive_ = true;
  exclusive_mode_ = mode;
  exclusive_session_ = sid;
  return true;
}

void BoxCgiState::LeaveExclusive(uint32_t sid) {
  std::lock_guard<std::mutex> g(mu_);
  if (!exclusive_ || exclusive_session_ != sid) return;
  exclusive_ = false;
  exclusive_mode_ = 0;
  exclusive_session_ = 0;
}

void BoxCgiState::AddClusterChange(ClusterChange change) {
  std::lock_guard<std::mutex> g(mu_);
  cluster_changes_.push_back(std::move(change));
}

std::string BoxCgiState::NewFtpUser(uint32_t sid, uint32_t* serial) {
  std::lock_guard<std::mutex> g(mu_);
  *serial = ++serial_;
  std::string user = "zbftp" + std::to_string(sid);
  ftp_users_[sid] = user;
  return user;
}

std::string BoxCgiState::TakeFtpUser(uint32_t sid) {
  std::lock_guard<std::mutex> g(mu_);
  auto it = ftp_users_.find(sid);
  if (it == ftp_users_.end()) return {};
  std::string user = std::move(it->second);
  ftp_users_.erase(it);
  return user;
}

BoxCgiState& BoxCgiStateOf(Device& device) {
  // Keyed by the device and its store folder: a device object at a reused
  // address is a new device only if its store is new too, and every device
  // of a test run gets a fresh temporary store.
  using Key = std::pair<const Device*, std::string>;
  static std::mutex mu;
  static std::map<Key, std::unique_ptr<BoxCgiState>> states;
  std::lock_guard<std::mutex> g(mu);
  auto& slot = states[Key(&device, device.store().root().string())];
  if (!slot) slot = std::make_unique<BoxCgiState>();
  return *slot;
}

}  // namespace devsim::web
