#include "finder/testing/test_network.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace finder::testing {
namespace {

// Runs a command of the ip tool; its output goes to the caller's why.
bool Ip(const std::string& args, std::string* why) {
  std::string command = "ip " + args + " 2>&1";
  FILE* p = popen(command.c_str(), "r");
  if (!p) {
    *why = "cannot run ip";
    return false;
  }
  std::string out;
  char buf[256];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  int rc = pclose(p);
  if (rc != 0) {
    *why = "ip " + args + ": " + (out.empty() ? "failed" : out);
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<TestNetwork> TestNetwork::Create(int devices, std::string* why) {
  if (geteuid() != 0) {
    *why = "making network namespaces needs root (CI runs as root)";
    return nullptr;
  }
  std::unique_ptr<TestNetwork> net(new TestNetwork());
  if (!net->Build(devices, why)) return nullptr;
  return net;
}

bool TestNetwork::Build(int devices, std::string* why) {
  const std::string prefix = "zdisc" + std::to_string(getpid()) + "-";
  names_.push_back(prefix + "c");
  for (int i = 0; i < devices; ++i) names_.push_back(prefix + "d" + std::to_string(i));
  const std::string bridge = prefix + "br";
  for (const std::string& ns : names_) {
    if (!Ip("netns add " + ns, why)) return false;
    made_.push_back(ns);
  }
  if (!Ip("netns add " + bridge, why)) return false;
  made_.push_back(bridge);
  if (!Ip("-n " + bridge + " link add br0 type bridge", why) ||
      !Ip("-n " + bridge + " link set br0 up", why))
    return false;
  for (size_t h = 0; h < names_.size(); ++h) {
    const std::string& ns = names_[h];
    const int host = h == 0 ? 1 : static_cast<int>(10 + h);
    const std::string port = "p" + std::to_string(h);
    const std::string n = std::to_string(host);
    if (!Ip("-n " + ns + " link add eth0 type veth peer name " + port +
                " netns " + bridge, why) ||
        !Ip("-n " + bridge + " link set " + port + " master br0 up", why) ||
        // Fixed addresses only: no address of its own making, no waiting
        // for duplicate detection.
        !Ip("-n " + ns + " link set eth0 addrgenmode none", why) ||
        !Ip("-n " + ns + " addr add 10.77.0." + n + "/24 dev eth0", why) ||
        !Ip("-n " + ns + " addr add fe80::" + n + "/64 dev eth0 nodad", why) ||
        !Ip("-n " + ns + " addr add fd77::" + n + "/64 dev eth0 nodad", why) ||
        !Ip("-n " + ns + " link set lo up", why) ||
        !Ip("-n " + ns + " link set eth0 up", why) ||
        // As on any network: a default route, so that the limited
        // broadcast 255.255.255.255 has a way out (into the bridge).
        !Ip("-n " + ns + " route add default dev eth0", why))
      return false;
  }
  names_.push_back(bridge);
  return true;
}

TestNetwork::~TestNetwork() {
  std::string ignored;
  for (auto it = made_.rbegin(); it != made_.rend(); ++it)
    Ip("netns del " + *it, &ignored);
}

bool TestNetwork::RunIn(const std::string& netns, const std::function<void()>& fn) {
  bool entered = false;
  std::thread t([&] {
    int fd = ::open(("/var/run/netns/" + netns).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    entered = setns(fd, CLONE_NEWNET) == 0;
    ::close(fd);
    if (entered) fn();
  });
  t.join();
  return entered;
}

TestNetwork::Inside::Inside(const std::string& netns) {
  home_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  if (home_ < 0) return;
  int fd = ::open(("/var/run/netns/" + netns).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  entered_ = setns(fd, CLONE_NEWNET) == 0;
  ::close(fd);
}

TestNetwork::Inside::~Inside() {
  if (home_ < 0) return;
  if (entered_ && setns(home_, CLONE_NEWNET) != 0) {
    // Staying in a namespace that is about to go would cut the rest of
    // the process off the network: stop here.
    std::perror("setns back");
    std::abort();
  }
  ::close(home_);
}

}  // namespace finder::testing
