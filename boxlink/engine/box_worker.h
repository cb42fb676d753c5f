// BoxWorker: the file work on one box beside the job's device work, on a
// thread of its own, so that both cores work. A backup packs box n while it
// downloads box n+1; a restore unpacks box n+1 while it uploads box n.
//
// One task runs at a time, in the order the job hands them over; the job
// waits for the task before when it hands over the next one, so a worker
// never runs ahead by more than one box. A task that fails keeps its error for the
// job's thread, which raises it when it looks (RaiseIfFailed), hands over
// the next task or waits for this one (Finish). The job decides where that
// error belongs in its order: a backup raises it at its next check point,
// since packing box n comes before downloading box n+1; a restore only when
// it reaches box n+1, since unpacking it comes after uploading box n.
//
// The worker never touches the progress record or the job's virtual check
// points: it asks the cancel event itself, through the check it hands each
// task (the zip writer asks it before each file and chunk).
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "boxlink/zip/zip_class.h"
#include "platform/event.h"

namespace boxlink {

class BoxWorker {
 public:
  // The work on one box; it hands `check` to the zip writer.
  using Task = std::function<void(const ZipInterruptCheck& check)>;

  explicit BoxWorker(platform::Event* cancel_event) : cancel_event_(cancel_event) {}
  // Stops a task that still runs and waits for it.
  ~BoxWorker() { Abandon(); }
  BoxWorker(const BoxWorker&) = delete;
  BoxWorker& operator=(const BoxWorker&) = delete;

  // Waits for the task before and raises its failure; then starts this
  // one. When no thread can be had the task runs here and now.
  void Submit(Task task);
  // Waits for the task under way and raises its failure.
  void Finish();
  // Raises the failure of the task under way if it has failed already;
  // does not wait.
  void RaiseIfFailed();
  // Stops the task under way at its next check and waits for it. Returns
  // its failure when it had failed before it was asked to stop.
  std::exception_ptr Abandon();

 private:
  void Run(const Task& task);
  void Check() const;
  void Join();
  void RaiseFailure();

  platform::Event* cancel_event_;
  std::thread thread_;
  std::mutex mu_;
  std::exception_ptr failure_;  // guarded by mu_
  std::atomic<bool> failed_{false};
  std::atomic<bool> stop_{false};
};

}  // namespace boxlink
