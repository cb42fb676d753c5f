// Scripted stand-ins for everything around the automatic backup: the
// Backup page, the device connection, the main window with its dialogs,
// the backup run and the notifications. Every call is recorded in one
// event list, in order, so a test can check what the user saw and when.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "keeper/app/auto_backup.h"

namespace keeper {

class FakeAutoBackupHost final : public AutoBackupPage,
                                 public AutoBackupConnection,
                                 public AutoBackupWindow,
                                 public AutoBackupRunner,
                                 public RunNotifier {
 public:
  // --- The device.
  std::vector<LoggedBox> device_boxes;
  bool device_on = true;        // off: the session cannot be opened
  uint32_t off_error = 12029;   // OpenResult while off
  bool auth_ok = true;
  uint32_t engine_info_error = 0;
  uint32_t service_status_value = 0;
  uint32_t storage_type = 0;
  std::string name = "MFP-Hall-2";
  std::string address = "127.0.0.1";

  // --- The page.
  std::vector<LoggedBox> page_list;   // rows 1..N
  std::vector<bool> rows;             // rows 0..N checked
  std::string target;
  uint32_t backup_type = 0;
  bool target_checks_pass = true;
  std::vector<uint32_t> selection;

  // --- The window's dialogs.
  // The schedule dialog; by default it opens and sets `choice_*`.
  std::function<bool(AutoBackupDialog&)> schedule_dialog;
  platform::SystemTime choice_date{};
  uint16_t choice_hour = 0, choice_minute = 0;
  int choice_interval = 0;
  bool choice_continue = true;
  std::optional<PickerRange> last_range;
  // Answers of the alert box, in order (empty: OK); `while_alert` runs
  // while it is open (a timer tick, for instance).
  std::deque<desktop::Answer> alert_answers;
  std::function<void()> while_alert;

  // --- The backup runs: scripted results, in order (empty: success).
  // A successful run writes `archive_bytes` into its archive.
  std::deque<JobResult> run_results;
  std::function<JobResult(const JobRequest&)> run_backup;  // overrides
  uint64_t archive_bytes = 3000;
  std::vector<JobRequest> requests;

  // --- What was seen.
  std::vector<std::string> events;
  std::vector<RunNotification> notifications;
  std::vector<RetryMode> result_modes;  // result dialogs, in order
  bool connected_flag = true;
  bool session_open = true;
  bool in_look = false;
  std::string message_text;
  int open_result_dialogs = 0;

  // Sets the page to the device's boxes, all rows checked.
  void FillPage();
  // Events that start with `prefix`.
  std::vector<std::string> EventsStarting(const std::string& prefix) const;

  // AutoBackupPage
  bool AnyRowChecked() override;
  bool RowChecked(size_t row) override;
  void SetRowChecked(size_t row, bool checked) override;
  std::string Target() override { return target; }
  void ClearTarget() override;
  bool CommonTargetChecks(bool automatic) override;
  uint32_t BackupType() override { return backup_type; }
  void StoreSelectedBoxes() override;
  std::vector<uint32_t> Selection() override { return selection; }
  void SetSelection(std::vector<uint32_t> boxes) override;
  std::vector<LoggedBox> PageBoxList() override { return page_list; }
  void AddBoxes() override;

  // AutoBackupConnection
  bool connected() override { return connected_flag; }
  void MarkConnected(bool connected) override;
  uint32_t OpenSession() override;
  bool AuthenticateWithoutDialog() override;
  uint32_t ReadEngineInfo() override;
  void ReadBoxList() override;
  void ReopenAndRead() override;
  void CloseSession() override;
  uint32_t open_result() override { return open_result_; }
  uint32_t service_status() override { return service_status_value; }
  uint32_t StorageType() override { return storage_type; }
  std::string DeviceName() override { return name; }
  std::string DeviceAddress() override { return address; }

  // AutoBackupWindow
  void Show(const desktop::Message& message) override;
  bool RunScheduleDialog(AutoBackupDialog& dialog) override;
  desktop::Answer RunAlertBox(uint32_t text, uint32_t caption,
                              uint32_t mode) override;
  void CloseAlertBox() override;
  std::unique_ptr<ResultDialog> OpenResultDialog(
      RetryMode mode, uint32_t error, uint32_t storage_type) override;
  void SetMessageText(const std::string& text) override;
  void SetConnectionIcon(uint32_t icon) override;
  void SetActionButtonText(uint32_t text) override;
  void EnableActionButton(bool enabled) override;
  void EnableAutoBackupMenuItem(bool enabled) override;
  void EnterScheduledLook() override;
  void LeaveScheduledLook() override;
  void EnableMainWindow() override;
  void Refresh() override;
  void SetSkipDialogSchedule(bool skip) override;

  // AutoBackupRunner
  JobResult RunBackup(const JobRequest& request) override;

  // RunNotifier
  void Notify(const RunNotification& notification) override;

 private:
  void Log(std::string event) { events.push_back(std::move(event)); }
  uint32_t open_result_ = 0;
  bool alert_open_ = false;
  bool alert_closed_ = false;
};

}  // namespace keeper
