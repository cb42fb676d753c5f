#include "platform/testing/test_clock.h"

#include <gtest/gtest.h>

#include <thread>

namespace platform {
namespace {

TEST(TestClockTest, SleepsAdvanceAtOnceAndAreRecorded) {
  TestClock clock;
  uint32_t t0 = clock.TickCount();
  int64_t u0 = clock.UnixTime();
  auto real = std::chrono::steady_clock::now();
  for (int i = 0; i < 10; ++i) clock.SleepMillis(60000);
  EXPECT_LT(std::chrono::steady_clock::now() - real, std::chrono::seconds(1));
  EXPECT_GE(clock.TickCount() - t0, 600000u);
  EXPECT_GE(clock.UnixTime() - u0, 600);
  EXPECT_EQ(clock.Sleeps(), std::vector<uint32_t>(10, 60000));
}

TEST(TestClockTest, WaitSeesAnEarlyWakeUpAndElseTimesOutInVirtualTime) {
  TestClock clock(1000);
  std::mutex mu;
  std::condition_variable cv;
  bool ready = false;
  std::thread t([&] {
    std::lock_guard<std::mutex> g(mu);
    ready = true;
    cv.notify_all();
  });
  {
    std::unique_lock<std::mutex> lock(mu);
    EXPECT_TRUE(clock.WaitFor(cv, lock, 30000, [&] { return ready; }));
  }
  t.join();

  std::unique_lock<std::mutex> lock(mu);
  uint64_t before = clock.NowMillis();
  EXPECT_FALSE(clock.WaitFor(cv, lock, 75000, [] { return false; }));
  EXPECT_GE(clock.NowMillis() - before, 75000u);
}

TEST(TestClockTest, UnixTimeCanBeSet) {
  TestClock clock;
  clock.SetUnixTime(2000000000);
  EXPECT_EQ(clock.UnixTime(), 2000000000);
  clock.Advance(5000);
  EXPECT_EQ(clock.UnixTime(), 2000000005);
}

}  // namespace
}  // namespace platform
