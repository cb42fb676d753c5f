#include "keeper/app/auto_backup.h"

#include <algorithm>
#include <cctype>

#include "platform/clock.h"
#include "platform/env.h"

namespace keeper {
namespace {

using desktop::Icon;
using desktop::UiText;

bool EndsWithZip(std::string_view target) {
  if (target.size() < 4) return false;
  std::string_view tail = target.substr(target.size() - 4);
  static constexpr char kZip[] = ".zip";
  for (size_t i = 0; i < 4; ++i)
    if (std::tolower(static_cast<unsigned char>(tail[i])) != kZip[i])
      return false;
  return true;
}

// Text 58 up to its last line break: the part that says the time passed.
std::string CutBeforeLastBreak(std::string_view text) {
  size_t at = text.rfind('\n');
  return std::string(at == std::string_view::npos ? text : text.substr(0, at));
}

}  // namespace

bool IsAcceptableTargetName(std::string_view target) {
  size_t slash = target.rfind('/');
  std::string_view file =
      slash == std::string_view::npos ? target : target.substr(slash + 1);
  size_t dot = file.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  // Every part of the path: the file's base name and each folder name.
  std::string_view rest = target.substr(0, target.size() - file.size());
  std::vector<std::string_view> parts = {file.substr(0, dot)};
  size_t start = 0;
  while (start < rest.size()) {
    size_t end = rest.find('/', start);
    if (end == std::string_view::npos) end = rest.size();
    if (end > start) parts.push_back(rest.substr(start, end - start));
    start = end + 1;
  }
  for (std::string_view part : parts) {
    if (part.front() == ' ' || part.back() == ' ') return false;
  }
  return true;
}

RunNotification RunNotificationFor(RetryMode mode, uint32_t error,
                                   uint32_t storage_type,
                                   const std::string& address,
                                   const desktop::Texts& texts) {
  RetryDialogContent c = RetryContent(mode, error, storage_type, address, texts);
  RunNotification n;
  n.mode = mode;
  n.summary = texts(kTextScheduleTitle) + ": " + texts(c.title);
  n.body = c.line1;
  if (!c.line2.empty()) n.body += "\n" + c.line2;
  switch (c.icon) {
    case Icon::kInformation:
      n.icon = "dialog-information";
      n.urgency = RunNotification::Urgency::kNormal;
      break;
    case Icon::kWarning:
      n.icon = "dialog-warning";
      n.urgency = RunNotification::Urgency::kNormal;
      break;
    default:
      n.icon = "dialog-error";
      n.urgency = RunNotification::Urgency::kCritical;
      break;
  }
  return n;
}

AutoBackup::AutoBackup(AutoBackupParts parts)
    : parts_(std::move(parts)),
      timer_(platform::Env::Current()->clock(), kScheduleTimerPeriodMs,
             [this] { OnTimer(); }) {}

AutoBackup::~AutoBackup() = default;

void AutoBackup::ShowError(uint32_t text, uint32_t caption, Icon icon) {
  parts_.window.Show({UiText::Id(text), UiText::Id(caption), icon});
}

void AutoBackup::OnAutomaticBackupCommand() {
  if (automatic_) return;
  AutoBackupPage& page = parts_.page;
  AutoBackupWindow& window = parts_.window;

  if (IsAfterDateLimit(platform::LocalNow())) {
    ShowError(kTextDateLimit, kTextErrorCaption);
    return;
  }
  if (!page.AnyRowChecked()) {
    ShowError(kTextSelectBox, kTextScheduleTitle);
    return;
  }
  if (!IsAcceptableTargetName(page.Target())) {
    ShowError(kTextBadTargetName, kTextBackupCaption, Icon::kWarning);
    page.ClearTarget();
    return;
  }
  if (!page.CommonTargetChecks(/*automatic=*/false)) return;

  window.EnableAutoBackupMenuItem(false);
  if (!EndsWithZip(page.Target()) || !parts_.connection.connected()) {
    ShowError(kTextNeedZipAndDevice, kTextScheduleTitle);
    // The command can be chosen again once the cause is mended.
    window.EnableAutoBackupMenuItem(parts_.connection.connected());
    return;
  }
  AutoBackupDialog dialog(window);
  if (!window.RunScheduleDialog(dialog)) {
    window.EnableAutoBackupMenuItem(parts_.connection.connected());
    return;
  }
  const ScheduleChoice& choice = dialog.choice();
  parts_.connection.CloseSession();
  continue_if_deleted_ = choice.continue_if_deleted;
  retry_counter_ = 0;

  device_row_chosen_ = page.RowChecked(0);
  // Read afresh for every schedule: a value changed while the program
  // runs counts from the next schedule on.
  retry_ = ReadRetrySettings(parts_.registry, parts_.base_key);
  running_ = false;
  retry_mode_ = false;
  interval_ = choice.interval;
  page.StoreSelectedBoxes();

  SyncLogState();
  log_state_.device_name = parts_.connection.DeviceName();
  log_state_.device_address = parts_.connection.DeviceAddress();
  log_state_.interval = interval_;
  log_state_.start = LocalTimeOf(choice.start);
  log_state_.backup_type = page.BackupType();
  log_state_.continue_if_deleted = continue_if_deleted_;
  parts_.log.StartSchedule(log_state_, device_row_chosen_);

  next_run_ = choice.start;
  start_day_ = choice.start_day;
  end_reason_ = EndReason::kNone;
  deleted_ = {};
  refresh_pending_ = false;
  automatic_ = true;  // before the waiting text, which only shows then
  ShowWaiting(next_run_);
  timer_.Start();

  parts_.connection.CloseSession();
  parts_.connection.MarkConnected(false);
  window.SetConnectionIcon(kIconDisconnected);
  window.EnterScheduledLook();
}

void AutoBackup::OnTimer() {
  if (running_ || !automatic_) return;
  const int64_t now = LocalNowMinute();
  if (!IsValidScheduleTime(now)) {
    // The clock went past the last day the schedule can keep: no run can
    // be due any more, so the schedule ends instead of waiting forever.
    EndByLimit();
    return;
  }
  const int64_t due = retry_mode_ ? retry_time_ : next_run_;
  ShowWaiting(due);
  if (now == due) {
    Run();
  } else if (now > due) {
    if (interval_ == kIntervalOnce && !retry_mode_) {
      running_ = true;  // ticks during the message do nothing
      parts_.window.Show(
          {UiText::Of(CutBeforeLastBreak(parts_.texts.Text(kTextStartPassed))),
           UiText::Id(kTextErrorCaption), Icon::kError});
      running_ = false;
      automatic_ = false;
      end_reason_ = EndReason::kFailed;
      EndSchedule();
      parts_.window.SetConnectionIcon(kIconConnected);
      parts_.window.SetActionButtonText(kTextBackUp);
      interval_ = 0;
    } else {
      NextTime(retry_mode_);
    }
  }
}

void AutoBackup::NextTime(bool retry) {
  const int64_t now = LocalNowMinute();
  int64_t computed;
  if (retry) {
    retry_time_ = now + int64_t{retry_.interval_minutes} * 60;
    computed = retry_time_;
  } else {
    next_run_ = NextRegularTime(interval_, next_run_, now, start_day_);
    computed = next_run_;
  }
  if (!IsValidScheduleTime(computed)) {
    EndByLimit();
    return;
  }
  ShowWaiting(retry_mode_ ? retry_time_ : next_run_);
}

void AutoBackup::Run() {
  AutoBackupPage& page = parts_.page;
  AutoBackupConnection& connection = parts_.connection;
  AutoBackupWindow& window = parts_.window;
  running_ = true;
  CloseResultDialog();

  page.StoreSelectedBoxes();
  if (retry_counter_ == 0) {
    SyncLogState();
    parts_.log.WriteRunStart(log_state_);  // counts the run
  }
  const uint32_t prepared_as =
      fnPrepareAutoBackup(device_row_chosen_, continue_if_deleted_, page,
                          connection, window, parts_.texts, &deleted_);
  window.EnterScheduledLook();
  bool prepared = false;
  if (prepared_as == kPrepareReady) {
    if (connection.connected()) {
      window.SetConnectionIcon(kIconConnected);
      prepared = page.CommonTargetChecks(/*automatic=*/true);
    }
  } else if (prepared_as == kPrepareStop) {
    automatic_ = false;
    SyncLogState();
    parts_.log.WriteStopForDeletedBoxes(log_state_);
    CloseAlertBox();
    ShowResultDialog(RetryMode::kStoppedForDeletedBoxes, 0, /*notify=*/true);
  }
  if (!automatic_) {
    end_reason_ = EndReason::kNone;
    EndSchedule();
    window.SetConnectionIcon(kIconConnected);
    window.SetActionButtonText(kTextBackUp);
    running_ = false;
    return;
  }

  SyncLogState();
  const std::string archive =
      NumberedArchivePath(log_state_.target, log_state_.success_number + 1);
  const platform::SystemTime run_start = platform::LocalNow();

  JobResult result;  // failed, until a backup says otherwise
  if (prepared) {
    CloseAlertBox();
    JobRequest request;
    request.kind = JobKind::kBackup;
    request.archive_path = archive;
    request.boxes = page.Selection();
    request.backup_type = page.BackupType();
    result = parts_.runner.RunBackup(request);
  }
  const uint32_t error =
      prepared ? result.error
               : (connection.open_result() == 1 ? connection.service_status()
                                                : connection.open_result());

  SyncLogState();
  if (result.outcome == kOutcomeDone || result.outcome == kOutcomeCancelled) {
    if (IsLastRunBeforeLimit(interval_, LocalTimeOf(next_run_))) {
      ShowError(kTextDateLimit, kTextErrorCaption);
      parts_.log.WriteRunReport(log_state_, deleted_.boxes, run_start);
      ReportRunResult(result.outcome, error);
      retry_counter_ = 0;
      if (automatic_) {
        end_reason_ = EndReason::kRanOut;
        automatic_ = false;
        EndSchedule();
      }
    } else {
      retry_mode_ = false;
      NextTime(false);
      parts_.log.WriteRunReport(log_state_, deleted_.boxes, run_start);
      ReportRunResult(result.outcome, error);
      retry_counter_ = 0;
    }
    if (result.outcome == kOutcomeCancelled && automatic_) {
      end_reason_ = EndReason::kCancelled;
      automatic_ = false;
      EndSchedule();
    }
  } else {
    ReportRunResult(kOutcomeFailed, error);
    if (automatic_) {  // retries exhausted end the schedule in the report
      if (retry_counter_ <= retry_.count && IsRetryableError(error)) {
        if (++retry_counter_ > retry_.count) {
          retry_counter_ = 0;
          retry_mode_ = false;
        } else {
          retry_mode_ = true;
          NextTime(true);
        }
      } else {
        // The next run is a regular one again: it counts and is logged.
        retry_mode_ = false;
        retry_counter_ = 0;
        NextTime(false);
      }
    }
  }

  if (interval_ == kIntervalOnce && !retry_mode_ && automatic_) {
    automatic_ = false;
    end_reason_ = result.outcome == kOutcomeFailed ? EndReason::kFailed
                  : result.outcome == kOutcomeDone ? EndReason::kRanOut
                                                   : EndReason::kCancelled;
    EndSchedule();
    window.SetConnectionIcon(kIconConnected);
    window.SetActionButtonText(kTextBackUp);
    interval_ = 0;
  } else {
    // After a network error the session stays open for the next attempt.
    if (!result.network_error) connection.CloseSession();
    window.SetConnectionIcon(kIconDisconnected);
  }
  running_ = false;
}

void AutoBackup::ReportRunResult(uint32_t outcome, uint32_t error) {
  RunResult r;
  RetryMode mode;
  r.error = error;
  r.storage_type = parts_.connection.StorageType();
  if (outcome == kOutcomeDone) {
    r.kind = RunResult::kDone;
    mode = RetryMode::kDone;
  } else if (outcome == kOutcomeCancelled) {
    r.kind = RunResult::kCancelled;
    mode = RetryMode::kCancelled;
  } else if (retry_counter_ < retry_.count && IsRetryableError(error)) {
    r.kind = RunResult::kFailedWillRetry;
    mode = RetryMode::kRetryPending;
  } else if (retry_counter_ == retry_.count) {
    r.kind = RunResult::kFailedLastRetry;
    mode = RetryMode::kRetriesExhausted;
  } else {
    r.kind = RunResult::kFailed;
    mode = RetryMode::kFailed;
  }
  parts_.log.WriteRunResult(log_state_, r);
  CloseAlertBox();
  ShowResultDialog(mode, error, /*notify=*/true);
  if (mode == RetryMode::kRetriesExhausted && automatic_) {
    // The whole schedule stops, not only this occurrence.
    automatic_ = false;
    end_reason_ = EndReason::kFailed;
    EndSchedule();
  }
}

ScheduleOutcome AutoBackup::OutcomeOfEnd() const {
  switch (end_reason_) {
    case EndReason::kFailed: return ScheduleOutcome::kFailed;
    case EndReason::kCancelled: return ScheduleOutcome::kStoppedByUser;
    case EndReason::kRanOut:
      return deleted_.any ? ScheduleOutcome::kRanOutAfterDeletedBoxes
                          : ScheduleOutcome::kRanOut;
    default: return ScheduleOutcome::kRanOut;
  }
}

void AutoBackup::EndSchedule() {
  SyncLogState();
  parts_.log.WriteOutcome(log_state_, OutcomeOfEnd());
  StopScheduleState();
}

void AutoBackup::EndByLimit() {
  if (automatic_) {
    ShowError(kTextDateLimit, kTextErrorCaption);
    if (!result_dialog_) parts_.window.EnableMainWindow();
    // The schedule ran out: the calendar allows no further run.
    end_reason_ = EndReason::kRanOut;
    automatic_ = false;
  }
  SyncLogState();
  parts_.log.WriteOutcome(log_state_, OutcomeOfEnd());
  StopScheduleState();
}

void AutoBackup::StopScheduleState() {
  timer_.Stop();
  interval_ = 0;
  parts_.window.SetMessageText("");
  automatic_ = false;
  LeaveScheduledLook();
}

void AutoBackup::LeaveScheduledLook() {
  parts_.window.LeaveScheduledLook();
  deleted_.boxes.clear();
  log_state_.run_number = 0;
  log_state_.success_number = 0;
  refresh_pending_ = true;
  if (!result_dialog_) {
    // The stored credential is reused by the Refresh.
    parts_.connection.MarkConnected(true);
    parts_.window.Refresh();
    refresh_pending_ = false;
  }
  parts_.window.SetSkipDialogSchedule(false);
}

void AutoBackup::OnStop() {
  if (!automatic_ || running_) return;
  alert_open_ = true;
  desktop::Answer answer = parts_.window.RunAlertBox(
      kTextStopQuestion, kTextScheduleTitle, kAlertQuestion);
  alert_open_ = false;
  // A run that started meanwhile closed the box (Cancel) or ended the
  // schedule itself.
  if (answer != desktop::Answer::kOk || !automatic_) return;
  SyncLogState();
  parts_.log.WriteOutcome(log_state_, ScheduleOutcome::kStoppedByUser);
  if (!result_dialog_) parts_.window.EnableMainWindow();
  CloseResultDialog();
  CloseAlertBox();
  ShowResultDialog(RetryMode::kCancelled, 0, /*notify=*/false);
  end_reason_ = EndReason::kCancelled;
  automatic_ = false;
  StopScheduleState();
}

bool AutoBackup::OnExit() {
  if (!automatic_) return true;
  alert_open_ = true;
  desktop::Answer answer = parts_.window.RunAlertBox(
      kTextExitQuestion, kTextExitCaption, kAlertWarning);
  alert_open_ = false;
  if (answer != desktop::Answer::kOk || !automatic_) {
    parts_.window.EnableMainWindow();
    return false;
  }
  deleted_ = {};
  timer_.Stop();
  interval_ = 0;
  SyncLogState();
  parts_.log.WriteOutcome(log_state_, ScheduleOutcome::kStoppedByUser);
  end_reason_ = EndReason::kCancelled;
  automatic_ = false;
  CloseResultDialog();
  return true;
}

void AutoBackup::OnResultDialogClosed() {
  result_dialog_.reset();
  parts_.window.EnableActionButton(true);
  if (refresh_pending_) {
    refresh_pending_ = false;
    parts_.connection.MarkConnected(true);
    parts_.window.Refresh();
  } else if (automatic_) {
    parts_.window.EnableMainWindow();
  }
}

void AutoBackup::ShowWaiting(int64_t due) {
  if (!automatic_) return;
  parts_.window.SetMessageText(
      WaitingText(parts_.texts, parts_.date_format, LocalTimeOf(due)));
}

void AutoBackup::ShowResultDialog(RetryMode mode, uint32_t error,
                                  bool notify) {
  CloseResultDialog();
  const uint32_t storage = parts_.connection.StorageType();
  result_dialog_ = parts_.window.OpenResultDialog(mode, error, storage);
  if (notify && parts_.notifier)
    parts_.notifier->Notify(RunNotificationFor(
        mode, error, storage, parts_.connection.DeviceAddress(),
        parts_.texts));
}

void AutoBackup::CloseResultDialog() {
  if (!result_dialog_) return;
  std::unique_ptr<ResultDialog> dialog = std::move(result_dialog_);
  dialog->Close();
}

void AutoBackup::CloseAlertBox() {
  if (!alert_open_) return;
  alert_open_ = false;
  parts_.window.CloseAlertBox();
}

void AutoBackup::SyncLogState() {
  log_state_.target = parts_.page.Target();
  log_state_.device_boxes = parts_.page.PageBoxList();
  log_state_.selection = parts_.page.Selection();
}

}  // namespace keeper
