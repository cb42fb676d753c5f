// One simulated device: a profile, a box store and the services that serve
// them on one loopback address.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devsim/core/box_store.h"
#include "devsim/core/faults.h"
#include "devsim/core/profile.h"
#include "devsim/core/service.h"

namespace devsim {

class Device {
 public:
  Device(Profile profile, std::filesystem::path store_root, std::string address);
  ~Device();                           // Stop()
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  // Starts every registered service (or only those named in services()).
  // On failure the services already started are stopped again and *error
  // names the service that failed. Starting a started device is an error.
  bool Start(std::string* error);
  void Stop();                         // idempotent; reverse start order
  bool running() const;

  const Profile& profile() const;  Profile& mutable_profile();
  BoxStore& store();
  const std::string& address() const;  // "127.x.y.z"
  FaultPlan& faults();
  // The running service of that name, or null.
  Service* service(std::string_view name);
  std::vector<std::string>& services();  // empty = all registered

  // FTP accounts change while the device runs (the web service makes and
  // drops them, the FTP service checks logins), so services reach them
  // through these, under a lock, not through profile().ftp_accounts.
  // Adding replaces an account of the same user.
  void AddFtpAccount(FtpAccount account);
  bool RemoveFtpAccount(std::string_view user);
  std::optional<FtpAccount> FindFtpAccount(std::string_view user) const;

 private:
  Profile profile_;
  BoxStore store_;
  std::string address_;
  FaultPlan faults_;
  std::vector<std::string> wanted_;
  std::vector<std::unique_ptr<Service>> running_;  // guarded by mu_
  // Start and Stop hold start_mu_ for their whole run but mu_ only briefly,
  // so a service thread may call service() or running() while Stop joins it.
  std::mutex start_mu_;
  mutable std::mutex mu_;
  mutable std::mutex accounts_mu_;  // guards profile_.ftp_accounts
};

}  // namespace devsim
