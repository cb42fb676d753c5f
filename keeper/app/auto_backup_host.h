// What the automatic backup needs from the program around it: the Backup
// page (its box list, selection and target), the connection to the device,
// the main window (its look, status parts and dialogs), the backup run
// itself and the desktop's notifications.
//
// The schedule logic (auto_backup.h) is written against these interfaces
// only. The Qt windows implement them; tests drive the logic with scripted
// fakes (keeper/app/testing/fake_auto_backup_host.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "desktop/screen.h"
#include "keeper/app/ab_logger.h"
#include "keeper/app/job_frame.h"
#include "keeper/app/retry_dialog.h"

namespace keeper {

// The Backup page as the schedule uses it. Row 0 of its list is the device
// (all boxes); rows 1..N are the boxes of the page box list, in order.
class AutoBackupPage {
 public:
  virtual ~AutoBackupPage() = default;

  // A row of the shown page's list is checked.
  virtual bool AnyRowChecked() = 0;
  virtual bool RowChecked(size_t row) = 0;
  virtual void SetRowChecked(size_t row, bool checked) = 0;

  // The target field's text; clearing it also gives it the focus.
  virtual std::string Target() = 0;
  virtual void ClearTarget() = 0;
  // The common target checks of the page; `automatic`: no message is
  // shown and every question counts as Yes. True when they pass.
  virtual bool CommonTargetChecks(bool automatic) = 0;
  virtual uint32_t BackupType() = 0;  // 0 full, 1 incremental

  // The selection: box numbers of the checked rows 1..N in row order.
  // StoreSelectedBoxes collects it afresh from the rows.
  virtual void StoreSelectedBoxes() = 0;
  virtual std::vector<uint32_t> Selection() = 0;
  virtual void SetSelection(std::vector<uint32_t> boxes) = 0;

  // The page box list: the device's list as the page was last filled.
  virtual std::vector<LoggedBox> PageBoxList() = 0;
  // Refills the list from the connection's current box list (which also
  // becomes the page box list) and checks every row.
  virtual void AddBoxes() = 0;
};

// The connection to the device, as the main window keeps it.
class AutoBackupConnection {
 public:
  virtual ~AutoBackupConnection() = default;

  virtual bool connected() = 0;
  virtual void MarkConnected(bool connected) = 0;

  // Opens the session to the last selected device; returns OpenResult.
  virtual uint32_t OpenSession() = 0;
  // Security settings, authentication with the stored credential (no
  // dialog) and the service status; true when authenticated.
  virtual bool AuthenticateWithoutDialog() = 0;
  // 0 or the error of reading the engine information.
  virtual uint32_t ReadEngineInfo() = 0;
  // Reads the box list; the connection is marked connected on success.
  virtual void ReadBoxList() = 0;
  // Re-opens the session and reads the box list (results other than 1).
  virtual void ReopenAndRead() = 0;
  virtual void CloseSession() = 0;

  virtual uint32_t open_result() = 0;
  virtual uint32_t service_status() = 0;
  // The device's storage type, for the text of error 39.
  virtual uint32_t StorageType() = 0;
  virtual std::string DeviceName() = 0;     // the last selected name
  virtual std::string DeviceAddress() = 0;  // the last selected address
};

// A result dialog that the schedule opened; closing it from here destroys
// it without the effects of its OK button.
class ResultDialog {
 public:
  virtual ~ResultDialog() = default;
  virtual void Close() = 0;
};

class AutoBackupDialog;

// The main window, its controls and the dialogs it opens.
class AutoBackupWindow {
 public:
  virtual ~AutoBackupWindow() = default;

  // A message box; returns when it is closed.
  virtual void Show(const desktop::Message& message) = 0;
  // The schedule dialog, modal; true when it closed with Set.
  virtual bool RunScheduleDialog(AutoBackupDialog& dialog) = 0;
  // The confirmation box (alert box of `mode`), modal: OK or Cancel.
  // CloseAlertBox(), called while it is open (by a run that starts), makes
  // it return Cancel.
  virtual desktop::Answer RunAlertBox(uint32_t text, uint32_t caption,
                                      uint32_t mode) = 0;
  virtual void CloseAlertBox() = 0;
  // The modeless result dialog, centred on the main window. When the user
  // closes it the window calls AutoBackup::OnResultDialogClosed().
  virtual std::unique_ptr<ResultDialog> OpenResultDialog(
      RetryMode mode, uint32_t error, uint32_t storage_type) = 0;

  virtual void SetMessageText(const std::string& text) = 0;
  virtual void SetConnectionIcon(uint32_t icon) = 0;
  virtual void SetActionButtonText(uint32_t text) = 0;
  virtual void EnableActionButton(bool enabled) = 0;
  virtual void EnableAutoBackupMenuItem(bool enabled) = 0;
  // The scheduled look: greyed list, disabled menus, page controls and
  // sheet, the action button as Stop with the focus. Leaving restores the
  // normal look.
  virtual void EnterScheduledLook() = 0;
  virtual void LeaveScheduledLook() = 0;
  // Asks the main window to enable itself (it refuses while a result
  // dialog is open).
  virtual void EnableMainWindow() = 0;
  // Sends Refresh: reconnect and re-read both pages.
  virtual void Refresh() = 0;
  // The connection reuses the stored credential without the dialog while
  // the schedule reconnects.
  virtual void SetSkipDialogSchedule(bool skip) = 0;
};

// Runs one backup in the modal progress dialog, exactly as the Backup page
// does, and returns when it is over (the device released, the work folder
// removed). No message is shown afterwards.
class AutoBackupRunner {
 public:
  virtual ~AutoBackupRunner() = default;
  virtual JobResult RunBackup(const JobRequest& request) = 0;
};

// A desktop notification of a run's result, besides the result dialog.
struct RunNotification {
  enum class Urgency { kLow = 0, kNormal = 1, kCritical = 2 };
  std::string summary;
  std::string body;
  std::string icon;  // a freedesktop icon name
  Urgency urgency = Urgency::kNormal;
  RetryMode mode = RetryMode::kDone;
};

class RunNotifier {
 public:
  virtual ~RunNotifier() = default;
  virtual void Notify(const RunNotification& notification) = 0;
};

}  // namespace keeper
