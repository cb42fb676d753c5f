#include "devsim/core/device.h"

#include <algorithm>

namespace devsim {

Device::Device(Profile profile, std::filesystem::path store_root, std::string address)
    : profile_(std::move(profile)),
      store_(std::move(store_root), profile_.layout),
      address_(std::move(address)) {}

Device::~Device() { Stop(); }

bool Device::Start(std::string* error) {
  std::lock_guard start_lock(start_mu_);
  {
    std::lock_guard lock(mu_);
    if (!running_.empty()) {
      if (error) *error = "device already started";
      return false;
    }
  }
  std::vector<std::unique_ptr<Service>> started;
  auto fail = [&](std::string why) {
    {
      std::lock_guard lock(mu_);
      started.swap(running_);
    }
    for (auto it = started.rbegin(); it != started.rend(); ++it) (*it)->Stop();
    if (error) *error = std::move(why);
    return false;
  };
  std::string why;
  if (!store_.Init(&why)) return fail("store: " + why);
  std::vector<std::string> names = wanted_.empty() ? RegisteredServices() : wanted_;
  for (const std::string& name : names) {
    std::unique_ptr<Service> service = CreateService(name);
    if (!service) return fail("unknown service \"" + name + "\"");
    why.clear();
    if (!service->Start(*this, &why)) {
      service->Stop();
      return fail(name + ": " + (why.empty() ? "failed to start" : why));
    }
    std::lock_guard lock(mu_);
    running_.push_back(std::move(service));
  }
  return true;
}

void Device::Stop() {
  std::lock_guard start_lock(start_mu_);
  std::vector<std::unique_ptr<Service>> stopping;
  {
    std::lock_guard lock(mu_);
    stopping.swap(running_);
  }
  for (auto it = stopping.rbegin(); it != stopping.rend(); ++it) (*it)->Stop();
}

bool Device::running() const {
  std::lock_guard lock(mu_);
  return !running_.empty();
}

const Profile& Device::profile() const { return profile_; }
Profile& Device::mutable_profile() { return profile_; }
BoxStore& Device::store() { return store_; }
const std::string& Device::address() const { return address_; }
FaultPlan& Device::faults() { return faults_; }
std::vector<std::string>& Device::services() { return wanted_; }

void Device::AddFtpAccount(FtpAccount account) {
  std::lock_guard lock(accounts_mu_);
  auto& accounts = profile_.ftp_accounts;
  for (FtpAccount& a : accounts)
    if (a.user == account.user) {
      a = std::move(account);
      return;
    }
  accounts.push_back(std::move(account));
}

bool Device::RemoveFtpAccount(std::string_view user) {
  std::lock_guard lock(accounts_mu_);
  auto& accounts = profile_.ftp_accounts;
  auto it = std::find_if(accounts.begin(), accounts.end(),
                         [&](const FtpAccount& a) { return a.user == user; });
  if (it == accounts.end()) return false;
  accounts.erase(it);
  return true;
}

std::optional<FtpAccount> Device::FindFtpAccount(std::string_view user) const {
  std::lock_guard lock(accounts_mu_);
  for (const FtpAccount& a : profile_.ftp_accounts)
    if (a.user == user) return a;
  return std::nullopt;
}

Service* Device::service(std::string_view name) {
  std::lock_guard lock(mu_);
  for (auto& s : running_)
    if (s->name() == name) return s.get();
  return nullptr;
}

}  // namespace devsim
