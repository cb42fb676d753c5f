#include "keeper/ui/gallery_pages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QRadioButton>
#include <QThread>
#include <QTreeWidget>
#include <memory>

#include "desktop/language.h"
#include "desktop/qt/qt_screen.h"
#include "desktop/qt/strip_animation.h"
#include "desktop/testing/fake_screen.h"
#include "keeper/app/result_text.h"
#include "keeper/app/testing/fake_box_service.h"
#include "keeper/app/testing/fake_job_backend.h"
#include "keeper/app/testing/fake_outside_libraries.h"
#include "keeper/ui/gallery_frame.h"
#include "keeper/ui/main_dlg.h"
#include "keeper/ui/pages.h"
#include "keeper/ui/progress_dlg.h"
#include "keeper/ui/qt_text.h"
#include "keeper/ui/restore_mode_dlg.h"
#include "keeper/ui/widgets.h"
#include "platform/env.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace keeper {
namespace {

using gallery::Over;
using gallery::Settle;

ZBSYSTEMTIME At(uint16_t month, uint16_t day, uint16_t hour, uint16_t minute) {
  ZBSYSTEMTIME t{};
  t.wYear = 2026;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  t.wMinute = minute;
  return t;
}

std::vector<BoxEntry> Boxes() {
  return {
      {1, "Scans Empfang", false, At(4, 28, 18, 5)},
      {2, "\xE5\x8F\x97\xE4\xBF\xA1\xE3\x83\x9C\xE3\x83\x83\xE3\x82\xAF"
          "\xE3\x82\xB9",
       true, At(4, 28, 18, 7)},
      {3, "\xE8\xB4\xA2\xE5\x8A\xA1\xE9\x83\xA8 \xE5\x8F\x91\xE7\xA5\xA8",
       false, At(4, 27, 9, 41)},
      {5, "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4 \xEB\xB0\x95\xEC\x8A\xA4",
       true, {}},
      {12, "B\xC3\xBCro \xC5\x81\xC3\xB3\x64\xC5\xBA", false, At(4, 2, 7, 30)},
      {20, "Fax 3F", false, {}},
  };
}

ArchiveInfo SampleArchive() {
  ArchiveInfo a;
  a.backup_type = 0;
  a.date = At(5, 4, 10, 15);
  a.engine_version = "Varda 910 Series V1.0";
  a.network_name = "VARDA910-3F";
  a.boxes = {{1, "Scans Empfang", false, 3, 41, 1500, At(4, 28, 18, 5)},
             {2, "\xE5\x8F\x97\xE4\xBF\xA1\xE3\x83\x9C\xE3\x83\x83\xE3\x82"
                 "\xAF\xE3\x82\xB9",
              true, 1, 12, 2048, At(4, 28, 18, 7)},
             {12, "B\xC3\xBCro \xC5\x81\xC3\xB3\x64\xC5\xBA", false, 5, 260,
              734003, At(4, 2, 7, 30)},
             {20, "Fax 3F", false, 0, 0, 0, {}}};
  return a;
}

void ShootMessage(const ShootFn& shoot, const desktop::Texts& t,
                  const desktop::Message& m, desktop::Buttons buttons,
                  const QString& name) {
  std::unique_ptr<QMessageBox> box(desktop::MakeMessageBox(
      t, m, buttons,
      buttons == desktop::Buttons::kOk ? desktop::Answer::kOk
                                       : desktop::Answer::kNo,
      nullptr));
  shoot(box.get(), name);
}

desktop::Icon IconOf(Severity s) {
  switch (s) {
    case Severity::kInformation: return desktop::Icon::kInformation;
    case Severity::kWarning: return desktop::Icon::kWarning;
    default: return desktop::Icon::kError;
  }
}

}  // namespace

void ShootPages(const ShootFn& shoot, const desktop::LanguageLibrary& lang,
                const QString& l) {
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  env.SetProgramDir(platform::Env::Default()->ProgramDir());
  const std::string key = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";
  auto set = [&](const std::string& name, const std::string& value) {
    env.registry().SetValue(platform::RegRoot::kCurrentUser, key, name,
                            platform::RegValue::String(value));
  };
  const std::string address = "192.0.2.15";
  set("Last Selected IP", address);
  set("Last Selected Name", "VARDA910-3F");
  set("Last Selected Location", "3rd floor, copy room");
  set("Last Selected SNMP Version", "V1/V2");
  auto name = [&](const char* window, const char* state) {
    return QString("keeper-%1-%2-%3").arg(window, state, l);
  };
  const desktop::Texts& t = lang;

  FakeBoxService service;
  auto& device = service.devices[address];
  device.open_result = 0;
  device.boxes = {};
  FakePromptLibrary prompt;
  FakeDiscoveryLibrary discovery;
  desktop::FakeScreen screen(&lang);
  const std::string program = env.ProgramDir();
  const std::string documents = "/home/ann/Documents";

  // Both pages empty: a device without boxes, no archive chosen.
  {
    prompt.answers.push_back({1, u"admin00"});
    CTARNBackupRestoreDlg w(lang, {service, prompt, discovery, program},
                            &screen);
    if (w.Open()) {
      w.resize(680, 500);
      shoot(&w, name("backuppage", "empty"));
      w.sheet()->setCurrentWidget(w.restore_page());
      shoot(&w, name("restorepage", "empty"));
    }
  }

  device.boxes = Boxes();
  prompt.answers.push_back({1, u"admin00"});
  CTARNBackupRestoreDlg w(lang, {service, prompt, discovery, program},
                          &screen);
  if (!w.Open()) return;
  w.resize(680, 500);

  // The Backup page filled: a target, one box left out, incremental.
  CBackupPage* backup = w.backup_page();
  backup->SetTargetText(documents + "/20260504_101500.zip");
  backup->box_list()->device_row()->child(3)->setCheckState(0, Qt::Unchecked);
  backup->incremental_button()->setChecked(true);
  shoot(&w, name("backuppage", "filled"));

  // A backup at 40 %.
  FakeJobBackend idle;
  {
    JobRequest request;
    request.kind = JobKind::kBackup;
    CProgressDlg dlg(lang, JobKind::kBackup, idle, request, &screen, &w);
    dlg.SetAutoStart(false);
    w.show();
    dlg.show();
    dlg.SetPercent(40);
    dlg.SetPhase(desktop::UiText::Id(92));
    dlg.SetNames("Scans Empfang", "Rechnungen 2026", "Scan_000417.pdf");
    dlg.SetCounts(std::string(t.Text(113)) + " 38 / 95");
    dlg.animation()->ShowFrame(5);
    w.SetStatusText(desktop::UiText::Id(94));
    Settle();
    auto picture = Over(&w, &dlg);
    dlg.hide();
    w.hide();
    shoot(picture.get(), name("backuppage", "running40"));
    w.SetStatusText(desktop::UiText::Id(34));
  }

  // The Restore page filled with an archive's boxes.
  w.sheet()->setCurrentWidget(w.restore_page());
  CRestorePg* restore = w.restore_page();
  restore->logic()->SetArchiveReader(
      [](const std::string&, ArchiveInfo* info) {
        *info = SampleArchive();
        return 0u;
      });
  restore->SetArchiveText(documents + "/20260504_101500.zip");
  restore->logic()->OnArchiveChanged();
  restore->box_list()->device_row()->child(3)->setCheckState(0, Qt::Unchecked);
  shoot(&w, name("restorepage", "filled"));

  {
    CRestoreModeSettings mode(lang);
    shoot(&mode, name("restoremode", "default"));
  }

  // A restore at 40 %.
  {
    JobRequest request;
    request.kind = JobKind::kRestore;
    CProgressDlg dlg(lang, JobKind::kRestore, idle, request, &screen, &w);
    dlg.SetAutoStart(false);
    w.show();
    dlg.show();
    dlg.SetPercent(40);
    dlg.SetPhase(desktop::UiText::Id(93));
    dlg.SetNames("B\xC3\xBCro \xC5\x81\xC3\xB3\x64\xC5\xBA", "Vertr\xC3\xA4ge",
                 "Scan_000122.pdf");
    dlg.SetCounts(std::string(t.Text(113)) + " 104 / 260");
    dlg.animation()->ShowFrame(2);
    w.SetStatusText(desktop::UiText::Id(94));
    Settle();
    auto picture = Over(&w, &dlg);
    dlg.hide();
    w.hide();
    shoot(picture.get(), name("restorepage", "running40"));
  }

  // Every result message of the two runs.
  struct Result {
    bool backup;
    uint32_t outcome, error, state;
    uint32_t storage;
    const char* state_name;
  } results[] = {
      {true, kOutcomeDone, 0, 0, 0, "backupdone"},
      {true, kOutcomeFailed, 12029, 0, 0, "backupnetwork"},
      {true, kOutcomeFailed, 5, 0, 0, "backupfailed"},
      {true, kOutcomeCancelled, 0, 0, 0, "backupcancelled"},
      {false, kOutcomeDone, 0, 0, 0, "restoredone"},
      {false, kOutcomeFailed, 39, 4, 1, "restoredevicefull"},
      {false, kOutcomeFailed, 8260, 9, 0, "restoredocumentlimit"},
      {false, kOutcomeFailed, 8260, 10, 0, "restorefolderlimit"},
      {false, kOutcomeFailed, 1314, 0, 0, "restoresecure"},
      {false, kOutcomeFailed, 257, 0, 0, "restoresilent"},
      {false, kOutcomeCancelled, 0, 0, 0, "restorecancelled"},
  };
  for (const Result& r : results) {
    JobResult jr;
    jr.outcome = r.outcome;
    jr.error = r.error;
    jr.last_state = r.state;
    jr.box_name = "B\xC3\xBCro \xC5\x81\xC3\xB3\x64\xC5\xBA";
    jr.folder_name = r.state == 9 ? "Vertr\xC3\xA4ge" : "";
    ResultMessage m =
        r.backup ? BackupResultMessage(jr, address, t)
                 : RestoreResultMessage(
                       jr, address,
                       [&](uint32_t* type) {
                         *type = r.storage;
                         return true;
                       },
                       t);
    ShootMessage(shoot, t,
                 {desktop::UiText::Of(m.text),
                  desktop::UiText::Id(r.backup ? 43 : 47), IconOf(m.severity)},
                 desktop::Buttons::kOk, name("runresult", r.state_name));
  }

  // The messages of the pages' checks.
  struct Check {
    uint32_t text, caption;
    desktop::Icon icon;
    desktop::Buttons buttons;
    const char* state;
  } checks[] = {
      {179, 88, desktop::Icon::kError, desktop::Buttons::kOk, "networkpath"},
      {180, 88, desktop::Icon::kError, desktop::Buttons::kOk, "notabsolute"},
      {181, 88, desktop::Icon::kError, desktop::Buttons::kOk, "badpath"},
      {64, 43, desktop::Icon::kWarning, desktop::Buttons::kOk, "badname"},
      {61, 88, desktop::Icon::kError, desktop::Buttons::kOk, "nobox"},
      {74, 88, desktop::Icon::kQuestion, desktop::Buttons::kYesNo, "replace"},
      {13015, 88, desktop::Icon::kQuestion, desktop::Buttons::kYesNo,
       "createfolder"},
      {65, 43, desktop::Icon::kWarning, desktop::Buttons::kOk, "readonly"},
      {102, 88, desktop::Icon::kError, desktop::Buttons::kOk, "notarchive"},
      {140, 88, desktop::Icon::kError, desktop::Buttons::kOk, "unsupported"},
      {200, 88, desktop::Icon::kError, desktop::Buttons::kOk, "otherseries"},
  };
  for (const Check& c : checks)
    ShootMessage(shoot, t,
                 {desktop::UiText::Id(c.text), desktop::UiText::Id(c.caption),
                  c.icon},
                 c.buttons, name("check", c.state));
}

}  // namespace keeper
