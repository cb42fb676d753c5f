// The automatic backup in the real main window against a simulated device,
// with the real box service library, driven as a user would: the schedule
// set in its dialog, the runs started by the window's timer while the test
// moves the platform clock, the result dialogs read and answered, Stop and
// Exit. The archives are read back and the result log is compared line by
// line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimeEdit>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "desktop/language.h"
#include "devsim/testing/device_fixture.h"
#include "keeper/app/archive_info.h"
#include "keeper/app/box_service.h"
#include "keeper/app/device_link.h"
#include "keeper/app/job_frame.h"
#include "keeper/app/outside_libraries.h"
#include "keeper/app/schedule_time.h"
#include "keeper/ui/auto_backup_dlg.h"
#include "keeper/ui/main_auto_backup.h"
#include "keeper/ui/main_dlg.h"
#include "keeper/ui/pages.h"
#include "keeper/ui/qt_text.h"
#include "keeper/ui/responsive_box_service.h"
#include "keeper/ui/retry_dlg.h"
#include "keeper/ui/testing/dialog_script.h"
#include "keeper/ui/widgets.h"
#include "platform/env.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace fs = std::filesystem;

namespace keeper {
namespace {

using testing_ui::Click;
using testing_ui::DialogScript;
using testing_ui::PressOk;
using testing_ui::TypePassword;

constexpr char kBaseKey[] = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";
constexpr int kZoneMinutes = 60;
constexpr int kRunWaitMs = 120000;  // a run, with its reconnection

devsim::PopulateOptions FewBoxes() {
  devsim::PopulateOptions p;
  p.boxes = 3;
  p.folders = 1;
  p.documents = 2;
  p.pages = 1;
  p.page_bytes = 1024;
  return p;
}

class RecordingNotifier final : public RunNotifier {
 public:
  void Notify(const RunNotification& n) override { seen.push_back(n); }
  std::vector<RunNotification> seen;
};

// What a result dialog showed.
struct Shown {
  bool answered = false;
  QString title;
  QString line1;
  QString line2;
};

class AutoBackupDeviceTest : public testing::Test {
 protected:
  AutoBackupDeviceTest() : env_(1) {}

  void SetUp() override {
    if (!BoxlinkJobBackend::HasJob(JobKind::kBackup))
      GTEST_SKIP() << "the library lacks the backup job";
    env_.SetProgramDir(platform::Env::Default()->ProgramDir());
    env_.SetFixedTimeZone(kZoneMinutes);
    for (const std::string& d :
         {env_.TempDir(), env_.ProgramDataDir(), env_.UserProfileDir()})
      fs::create_directories(d);
    std::string error;
    lang_ = desktop::LanguageLibrary::Load("keeperlang", "en", &error);
    ASSERT_TRUE(lang_) << error;
    boxlink_ = MakeBoxlinkService();
    service_ = std::make_unique<ResponsiveBoxService>(*boxlink_);
    prompt_ = MakeAuthDialogLibrary();
    discovery_ = MakeDiscoveryLibrary();
    archives_ = fs::path(env_.root()) / "archives";
    fs::create_directories(archives_);
  }

  void SetValue(const char* name, const std::string& value) {
    env_.registry().SetValue(platform::RegRoot::kCurrentUser, kBaseKey, name,
                             platform::RegValue::String(value));
  }

  // The local clock, moved forward: the monotonic time moves along, so
  // the window's 30-second timer sees the time pass.
  void SetLocal(uint16_t y, uint16_t mo, uint16_t d, uint16_t h, uint16_t mi,
                uint16_t s) {
    const int64_t local = LocalSeconds({y, mo, 0, d, h, mi, s, 0}).value();
    const int64_t now = LocalNowSeconds();
    if (!started_ || local < now) {
      env_.test_clock().SetUnixTime(local - kZoneMinutes * 60);
      started_ = true;
      return;
    }
    env_.test_clock().Advance(static_cast<uint64_t>(local - now) * 1000);
  }

  std::unique_ptr<CTARNBackupRestoreDlg> Connect(devsim::ScopedDevice& dev) {
    SetValue("Last Selected IP", dev->address());
    SetValue("Last Selected Name", "Hall " + dev->address());
    SetValue("Last Selected Location", "Lab");
    SetValue("Last Selected SNMP Version", "V1/V2");
    script_.Ignore("CConnectionDialog");
    script_.Ignore("CProgressDlg");
    script_.Expect("CUserAuthenticationDlg", TypePassword("admin00"));
    auto w = std::make_unique<CTARNBackupRestoreDlg>(
        *lang_, CTARNBackupRestoreDlg::Libraries{*service_, *prompt_,
                                                 *discovery_,
                                                 env_.ProgramDir()});
    EXPECT_TRUE(w->Open()) << script_.Report();
    w->show();
    EXPECT_TRUE(script_.Done()) << script_.Report();
    EXPECT_TRUE(w->logic().connected());
    w->auto_backup()->set_max_wait_ms(10);
    w->auto_backup()->set_notifier(&notes_);
    return w;
  }

  std::string Archive(const std::string& name) const {
    return (archives_ / name).string();
  }
  QString T(uint32_t id) const { return QText(*lang_, id); }
  std::string S(uint32_t id) const { return std::string(lang_->Text(id)); }

  // Fills the schedule dialog and presses Set. A first try with `refused`
  // (hour, minute) must bring the "start has passed" message.
  DialogScript::Action FillSchedule(int hour, int minute, int interval,
                                    bool continue_if_deleted,
                                    std::optional<std::pair<int, int>> refused,
                                    QString* refusal) {
    return [=, this](QWidget* w) {
      auto* dlg = qobject_cast<CAutoBackup*>(w);
      ASSERT_TRUE(dlg);
      const platform::SystemTime today = LocalTimeOf(LocalNowSeconds());
      dlg->date_picker()->setDate(QDate(today.year, today.month, today.day));
      dlg->interval()->setCurrentIndex(interval);
      (continue_if_deleted ? dlg->continue_button() : dlg->stop_button())
          ->setChecked(true);
      if (refused) {
        // The message box comes while Set is being pressed.
        script_.Expect("QMessageBox", PressOk(refusal));
        dlg->time_picker()->setTime(QTime(refused->first, refused->second));
        QTest::mouseClick(dlg->set_button(), Qt::LeftButton);
        EXPECT_TRUE(dlg->isVisible()) << "the dialog stays after a refusal";
      }
      dlg->time_picker()->setTime(QTime(hour, minute));
      QTest::mouseClick(dlg->set_button(), Qt::LeftButton);
    };
  }

  // Expects the next result dialog: records it and presses OK.
  void ExpectResult(Shown* shown) {
    script_.Expect("CRetryDlg", [shown](QWidget* w) {
      auto* dlg = qobject_cast<CRetryDlg*>(w);
      ASSERT_TRUE(dlg);
      shown->title = dlg->windowTitle();
      shown->line1 = dlg->line1()->text();
      shown->line2 = dlg->line2()->isVisible() ? dlg->line2()->text() : "";
      QTest::mouseClick(dlg->ok_button(), Qt::LeftButton);
      shown->answered = true;
    });
  }

  // The script has answered the result dialog (its action has run).
  bool WaitForResult(const Shown& shown) {
    return QTest::qWaitFor([&] { return shown.answered; }, kRunWaitMs) &&
           script_.Done();
  }

  bool WaitForScript(int ms = kRunWaitMs) {
    return QTest::qWaitFor([this] { return script_.Done(); }, ms);
  }

  std::vector<uint32_t> ArchiveBoxes(const std::string& archive) {
    ArchiveInfo info;
    EXPECT_EQ(ReadArchiveInfo(archive, &info), 0u) << archive;
    std::vector<uint32_t> out;
    for (const ArchiveBox& b : info.boxes) out.push_back(b.number);
    return out;
  }

  std::vector<std::string> LogLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str();
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    std::vector<std::string> lines;
    std::istringstream rows(text);
    for (std::string line; std::getline(rows, line);) lines.push_back(line);
    return lines;
  }

  // `expected` appear in the log in this order (other lines between).
  static ::testing::AssertionResult InOrder(
      const std::vector<std::string>& log,
      const std::vector<std::string>& expected) {
    size_t at = 0;
    for (const std::string& e : expected) {
      while (at < log.size() && log[at] != e) ++at;
      if (at == log.size()) {
        std::string all;
        for (const std::string& l : log) all += "  | " + l + "\n";
        return ::testing::AssertionFailure()
               << "missing (or out of order): \"" << e << "\"\nlog:\n" << all;
      }
      ++at;
    }
    return ::testing::AssertionSuccess();
  }

  static void CheckScheduledLook(CTARNBackupRestoreDlg& w, const QString& stop,
                                 const QString& waiting) {
    EXPECT_EQ(w.action_button()->text(), stop);
    EXPECT_TRUE(w.action_button()->isEnabled());
    EXPECT_FALSE(w.sheet()->isEnabled());
    EXPECT_TRUE(w.backup_page()->box_list()->greyed());
    EXPECT_FALSE(w.backup_page()->target()->isEnabled());
    EXPECT_FALSE(w.backup_page()->setting_group()->isEnabled());
    for (int m = 1; m <= 3; ++m) EXPECT_FALSE(w.menu(m)->isEnabled()) << m;
    EXPECT_FALSE(w.action(kCmdRestoreData)->isEnabled());
    EXPECT_FALSE(w.action(kCmdAutomaticBackup)->isEnabled());
    EXPECT_TRUE(w.status_label()->text().startsWith(waiting))
        << w.status_label()->text().toStdString();
  }

  static void CheckNormalLook(CTARNBackupRestoreDlg& w, const QString& back_up) {
    EXPECT_EQ(w.action_button()->text(), back_up);
    EXPECT_TRUE(w.sheet()->isEnabled());
    EXPECT_TRUE(w.centralWidget()->isEnabled());
    EXPECT_FALSE(w.backup_page()->box_list()->greyed());
    EXPECT_TRUE(w.backup_page()->target()->isEnabled());
    for (int m = 1; m <= 3; ++m) EXPECT_TRUE(w.menu(m)->isEnabled()) << m;
    EXPECT_TRUE(w.action(kCmdAutomaticBackup)->isEnabled());
  }

  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
  bool started_ = false;
  std::unique_ptr<desktop::LanguageLibrary> lang_;
  std::unique_ptr<BoxService> boxlink_;
  std::unique_ptr<ResponsiveBoxService> service_;
  std::unique_ptr<AuthDialogLibrary> prompt_;
  std::unique_ptr<DiscoveryLibrary> discovery_;
  fs::path archives_;
  RecordingNotifier notes_;
  DialogScript script_;
};

// A daily schedule: the first run backs up every box; on the second day
// the device is switched off, the run fails and is tried again two
// minutes later, when the device is back; on the third day a box was
// deleted and the others are backed up; then the user stops.
TEST_F(AutoBackupDeviceTest, DailyRunsRetryWhenTheDeviceIsBackAndGoOnWithoutADeletedBox) {
  devsim::ScopedDevice dev(devsim::Layout::kShared, {}, FewBoxes());
  ASSERT_TRUE(dev.ok()) << dev.error();
  SetLocal(2026, 3, 2, 9, 58, 10);
  auto w = Connect(dev);
  // Written after the start, which puts back the defaults: read when the
  // schedule is set.
  SetValue("RetryInterval", "2");
  SetValue("RetryCount", "3");
  ASSERT_EQ(w->backup_page()->box_list()->device_row()->childCount(), 3);
  const auto boxes = dev->store().ListBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  const std::string target = Archive("hall.zip");
  w->backup_page()->target()->setText(QString::fromStdString(target));
  ASSERT_TRUE(w->action(kCmdAutomaticBackup)->isEnabled());

  // The current minute is refused, 10:00 daily is set.
  QString refusal;
  script_.Expect("CAutoBackup",
                 FillSchedule(10, 0, 1, true, std::make_pair(9, 58), &refusal));
  w->action(kCmdAutomaticBackup)->trigger();
  ASSERT_TRUE(WaitForScript(5000)) << script_.Report();
  EXPECT_EQ(refusal, T(58));
  ASSERT_TRUE(w->auto_backup()->pending());
  EXPECT_EQ(w->auto_backup()->schedule().interval(), kIntervalDaily);
  CheckScheduledLook(*w, T(35), T(174));
  EXPECT_FALSE(w->logic().connected()) << "the session waits closed";
  EXPECT_FALSE(w->connection_icon_connected());

  // Day 1, 10:00: every box.
  Shown first;
  ExpectResult(&first);
  SetLocal(2026, 3, 2, 10, 0, 5);
  ASSERT_TRUE(WaitForResult(first)) << script_.Report();
  EXPECT_EQ(first.line1, T(51));
  EXPECT_TRUE(first.line2.isEmpty());
  ASSERT_TRUE(fs::is_regular_file(Archive("hall_001.zip")));
  EXPECT_EQ(ArchiveBoxes(Archive("hall_001.zip")),
            (std::vector<uint32_t>{boxes[0].number, boxes[1].number,
                                   boxes[2].number}));
  CheckScheduledLook(*w, T(35), T(174));
  EXPECT_TRUE(w->centralWidget()->isEnabled()) << "usable again after OK";
  EXPECT_EQ(w->auto_backup()->schedule().next_run(),
            LocalSeconds({2026, 3, 0, 3, 10, 0, 0, 0}).value());

  // Day 2: the device is off. The run fails and waits for its retry.
  dev->Stop();
  Shown failed;
  ExpectResult(&failed);
  SetLocal(2026, 3, 3, 10, 0, 5);
  ASSERT_TRUE(WaitForResult(failed)) << script_.Report();
  EXPECT_EQ(failed.title, T(88));
  EXPECT_EQ(failed.line1, T(52));
  EXPECT_TRUE(failed.line2.endsWith(T(172))) << failed.line2.toStdString();
  EXPECT_FALSE(fs::exists(Archive("hall_002.zip")));
  EXPECT_TRUE(w->auto_backup()->schedule().retry_mode());
  EXPECT_EQ(w->auto_backup()->schedule().retry_time(),
            LocalSeconds({2026, 3, 0, 3, 10, 2, 0, 0}).value());
  CheckScheduledLook(*w, T(35), T(174));

  // The device is back for the retry, which takes the number the failed
  // run would have used.
  std::string error;
  ASSERT_TRUE(dev->Start(&error)) << error;
  Shown retried;
  ExpectResult(&retried);
  SetLocal(2026, 3, 3, 10, 2, 5);
  ASSERT_TRUE(WaitForResult(retried)) << script_.Report();
  EXPECT_EQ(retried.line1, T(51));
  ASSERT_TRUE(fs::is_regular_file(Archive("hall_002.zip")));
  EXPECT_FALSE(w->auto_backup()->schedule().retry_mode());

  // Day 3: the second box was deleted on the device meanwhile.
  ASSERT_TRUE(dev->store().DeleteBox(boxes[1].number, &error)) << error;
  Shown third;
  ExpectResult(&third);
  SetLocal(2026, 3, 4, 10, 0, 5);
  ASSERT_TRUE(WaitForResult(third)) << script_.Report();
  EXPECT_EQ(third.line1, T(51));
  ASSERT_TRUE(fs::is_regular_file(Archive("hall_003.zip")));
  EXPECT_EQ(ArchiveBoxes(Archive("hall_003.zip")),
            (std::vector<uint32_t>{boxes[0].number, boxes[2].number}));

  // Each run was notified too: done, retry pending, done, done.
  ASSERT_EQ(notes_.seen.size(), 4u);
  const char* icons[] = {"dialog-information", "dialog-error",
                         "dialog-information", "dialog-information"};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(notes_.seen[i].icon, icons[i]) << i;
  EXPECT_EQ(notes_.seen[1].urgency, RunNotification::Urgency::kCritical);
  EXPECT_EQ(notes_.seen[1].mode, RetryMode::kRetryPending);

  // Stop: asked, then the stopped dialog; the window is itself again and
  // connected without a password prompt.
  Shown stopped;
  script_.Expect("CTNAlertBox", Click("ok"));
  ExpectResult(&stopped);
  QTest::mouseClick(w->action_button(), Qt::LeftButton);
  ASSERT_TRUE(WaitForResult(stopped)) << script_.Report();
  EXPECT_EQ(stopped.line1, T(10012));
  EXPECT_FALSE(w->auto_backup()->pending());
  ASSERT_TRUE(QTest::qWaitFor([&] { return w->logic().connected(); }, 20000));
  CheckNormalLook(*w, T(177));
  EXPECT_EQ(w->backup_page()->box_list()->device_row()->childCount(), 2);
  EXPECT_EQ(notes_.seen.size(), 4u) << "the user's own Stop is not notified";

  // The result log, in order.
  const std::string name = "Hall " + dev->address();
  const std::string stars(53, '*'), rule(53, '-');
  const std::string box2 = "\t" + BoxLabel(boxes[1].number, boxes[1].name);
  const std::vector<std::string> log = LogLines(w->auto_backup()->log().path());
  EXPECT_TRUE(InOrder(
      log, {stars, S(151), stars, S(152), S(153) + " " + name,
            S(154) + " " + dev->address(), S(21) + " " + target,
            S(41) + " " + S(144), S(190) + " " + S(182),
            S(155) + " " + S(148), S(192) + " " + S(191), stars,
            // Run 1.
            S(159) + " 1", S(161), S(21) + " " + Archive("hall_001.zip"),
            S(164),
            // Run 2 fails, its retry finishes.
            rule, S(159) + " 2",
            S(167).substr(0, S(167).find('\n')),
            S(161), S(21) + " " + Archive("hall_002.zip"), S(164),
            // Run 3 without the deleted box.
            rule, S(159) + " 3", S(161), S(162), box2,
            S(21) + " " + Archive("hall_003.zip"), S(164),
            // Stopped by the user.
            stars, S(168) + " " + S(10014), stars}));
  // The retry is no new run, and the deleted box is not listed as backed
  // up in run 3.
  EXPECT_EQ(std::count(log.begin(), log.end(), S(159) + " 3"), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), S(159) + " 4"), 0);
  EXPECT_EQ(std::count(log.begin(), log.end(), box2), 3)
      << "listed in runs 1 and 2 and once as deleted in run 3";
}

// With "stop if a box is deleted" the run that finds a chosen box gone
// backs up nothing and ends the schedule (mode 6, outcome 5).
TEST_F(AutoBackupDeviceTest, TheStopOptionEndsTheScheduleWhenABoxIsDeleted) {
  devsim::ScopedDevice dev(devsim::Layout::kShared, {}, FewBoxes());
  ASSERT_TRUE(dev.ok()) << dev.error();
  SetLocal(2026, 3, 2, 9, 58, 10);
  auto w = Connect(dev);
  const auto boxes = dev->store().ListBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  w->backup_page()->target()->setText(
      QString::fromStdString(Archive("hall.zip")));
  script_.Expect("CAutoBackup",
                 FillSchedule(10, 0, 2, false, std::nullopt, nullptr));
  w->action(kCmdAutomaticBackup)->trigger();
  ASSERT_TRUE(WaitForScript(5000)) << script_.Report();
  ASSERT_TRUE(w->auto_backup()->pending());
  EXPECT_EQ(w->auto_backup()->schedule().interval(), kIntervalWeekly);

  std::string error;
  ASSERT_TRUE(dev->store().DeleteBox(boxes[2].number, &error)) << error;
  Shown shown;
  ExpectResult(&shown);
  SetLocal(2026, 3, 2, 10, 0, 5);
  ASSERT_TRUE(WaitForResult(shown)) << script_.Report();
  EXPECT_EQ(shown.title, T(88));
  EXPECT_EQ(shown.line2, T(171));
  EXPECT_FALSE(fs::exists(Archive("hall_001.zip")));
  EXPECT_FALSE(w->auto_backup()->pending());
  ASSERT_TRUE(QTest::qWaitFor([&] { return w->logic().connected(); }, 20000));
  CheckNormalLook(*w, T(177));
  EXPECT_EQ(w->backup_page()->box_list()->device_row()->childCount(), 2);
  ASSERT_EQ(notes_.seen.size(), 1u);
  EXPECT_EQ(notes_.seen[0].mode, RetryMode::kStoppedForDeletedBoxes);

  const std::vector<std::string> log = LogLines(w->auto_backup()->log().path());
  const std::string stars(53, '*');
  EXPECT_TRUE(InOrder(log, {S(155) + " " + S(149), S(159) + " 1", S(166),
                            stars, S(168) + " " + S(166), stars}));
  EXPECT_EQ(std::count(log.begin(), log.end(), S(164)), 0);
}

// Exit while a schedule is set asks first; Cancel keeps the schedule and
// the window, OK ends both and records the stop.
TEST_F(AutoBackupDeviceTest, ExitAsksWhileAScheduleIsSet) {
  devsim::ScopedDevice dev(devsim::Layout::kShared, {}, FewBoxes());
  ASSERT_TRUE(dev.ok()) << dev.error();
  SetLocal(2026, 3, 2, 9, 58, 10);
  auto w = Connect(dev);
  w->backup_page()->target()->setText(
      QString::fromStdString(Archive("hall.zip")));
  script_.Expect("CAutoBackup",
                 FillSchedule(11, 30, 0, true, std::nullopt, nullptr));
  w->action(kCmdAutomaticBackup)->trigger();
  ASSERT_TRUE(WaitForScript(5000)) << script_.Report();
  ASSERT_TRUE(w->auto_backup()->pending());

  script_.Expect("CTNAlertBox", Click("cancel"));
  w->action(kCmdExit)->trigger();
  ASSERT_TRUE(WaitForScript(5000)) << script_.Report();
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(w->auto_backup()->pending());
  CheckScheduledLook(*w, T(35), T(174));

  script_.Expect("CTNAlertBox", Click("ok"));
  w->action(kCmdExit)->trigger();
  ASSERT_TRUE(WaitForScript(5000)) << script_.Report();
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(w->auto_backup()->pending());
  const std::vector<std::string> log = LogLines(w->auto_backup()->log().path());
  EXPECT_TRUE(InOrder(log, {S(41) + " " + S(143), std::string(53, '*'),
                            S(168) + " " + S(10014)}));
  EXPECT_EQ(std::count(log.begin(), log.end(), S(159) + " 1"), 0);
}

}  // namespace
}  // namespace keeper
