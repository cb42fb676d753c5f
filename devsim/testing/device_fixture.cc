#include "devsim/testing/device_fixture.h"

#include <gtest/gtest.h>

#include "devsim/core/loopback.h"

namespace devsim {

ScopedDevice::ScopedDevice(Layout layout, std::vector<std::string> services,
                           PopulateOptions populate)
    : ScopedDevice(Profile::Defaults(layout), std::move(services), populate) {}

ScopedDevice::ScopedDevice(Profile profile, std::vector<std::string> services,
                           PopulateOptions populate)
    : temp_("devsim"), store_root_(std::filesystem::path(temp_.path()) / "store") {
  std::string address = AllocateLoopbackAddress();
  device_ = std::make_unique<Device>(std::move(profile), store_root_, address);
  device_->services() = std::move(services);
  if (address.empty()) {
    error_ = "no free loopback address";
  } else if (Populate(device_->store(), populate, &error_)) {
    ok_ = device_->Start(&error_);
  }
  if (!ok_) ADD_FAILURE() << "simulated device did not start: " << error_;
}

ScopedDevice::~ScopedDevice() {
  // Services go before the store they serve is removed.
  device_->Stop();
}

bool ScopedDevice::Restart() {
  device_->Stop();
  error_.clear();
  ok_ = device_->Start(&error_);
  return ok_;
}

}  // namespace devsim
