#include "devsim/core/loopback.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace devsim {
namespace {

// True unless some socket already holds one of the standard device ports on
// the address. Ports we may not bind at all (no privilege) prove nothing and
// are passed over.
bool PortsFree(const in_addr& addr) {
  struct Probe { int type; uint16_t port; };
  for (Probe p : {Probe{SOCK_STREAM, 8080}, Probe{SOCK_STREAM, 21}, Probe{SOCK_DGRAM, 161},
                  Probe{SOCK_STREAM, 443}, Probe{SOCK_STREAM, 990}}) {
    int fd = ::socket(AF_INET, p.type | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr = addr;
    sa.sin_port = htons(p.port);
    int rc = ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    int err = errno;
    ::close(fd);
    if (rc != 0 && err != EACCES) return false;
  }
  return true;
}

}  // namespace

// The process id picks a block of 127.x.y.* (x.y from the pid, two blocks
// per pid), the counter walks through it. Two processes thus never hand out
// the same address unless pids wrap past 32512; the bind probe catches what
// is left.
std::string AllocateLoopbackAddress() {
  static std::mutex mu;
  static unsigned counter = 0;
  std::lock_guard lock(mu);
  const unsigned index = static_cast<unsigned>(::getpid()) % (127u * 256u);
  for (unsigned tries = 0; tries < 2 * 254; ++tries) {
    unsigned n = counter++ % (2 * 254);
    unsigned x = 1 + index / 256 + (n >= 254 ? 127 : 0);  // 1..254
    unsigned y = index % 256;
    unsigned z = 1 + n % 254;                              // 1..254
    char text[16];
    std::snprintf(text, sizeof text, "127.%u.%u.%u", x, y, z);
    in_addr addr{};
    if (::inet_pton(AF_INET, text, &addr) != 1) continue;
    if (PortsFree(addr)) return text;
  }
  return {};
}

}  // namespace devsim
