#include "devsim/core/device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "devsim/core/loopback.h"
#include "platform/testing/temp_dir.h"

namespace devsim {
namespace {

std::atomic<int> g_started{0};
std::atomic<int> g_stopped{0};

class CountingService : public Service {
 public:
  std::string_view name() const override { return "counting"; }
  bool Start(Device& device, std::string*) override {
    seen_address_ = device.address();
    running_ = true;
    ++g_started;
    return true;
  }
  void Stop() override {
    if (running_) ++g_stopped;
    running_ = false;
  }
  std::string seen_address_;
  bool running_ = false;
};

class FailingService : public Service {
 public:
  std::string_view name() const override { return "failing"; }
  bool Start(Device&, std::string* error) override {
    *error = "port taken";
    return false;
  }
  void Stop() override {}
};

DEVSIM_REGISTER_SERVICE(counting, CountingService);
DEVSIM_REGISTER_SERVICE(failing, FailingService);

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_started = 0;
    g_stopped = 0;
  }
  platform::ScopedTempDir dir_;
};

TEST_F(DeviceTest, RegistryListsServicesByName) {
  auto names = RegisteredServices();
  EXPECT_NE(std::find(names.begin(), names.end(), "counting"), names.end());
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  EXPECT_EQ(CreateService("nonesuch"), nullptr);
}

TEST_F(DeviceTest, StartsNamedServicesAndStopsThemOnce) {
  std::string address = AllocateLoopbackAddress();
  {
    Device device(Profile::Defaults(Layout::kClassic), dir_.Sub("store"), address);
    device.services() = {"counting"};
    std::string error;
    ASSERT_TRUE(device.Start(&error)) << error;
    EXPECT_TRUE(device.running());
    auto* s = static_cast<CountingService*>(device.service("counting"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->seen_address_, address);
    EXPECT_EQ(device.service("failing"), nullptr);
    EXPECT_FALSE(device.Start(&error));  // already running
    EXPECT_TRUE(std::filesystem::is_directory(device.store().DataDir()));
    device.Stop();
    EXPECT_FALSE(device.running());
    device.Stop();
  }  // the destructor stops again: still once
  EXPECT_EQ(g_started, 1);
  EXPECT_EQ(g_stopped, 1);
}

TEST_F(DeviceTest, FailedStartStopsWhatWasStartedAndNamesTheService) {
  Device device(Profile::Defaults(Layout::kShared), dir_.Sub("store"),
                AllocateLoopbackAddress());
  device.services() = {"counting", "failing"};
  std::string error;
  EXPECT_FALSE(device.Start(&error));
  EXPECT_NE(error.find("failing"), std::string::npos) << error;
  EXPECT_NE(error.find("port taken"), std::string::npos) << error;
  EXPECT_FALSE(device.running());
  EXPECT_EQ(g_started, 1);
  EXPECT_EQ(g_stopped, 1);
  // It can be started again once the cause is gone.
  device.services() = {"counting"};
  EXPECT_TRUE(device.Start(&error)) << error;
}

TEST_F(DeviceTest, FtpAccountsChangeUnderALock) {
  Device device(Profile::Defaults(Layout::kStorage), dir_.Sub("store"),
                AllocateLoopbackAddress());
  auto home = device.FindFtpAccount("boxuser");
  ASSERT_TRUE(home);
  EXPECT_EQ(home->root, device.store().FtpHome());
  device.AddFtpAccount({"job1", "secret", ""});
  device.AddFtpAccount({"job1", "other", "x"});  // replaces
  EXPECT_EQ(device.FindFtpAccount("job1")->password, "other");
  std::thread reader([&] {
    for (int i = 0; i < 1000; ++i) device.FindFtpAccount("job2");
  });
  for (int i = 0; i < 1000; ++i) {
    device.AddFtpAccount({"job2", "p", ""});
    device.RemoveFtpAccount("job2");
  }
  reader.join();
  EXPECT_TRUE(device.RemoveFtpAccount("job1"));
  EXPECT_FALSE(device.RemoveFtpAccount("job1"));
  EXPECT_FALSE(device.FindFtpAccount("job1"));
}

TEST_F(DeviceTest, UnknownServiceIsAnError) {
  Device device(Profile::Defaults(Layout::kStorage), dir_.Sub("store"),
                AllocateLoopbackAddress());
  device.services() = {"nonesuch"};
  std::string error;
  EXPECT_FALSE(device.Start(&error));
  EXPECT_NE(error.find("nonesuch"), std::string::npos);
}

}  // namespace
}  // namespace devsim
