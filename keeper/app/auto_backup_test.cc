// The automatic backup over the life of schedules, driven by the test
// clock: the window's Poll() runs every 30 s of virtual time, the backup
// runs and the device are scripted, and the result log is read back.
#include "keeper/app/auto_backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "desktop/language.h"
#include "desktop/testing/fake_screen.h"
#include "keeper/app/frame_backup_runner.h"
#include "keeper/app/testing/fake_auto_backup_host.h"
#include "keeper/app/testing/fake_job_backend.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace keeper {
namespace {

namespace fs = std::filesystem;

constexpr int kZoneMinutes = 60;
constexpr char kBaseKey[] = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";

class IsoFormat final : public ShortDateFormat, public DateTimeFormat {
 public:
  std::optional<std::string> ShortDate(const platform::SystemTime& t) const override {
    char b[48];
    std::snprintf(b, sizeof b, "%04u-%02u-%02u", t.year, t.month, t.day);
    return b;
  }
  std::optional<std::string> DayName(const platform::SystemTime& t) const override {
    static const char* kDays[] = {"Sun", "Mon", "Tue", "Wed",
                                  "Thu", "Fri", "Sat"};
    if (t.day_of_week > 6) return std::nullopt;
    return kDays[t.day_of_week];
  }
  std::optional<std::string> TimeNoSeconds(const platform::SystemTime& t) const override {
    char b[48];
    std::snprintf(b, sizeof b, "%02u:%02u", t.hour, t.minute);
    return b;
  }
  bool DateFirst() const override { return false; }
  std::optional<std::string> LongDate(const platform::SystemTime& t) const override {
    return ShortDate(t);
  }
  std::optional<std::string> Time(const platform::SystemTime& t) const override {
    char b[48];
    std::snprintf(b, sizeof b, "%02u:%02u:%02u", t.hour, t.minute, t.second);
    return b;
  }
};

platform::SystemTime Day(uint16_t y, uint16_t m, uint16_t d) {
  return {y, m, 0, d, 0, 0, 0, 0};
}

JobResult Outcome(uint32_t outcome) {
  JobResult r;
  r.outcome = outcome;
  return r;
}

JobResult Failed(uint32_t error) {
  JobResult r;
  r.outcome = kOutcomeFailed;
  r.error = error;
  return r;
}

class AutoBackupTest : public testing::Test {
 public:
  AutoBackupTest() : env_(1) {
    env_.SetFixedTimeZone(kZoneMinutes);
    fs::create_directories(env_.TempDir());
    dir_ = fs::path(env_.root()) / "backups";
    fs::create_directories(dir_);
    std::string error;
    texts_ = desktop::LanguageLibrary::Load("keeperlang", "en", &error);
    EXPECT_TRUE(texts_) << error;
    Reset();
  }

  // A fresh window, device and schedule, at Monday 2 March 2026 09:58:10.
  void Reset() {
    ab_.reset();
    host_ = std::make_unique<FakeAutoBackupHost>();
    host_->device_boxes = {{1, "Scans"}, {2, "Fax"}, {3, "Empfang"}};
    host_->FillPage();
    host_->target = (dir_ / "hall.zip").string();
    SetLocal(2026, 3, 2, 9, 58, 10);
    ab_ = std::make_unique<AutoBackup>(AutoBackupParts{
        *host_, *host_, *host_, *host_, host_.get(), *texts_, format_,
        logger_, env_.registry(), kBaseKey});
  }

  void SetLocal(uint16_t y, uint16_t mo, uint16_t d, uint16_t h, uint16_t mi,
                uint16_t s) {
    int64_t local = LocalSeconds({y, mo, 0, d, h, mi, s, 0}).value();
    env_.test_clock().SetUnixTime(local - kZoneMinutes * 60);
  }

  void SetRetry(const char* interval, const char* count) {
    auto key = platform::RegKey::Create(
        env_.registry(), platform::RegRoot::kCurrentUser, kBaseKey);
    key->SetString("RetryInterval", interval);
    key->SetString("RetryCount", count);
  }

  // Sets a schedule through the command and its dialog.
  void Set(platform::SystemTime date, uint16_t hour, uint16_t minute,
           uint32_t interval, bool continue_if_deleted = true) {
    host_->choice_date = date;
    host_->choice_hour = hour;
    host_->choice_minute = minute;
    host_->choice_interval = static_cast<int>(interval - kIntervalOnce);
    host_->choice_continue = continue_if_deleted;
    ab_->OnAutomaticBackupCommand();
  }

  // Lets `minutes` of virtual time pass, the window polling every 30 s.
  void Wait(int64_t minutes) {
    for (int64_t i = 0; i < minutes * 2; ++i) {
      env_.test_clock().Advance(30000);
      ab_->Poll();
    }
  }

  std::string Now() {
    platform::SystemTime t = platform::LocalNow();
    char b[64];
    std::snprintf(b, sizeof b, "%04u-%02u-%02u %02u:%02u", t.year, t.month,
                  t.day, t.hour, t.minute);
    return b;
  }

  std::string Log() {
    std::ifstream in(CABLogger::DefaultPath(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Lines of the log that start with `prefix`.
  std::vector<std::string> LogLines(const std::string& prefix) {
    std::vector<std::string> out;
    std::istringstream in(Log());
    for (std::string line; std::getline(in, line);)
      if (line.rfind(prefix, 0) == 0) out.push_back(line);
    return out;
  }
  std::string T(uint32_t id) { return (*texts_)(id); }
  std::string Archive(const char* n) {
    return (dir_ / (std::string("hall_") + n + ".zip")).string();
  }
  std::vector<std::string> ArchivesRequested() {
    std::vector<std::string> out;
    for (const JobRequest& r : host_->requests) out.push_back(r.archive_path);
    return out;
  }

  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
  fs::path dir_;
  std::unique_ptr<desktop::LanguageLibrary> texts_;
  IsoFormat format_;
  desktop::FakeScreen log_screen_;
  CABLogger logger_{CABLogger::DefaultPath(),
                    [] {
                      std::string e;
                      return std::unique_ptr<desktop::Texts>(
                          desktop::LanguageLibrary::Load("keeperlang", "en",
                                                         &e));
                    },
                    log_screen_, format_};
  std::unique_ptr<FakeAutoBackupHost> host_;  // outlives the schedule
  std::unique_ptr<AutoBackup> ab_;
};

TEST_F(AutoBackupTest, SettingAScheduleChecksInOrder) {
  struct Case {
    const char* name;
    std::function<void(AutoBackupTest*)> arrange;
    std::vector<std::string> events;  // what the command did
  };
  const std::vector<Case> kCases = {
      {"the date is past the limit",
       [](AutoBackupTest* t) { t->SetLocal(2038, 1, 19, 8, 0, 0); },
       {"show 57 caption 88"}},
      {"no row is checked",
       [](AutoBackupTest* t) {
         t->host_->rows.assign(t->host_->rows.size(), false);
       },
       {"show 61 caption 39"}},
      {"a file name without a stem",
       [](AutoBackupTest* t) { t->host_->target = "/srv/.zip"; },
       {"show 64 caption 43", "clear-target"}},
      {"a folder name ending in a blank",
       [](AutoBackupTest* t) { t->host_->target = "/srv/old /a.zip"; },
       {"show 64 caption 43", "clear-target"}},
      {"the page's target checks fail",
       [](AutoBackupTest* t) { t->host_->target_checks_pass = false; },
       {"target-checks manual"}},
      {"not a zip file",
       [](AutoBackupTest* t) { t->host_->target = "/srv/hall.tar"; },
       {"target-checks manual", "menu-item disabled", "show 62 caption 39",
        "menu-item enabled"}},
      {"not connected",
       [](AutoBackupTest* t) { t->host_->connected_flag = false; },
       {"target-checks manual", "menu-item disabled", "show 62 caption 39",
        "menu-item disabled"}},
      {"the dialog is cancelled",
       [](AutoBackupTest* t) {
         t->host_->schedule_dialog = [](AutoBackupDialog&) { return false; };
       },
       {"target-checks manual", "menu-item disabled", "schedule-dialog",
        "menu-item enabled"}},
  };
  for (const Case& c : kCases) {
    Reset();
    c.arrange(this);
    Set(Day(2026, 3, 2), 10, 0, kIntervalDaily);
    EXPECT_EQ(host_->events, c.events) << c.name;
    EXPECT_FALSE(ab_->automatic()) << c.name;
    EXPECT_FALSE(ab_->timer().running()) << c.name;
  }
}

TEST_F(AutoBackupTest, SetStartsTheTimerClosesTheSessionAndWritesTheHeader) {
  Set(Day(2026, 3, 2), 10, 0, kIntervalDaily);
  EXPECT_EQ(host_->events,
            (std::vector<std::string>{"target-checks manual",
                                      "menu-item disabled", "schedule-dialog",
                                      "close-session", "icon 163",
                                      "look scheduled"}));
  EXPECT_TRUE(ab_->automatic());
  EXPECT_EQ(ab_->interval(), kIntervalDaily);
  EXPECT_TRUE(ab_->timer().running());
  EXPECT_EQ(*ab_->timer().MillisUntilDue(), kScheduleTimerPeriodMs);
  EXPECT_FALSE(host_->connected_flag);
  EXPECT_EQ(host_->message_text, "Next backup: Mon 2026-03-02  10:00");
  EXPECT_EQ(ab_->retry_settings().interval_minutes, 5u);
  EXPECT_EQ(ab_->retry_settings().count, 12u);
  EXPECT_EQ(LogLines(T(41)), std::vector<std::string>{T(41) + " " + T(144)});
}

TEST_F(AutoBackupTest, ArchivesAreNumberedBySuccessfulRunsOnly) {
  // Run 3 fails with an error that is not retried; run 4 writes 003.
  host_->run_results = {Outcome(kOutcomeDone), Outcome(kOutcomeDone),
                       Failed(39), Outcome(kOutcomeDone)};
  Set(Day(2026, 3, 2), 10, 0, kIntervalDaily);
  Wait(3 * 24 * 60 + 10);
  EXPECT_EQ(ArchivesRequested(),
            (std::vector<std::string>{Archive("001"), Archive("002"),
                                      Archive("003"), Archive("003")}));
  EXPECT_EQ(host_->result_modes,
            (std::vector<RetryMode>{RetryMode::kDone, RetryMode::kDone,
                                    RetryMode::kFailed, RetryMode::kDone}));
  EXPECT_TRUE(fs::exists(Archive("003")));
  EXPECT_FALSE(fs::exists(Archive("004")));
  EXPECT_EQ(ab_->success_number(), 3u);
  EXPECT_EQ(ab_->run_number(), 4u);
  EXPECT_EQ(LogLines(T(159)),
            (std::vector<std::string>{T(159) + " 1", T(159) + " 2",
                                      T(159) + " 3", T(159) + " 4"}));
  // The run report names the archive of each run that did not fail.
  EXPECT_EQ(LogLines(T(21) + " " + dir_.string()),
            (std::vector<std::string>{
                T(21) + " " + host_->target, T(21) + " " + Archive("001"),
                T(21) + " " + Archive("002"), T(21) + " " + Archive("003")}));
  EXPECT_TRUE(ab_->automatic());
  EXPECT_EQ(host_->message_text, "Next backup: Fri 2026-03-06  10:00");
}

TEST_F(AutoBackupTest, ErrorsThatAreNotRetriedWaitForTheNextDay) {
  for (uint32_t error : {995u, 39u}) {
    SCOPED_TRACE(error);
    Reset();
    host_->run_results = {Failed(error)};
    Set(Day(2026, 3, 2), 10, 0, kIntervalDaily);
    Wait(3);
    EXPECT_EQ(host_->result_modes, std::vector<RetryMode>{RetryMode::kFailed});
    EXPECT_FALSE(ab_->retry_mode());
    EXPECT_EQ(ab_->retry_counter(), 0u);
    EXPECT_EQ(ab_->next_run(),
              LocalSeconds({2026, 3, 0, 3, 10, 0, 0, 0}).value());
    Wait(24 * 60 - 5);
    EXPECT_EQ(host_->requests.size(), 1u) << "nothing before the next day";
    Wait(5);
    EXPECT_EQ(host_->requests.size(), 2u);
    EXPECT_EQ(ab_->run_number(), 2u) << "the next day's run is a new run";
    ab_->OnStop();
  }
}

TEST_F(AutoBackupTest, ARetryThatFailsForGoodLeavesTheNextDayARegularRun) {
  host_->run_results = {Failed(12029), Failed(39)};
  Set(Day(2026, 3, 2), 10, 0, kIntervalDaily);
  Wait(8);  // the run at 10:00 and its retry at 10:05
  EXPECT_EQ(host_->result_modes,
            (std::vector<RetryMode>{RetryMode::kRetryPending,
                                    RetryMode::kFailed}));
  EXPECT_FALSE(ab_->retry_mode());
  EXPECT_EQ(ab_->retry_counter(), 0u);
  Wait(24 * 60);
  ASSERT_EQ(host_->requests.size(), 3u);
  EXPECT_EQ(LogLines(T(159)),
            (std::vector<std::string>{T(159) + " 1", T(159) + " 2"}));
  EXPECT_EQ(ab_->run_number(), 2u);
}

TEST_F(AutoBackupTest, TicksDuringARunDoNothing) {
  Set(Day(2026, 3, 2), 10, 0, kIntervalDaily);
  host_->run_backup = [&](const JobRequest&) {
    Wait(3);  // the progress dialog's loop still delivers ticks
    return Outcome(kOutcomeDone);
  };
  Wait(2);
  EXPECT_EQ(host_->requests.size(), 1u);
  EXPECT_FALSE(ab_->run_in_progress());
  EXPECT_EQ(ab_->next_run(),
            LocalSeconds({2026, 3, 0, 3, 10, 0, 0, 0}).value());
  EXPECT_TRUE(host_->EventsStarting("show").empty());
}

TEST_F(AutoBackupTest, ThreeFailuresWithRetryCountTwoEndTheSchedule) {
  SetRetry("3", "2");
  host_->run_results = {Failed(12029), Failed(12029), Failed(12029)};
  Set(Day(2026, 3, 2), 10, 0, kIntervalDaily);
  std::vector<std::string> run_times;
  host_->run_backup = [&](const JobRequest&) {
    run_times.push_back(Now());
    JobResult r = host_->run_results.front();
    host_->run_results.pop_front();
    return r;
  };
  Wait(30);
  EXPECT_EQ(run_times, (std::vector<std::string>{"2026-03-02 10:00",
                                                 "2026-03-02 10:03",
                                                 "2026-03-02 10:06"}));
  EXPECT_EQ(host_->result_modes,
            (std::vector<RetryMode>{RetryMode::kRetryPending,
                                    RetryMode::kRetryPending,
                                    RetryMode::kRetriesExhausted}));
  EXPECT_FALSE(ab_->automatic());
  EXPECT_EQ(ab_->end_reason(), EndReason::kFailed);
  EXPECT_FALSE(ab_->timer().running());
  EXPECT_EQ(ab_->interval(), 0u);
  EXPECT_EQ(host_->message_text, "");
  EXPECT_EQ(LogLines(T(168)),
            std::vector<std::string>{T(168) + " " + T(166)});
  EXPECT_EQ(LogLines(T(159)), std::vector<std::string>{T(159) + " 1"})
      << "retries belong to their run";
  // The result dialog sends the refresh when the user closes it.
  EXPECT_TRUE(ab_->refresh_pending());
  EXPECT_TRUE(host_->EventsStarting("refresh").empty());
  ab_->OnResultDialogClosed();
  EXPECT_EQ(host_->EventsStarting("refresh").size(), 1u);
  EXPECT_TRUE(host_->connected_flag);
  // The notifications say the same as the dialogs.
  ASSERT_EQ(host_->notifications.size(), 3u);
  EXPECT_EQ(host_->notifications[0].urgency,
            RunNotification::Urgency::kCritical);
  EXPECT_EQ(host_->notifications[2].body, T(52) + "\n" + T(173));
}

TEST_F(AutoBackupTest, ADeviceSwitchedOffFailsAndItsRetrySucceeds) {
  Set(Day(2026, 3, 2), 10, 0, kIntervalDaily);
  Wait(2);  // run 1 succeeds
  host_->device_on = false;
  Wait(24 * 60);  // run 2 cannot reach the device
  EXPECT_EQ(host_->result_modes,
            (std::vector<RetryMode>{RetryMode::kDone, RetryMode::kRetryPending}));
  EXPECT_TRUE(ab_->retry_mode());
  EXPECT_EQ(ab_->retry_time(),
            LocalSeconds({2026, 3, 0, 3, 10, 5, 0, 0}).value());
  EXPECT_EQ(host_->message_text, "Next backup: Tue 2026-03-03  10:05");
  EXPECT_EQ(host_->requests.size(), 1u) << "nothing ran without the device";
  host_->device_on = true;
  Wait(5);
  EXPECT_EQ(host_->result_modes.back(), RetryMode::kDone);
  EXPECT_EQ(ArchivesRequested(),
            (std::vector<std::string>{Archive("001"), Archive("002")}));
  EXPECT_FALSE(ab_->retry_mode());
  EXPECT_EQ(ab_->retry_counter(), 0u);
  EXPECT_EQ(ab_->next_run(),
            LocalSeconds({2026, 3, 0, 4, 10, 0, 0, 0}).value());
  EXPECT_EQ(LogLines(T(159)),
            (std::vector<std::string>{T(159) + " 1", T(159) + " 2"}));
  EXPECT_EQ(LogLines("The run failed").size(), 1u);
}

TEST_F(AutoBackupTest, AMissedOnceOnlyMinuteEndsWithFailure) {
  Set(Day(2026, 3, 2), 10, 0, kIntervalOnce);
  Wait(1);  // 09:59:10
  // The program is busy for three minutes: no tick arrives meanwhile.
  env_.test_clock().Advance(3 * 60 * 1000);
  ab_->Poll();
  EXPECT_TRUE(host_->requests.empty());
  std::string shown = T(58).substr(0, T(58).rfind('\n'));
  EXPECT_EQ(host_->EventsStarting("show"),
            std::vector<std::string>{"show '" + shown + "' caption 88"});
  EXPECT_FALSE(ab_->automatic());
  EXPECT_EQ(ab_->end_reason(), EndReason::kFailed);
  EXPECT_EQ(ab_->interval(), 0u);
  EXPECT_FALSE(ab_->timer().running());
  EXPECT_EQ(LogLines(T(168)),
            std::vector<std::string>{T(168) + " " + T(166)});
  // No result dialog is open: the window refreshes at once.
  EXPECT_EQ(host_->EventsStarting("refresh").size(), 1u);
}

TEST_F(AutoBackupTest, AMissedDailyMinuteWaitsForTheFirstFutureOccurrence) {
  Set(Day(2026, 3, 2), 10, 0, kIntervalDaily);
  // The clock jumps three days and four hours.
  env_.test_clock().Advance((3 * 24 + 4) * 3600 * 1000LL);
  ab_->Poll();
  EXPECT_TRUE(host_->requests.empty());
  EXPECT_TRUE(ab_->automatic());
  EXPECT_EQ(ab_->next_run(),
            LocalSeconds({2026, 3, 0, 6, 10, 0, 0, 0}).value());
  EXPECT_EQ(host_->message_text, "Next backup: Fri 2026-03-06  10:00");
}

TEST_F(AutoBackupTest, OnceOnlyEndsAfterItsRunByItsResult) {
  struct Case {
    JobResult result;
    EndReason reason;
    uint32_t status_text;
  } kCases[] = {
      {Outcome(kOutcomeDone), EndReason::kRanOut, 164},
      {Failed(39), EndReason::kFailed, 166},
      {Outcome(kOutcomeCancelled), EndReason::kCancelled, 10014},
  };
  for (const Case& c : kCases) {
    Reset();
    host_->run_results = {c.result};
    Set(Day(2026, 3, 2), 10, 0, kIntervalOnce);
    Wait(3);
    EXPECT_EQ(host_->requests.size(), 1u);
    EXPECT_FALSE(ab_->automatic());
    EXPECT_EQ(ab_->end_reason(), c.reason);
    EXPECT_EQ(ab_->interval(), 0u);
    EXPECT_EQ(LogLines(T(168)),
              std::vector<std::string>{T(168) + " " + T(c.status_text)});
    EXPECT_FALSE(host_->in_look);
    EXPECT_EQ(host_->EventsStarting("look normal").size(), 1u);
  }
}

TEST_F(AutoBackupTest, TheDateLimitEndsTheSchedule) {
  SetLocal(2038, 1, 16, 9, 58, 10);
  Set(Day(2038, 1, 17), 10, 0, kIntervalDaily);
  ASSERT_TRUE(ab_->automatic());
  ASSERT_TRUE(host_->last_range);
  EXPECT_EQ(LocalTimeOf(host_->last_range->latest).hour, 8);
  EXPECT_EQ(LocalTimeOf(host_->last_range->latest).minute, 40);
  Wait(2 * 24 * 60 + 5);
  EXPECT_EQ(host_->requests.size(), 2u) << "17 and 18 January";
  EXPECT_EQ(host_->EventsStarting("show"),
            std::vector<std::string>{"show 57 caption 88"});
  EXPECT_EQ(host_->result_modes,
            (std::vector<RetryMode>{RetryMode::kDone, RetryMode::kDone}));
  EXPECT_FALSE(ab_->automatic());
  EXPECT_EQ(ab_->end_reason(), EndReason::kRanOut);
  EXPECT_EQ(LogLines(T(168)),
            std::vector<std::string>{T(168) + " " + T(164)});
}

TEST_F(AutoBackupTest, AFailureOnTheLastDayEndsByTheLimit) {
  SetLocal(2038, 1, 18, 9, 58, 10);
  host_->run_results = {Failed(39)};
  Set(Day(2038, 1, 18), 10, 0, kIntervalDaily);
  Wait(3);
  EXPECT_EQ(host_->requests.size(), 1u);
  EXPECT_EQ(host_->EventsStarting("show"),
            std::vector<std::string>{"show 57 caption 88"});
  EXPECT_FALSE(ab_->automatic());
  EXPECT_FALSE(ab_->timer().running());
  EXPECT_EQ(LogLines(T(168)).size(), 1u);
}

TEST_F(AutoBackupTest, MonthlyFromThe31stRunsOnTheMonthsLastDays) {
  SetLocal(2028, 1, 30, 12, 0, 10);
  std::vector<std::string> runs;
  host_->run_backup = [&](const JobRequest&) {
    runs.push_back(Now());
    return Outcome(kOutcomeDone);
  };
  Set(Day(2028, 1, 31), 6, 15, kIntervalMonthly);
  auto started = std::chrono::steady_clock::now();
  Wait(122LL * 24 * 60);  // to 31 May 2028
  auto took = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(runs, (std::vector<std::string>{
                      "2028-01-31 06:15", "2028-02-29 06:15",
                      "2028-03-31 06:15", "2028-04-30 06:15",
                      "2028-05-31 06:15"}));
  EXPECT_EQ(ab_->success_number(), 5u);
  // Four months of 30-second ticks, without waiting for any of them.
  RecordProperty("real_ms", static_cast<int>(std::chrono::duration_cast<
                                std::chrono::milliseconds>(took).count()));
}

TEST_F(AutoBackupTest, WeeklyKeepsItsWeekday) {
  std::vector<std::string> runs;
  host_->run_backup = [&](const JobRequest&) {
    runs.push_back(Now());
    return Outcome(kOutcomeDone);
  };
  Set(Day(2026, 3, 4), 7, 30, kIntervalWeekly);  // a Wednesday
  Wait(22LL * 24 * 60);
  EXPECT_EQ(runs, (std::vector<std::string>{
                      "2026-03-04 07:30", "2026-03-11 07:30",
                      "2026-03-18 07:30"}));
}

TEST_F(AutoBackupTest, StopWhileAResultDialogIsOpen) {
  Set(Day(2026, 3, 2), 10, 0, kIntervalDaily);
  Wait(2);
  ASSERT_TRUE(ab_->result_dialog_open());

  // Cancel keeps everything.
  host_->alert_answers = {desktop::Answer::kCancel};
  host_->events.clear();
  ab_->OnStop();
  EXPECT_EQ(host_->events, std::vector<std::string>{"alert 98 caption 39 mode 1"});
  EXPECT_TRUE(ab_->automatic());
  EXPECT_TRUE(ab_->result_dialog_open());

  // OK replaces the result dialog by the stopped one and ends the schedule.
  host_->events.clear();
  ab_->OnStop();
  EXPECT_EQ(host_->events,
            (std::vector<std::string>{"alert 98 caption 39 mode 1",
                                      "close-result 1", "result 2 error 0",
                                      "look normal", "skip-dialog cleared"}));
  EXPECT_EQ(host_->open_result_dialogs, 1);
  EXPECT_FALSE(ab_->automatic());
  EXPECT_FALSE(ab_->timer().running());
  EXPECT_EQ(LogLines(T(168)),
            std::vector<std::string>{T(168) + " " + T(10014)});
  EXPECT_TRUE(host_->notifications.size() == 1u)
      << "the user's own stop is not notified";
  ab_->OnResultDialogClosed();
  EXPECT_EQ(host_->events.back(), "refresh");

  // Exit afterwards neither asks nor writes a second outcome.
  host_->events.clear();
  EXPECT_TRUE(ab_->OnExit());
  EXPECT_TRUE(host_->events.empty());
  EXPECT_EQ(LogLines(T(168)).size(), 1u);
}

TEST_F(AutoBackupTest, ARunClosesTheStopConfirmation) {
  Set(Day(2026, 3, 2), 10, 0, kIntervalDaily);
  Wait(1);  // 09:59:10
  host_->while_alert = [&] { Wait(1); };  // the due minute comes meanwhile
  host_->events.clear();
  ab_->OnStop();
  std::vector<std::string> order;
  for (const std::string& e : host_->events)
    if (e.rfind("alert", 0) == 0 || e.rfind("close-alert", 0) == 0 ||
        e.rfind("backup", 0) == 0 || e.rfind("result", 0) == 0)
      order.push_back(e);
  EXPECT_EQ(order, (std::vector<std::string>{
                       "alert 98 caption 39 mode 1", "close-alert",
                       "backup " + Archive("001"), "result 1 error 0"}));
  EXPECT_TRUE(ab_->automatic()) << "a closed confirmation counts as Cancel";
  EXPECT_EQ(ab_->next_run(),
            LocalSeconds({2026, 3, 0, 3, 10, 0, 0, 0}).value());
}

TEST_F(AutoBackupTest, ExitAsksWhileAScheduleIsSet) {
  Set(Day(2026, 3, 2), 10, 0, kIntervalDaily);
  host_->alert_answers = {desktop::Answer::kCancel};
  host_->events.clear();
  EXPECT_FALSE(ab_->OnExit());
  EXPECT_EQ(host_->events, (std::vector<std::string>{
                              "alert 121 caption 141 mode 0", "enable-window"}));
  EXPECT_TRUE(ab_->automatic());
  EXPECT_TRUE(ab_->timer().running());

  EXPECT_TRUE(ab_->OnExit());
  EXPECT_FALSE(ab_->automatic());
  EXPECT_FALSE(ab_->timer().running());
  EXPECT_EQ(LogLines(T(168)),
            std::vector<std::string>{T(168) + " " + T(10014)});
}

TEST_F(AutoBackupTest, ACancelledRunStopsTheSchedule) {
  host_->run_results = {Outcome(kOutcomeCancelled)};
  Set(Day(2026, 3, 2), 10, 0, kIntervalDaily);
  Wait(3);
  EXPECT_EQ(host_->result_modes, std::vector<RetryMode>{RetryMode::kCancelled});
  EXPECT_FALSE(ab_->automatic());
  EXPECT_EQ(ab_->end_reason(), EndReason::kCancelled);
  EXPECT_EQ(LogLines(T(168)),
            std::vector<std::string>{T(168) + " " + T(10014)});
}

TEST_F(AutoBackupTest, DeletedBoxesWithTheContinueOption) {
  host_->rows[0] = false;  // boxes 1 and 3 only, not the device row
  host_->rows[2] = false;
  Set(Day(2026, 3, 2), 10, 0, kIntervalDaily, /*continue=*/true);
  Wait(2);
  ASSERT_EQ(host_->requests.size(), 1u);
  EXPECT_EQ(host_->requests[0].boxes, (std::vector<uint32_t>{1, 3}));
  // Box 3 is deleted and box 4 created on the device before run 2.
  host_->device_boxes = {{1, "Scans"}, {2, "Fax"}, {4, "New"}};
  Wait(24 * 60);
  ASSERT_EQ(host_->requests.size(), 2u);
  EXPECT_EQ(host_->requests[1].boxes, std::vector<uint32_t>{1});
  EXPECT_EQ(host_->rows, (std::vector<bool>{false, true, false, false}));
  EXPECT_TRUE(ab_->deleted_boxes().any);
  EXPECT_TRUE(ab_->automatic());
  std::string log = Log();
  EXPECT_NE(log.find(T(162) + "\n\t" + T(157) + " " + T(158) + "\n\t" +
                     std::string(26, '-') + "\n\t003 Empfang\n"),
            std::string::npos)
      << log;
  // Run 3 finds nothing new deleted.
  Wait(24 * 60);
  EXPECT_EQ(host_->requests.size(), 3u);
  EXPECT_FALSE(ab_->deleted_boxes().any);
}

TEST_F(AutoBackupTest, DeletedBoxesWithTheStopOption) {
  Set(Day(2026, 3, 2), 10, 0, kIntervalDaily, /*continue=*/false);
  Wait(2);
  host_->device_boxes = {{1, "Scans"}, {3, "Empfang"}};
  Wait(24 * 60);
  EXPECT_EQ(host_->requests.size(), 1u) << "run 2 backs nothing up";
  EXPECT_EQ(host_->result_modes,
            (std::vector<RetryMode>{RetryMode::kDone,
                                    RetryMode::kStoppedForDeletedBoxes}));
  EXPECT_FALSE(ab_->automatic());
  EXPECT_FALSE(ab_->timer().running());
  std::string cut = T(171).substr(0, T(171).rfind('\n'));
  EXPECT_EQ(LogLines(T(168)),
            std::vector<std::string>{T(168) + " " + T(166)});
  EXPECT_NE(Log().find(T(168) + " " + T(166) + "\n" + cut + "\n"),
            std::string::npos);
  EXPECT_EQ(host_->notifications.back().mode,
            RetryMode::kStoppedForDeletedBoxes);
}

TEST_F(AutoBackupTest, EveryChosenBoxDeletedStopsEvenWhenContinuing) {
  host_->rows = {false, false, true, false};  // box 2 only
  Set(Day(2026, 3, 2), 10, 0, kIntervalDaily, /*continue=*/true);
  host_->device_boxes = {{1, "Scans"}, {3, "Empfang"}};
  Wait(3);
  EXPECT_TRUE(host_->requests.empty());
  EXPECT_EQ(host_->result_modes,
            std::vector<RetryMode>{RetryMode::kStoppedForDeletedBoxes});
  EXPECT_FALSE(ab_->automatic());
}

TEST_F(AutoBackupTest, ARefusedCredentialFailsTheRunWithTheServiceStatus) {
  SetRetry("1", "1");
  host_->auth_ok = false;
  host_->service_status_value = 1326;
  Set(Day(2026, 3, 2), 10, 0, kIntervalDaily);
  Wait(2);  // the first run only
  EXPECT_TRUE(host_->requests.empty());
  ASSERT_FALSE(host_->result_modes.empty());
  EXPECT_EQ(host_->EventsStarting("result").front(), "result 5 error 1326");
  EXPECT_EQ(host_->EventsStarting("button disabled").size(), 1u);
  EXPECT_TRUE(host_->in_look) << "the scheduled look comes back";
}

TEST_F(AutoBackupTest, NotificationsCarryTheResultDialogsTexts) {
  RunNotification done =
      RunNotificationFor(RetryMode::kDone, 0, 0, "127.0.0.1", *texts_);
  EXPECT_EQ(done.summary, T(39) + ": " + T(43));
  EXPECT_EQ(done.body, T(51));
  EXPECT_EQ(done.icon, "dialog-information");
  EXPECT_EQ(done.urgency, RunNotification::Urgency::kNormal);
  RunNotification retry = RunNotificationFor(RetryMode::kRetryPending, 12029,
                                             0, "127.0.0.1", *texts_);
  EXPECT_EQ(retry.summary, T(39) + ": " + T(88));
  EXPECT_NE(retry.body.find("127.0.0.1"), std::string::npos);
  EXPECT_EQ(retry.body.substr(retry.body.size() - T(172).size()), T(172));
  EXPECT_EQ(retry.icon, "dialog-error");
  EXPECT_EQ(retry.urgency, RunNotification::Urgency::kCritical);
}

}  // namespace
}  // namespace keeper

namespace keeper {
namespace {

// The scheduled runs through the real job frame, with a scripted job.
class AutoBackupFrameTest : public AutoBackupTest {
 public:
  AutoBackupFrameTest() {
    ab_.reset();
    ab_ = std::make_unique<AutoBackup>(AutoBackupParts{
        *host_, *host_, *host_, runner_, host_.get(), *texts_, format_,
        logger_, env_.registry(), kBaseKey});
  }
  FakeJobBackend backend_;
  FrameBackupRunner runner_{backend_};
};

TEST_F(AutoBackupFrameTest, RunsGoThroughTheJobFrame) {
  std::vector<uint32_t> results = {0, 12029, 0};
  std::vector<JobCall> calls;
  backend_.job = [&](const JobCall& call, FakeJobBackend&) -> uint32_t {
    calls.push_back(call);
    uint32_t r = results[calls.size() - 1];
    if (r == 0) std::ofstream(call.archive_path) << "archive";
    return r;
  };
  Set(Day(2026, 3, 2), 10, 0, kIntervalDaily);
  Wait(2);  // run 1
  Wait(24 * 60 + 5);  // run 2 loses the network, its retry succeeds
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].archive_path, Archive("001"));
  EXPECT_EQ(calls[0].boxes, (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(calls[1].archive_path, Archive("002"));
  EXPECT_EQ(calls[2].archive_path, Archive("002"));
  EXPECT_EQ(host_->result_modes,
            (std::vector<RetryMode>{RetryMode::kDone, RetryMode::kRetryPending,
                                    RetryMode::kDone}));
  EXPECT_EQ(host_->EventsStarting("result 5").front(), "result 5 error 12029");
  EXPECT_TRUE(fs::exists(Archive("002")));
  // The frame cleaned up after every run: each lock was undone.
  std::vector<std::string> log = backend_.log();
  EXPECT_EQ(std::count(log.begin(), log.end(), "lock 0"), 3);
  EXPECT_EQ(std::count(log.begin(), log.end(), "unlock 0"), 3);
  // The network error left the session open; the other runs closed it.
  EXPECT_EQ(host_->EventsStarting("close-session").size(), 1u + 2u);
}

}  // namespace
}  // namespace keeper
