#include "testing/snmpd_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "snmpcore/snmp.h"

namespace snmpcore::testing {

namespace {

bool Bindable(const std::string& address) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in in{};
  in.sin_family = AF_INET;
  inet_pton(AF_INET, address.c_str(), &in.sin_addr);
  bool ok = bind(fd, reinterpret_cast<sockaddr*>(&in), sizeof in) == 0;
  close(fd);
  return ok;
}

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

bool SnmpdAvailable() { return access("/usr/sbin/snmpd", X_OK) == 0; }

std::string FreshLoopbackAddress() {
  // 127.250-254.x.y: a block apart from the simulated devices' addresses,
  // derived from the pid so that parallel test programs do not meet.
  static std::atomic<unsigned> counter{1};
  unsigned pid = static_cast<unsigned>(getpid());
  for (;;) {
    unsigned n = counter++;
    std::string address = "127." + std::to_string(250 + pid % 5) + "." +
                          std::to_string((pid / 5) % 256) + "." +
                          std::to_string(1 + n % 254);
    if (Bindable(address)) return address;
  }
}

SnmpdProcess::SnmpdProcess(const SnmpdConfig& config) {
  address_ = FreshLoopbackAddress();
  port_ = geteuid() == 0 ? 161 : 16100;
  std::string conf;
  for (const auto& community : config.communities)
    conf += "rocommunity " + community + " 127.0.0.0/8\n";
  if (!config.sys_name.empty()) conf += "sysName " + config.sys_name + "\n";
  if (!config.sys_location.empty())
    conf += "sysLocation " + config.sys_location + "\n";
  for (const auto& u : config.users) {
    conf += "createUser " + u.name + " " + u.auth + " " + Quote(u.auth_password);
    if (!u.priv.empty()) conf += " " + u.priv + " " + Quote(u.priv_password);
    conf += "\n";
    conf += "rouser " + u.name + (u.priv.empty() ? " auth" : " priv") + "\n";
  }
  for (const auto& v : config.values) {
    std::string value = v.value;
    if (v.type == "octet_str" && value.rfind("0x", 0) != 0) value = Quote(value);
    conf += "override " + v.oid + " " + v.type + " " + value + "\n";
  }
  std::string listen = "udp:" + address_ + ":" + std::to_string(port_);
  if (config.ipv6) {
    // ::1 is shared by every test program: a port derived from the pid,
    // moved on until one is free.
    for (unsigned p = 20000 + getpid() % 20000; p < 65000; p += 97) {
      int fd = socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      sockaddr_in6 in6{};
      in6.sin6_family = AF_INET6;
      in6.sin6_addr = in6addr_loopback;
      in6.sin6_port = htons(static_cast<uint16_t>(p));
      bool free = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&in6), sizeof in6) == 0;
      if (fd >= 0) close(fd);
      if (free) {
        endpoint6_ = "[::1]:" + std::to_string(p);
        listen += ",udp6:" + endpoint6_;
        break;
      }
    }
    conf += "rocommunity6 " + (config.communities.empty() ? std::string("public")
                                                          : config.communities[0]) +
            " ::1/128\n";
  }
  std::string conf_path = dir_.Sub("snmpd.conf");
  platform::WriteTestFile(conf_path, conf);
  std::string persist = dir_.Sub("persist");
  platform::WriteTestFile(persist + "/.keep", "");
  std::string log = dir_.Sub("snmpd.log");

  pid_ = fork();
  if (pid_ < 0) {
    error_ = "fork failed";
    return;
  }
  if (pid_ == 0) {
    setenv("SNMP_PERSISTENT_DIR", persist.c_str(), 1);
    setenv("MIBS", "", 1);
    int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    execl("/usr/sbin/snmpd", "snmpd", "-f", "-C", "-c", conf_path.c_str(),
          "-Lf", log.c_str(), "-r", "-M", "/dev/null", "-m", "",
          listen.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }

  // Ready when it answers sysUpTime.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      error_ = "snmpd exited: " + platform::ReadTestFile(log);
      return;
    }
    int s = 0;
    Snmp snmp(s);
    Pdu pdu;
    pdu += Vb(Oid("1.3.6.1.2.1.1.3.0"));
    CTarget target(UdpAddress(endpoint().c_str()));
    if (!config.communities.empty())
      target.set_readcommunity(config.communities[0].c_str());
    target.set_timeout(20);
    target.set_retry(0);
    if (snmp.get(pdu, target) == 0) {
      started_ = true;
      return;
    }
  }
  error_ = "snmpd did not answer: " + platform::ReadTestFile(log);
}

SnmpdProcess::~SnmpdProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status;
    waitpid(pid_, &status, 0);
  }
}

std::string SnmpdProcess::endpoint() const {
  return address_ + ":" + std::to_string(port_);
}

}  // namespace snmpcore::testing
