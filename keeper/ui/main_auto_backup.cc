#include "keeper/ui/main_auto_backup.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QTime>
#include <QTreeWidgetItemIterator>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "keeper/app/backup_target.h"
#include "keeper/app/box_service.h"
#include "keeper/app/device_link.h"
#include "keeper/ui/auto_backup_dlg.h"
#include "keeper/ui/desktop_notifier.h"
#include "keeper/ui/main_dlg.h"
#include "keeper/ui/main_page_host.h"
#include "keeper/ui/pages.h"
#include "keeper/ui/progress_dlg.h"
#include "keeper/ui/qt_text.h"
#include "keeper/ui/retry_dlg.h"
#include "platform/env.h"

namespace keeper {
namespace {

constexpr uint32_t kTextProgramTitle = 19;

// The result dialog as the schedule holds it. Closing it from the schedule
// (a new run, Stop) destroys it without the effects of its OK button.
class QtResultDialog final : public ResultDialog {
 public:
  explicit QtResultDialog(CRetryDlg* dialog) : dialog_(dialog) {}
  void Close() override {
    if (!dialog_) return;
    QObject::disconnect(dialog_, &CRetryDlg::closedByUser, nullptr, nullptr);
    dialog_->hide();
    dialog_->deleteLater();
    dialog_.clear();
  }

 private:
  QPointer<CRetryDlg> dialog_;
};

CABLogger::TextsLoader SameLanguage(const desktop::LanguageLibrary& lang) {
  std::string path = lang.path();
  return [path]() -> std::unique_ptr<desktop::Texts> {
    std::string error;
    return desktop::LanguageLibrary::LoadPath(path, &error);
  };
}

}  // namespace

std::optional<std::string> QtShortDateFormat::ShortDate(
    const platform::SystemTime& t) const {
  QDate d(t.year, t.month, t.day);
  if (!d.isValid()) return std::nullopt;
  return QLocale::system().toString(d, QLocale::ShortFormat).toStdString();
}

std::optional<std::string> QtShortDateFormat::DayName(
    const platform::SystemTime& t) const {
  QDate d(t.year, t.month, t.day);
  if (!d.isValid()) return std::nullopt;
  return QLocale::system()
      .dayName(d.dayOfWeek(), QLocale::ShortFormat)
      .toStdString();
}

std::optional<std::string> QtShortDateFormat::TimeNoSeconds(
    const platform::SystemTime& t) const {
  QTime time(t.hour, t.minute);
  if (!time.isValid()) return std::nullopt;
  return QLocale::system().toString(time, QLocale::ShortFormat).toStdString();
}

bool QtShortDateFormat::DateFirst() const {
  const QLocale l = QLocale::system();
  switch (l.language()) {
    case QLocale::Japanese:
    case QLocale::Korean:
      return true;
    case QLocale::Chinese:
      return l.script() == QLocale::TraditionalChineseScript;
    default:
      return false;
  }
}

CMainAutoBackup::CMainAutoBackup(const desktop::LanguageLibrary& lang,
                                 desktop::Screen& screen,
                                 CTARNBackupRestoreDlg& window)
    : lang_(lang),
      screen_(screen),
      window_(window),
      connection_(window.logic(),
                  [&window]() -> std::optional<uint32_t> {
                    uint32_t type = 0;
                    if (!window.page_host()->StorageType(&type))
                      return std::nullopt;
                    return type;
                  }),
      log_(CABLogger::DefaultPath(), SameLanguage(lang), screen, long_format_),
      desktop_(std::make_unique<CDesktopNotifier>(
          QText(lang, kTextProgramTitle))),
      notifier_(desktop_.get()) {
  driver_.setSingleShot(true);
  connect(&driver_, &QTimer::timeout, this, &CMainAutoBackup::OnTimer);
  schedule_ = std::make_unique<AutoBackup>(AutoBackupParts{
      *this, connection_, *this, *this, this, lang_, short_format_, log_,
      platform::Env::Current()->registry(),
      window.logic().settings().base_key()});
}

CMainAutoBackup::~CMainAutoBackup() {
  driver_.stop();
  if (result_dialog_) delete result_dialog_.data();
}

void CMainAutoBackup::set_max_wait_ms(int ms) {
  max_wait_ms_ = std::max(1, ms);
  Rearm();
}

void CMainAutoBackup::Rearm() {
  std::optional<uint64_t> due = schedule_->timer().MillisUntilDue();
  if (!due) {
    driver_.stop();
    return;
  }
  driver_.start(static_cast<int>(
      std::min<uint64_t>(*due, static_cast<uint64_t>(max_wait_ms_))));
}

void CMainAutoBackup::OnTimer() {
  schedule_->Poll();
  Rearm();
}

void CMainAutoBackup::OnCommand() {
  schedule_->OnAutomaticBackupCommand();
  Rearm();
}

void CMainAutoBackup::OnStop() {
  schedule_->OnStop();
  Rearm();
}

bool CMainAutoBackup::OnExit() {
  const bool may_close = schedule_->OnExit();
  Rearm();
  return may_close;
}

// --- The Backup page.

bool CMainAutoBackup::AnyRowChecked() {
  const CBoxTreeList* list = window_.CurrentPage() == Page::kBackup
                                 ? window_.backup_page()->box_list()
                                 : window_.restore_page()->box_list();
  for (QTreeWidgetItemIterator it(const_cast<CBoxTreeList*>(list)); *it; ++it)
    if ((*it)->checkState(0) == Qt::Checked) return true;
  return false;
}

bool CMainAutoBackup::RowChecked(size_t row) {
  QTreeWidgetItem* top = window_.backup_page()->box_list()->device_row();
  if (!top) return false;
  if (row == 0) return top->checkState(0) == Qt::Checked;
  if (row > static_cast<size_t>(top->childCount())) return false;
  return top->child(static_cast<int>(row) - 1)->checkState(0) == Qt::Checked;
}

void CMainAutoBackup::SetRowChecked(size_t row, bool checked) {
  QTreeWidgetItem* top = window_.backup_page()->box_list()->device_row();
  if (!top) return;
  QTreeWidgetItem* item =
      row == 0 ? top
      : row <= static_cast<size_t>(top->childCount())
          ? top->child(static_cast<int>(row) - 1)
          : nullptr;
  if (item) item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

std::string CMainAutoBackup::Target() {
  return window_.backup_page()->TargetText();
}

void CMainAutoBackup::ClearTarget() {
  window_.backup_page()->SetTargetText("");
  window_.backup_page()->FocusTarget();
}

bool CMainAutoBackup::CommonTargetChecks(bool automatic) {
  if (automatic)
    return CheckBackupTarget(Target(), TargetCheckMode::kAutomatic, nullptr)
        .ok;
  TargetCheck check =
      CheckBackupTarget(Target(), TargetCheckMode::kManual, &screen_);
  if (!check.ok) {
    if (check.focus) window_.backup_page()->FocusTarget();
    if (check.clear_field) window_.backup_page()->SetTargetText("");
  }
  return check.ok;
}

uint32_t CMainAutoBackup::BackupType() {
  return window_.backup_page()->FullChecked() ? 0 : 1;
}

void CMainAutoBackup::StoreSelectedBoxes() {
  selection_ = window_.backup_page()->CheckedBoxes();
}

void CMainAutoBackup::SetSelection(std::vector<uint32_t> boxes) {
  selection_ = std::move(boxes);
}

std::vector<LoggedBox> CMainAutoBackup::PageBoxList() {
  std::vector<LoggedBox> out;
  if (BackupPageLogic* logic = window_.backup_page()->logic())
    for (const BoxEntry& b : logic->page_boxes())
      out.push_back({b.number, b.name});
  return out;
}

void CMainAutoBackup::AddBoxes() { window_.backup_page()->AddBoxes(); }

// --- The window.

void CMainAutoBackup::Show(const desktop::Message& message) {
  screen_.Show(message);
}

bool CMainAutoBackup::RunScheduleDialog(AutoBackupDialog& dialog) {
  CAutoBackup box(lang_, dialog, &window_);
  emit scheduleDialogOpened(&box);
  return box.exec() == QDialog::Accepted;
}

desktop::Answer CMainAutoBackup::RunAlertBox(uint32_t text, uint32_t caption,
                                             uint32_t mode) {
  auto* box = new CTNAlertBox(lang_, std::string(lang_.Text(text)),
                              std::string(lang_.Text(caption)), mode, &window_);
  alert_ = box;
  const int answer = box->exec();
  alert_.clear();
  delete box;
  return answer == QDialog::Accepted ? desktop::Answer::kOk
                                     : desktop::Answer::kCancel;
}

void CMainAutoBackup::CloseAlertBox() {
  // As if Cancel was pressed: the one who opened it carries on.
  if (alert_) alert_->reject();
}

std::unique_ptr<ResultDialog> CMainAutoBackup::OpenResultDialog(
    RetryMode mode, uint32_t error, uint32_t storage_type) {
  auto* dialog = new CRetryDlg(lang_, mode, error, storage_type,
                               window_.logic().app().device.address,
                               log_.path(), &screen_, &window_);
  result_dialog_ = dialog;
  connect(dialog, &CRetryDlg::closedByUser, this,
          &CMainAutoBackup::OnResultDialogClosed);
  connect(dialog, &CRetryDlg::closedByUser, dialog, &QObject::deleteLater);
  // Modeless, yet the window waits for it to be read.
  SetWindowEnabled(false);
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
  emit resultDialogOpened(dialog);
  return std::make_unique<QtResultDialog>(dialog);
}

void CMainAutoBackup::OnResultDialogClosed() {
  result_dialog_.clear();
  schedule_->OnResultDialogClosed();
  // Pending or ended, the window is usable again once no result dialog
  // is open.
  EnableMainWindow();
  if (!pending()) {
    window_.raise();
    window_.activateWindow();
  }
}

void CMainAutoBackup::SetWindowEnabled(bool enabled) {
  window_.centralWidget()->setEnabled(enabled);
  window_.menuBar()->setEnabled(enabled);
}

void CMainAutoBackup::SetMessageText(const std::string& text) {
  window_.SetStatusText(desktop::UiText::Of(text));
}

void CMainAutoBackup::SetConnectionIcon(uint32_t icon) {
  window_.SetConnectionIcon(icon == kIconConnected);
}

void CMainAutoBackup::SetActionButtonText(uint32_t text) {
  window_.action_button()->setText(QText(lang_, text));
}

void CMainAutoBackup::EnableActionButton(bool enabled) {
  window_.action_button()->setEnabled(enabled);
}

void CMainAutoBackup::EnableAutoBackupMenuItem(bool enabled) {
  window_.action(kCmdAutomaticBackup)->setEnabled(enabled);
}

void CMainAutoBackup::EnterScheduledLook() {
  window_.logic().SetAutomaticMode(true);  // menus 1 to 3 and the items
  CBackupPage* page = window_.backup_page();
  page->box_list()->SetGreyed(true);
  window_.sheet()->setEnabled(false);
  page->setting_group()->setEnabled(false);
  page->target()->setEnabled(false);
  page->browse_button()->setEnabled(false);
  QPushButton* button = window_.action_button();
  button->setText(QText(lang_, kTextStop));
  button->setEnabled(true);
  button->setDefault(true);
  button->setFocus();
}

void CMainAutoBackup::LeaveScheduledLook() {
  window_.logic().SetAutomaticMode(false);
  CBackupPage* page = window_.backup_page();
  window_.action_button()->setText(QText(lang_, kTextBackUp));
  window_.sheet()->setEnabled(true);
  page->target()->setEnabled(true);
  page->browse_button()->setEnabled(true);
  page->box_list()->SetGreyed(false);
  page->OnSetActive();  // the backup type follows the connection again
}

void CMainAutoBackup::EnableMainWindow() {
  if (RetryDialogLogic::OpenCount() > 0) return;
  SetWindowEnabled(true);
  if (pending()) EnterScheduledLook();
}

void CMainAutoBackup::Refresh() { window_.logic().OnRefresh(); }

void CMainAutoBackup::SetSkipDialogSchedule(bool skip) {
  window_.logic().SetSkipSchedule(skip);
}

// --- The run.

JobResult CMainAutoBackup::RunBackup(const JobRequest& request) {
  BoxlinkJobBackend backend(window_.logic().SessionForJob());
  CProgressDlg dialog(lang_, request.kind, backend, request, &screen_,
                      &window_);
  emit runStarted(&dialog);
  dialog.exec();
  dialog.logic().Wait();
  return dialog.logic().result();
}

void CMainAutoBackup::Notify(const RunNotification& notification) {
  if (notifier_) notifier_->Notify(notification);
}

}  // namespace keeper
