#include "keeper/app/testing/fake_auto_backup_host.h"

#include <algorithm>
#include <fstream>

namespace keeper {
namespace {

class FakeResultDialog final : public ResultDialog {
 public:
  FakeResultDialog(FakeAutoBackupHost* host, RetryMode mode)
      : host_(host), mode_(mode) {}
  void Close() override {
    host_->events.push_back("close-result " +
                            std::to_string(static_cast<int>(mode_)));
    --host_->open_result_dialogs;
    closed_ = true;
  }
  ~FakeResultDialog() override {
    // Destroyed when the user closed it (OnResultDialogClosed).
    if (!closed_) --host_->open_result_dialogs;
  }

 private:
  FakeAutoBackupHost* host_;
  RetryMode mode_;
  bool closed_ = false;
};

}  // namespace

void FakeAutoBackupHost::FillPage() {
  page_list = device_boxes;
  rows.assign(page_list.size() + 1, true);
}

std::vector<std::string> FakeAutoBackupHost::EventsStarting(
    const std::string& prefix) const {
  std::vector<std::string> out;
  for (const std::string& e : events)
    if (e.rfind(prefix, 0) == 0) out.push_back(e);
  return out;
}

bool FakeAutoBackupHost::AnyRowChecked() {
  return std::find(rows.begin(), rows.end(), true) != rows.end();
}

bool FakeAutoBackupHost::RowChecked(size_t row) {
  return row < rows.size() && rows[row];
}

void FakeAutoBackupHost::SetRowChecked(size_t row, bool checked) {
  if (row < rows.size()) rows[row] = checked;
}

void FakeAutoBackupHost::ClearTarget() {
  Log("clear-target");
  target.clear();
}

bool FakeAutoBackupHost::CommonTargetChecks(bool automatic) {
  Log(automatic ? "target-checks auto" : "target-checks manual");
  return target_checks_pass;
}

void FakeAutoBackupHost::StoreSelectedBoxes() {
  selection.clear();
  for (size_t i = 0; i < page_list.size(); ++i)
    if (RowChecked(i + 1)) selection.push_back(page_list[i].number);
}

void FakeAutoBackupHost::SetSelection(std::vector<uint32_t> boxes) {
  selection = std::move(boxes);
}

void FakeAutoBackupHost::AddBoxes() {
  Log("add-boxes");
  page_list = connected_flag ? device_boxes : std::vector<LoggedBox>{};
  rows.assign(page_list.size() + 1, true);
}

void FakeAutoBackupHost::MarkConnected(bool connected) {
  connected_flag = connected;
}

uint32_t FakeAutoBackupHost::OpenSession() {
  session_open = true;
  open_result_ = device_on ? 1 : off_error;
  Log("open-session " + std::to_string(open_result_));
  return open_result_;
}

bool FakeAutoBackupHost::AuthenticateWithoutDialog() {
  Log(auth_ok ? "authenticate ok" : "authenticate refused");
  return auth_ok;
}

uint32_t FakeAutoBackupHost::ReadEngineInfo() { return engine_info_error; }

void FakeAutoBackupHost::ReadBoxList() { connected_flag = device_on; }

void FakeAutoBackupHost::ReopenAndRead() {
  Log("reopen");
  connected_flag = false;  // only a device that is off gets here
}

void FakeAutoBackupHost::CloseSession() {
  if (session_open) Log("close-session");
  session_open = false;
}

void FakeAutoBackupHost::Show(const desktop::Message& message) {
  if (message.text.id)
    Log("show " + std::to_string(message.text.id) + " caption " +
        std::to_string(message.caption.id));
  else
    Log("show '" + message.text.text + "' caption " +
        std::to_string(message.caption.id));
}

bool FakeAutoBackupHost::RunScheduleDialog(AutoBackupDialog& dialog) {
  Log("schedule-dialog");
  if (schedule_dialog) return schedule_dialog(dialog);
  last_range = dialog.OnOpen();
  return dialog.OnSet(choice_date, choice_hour, choice_minute,
                      choice_interval, choice_continue);
}

desktop::Answer FakeAutoBackupHost::RunAlertBox(uint32_t text,
                                                uint32_t caption,
                                                uint32_t mode) {
  Log("alert " + std::to_string(text) + " caption " + std::to_string(caption) +
      " mode " + std::to_string(mode));
  alert_open_ = true;
  alert_closed_ = false;
  if (while_alert) while_alert();
  alert_open_ = false;
  if (alert_closed_) return desktop::Answer::kCancel;
  if (alert_answers.empty()) return desktop::Answer::kOk;
  desktop::Answer a = alert_answers.front();
  alert_answers.pop_front();
  return a;
}

void FakeAutoBackupHost::CloseAlertBox() {
  Log(alert_open_ ? "close-alert" : "close-alert (none open)");
  alert_closed_ = true;
}

std::unique_ptr<ResultDialog> FakeAutoBackupHost::OpenResultDialog(
    RetryMode mode, uint32_t error, uint32_t) {
  Log("result " + std::to_string(static_cast<int>(mode)) + " error " +
      std::to_string(error));
  result_modes.push_back(mode);
  ++open_result_dialogs;
  return std::make_unique<FakeResultDialog>(this, mode);
}

void FakeAutoBackupHost::SetMessageText(const std::string& text) {
  message_text = text;
}

void FakeAutoBackupHost::SetConnectionIcon(uint32_t icon) {
  Log("icon " + std::to_string(icon));
}

void FakeAutoBackupHost::SetActionButtonText(uint32_t text) {
  Log("button " + std::to_string(text));
}

void FakeAutoBackupHost::EnableActionButton(bool enabled) {
  Log(enabled ? "button enabled" : "button disabled");
}

void FakeAutoBackupHost::EnableAutoBackupMenuItem(bool enabled) {
  Log(enabled ? "menu-item enabled" : "menu-item disabled");
}

void FakeAutoBackupHost::EnterScheduledLook() {
  if (!in_look) Log("look scheduled");
  in_look = true;
}

void FakeAutoBackupHost::LeaveScheduledLook() {
  Log("look normal");
  in_look = false;
}

void FakeAutoBackupHost::EnableMainWindow() { Log("enable-window"); }

void FakeAutoBackupHost::Refresh() { Log("refresh"); }

void FakeAutoBackupHost::SetSkipDialogSchedule(bool skip) {
  Log(skip ? "skip-dialog set" : "skip-dialog cleared");
}

JobResult FakeAutoBackupHost::RunBackup(const JobRequest& request) {
  Log("backup " + request.archive_path);
  requests.push_back(request);
  JobResult r;
  if (run_backup) {
    r = run_backup(request);
  } else if (!run_results.empty()) {
    r = run_results.front();
    run_results.pop_front();
  } else {
    r.outcome = kOutcomeDone;
  }
  if (r.outcome == kOutcomeDone) {
    std::ofstream out(request.archive_path, std::ios::binary);
    out << std::string(archive_bytes, 'z');
  }
  return r;
}

void FakeAutoBackupHost::Notify(const RunNotification& notification) {
  Log("notify " + std::to_string(static_cast<int>(notification.mode)));
  notifications.push_back(notification);
}

}  // namespace keeper
