#include "devsim/core/device.h"

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

Service* Device::service(std::string_view name) {
  std::lock_guard lock(mu_);
  for (auto& s : running_)
    if (s->name() == name) return s.get();
  return nullptr;
}

}  // namespace devsim
