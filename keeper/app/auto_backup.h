// The automatic backup: a schedule the main window holds in memory while
// the program runs. A 30-second timer compares the clock with the next run
// time; each run reconnects to the device, checks the chosen boxes against
// its current box list and backs up into an archive numbered by the runs
// that succeeded. A failed run is tried again after RetryInterval minutes,
// up to RetryCount times in a row. Every step goes into the result log,
// every run ends with a result dialog and a desktop notification.
//
// Everything here runs on the GUI thread. The window calls:
//   OnAutomaticBackupCommand()  the menu command: checks, dialog, start
//   Poll()                      from its event loop; runs the timer tick
//   OnStop()                    the action button while it shows Stop
//   OnExit()                    Exit or closing the window
//   OnResultDialogClosed()      the user closed the result dialog
//
// The schedule is never written to disk: it ends with the program.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "desktop/texts.h"
#include "keeper/app/ab_logger.h"
#include "keeper/app/auto_backup_dialog.h"
#include "keeper/app/auto_backup_host.h"
#include "keeper/app/auto_backup_prepare.h"
#include "keeper/app/schedule_time.h"
#include "keeper/app/schedule_timer.h"
#include "keeper/app/shared_texts.h"
#include "keeper/app/waiting_text.h"

namespace platform {
class Registry;
}

namespace keeper {

inline constexpr uint32_t kScheduleTimerId = 564;
inline constexpr uint32_t kScheduleTimerPeriodMs = 30000;

// Why a schedule ended.
enum class EndReason : uint32_t {
  kNone = 0,
  kRanOut = 1,
  kFailed = 3,
  kCancelled = 4,
};

// Texts by number.
inline constexpr uint32_t kTextStop = 35;          // the action button
inline constexpr uint32_t kTextBackUp = 177;       // the action button
inline constexpr uint32_t kTextStopQuestion = 98;
inline constexpr uint32_t kTextExitQuestion = 121;
inline constexpr uint32_t kTextExitCaption = 141;
inline constexpr uint32_t kTextSelectBox = 61;
inline constexpr uint32_t kTextNeedZipAndDevice = 62;

// Alert box modes: 1 asks (question icon, OK/Cancel), others warn.
inline constexpr uint32_t kAlertQuestion = 1;
inline constexpr uint32_t kAlertWarning = 0;

// The notification that goes with a result dialog of `mode`.
RunNotification RunNotificationFor(RetryMode mode, uint32_t error,
                                   uint32_t storage_type,
                                   const std::string& address,
                                   const desktop::Texts& texts);

// The target name rules of the schedule command: the file name (after the
// last '/') has something before its last dot, and no part of the path
// begins or ends with a blank or is blank.
bool IsAcceptableTargetName(std::string_view target);

struct AutoBackupParts {
  AutoBackupPage& page;
  AutoBackupConnection& connection;
  AutoBackupWindow& window;
  AutoBackupRunner& runner;
  RunNotifier* notifier = nullptr;  // none: no desktop notifications
  const desktop::Texts& texts;
  const ShortDateFormat& date_format;
  CABLogger& log;
  platform::Registry& registry;
  std::string base_key;  // where RetryInterval and RetryCount are kept
};

class AutoBackup {
 public:
  // The timer reads the current Env's clock.
  explicit AutoBackup(AutoBackupParts parts);
  ~AutoBackup();
  AutoBackup(const AutoBackup&) = delete;
  AutoBackup& operator=(const AutoBackup&) = delete;

  // Command 32773: checks the page, runs the schedule dialog and sets the
  // schedule.
  void OnAutomaticBackupCommand();
  // Runs the timer tick when it is due.
  bool Poll() { return timer_.Poll(); }
  // The tick itself.
  void OnTimer();
  // The action button while it shows Stop: asks, and ends the schedule
  // on OK.
  void OnStop();
  // Exit or closing the window: true when the program may end (no
  // schedule, or the user agreed to stop it).
  bool OnExit();
  void OnResultDialogClosed();

  // State, for the window and for tests.
  bool automatic() const { return automatic_; }
  uint32_t interval() const { return interval_; }
  int64_t next_run() const { return next_run_; }
  bool retry_mode() const { return retry_mode_; }
  int64_t retry_time() const { return retry_time_; }
  uint32_t retry_counter() const { return retry_counter_; }
  const RetrySettings& retry_settings() const { return retry_; }
  bool run_in_progress() const { return running_; }
  EndReason end_reason() const { return end_reason_; }
  uint32_t run_number() const { return log_state_.run_number; }
  uint32_t success_number() const { return log_state_.success_number; }
  bool result_dialog_open() const { return result_dialog_ != nullptr; }
  bool refresh_pending() const { return refresh_pending_; }
  const DeletedBoxes& deleted_boxes() const { return deleted_; }
  const ScheduleTimer& timer() const { return timer_; }

 private:
  void Run();
  void NextTime(bool retry);
  void ReportRunResult(uint32_t outcome, uint32_t error);
  void EndSchedule();
  void EndByLimit();
  void StopScheduleState();  // End of schedule, steps 3 and 4
  void LeaveScheduledLook();
  void ShowWaiting(int64_t due);
  void ShowResultDialog(RetryMode mode, uint32_t error, bool notify);
  void CloseResultDialog();
  void CloseAlertBox();
  void SyncLogState();
  ScheduleOutcome OutcomeOfEnd() const;
  void ShowError(uint32_t text, uint32_t caption,
                 desktop::Icon icon = desktop::Icon::kError);

  AutoBackupParts parts_;
  ScheduleTimer timer_;

  bool automatic_ = false;
  uint32_t interval_ = 0;
  int64_t next_run_ = 0;
  uint16_t start_day_ = 1;
  bool retry_mode_ = false;
  int64_t retry_time_ = 0;
  RetrySettings retry_;
  uint32_t retry_counter_ = 0;
  bool running_ = false;
  bool device_row_chosen_ = false;
  bool continue_if_deleted_ = true;
  DeletedBoxes deleted_;
  EndReason end_reason_ = EndReason::kNone;
  ScheduleLogState log_state_;
  bool refresh_pending_ = false;
  std::unique_ptr<ResultDialog> result_dialog_;
  bool alert_open_ = false;
};

}  // namespace keeper
