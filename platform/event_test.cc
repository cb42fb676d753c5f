#include "platform/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/testing/fake_env.h"

namespace platform {
namespace {

TEST(EventTest, ManualResetStaysSignalledAutoResetWakesOnce) {
  FakeEnv env;
  ScopedEnv use(&env);
  auto manual = Event::Create(true, false);
  auto automatic = Event::Create(false, true);
  EXPECT_EQ(manual->Wait(0), kWaitTimeout);
  manual->Set();
  EXPECT_EQ(manual->Wait(0), kWaitObject0);
  EXPECT_EQ(manual->Wait(0), kWaitObject0);
  manual->Reset();
  EXPECT_EQ(manual->Wait(0), kWaitTimeout);

  EXPECT_EQ(automatic->Wait(0), kWaitObject0);
  EXPECT_EQ(automatic->Wait(0), kWaitTimeout);
}

TEST(EventTest, LongTimeoutsRunInTestTime) {
  FakeEnv env;
  ScopedEnv use(&env);
  auto ev = Event::Create(true, false);
  uint64_t before = env.test_clock().NowMillis();
  auto real = std::chrono::steady_clock::now();
  EXPECT_EQ(ev->Wait(10 * 60 * 1000), kWaitTimeout);
  EXPECT_GE(env.test_clock().NowMillis() - before, 10u * 60 * 1000);
  EXPECT_LT(std::chrono::steady_clock::now() - real, std::chrono::seconds(5));
}

TEST(EventTest, SetFromAnotherThreadWakesTheWaiter) {
  auto ev = Event::Create(false, false);
  std::thread t([&] { ev->Set(); });
  EXPECT_EQ(ev->Wait(kInfiniteWait), kWaitObject0);
  t.join();
}

TEST(EventTest, NamedEventsAreSharedWhileHeld) {
  bool existed = true;
  auto a = Event::CreateNamed("Status", false, false, &existed);
  EXPECT_FALSE(existed);
  auto b = Event::CreateNamed("Status", true, true, &existed);
  EXPECT_TRUE(existed);
  EXPECT_EQ(a.get(), b.get());
  EXPECT_FALSE(b->manual_reset());  // the first creation decides
  EXPECT_EQ(Event::OpenNamed("Status").get(), a.get());
  EXPECT_EQ(Event::OpenNamed("status"), nullptr);  // names keep their case
  a.reset();
  b.reset();
  EXPECT_EQ(Event::OpenNamed("Status"), nullptr);
}

TEST(EventTest, AHeldEventStopsItsWaitersUntilReleased) {
  FakeEnv env;
  ScopedEnv use(&env);
  auto ev = Event::Create(false, false);
  ev->Hold();
  std::atomic<int> passed{0};
  std::atomic<uint32_t> result{kWaitFailed};
  std::thread waiter([&] {
    result = ev->Wait(0);  // a check point: a wait of no time
    passed = 1;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(passed.load(), 0) << "a held event let its waiter through";
  ev->Set();  // the answer arrives while the waiter is held
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(passed.load(), 0);
  ev->Release();
  waiter.join();
  EXPECT_EQ(passed.load(), 1);
  EXPECT_EQ(result.load(), kWaitObject0) << "the Set made while held is seen";

  // Released, it is an ordinary event again.
  EXPECT_EQ(ev->Wait(0), kWaitTimeout);
}

TEST(EventTest, WaitAnyReportsTheLowestSignalledIndex) {
  FakeEnv env;
  ScopedEnv use(&env);
  auto e0 = Event::Create(false, false);
  auto e1 = Event::Create(true, false);
  auto e2 = Event::Create(false, false);
  Event* all[] = {e0.get(), e1.get(), e2.get()};
  EXPECT_EQ(Event::WaitAny(all, 1000), kWaitTimeout);
  e2->Set();
  e1->Set();
  EXPECT_EQ(Event::WaitAny(all, 0), kWaitObject0 + 1);
  e1->Reset();
  EXPECT_EQ(Event::WaitAny(all, 0), kWaitObject0 + 2);
  EXPECT_EQ(e2->Wait(0), kWaitTimeout);  // auto-reset consumed by WaitAny
}

}  // namespace
}  // namespace platform
