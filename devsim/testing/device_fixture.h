// A simulated device for one test, in one line:
//
//   devsim::ScopedDevice dev(devsim::Layout::kShared);
//   Connect(dev->address(), dev->profile().web_port);
//
// The device gets a fresh loopback address and a temporary store, filled by
// Populate, and is started with every registered service (or the ones
// named). It is stopped and its store removed when the object goes away. A
// device that fails to start is reported as a test failure; ok() tells.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "devsim/core/box_store.h"
#include "devsim/core/device.h"
#include "devsim/core/profile.h"
#include "platform/testing/temp_dir.h"

namespace devsim {

class ScopedDevice {
 public:
  // services: empty = every registered service. Pass boxes = 0 in populate
  // for an empty store.
  explicit ScopedDevice(Layout layout, std::vector<std::string> services = {},
                        PopulateOptions populate = {});
  explicit ScopedDevice(Profile profile, std::vector<std::string> services = {},
                        PopulateOptions populate = {});
  ~ScopedDevice();
  ScopedDevice(const ScopedDevice&) = delete;
  ScopedDevice& operator=(const ScopedDevice&) = delete;

  Device* operator->() { return device_.get(); }
  Device& operator*() { return *device_; }
  Device& device() { return *device_; }

  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }
  const std::filesystem::path& store_root() const { return store_root_; }

  // Stops and starts again (the store stays), as a device reboot would.
  bool Restart();

 private:
  platform::ScopedTempDir temp_;
  std::filesystem::path store_root_;
  std::unique_ptr<Device> device_;
  bool ok_ = false;
  std::string error_;
};

}  // namespace devsim
