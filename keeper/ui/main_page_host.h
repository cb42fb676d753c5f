// The main window as the Backup and Restore pages see it: the connection's
// state from the window's logic, and the run of a job in the progress
// dialog over the window's device session.
#pragma once

#include <QObject>

#include "desktop/language.h"
#include "desktop/screen.h"
#include "keeper/app/page_host.h"

namespace keeper {

class CTARNBackupRestoreDlg;
class CProgressDlg;

class CMainPageHost final : public QObject, public PageHost {
  Q_OBJECT

 public:
  CMainPageHost(const desktop::LanguageLibrary& lang, desktop::Screen& screen,
                CTARNBackupRestoreDlg& window);

  bool connected() const override;
  bool old_generation() const override;
  uint32_t open_result() const override;
  std::vector<BoxEntry> boxes() const override;
  std::string device_row_text() const override;
  std::string engine_version() const override;
  std::string address() const override;
  bool automatic_pending() const override;
  void StopAutomaticBackup() override;

  void SetSkipBackup() override;
  JobResult RunJob(const JobRequest& request) override;
  void SetStatusText(const desktop::UiText& text) override;
  void SetWaitCursor(bool on) override;
  void Refresh() override;
  void EnterDisconnected() override;
  void ReadBoxListAgain() override;
  bool StorageType(uint32_t* type) override;
  int32_t RestoreTime() override;

 signals:
  // The progress dialog of a run is up (tests and the gallery follow it).
  void runStarted(keeper::CProgressDlg* dialog);

 private:
  const desktop::LanguageLibrary& lang_;
  desktop::Screen& screen_;
  CTARNBackupRestoreDlg& window_;
};

}  // namespace keeper
