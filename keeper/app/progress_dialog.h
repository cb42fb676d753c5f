// CProgressDlg's logic: the dialog inside which every backup and restore
// runs. It starts the monitor (the job frame) when first shown, moves the
// display as the job reports, and carries the cancel protocol: Cancel (or
// closing the window) stops the job at its next check point, asks, and
// either ends the run (Yes, outcome 305) or lets it go on from where it
// stopped (No). Escape does nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "desktop/screen.h"
#include "keeper/app/job_frame.h"

namespace keeper {

// Operations of the dialog.
inline constexpr uint32_t kOperationBackup = 301;
inline constexpr uint32_t kOperationRestore = 302;

class ProgressDialogLogic final : private ProgressSink {
 public:
  // The display is told from the monitor's thread; a display that lives
  // on another thread passes the calls over.
  ProgressDialogLogic(JobKind kind, JobBackend& backend,
                      desktop::Screen& screen,
                      desktop::ProgressDisplay& display);
  ~ProgressDialogLogic() override;  // waits for the monitor

  // Texts of the dialog by operation.
  uint32_t title_text() const;    // window title: 44 / 48
  uint32_t phase_text() const;    // first phase line: 45 / 46
  uint32_t caption_text() const;  // caption of the result messages: 43 / 47
  static constexpr uint32_t cancel_text() { return 26; }

  // The dialog was first shown: the run starts. Returns at once.
  void Start(const JobRequest& request);
  // Cancel button or the window's Close command.
  void OnCancel();
  // The Escape key: swallowed. Returns true when it was.
  bool OnEscape() const { return true; }

  bool finished() const { return finished_.load(); }
  // 304 until the run ends; then 303, 304 or 305.
  uint32_t outcome() const;
  JobResult result() const;
  // Waits until the run has ended (for callers without an event loop).
  void Wait();

  JobFrame& frame() { return frame_; }

 private:
  void OnProgress(const ProgressView& view) override;

  const JobKind kind_;
  desktop::Screen& screen_;
  desktop::ProgressDisplay& display_;
  JobFrame frame_;
  std::thread monitor_;
  std::atomic<bool> finished_{false};
  std::atomic<bool> cancelling_{false};
  std::atomic<bool> asking_{false};
  mutable std::mutex mu_;
  JobResult result_;
};

}  // namespace keeper
