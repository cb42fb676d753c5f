#include "boxlink/engine/box_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "boxlink.h"
#include "boxlink/base/box_error.h"

namespace boxlink {
namespace {

using Check = ZipInterruptCheck;

uint32_t CodeOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const BoxError& e) {
    return e.code();
  }
  return 0;
}

// A task that checks until told to end (or until its check throws).
struct Gate {
  std::atomic<bool> open{false};
  std::atomic<int> checks{0};
  BoxWorker::Task Task() {
    return [this](const Check& check) {
      while (!open) {
        check();
        ++checks;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    };
  }
  void WaitForChecks(int n) {
    while (checks < n) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

TEST(BoxWorkerTest, PacksOneBoxAtATimeInOrderBesideTheJob) {
  BoxWorker packer(nullptr);
  std::mutex mu;
  std::vector<std::string> log;
  const auto job_thread = std::this_thread::get_id();
  Gate first;
  packer.Submit([&](const Check& check) {
    EXPECT_NE(std::this_thread::get_id(), job_thread);
    first.Task()(check);
    std::lock_guard<std::mutex> lock(mu);
    log.push_back("box 1 packed");
  });
  // The job goes on (the next download) while the box is packed.
  first.WaitForChecks(3);
  {
    std::lock_guard<std::mutex> lock(mu);
    log.push_back("box 2 downloaded");
  }
  // Handing over the next box waits for the one before.
  auto second = std::async(std::launch::async, [&] {
    packer.Submit([&](const Check&) {
      std::lock_guard<std::mutex> lock(mu);
      log.push_back("box 2 packed");
    });
  });
  EXPECT_EQ(second.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  first.open = true;
  second.get();
  packer.Finish();
  EXPECT_EQ(log, (std::vector<std::string>{"box 2 downloaded", "box 1 packed", "box 2 packed"}));
}

TEST(BoxWorkerTest, AFailedPackingIsTheJobsErrorAtItsNextLook) {
  BoxWorker packer(nullptr);
  packer.Submit([](const Check&) { Raise(112); });
  // The job looks at its check points without waiting...
  uint32_t seen = 0;
  for (int i = 0; i < 5000 && !seen; ++i) {
    seen = CodeOf([&] { packer.RaiseIfFailed(); });
    if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(seen, 112u);
  // ...and the next box is never packed once one failed.
  bool ran = false;
  EXPECT_EQ(CodeOf([&] { packer.Submit([&](const Check&) { ran = true; }); }), 112u);
  EXPECT_EQ(CodeOf([&] { packer.Finish(); }), 112u);
  EXPECT_FALSE(ran);
  // A job that then fails for a reason of its own reports the packing's
  // failure instead: it came first.
  EXPECT_TRUE(packer.Abandon() != nullptr);

  BoxWorker other(nullptr);
  other.Submit([](const Check&) { throw std::runtime_error("unexpected"); });
  EXPECT_THROW(other.Finish(), std::runtime_error);
}

TEST(BoxWorkerTest, CancelAndAbandonStopAPackingAtItsNextCheck) {
  auto cancel = platform::Event::Create(true, false);
  {
    BoxWorker packer(cancel.get());
    Gate gate;
    packer.Submit(gate.Task());
    gate.WaitForChecks(2);
    cancel->Set();
    EXPECT_EQ(CodeOf([&] { packer.Finish(); }), uint32_t(ZB_ERR_CANCELLED));
    EXPECT_FALSE(gate.open);
  }
  cancel->Reset();
  {
    // The job failed elsewhere: the packing stops, and a stop is no failure.
    BoxWorker packer(cancel.get());
    Gate gate;
    packer.Submit(gate.Task());
    gate.WaitForChecks(2);
    EXPECT_TRUE(packer.Abandon() == nullptr);
    EXPECT_EQ(CodeOf([&] { packer.Finish(); }), 0u);
  }
  {
    // Destroying the packer stops it too.
    Gate gate;
    {
      BoxWorker packer(cancel.get());
      packer.Submit(gate.Task());
      gate.WaitForChecks(2);
    }
    EXPECT_FALSE(gate.open);
  }
}

}  // namespace
}  // namespace boxlink
