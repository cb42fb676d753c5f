// The automatic backup in the main window: the schedule logic
// (keeper/app/auto_backup.h) wired to the real Backup page, the window's
// device connection, its controls and dialogs, the progress dialog that
// runs each backup, and the desktop's notifications.
//
// The 30-second timer is read from the platform clock: a single-shot
// QTimer wakes the window when the next tick is due (and at least every
// max_wait_ms, so that a clock that jumps, after a suspend or in a test,
// is noticed soon), and the logic decides whether a tick fell due.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <vector>

#include "desktop/language.h"
#include "desktop/screen.h"
#include "keeper/app/ab_logger.h"
#include "keeper/app/auto_backup.h"
#include "keeper/app/schedule_connection.h"
#include "keeper/app/waiting_text.h"
#include "keeper/ui/retry_dlg.h"
#include "keeper/ui/widgets.h"

namespace keeper {

class CAutoBackup;
class CDesktopNotifier;
class CProgressDlg;
class CTARNBackupRestoreDlg;

// Dates of the message part in the user's locale: the short date, the
// abbreviated day name, the time without seconds.
class QtShortDateFormat final : public ShortDateFormat {
 public:
  std::optional<std::string> ShortDate(
      const platform::SystemTime& t) const override;
  std::optional<std::string> DayName(
      const platform::SystemTime& t) const override;
  std::optional<std::string> TimeNoSeconds(
      const platform::SystemTime& t) const override;
  // Japanese, Korean and traditional Chinese write the date first.
  bool DateFirst() const override;
};

class CMainAutoBackup final : public QObject,
                              public AutoBackupPage,
                              public AutoBackupWindow,
                              public AutoBackupRunner,
                              public RunNotifier {
  Q_OBJECT

 public:
  static constexpr int kDefaultMaxWaitMs = 1000;

  CMainAutoBackup(const desktop::LanguageLibrary& lang,
                  desktop::Screen& screen, CTARNBackupRestoreDlg& window);
  ~CMainAutoBackup() override;

  // Command 32773 (Automatic Backup).
  void OnCommand();
  // The action button while it shows Stop.
  void OnStop();
  // Exit or closing the window: true when the window may close.
  bool OnExit();

  AutoBackup& schedule() { return *schedule_; }
  bool pending() const { return schedule_->automatic(); }
  const CABLogger& log() const { return log_; }
  // The open result dialog and stop confirmation, if any.
  CRetryDlg* result_dialog() const { return result_dialog_.data(); }
  CTNAlertBox* alert_box() const { return alert_.data(); }
  // Where the run results go besides the result dialog; the desktop's
  // notification service unless a test puts its own.
  void set_notifier(RunNotifier* notifier) { notifier_ = notifier; }
  CDesktopNotifier* desktop_notifier() const { return desktop_.get(); }
  void set_max_wait_ms(int ms);

  // AutoBackupPage.
  bool AnyRowChecked() override;
  bool RowChecked(size_t row) override;
  void SetRowChecked(size_t row, bool checked) override;
  std::string Target() override;
  void ClearTarget() override;
  bool CommonTargetChecks(bool automatic) override;
  uint32_t BackupType() override;
  void StoreSelectedBoxes() override;
  std::vector<uint32_t> Selection() override { return selection_; }
  void SetSelection(std::vector<uint32_t> boxes) override;
  std::vector<LoggedBox> PageBoxList() override;
  void AddBoxes() override;

  // AutoBackupWindow.
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

  // AutoBackupRunner.
  JobResult RunBackup(const JobRequest& request) override;

  // RunNotifier.
  void Notify(const RunNotification& notification) override;

 signals:
  // The schedule dialog is up (tests and the gallery fill it in).
  void scheduleDialogOpened(keeper::CAutoBackup* dialog);
  // A run's progress dialog is up.
  void runStarted(keeper::CProgressDlg* dialog);
  // A result dialog was opened.
  void resultDialogOpened(keeper::CRetryDlg* dialog);

 private:
  void Rearm();
  void OnTimer();
  void OnResultDialogClosed();
  // The main window's contents, while a result dialog is open.
  void SetWindowEnabled(bool enabled);

  const desktop::LanguageLibrary& lang_;
  desktop::Screen& screen_;
  CTARNBackupRestoreDlg& window_;
  QtShortDateFormat short_format_;
  QtDateTimeFormat long_format_;
  ScheduleConnection connection_;
  CABLogger log_;
  std::unique_ptr<CDesktopNotifier> desktop_;
  RunNotifier* notifier_ = nullptr;
  std::vector<uint32_t> selection_;
  QTimer driver_;
  int max_wait_ms_ = kDefaultMaxWaitMs;
  QPointer<CTNAlertBox> alert_;
  QPointer<CRetryDlg> result_dialog_;
  std::unique_ptr<AutoBackup> schedule_;
};

}  // namespace keeper
