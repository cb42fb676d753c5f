// BoxPacker: packs the boxes of a backup on a thread of its own, so that
// the next box downloads while the last one is packed and both cores work.
//
// One box is packed at a time, in the order the job hands them over; the
// job waits for the box before when it hands over the next one, so at most
// two box trees are on disk at once. A packing that fails keeps its error
// for the job's thread, which raises it at its next check point, when it
// hands over the next box, or when it waits for the last one. In the job's
// order a box's packing comes before the next box's download, so a packing
// that failed wins over a later failure of the download.
//
// The packing thread never touches the progress record or the job's
// virtual check points: it asks the cancel event itself, before each file
// and chunk the zip writer adds.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "boxlink/zip/zip_class.h"
#include "platform/event.h"

namespace boxlink {

class BoxPacker {
 public:
  // The packing of one box; it hands `check` to the zip writer.
  using Task = std::function<void(const ZipInterruptCheck& check)>;

  explicit BoxPacker(platform::Event* cancel_event) : cancel_event_(cancel_event) {}
  // Stops a packing that still runs and waits for it.
  ~BoxPacker() { Abandon(); }
  BoxPacker(const BoxPacker&) = delete;
  BoxPacker& operator=(const BoxPacker&) = delete;

  // Waits for the packing before and raises its failure; then starts this
  // one. When no thread can be had the task runs here and now.
  void Submit(Task task);
  // Waits for the packing under way and raises its failure.
  void Finish();
  // Raises the failure of the packing under way if it has failed already;
  // does not wait.
  void RaiseIfFailed();
  // Stops the packing under way at its next check and waits for it. Returns
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
