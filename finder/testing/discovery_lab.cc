#include "finder/testing/discovery_lab.h"

#include <filesystem>

namespace finder::testing {
namespace {

devsim::Profile ProfileOf(int i) {
  devsim::Profile p = devsim::Profile::Defaults(
      i == kV1V3 ? devsim::Layout::kStorage : devsim::Layout::kShared);
  p.snmp_listen_any = true;
  p.network_name = "DEV" + std::to_string(i);
  p.location = "Room " + std::to_string(i);
  switch (i) {
    case kV1Only: p.snmp_v3 = false; break;
    case kOtherMaker: p.maker = "Someone Else"; break;
    case kUnmatched: p.sys_object_id = "1.3.6.1.4.1.8072.3.2.10"; break;
    case kDummyOnly:
      p.snmp_v3 = false;
      p.snmp_broadcast_answers = 1;
      break;
    case kSilent: p.snmp_v1 = p.snmp_v3 = false; break;
    default: break;
  }
  return p;
}

}  // namespace

std::unique_ptr<DiscoveryLab> DiscoveryLab::Create(std::string* why) {
  std::unique_ptr<DiscoveryLab> lab(new DiscoveryLab());
  lab->net_ = TestNetwork::Create(kLabDevices, why);
  if (!lab->net_) return nullptr;
  for (int i = 0; i < kLabDevices; ++i) {
    auto dir = std::make_unique<platform::ScopedTempDir>("lab-device");
    std::filesystem::create_directories(dir->Sub("store"));
    std::unique_ptr<devsim::Device> dev;
    std::string error;
    bool started = false;
    TestNetwork::RunIn(lab->net_->device(i), [&] {
      dev = std::make_unique<devsim::Device>(ProfileOf(i), dir->Sub("store"),
                                             TestNetwork::DeviceIpv4(i));
      dev->services() = {"snmp"};
      started = dev->Start(&error);
    });
    if (!started) {
      *why = "device " + std::to_string(i) + ": " + error;
      return nullptr;
    }
    lab->devices_.push_back(std::move(dev));
    lab->dirs_.push_back(std::move(dir));
  }
  return lab;
}

DiscoveryLab::~DiscoveryLab() {
  devices_.clear();  // services stop before their namespaces go
  dirs_.clear();
}

bool DiscoveryLab::RestartDummyOnly(std::string* why) {
  bool started = false;
  TestNetwork::RunIn(net_->device(kDummyOnly), [&] {
    devices_[kDummyOnly]->Stop();
    started = devices_[kDummyOnly]->Start(why);
  });
  return started;
}

}  // namespace finder::testing
