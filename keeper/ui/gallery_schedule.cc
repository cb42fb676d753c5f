#include "keeper/ui/gallery_schedule.h"

#include <QApplication>
#include <QComboBox>
#include <QRadioButton>
#include <QTimeEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QThread>

#include "desktop/language.h"
#include "desktop/testing/fake_screen.h"
#include "keeper/app/schedule_time.h"
#include "keeper/app/testing/fake_box_service.h"
#include "keeper/app/testing/fake_outside_libraries.h"
#include "keeper/ui/gallery_frame.h"
#include "keeper/ui/auto_backup_dlg.h"
#include "keeper/ui/main_auto_backup.h"
#include "keeper/ui/main_dlg.h"
#include "keeper/ui/pages.h"
#include "keeper/ui/retry_dlg.h"
#include "platform/env.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace keeper {
namespace {

using gallery::Over;
using gallery::Settle;

std::vector<BoxEntry> Boxes() {
  ZBSYSTEMTIME t{};
  t.wYear = 2026;
  t.wMonth = 4;
  t.wDay = 28;
  t.wHour = 18;
  t.wMinute = 5;
  return {{1, "Scans Empfang", false, t},
          {2, "\xE5\x8F\x97\xE4\xBF\xA1\xE3\x83\x9C\xE3\x83\x83\xE3\x82\xAF"
              "\xE3\x82\xB9",
           true, t},
          {12, "B\xC3\xBCro \xC5\x81\xC3\xB3\x64\xC5\xBA", false, t},
          {20, "Fax 3F", false, {}}};
}

}  // namespace

void ShootSchedule(const ShootFn& shoot, const desktop::LanguageLibrary& lang,
                   const QString& l) {
  platform::FakeEnv env(1);
  platform::ScopedEnv use(&env);
  env.SetProgramDir(platform::Env::Default()->ProgramDir());
  // Monday 4 May 2026, 9:41 in the morning.
  env.test_clock().SetUnixTime(
      LocalSeconds({2026, 5, 1, 4, 9, 41, 0, 0}).value() -
      env.LocalOffsetSeconds(LocalSeconds({2026, 5, 1, 4, 9, 41, 0, 0}).value(),
                             nullptr));
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

  FakeBoxService service;
  auto& device = service.devices[address];
  device.open_result = 0;
  device.boxes = Boxes();
  FakePromptLibrary prompt;
  FakeDiscoveryLibrary discovery;
  desktop::FakeScreen screen(&lang);
  prompt.answers.push_back({1, u"admin00"});
  CTARNBackupRestoreDlg w(lang, {service, prompt, discovery, env.ProgramDir()},
                          &screen);
  if (!w.Open()) return;
  w.resize(680, 500);
  w.backup_page()->target()->setText("/home/ann/Documents/Backups/hall.zip");
  CMainAutoBackup& schedule = *w.auto_backup();

  // The schedule dialog as it opens, then filled in.
  {
    AutoBackupDialog logic(schedule);
    CAutoBackup dialog(lang, logic);
    shoot(&dialog, name("schedule", "default"));
    dialog.interval()->setCurrentIndex(2);
    dialog.time_picker()->setTime(QTime(22, 30));
    dialog.stop_button()->setChecked(true);
    shoot(&dialog, name("schedule", "weekly"));
  }

  // The window while a schedule waits: greyed list, Stop, the next run in
  // the message part.
  w.show();
  Settle();
  schedule.EnterScheduledLook();
  schedule.SetConnectionIcon(kIconDisconnected);
  QtShortDateFormat format;
  schedule.SetMessageText(
      WaitingText(lang, format, LocalTimeOf(LocalSeconds(
                                    {2026, 5, 1, 4, 22, 30, 0, 0}).value())));
  shoot(&w, name("main", "scheduled"));

  // A run's result over the waiting window, and the stop question.
  w.show();
  Settle();
  {
    CRetryDlg result(lang, RetryMode::kRetryPending, 12029, 0, address,
                     "/tmp/ZELT_Log.txt");
    result.show();
    Settle();
    auto picture = Over(&w, &result);
    result.hide();
    shoot(picture.get(), name("main", "scheduledresult"));
  }
  w.show();
  Settle();
  {
    CTNAlertBox ask(lang, std::string(lang.Text(kTextStopQuestion)),
                    std::string(lang.Text(kTextScheduleTitle)), kAlertQuestion);
    ask.show();
    Settle();
    auto picture = Over(&w, &ask);
    ask.hide();
    shoot(picture.get(), name("main", "scheduledstop"));
  }
  w.hide();
  schedule.LeaveScheduledLook();
}

}  // namespace keeper
