// The device's SNMP agent as a service of the simulated device: answers on
// the device address and the profile's snmp_port.
#pragma once

#include <memory>

#include "devsim/core/service.h"
#include "devsim/snmp/agent.h"

namespace devsim::snmp {

class SnmpService final : public Service {
 public:
  std::string_view name() const override { return "snmp"; }
  bool Start(Device& device, std::string* error) override;
  void Stop() override;

 private:
  std::unique_ptr<Agent> agent_;
};

}  // namespace devsim::snmp
