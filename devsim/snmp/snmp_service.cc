#include "devsim/snmp/snmp_service.h"

#include "devsim/core/device.h"

namespace devsim::snmp {

bool SnmpService::Start(Device& device, std::string* error) {
  Stop();
  const Profile& profile = device.profile();
  std::string engine = Agent::EngineIdFor(device.address());
  agent_ = std::make_unique<Agent>(Mib::FromProfile(profile), profile.community,
                                   Usm(engine, profile.v3_users),
                                   &device.faults(),
                                   AgentOptions{profile.snmp_v1, profile.snmp_v3,
                                                profile.snmp_listen_any,
                                                profile.snmp_broadcast_answers});
  if (!agent_->Start(device.address(), profile.snmp_port, error)) {
    agent_.reset();
    return false;
  }
  return true;
}

void SnmpService::Stop() {
  if (agent_) agent_->Stop();
  agent_.reset();
}

}  // namespace devsim::snmp

DEVSIM_REGISTER_SERVICE(snmp, ::devsim::snmp::SnmpService);
