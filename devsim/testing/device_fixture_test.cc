#include "devsim/testing/device_fixture.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "devsim/core/service.h"

namespace devsim {
namespace {

constexpr uint16_t kEchoPort = 17007;

// Answers each connection with what it reads once, then closes it: enough
// to prove the device listens on its own address and stops listening.
class EchoService : public Service {
 public:
  ~EchoService() override { Stop(); }
  std::string_view name() const override { return "test_echo"; }
  bool Start(Device& device, std::string* error) override {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(kEchoPort);
    inet_pton(AF_INET, device.address().c_str(), &sa.sin_addr);
    // Closed connections linger in TIME_WAIT; without this a restart fails.
    int one = 1;
    if (fd_ >= 0) ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(fd_, 4) != 0) {
      *error = "cannot listen";
      return false;
    }
    thread_ = std::thread([this] {
      for (;;) {
        int c = ::accept(fd_, nullptr, nullptr);
        if (c < 0) return;
        char buf[64];
        ssize_t n = ::read(c, buf, sizeof buf);
        if (n > 0) (void)!::write(c, buf, static_cast<size_t>(n));
        ::close(c);
      }
    });
    ++live;
    return true;
  }
  void Stop() override {
    if (fd_ < 0) return;
    ::shutdown(fd_, SHUT_RDWR);  // wakes the blocked accept
    if (thread_.joinable()) thread_.join();
    ::close(fd_);
    fd_ = -1;
    --live;
  }
  static inline std::atomic<int> live{0};

 private:
  int fd_ = -1;
  std::thread thread_;
};

DEVSIM_REGISTER_SERVICE(test_echo, EchoService);

// "" when nothing answers.
std::string Ask(const std::string& address, const std::string& text) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(kEchoPort);
  inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
  std::string answer;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
      ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size())) {
    char buf[64];
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) answer.assign(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return answer;
}

TEST(ScopedDevice, ServesOnItsOwnAddressAndStopsOnScopeExit) {
  std::string address;
  std::filesystem::path store;
  {
    ScopedDevice dev(Layout::kStorage, {"test_echo"});
    ASSERT_TRUE(dev.ok()) << dev.error();
    address = dev->address();
    store = dev.store_root();
    EXPECT_NE(address, "127.0.0.1");
    EXPECT_EQ(Ask(address, "hello"), "hello");
    EXPECT_NE(dev->service("test_echo"), nullptr);
    EXPECT_EQ(EchoService::live, 1);
    // Populated with the default options.
    EXPECT_EQ(dev->store().ListBoxes().size(), 3u);
    EXPECT_EQ(dev->store().layout(), Layout::kStorage);
  }
  EXPECT_EQ(EchoService::live, 0);
  EXPECT_EQ(Ask(address, "anyone?"), "");
  EXPECT_FALSE(std::filesystem::exists(store));
}

TEST(ScopedDevice, TwoDevicesUseTheSamePortSideBySide) {
  PopulateOptions empty;
  empty.boxes = 0;
  Profile p = Profile::Defaults(Layout::kShared);
  p.network_name = "SECOND";
  ScopedDevice a(Layout::kClassic, {"test_echo"}, empty);
  ScopedDevice b(p, {"test_echo"}, empty);
  ASSERT_TRUE(a.ok() && b.ok());
  EXPECT_NE(a->address(), b->address());
  EXPECT_EQ(Ask(a->address(), "a"), "a");
  EXPECT_EQ(Ask(b->address(), "b"), "b");
  EXPECT_EQ(b->profile().network_name, "SECOND");
  EXPECT_TRUE(a->store().ListBoxes().empty());
  ASSERT_TRUE(b.Restart()) << b.error();
  EXPECT_EQ(Ask(b->address(), "again"), "again");
}

}  // namespace
}  // namespace devsim
