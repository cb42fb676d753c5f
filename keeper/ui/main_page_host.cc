#include "keeper/ui/main_page_host.h"

#include <cstring>

#include "keeper/app/device_link.h"
#include "keeper/ui/main_auto_backup.h"
#include "keeper/ui/main_dlg.h"
#include "keeper/ui/pages.h"
#include "keeper/ui/progress_dlg.h"
#include "platform/calendar.h"

namespace keeper {

CMainPageHost::CMainPageHost(const desktop::LanguageLibrary& lang,
                             desktop::Screen& screen,
                             CTARNBackupRestoreDlg& window)
    : lang_(lang), screen_(screen), window_(window) {}

bool CMainPageHost::connected() const { return window_.logic().connected(); }

bool CMainPageHost::old_generation() const {
  return window_.logic().link().old_generation;
}

uint32_t CMainPageHost::open_result() const {
  return window_.logic().link().open_result;
}

std::vector<BoxEntry> CMainPageHost::boxes() const {
  return window_.logic().link().boxes;
}

std::string CMainPageHost::device_row_text() const {
  const SelectedDevice& d = window_.logic().app().device;
  if (d.name.empty() || d.name == d.address) return d.address;
  return d.name + " (" + d.address + ")";
}

std::string CMainPageHost::engine_version() const {
  const CDeviceLink& link = window_.logic().link();
  if (!link.connected) return {};
  return std::string(link.engine.EngineVersion,
                     strnlen(link.engine.EngineVersion,
                             sizeof link.engine.EngineVersion));
}

std::string CMainPageHost::address() const {
  return window_.logic().app().device.address;
}

bool CMainPageHost::automatic_pending() const {
  return window_.logic().app().automatic_mode;
}

void CMainPageHost::StopAutomaticBackup() {
  if (CMainAutoBackup* schedule = window_.auto_backup()) schedule->OnStop();
}

void CMainPageHost::SetSkipBackup() { window_.logic().SetSkipBackup(); }

JobResult CMainPageHost::RunJob(const JobRequest& request) {
  BoxlinkJobBackend backend(window_.logic().SessionForJob());
  CProgressDlg dialog(lang_, request.kind, backend, request, &screen_,
                      &window_);
  emit runStarted(&dialog);
  dialog.exec();
  dialog.logic().Wait();
  return dialog.logic().result();
}

void CMainPageHost::SetStatusText(const desktop::UiText& text) {
  window_.SetStatusText(text);
}

void CMainPageHost::SetWaitCursor(bool on) { window_.SetWaitCursor(on); }

void CMainPageHost::Refresh() { window_.logic().OnRefresh(); }

void CMainPageHost::EnterDisconnected() { window_.logic().OnRunLostDevice(); }

void CMainPageHost::ReadBoxListAgain() {
  window_.logic().ReadBoxListAfterRun();
  window_.SetConnectionIcon(window_.logic().connected());
  window_.backup_page()->AddBoxes();
  window_.backup_page()->OnSetActive();
}

bool CMainPageHost::StorageType(uint32_t* type) {
  JobSession s = window_.logic().SessionForJob();
  return zbBoxGetStorageType(s.session->Host, s.snmp, type) == 0;
}

int32_t CMainPageHost::RestoreTime() {
  // The device's own clock, as the engine uses for the item files of the
  // older layouts; this machine's clock when the device does not tell.
  if (uint32_t clock = window_.logic().DeviceClock())
    return static_cast<int32_t>(clock);
  int64_t now = 0;
  platform::SystemTimeToUnix(platform::UtcNow(), &now);
  return static_cast<int32_t>(now);
}

}  // namespace keeper
