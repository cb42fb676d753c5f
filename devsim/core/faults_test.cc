#include "devsim/core/faults.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace devsim {
namespace {

Fault FailWith(int code) {
  Fault f;
  f.kind = Fault::Kind::kFailWith;
  f.code = code;
  return f;
}

TEST(FaultPlan, ArmedFaultIsTakenTheGivenNumberOfTimes) {
  FaultPlan plan;
  plan.Arm("web.boxnwConnect", FailWith(500), 2);
  EXPECT_EQ(plan.Take("web.boxnwConnect").code, 500);
  EXPECT_EQ(plan.Take("web.boxnwConnect").kind, Fault::Kind::kFailWith);
  EXPECT_EQ(plan.Take("web.boxnwConnect").kind, Fault::Kind::kNone);
  EXPECT_EQ(plan.Hits("web.boxnwConnect"), 3);
  // Other points are untouched.
  EXPECT_EQ(plan.Take("ftp.RETR").kind, Fault::Kind::kNone);
  EXPECT_EQ(plan.Hits("ftp.RETR"), 1);
  EXPECT_EQ(plan.Hits("ftp.STOR"), 0);
}

TEST(FaultPlan, ForeverRearmAndClear) {
  FaultPlan plan;
  plan.Arm("ftp.data", FailWith(426), -1);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(plan.Take("ftp.data").code, 426);
  plan.Arm("ftp.data", FailWith(550), 1);  // replaces the permanent one
  EXPECT_EQ(plan.Take("ftp.data").code, 550);
  EXPECT_EQ(plan.Take("ftp.data").kind, Fault::Kind::kNone);
  plan.Arm("ftp.data", FailWith(426), -1);
  plan.Arm("ftp.data", FailWith(426), 0);  // zero times disarms
  EXPECT_EQ(plan.Take("ftp.data").kind, Fault::Kind::kNone);
  plan.Arm("snmp.1.3.6.1.2.1.1.5.0", FailWith(5), -1);
  plan.Clear();
  EXPECT_EQ(plan.Hits("ftp.data"), 0);
  EXPECT_EQ(plan.Take("snmp.1.3.6.1.2.1.1.5.0").kind, Fault::Kind::kNone);
}

TEST(FaultPlan, CountedFaultIsTakenExactlyThatOftenUnderContention) {
  FaultPlan plan;
  plan.Arm("web.x", FailWith(1), 100);
  std::atomic<int> taken{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 50; ++i)
        if (plan.Take("web.x").kind != Fault::Kind::kNone) ++taken;
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(taken.load(), 100);
  EXPECT_EQ(plan.Hits("web.x"), 200);
}

}  // namespace
}  // namespace devsim
