// A device on a link-local IPv6 address, reached without naming the
// interface: every address the client uses (the port probes, the web
// connection, the transport's connection check, the release retry's
// check, the SNMP exports) carries the interface's scope id.
//
// The test builds the network it needs and nothing leaves it: the client
// runs in a network namespace of its own with two interfaces, the device
// in a second namespace at the other end of the first one. The other
// interface is where the routing table sends link-local packets that name
// no interface, as on a machine with several networks. Making namespaces
// needs root, as CI has.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "boxlink.h"
#include "boxlink/client/engine_cache.h"
#include "boxlink/base/logger.h"
#include "boxlink/client/session_hooks.h"
#include "devsim/core/device.h"
#include "devsim/web/web_service.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"

namespace boxlink {
namespace {

constexpr char kAddress[] = "fe80::5a1:7";  // the device; the client is fe80::5a1:8

bool Run(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// The device's namespace, removed again when the test ends.
class DeviceNamespace {
 public:
  DeviceNamespace() : name_("zelt-dev-" + std::to_string(::getpid())) {}
  ~DeviceNamespace() {
    if (made_) Run("ip netns del " + name_);
  }
  const std::string& name() const { return name_; }
  std::string Make() {
    if (!Run("ip netns add " + name_)) return "cannot make namespace " + name_;
    made_ = true;
    return "";
  }

 private:
  std::string name_;
  bool made_ = false;
};

// Moves the calling thread into a new network namespace and builds the
// link: zelt0 (the client's end, its first interface after loopback) to
// zelt1 in the device's namespace, and a second pair whose link-local
// route comes first. Empty on success, else why not.
std::string MakeLinkLocalNetwork(const DeviceNamespace& device_ns) {
  if (::unshare(CLONE_NEWNET) != 0)
    return std::string("cannot make a network namespace: ") + std::strerror(errno);
  const std::string dev = "ip -n " + device_ns.name() + " ";
  const char* steps[] = {"ip link set lo up",
                         "ip link add zelt0 type veth peer name zelt1 netns $NS",
                         "ip link add zeltx0 type veth peer name zeltx1",
                         "ip link set zelt0 up",
                         "ip link set zeltx0 up",
                         "ip link set zeltx1 up",
                         "ip -6 addr add fe80::5a1:8/64 dev zelt0 nodad",
                         // Link-local packets that name no interface leave by
                         // the other pair.
                         "ip -6 route del fe80::/64 dev zelt0",
                         "ip -6 route add fe80::/64 dev zelt0 metric 1024",
                         "$DEV link set lo up",
                         "$DEV link set zelt1 up",
                         "$DEV -6 addr add fe80::5a1:7/64 dev zelt1 nodad"};
  for (std::string step : steps) {
    for (auto [key, value] : {std::pair<std::string, std::string>{"$NS", device_ns.name()},
                              {"$DEV ", dev}}) {
      size_t at = step.find(key);
      if (at != std::string::npos) step.replace(at, key.size(), value);
    }
    if (!Run(step)) return "network step failed: " + step + " (is iproute2 installed?)";
  }
  return "";
}

// Runs `start` inside the device's namespace: the threads it starts stay
// there, the calling thread comes back.
bool InNamespace(const std::string& name, const std::function<bool()>& start) {
  int home = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  int there = ::open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
  bool ok = home >= 0 && there >= 0 && ::setns(there, CLONE_NEWNET) == 0;
  if (ok) ok = start();
  if (home >= 0 && ::setns(home, CLONE_NEWNET) != 0) ok = false;
  if (home >= 0) ::close(home);
  if (there >= 0) ::close(there);
  return ok;
}

void TestOnLink(const DeviceNamespace& device_ns) {
  platform::FakeEnv env(100);
  platform::ScopedEnv use(&env);
  platform::ScopedTempDir store;
  devsim::Profile profile = devsim::Profile::Defaults(devsim::Layout::kClassic);
  // Ports only the SNMP probes can tell: without them the client would
  // try 8080 and find nothing.
  profile.web_port = 8181;
  profile.storage_description = "Device Memory";
  devsim::Device device(profile, store.path(), std::string(kAddress) + "%zelt1");
  device.services() = {"web", "snmp"};
  std::string error;
  ASSERT_TRUE(InNamespace(device_ns.name(), [&] { return device.Start(&error); })) << error;
  auto& web = *devsim::web::WebService::Of(device);

  ClearEngineInfoCache();
  ZBSESSION session{};
  std::snprintf(session.Host, sizeof session.Host, "%s", kAddress);
  session.Port = 8080;
  ASSERT_EQ(zbBoxOpenConnection(&session, nullptr), 0u);
  EXPECT_EQ(session.ScopeId, if_nametoindex("zelt0"));
  EXPECT_EQ(session.WebPort, 8181u);

  // A list that takes a while: the transport checks the device meanwhile.
  devsim::Fault slow;
  slow.kind = devsim::Fault::Kind::kDelay;
  slow.delay = std::chrono::milliseconds(1500);
  device.faults().Arm("web.boxnwGetBoxList", slow);
  uint32_t count = 0;
  ZBBOX* boxes = nullptr;
  ZBBLOCK list = zbBoxGetBoxList(&session, &count, &boxes);
  EXPECT_NE(list, nullptr) << zbBoxGetLastError();
  zbBoxFreeBlock(list);

  // A release the device refuses once: the retry checks the device first.
  devsim::Fault busy;
  busy.kind = devsim::Fault::Kind::kFailWith;
  busy.code = 203;
  device.faults().Arm("web.boxnwBoxExModeOut.result", busy);
  EXPECT_EQ(zbBoxRetryUnlockUiJob(&session, "admin00", 0), 0u);
  EXPECT_EQ(web.RequestsTo("boxnwBoxExModeOut").size(), 2u);

  // The SNMP exports take the address text as the caller has it.
  uint32_t storage = 0;
  EXPECT_EQ(zbBoxGetStorageType(kAddress, nullptr, &storage), 0u);
  EXPECT_EQ(storage, 2u);

  EXPECT_EQ(zbBoxCloseConnection(&session), 0u);
  CLogger::StopLog();
  device.Stop();
  ClearEngineInfoCache();
}

TEST(LinkLocalDeviceTest, EveryAddressCarriesTheScopeId) {
  if (::geteuid() != 0) GTEST_SKIP() << "making network namespaces needs root";
  DeviceNamespace device_ns;
  ASSERT_EQ(device_ns.Make(), "");
  // The client's namespace belongs to one thread and the threads it starts
  // (the transport's sender threads); the rest of the process stays where
  // it was.
  std::thread on_link([&] {
    std::string why = MakeLinkLocalNetwork(device_ns);
    ASSERT_EQ(why, "");
    TestOnLink(device_ns);
  });
  on_link.join();
}

}  // namespace
}  // namespace boxlink
