// A network of the test's own with the devices discovery tests expect:
// two supported models (one SNMPv1 only, one SNMPv1 and SNMPv3), one of
// another maker, one whose sysObjectID matches no product, one that
// answers only the first broadcast of each kind, and one that answers
// nothing. Their sysName is "DEV<i>", their location "Room <i>".
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "devsim/core/device.h"
#include "finder/testing/test_network.h"
#include "platform/testing/temp_dir.h"

namespace finder::testing {

enum LabDevice { kV1Only, kV1V3, kOtherMaker, kUnmatched, kDummyOnly, kSilent,
                 kLabDevices };

class DiscoveryLab {
 public:
  // Null and *why when the network or a device cannot be made.
  static std::unique_ptr<DiscoveryLab> Create(std::string* why);
  ~DiscoveryLab();

  TestNetwork& network() { return *net_; }
  // The device that answers only the first broadcasts counts them from
  // its start: restart it before each discovery.
  bool RestartDummyOnly(std::string* why);

 private:
  DiscoveryLab() = default;
  std::unique_ptr<TestNetwork> net_;
  std::vector<std::unique_ptr<platform::ScopedTempDir>> dirs_;
  std::vector<std::unique_ptr<devsim::Device>> devices_;
};

}  // namespace finder::testing
