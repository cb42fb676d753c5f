#include "devsim/core/loopback.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <set>

namespace devsim {
namespace {

TEST(Loopback, FreshUniqueLoopbackAddresses) {
  std::set<std::string> seen;
  for (int i = 0; i < 300; ++i) {
    std::string a = AllocateLoopbackAddress();
    ASSERT_FALSE(a.empty());
    in_addr addr{};
    ASSERT_EQ(inet_pton(AF_INET, a.c_str(), &addr), 1) << a;
    EXPECT_EQ(ntohl(addr.s_addr) >> 24, 127u) << a;
    EXPECT_NE(a, "127.0.0.1");
    EXPECT_TRUE(seen.insert(a).second) << "handed out twice: " << a;
  }
}

TEST(Loopback, SkipsAnAddressWhosePortIsHeld) {
  // Hold 8080 on the address that would come next: the allocator must pass
  // it over. The next address is not known, so hold it on several.
  std::string probe = AllocateLoopbackAddress();
  in_addr base{};
  ASSERT_EQ(inet_pton(AF_INET, probe.c_str(), &base), 1);
  std::vector<int> held;
  std::set<std::string> held_names;
  for (uint32_t k = 1; k <= 3; ++k) {
    in_addr next{htonl(ntohl(base.s_addr) + k)};
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr = next;
    sa.sin_port = htons(8080);
    if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
      held.push_back(fd);
      char text[INET_ADDRSTRLEN];
      held_names.insert(inet_ntop(AF_INET, &next, text, sizeof text));
    } else {
      close(fd);
    }
  }
  ASSERT_FALSE(held.empty());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(held_names.count(AllocateLoopbackAddress()), 0u);
  for (int fd : held) close(fd);
}

}  // namespace
}  // namespace devsim
