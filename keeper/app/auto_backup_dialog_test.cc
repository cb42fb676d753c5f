// The schedule dialog's checks against the test clock.
#include "keeper/app/auto_backup_dialog.h"

#include <gtest/gtest.h>

#include "keeper/app/testing/fake_auto_backup_host.h"
#include "platform/testing/fake_env.h"

namespace keeper {
namespace {

constexpr int kZoneMinutes = 60;

class AutoBackupDialogTest : public testing::Test {
 protected:
  AutoBackupDialogTest() : env_(1) { env_.SetFixedTimeZone(kZoneMinutes); }

  // Puts the local clock at that moment.
  void SetLocal(uint16_t y, uint16_t mo, uint16_t d, uint16_t h, uint16_t mi,
                uint16_t s) {
    int64_t local = LocalSeconds({y, mo, 0, d, h, mi, s, 0}).value();
    env_.test_clock().SetUnixTime(local - kZoneMinutes * 60);
  }

  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
  FakeAutoBackupHost window_;
};

struct SetCase {
  const char* name;
  platform::SystemTime date;
  uint16_t hour, minute;
  int position;
  uint32_t refused_with;  // 0: accepted
  uint32_t interval;
};

TEST_F(AutoBackupDialogTest, SetAcceptsOnlyALaterMinuteBeforeTheLimit) {
  auto D = [](uint16_t y, uint16_t m, uint16_t d) {
    return platform::SystemTime{y, m, 0, d, 0, 0, 0, 0};
  };
  // Now: 2026-05-20 14:07:45 local.
  const SetCase kCases[] = {
      {"the current minute", D(2026, 5, 20), 14, 7, 0, kTextStartPassed, 0},
      {"a minute ago", D(2026, 5, 20), 14, 6, 1, kTextStartPassed, 0},
      {"yesterday, later hour", D(2026, 5, 19), 18, 0, 1, kTextStartPassed, 0},
      {"the next minute", D(2026, 5, 20), 14, 8, 0, 0, kIntervalOnce},
      {"tomorrow daily", D(2026, 5, 21), 2, 0, 1, 0, kIntervalDaily},
      {"weekly", D(2026, 6, 1), 23, 59, 2, 0, kIntervalWeekly},
      {"monthly", D(2026, 5, 31), 0, 0, 3, 0, kIntervalMonthly},
      {"after the date limit", D(2038, 1, 19), 9, 0, 1, kTextDateLimit, 0},
      {"on the last day", D(2038, 1, 18), 9, 0, 1, 0, kIntervalDaily},
  };
  for (const SetCase& c : kCases) {
    SetLocal(2026, 5, 20, 14, 7, 45);
    window_.events.clear();
    AutoBackupDialog dialog(window_);
    bool ok = dialog.OnSet(c.date, c.hour, c.minute, c.position, false);
    if (c.refused_with) {
      EXPECT_FALSE(ok) << c.name;
      EXPECT_EQ(window_.events,
                std::vector<std::string>{"show " +
                                         std::to_string(c.refused_with) +
                                         " caption 39"})
          << c.name;
      continue;
    }
    ASSERT_TRUE(ok) << c.name;
    EXPECT_TRUE(window_.events.empty()) << c.name;
    platform::SystemTime start = LocalTimeOf(dialog.choice().start);
    EXPECT_EQ(start.year, c.date.year) << c.name;
    EXPECT_EQ(start.day, c.date.day) << c.name;
    EXPECT_EQ(start.hour, c.hour) << c.name;
    EXPECT_EQ(start.minute, c.minute) << c.name;
    EXPECT_EQ(start.second, 0) << c.name;
    EXPECT_EQ(dialog.choice().start_day, c.date.day) << c.name;
    EXPECT_EQ(dialog.choice().interval, c.interval) << c.name;
    EXPECT_FALSE(dialog.choice().continue_if_deleted) << c.name;
  }
}

TEST_F(AutoBackupDialogTest, TheCurrentMinuteIsRefusedUntilItPasses) {
  SetLocal(2026, 5, 20, 14, 7, 59);
  AutoBackupDialog dialog(window_);
  const platform::SystemTime today{2026, 5, 0, 20, 0, 0, 0, 0};
  EXPECT_TRUE(dialog.OnSet(today, 14, 8, 0, true));
  env_.test_clock().Advance(1000);  // 14:08:00
  EXPECT_FALSE(dialog.OnSet(today, 14, 8, 0, true));
  EXPECT_TRUE(dialog.OnSet(today, 14, 9, 0, true));
}

TEST_F(AutoBackupDialogTest, OpeningSetsTheRangeOrSaysTheDateIsTooLate) {
  SetLocal(2026, 5, 20, 14, 7, 45);
  AutoBackupDialog dialog(window_);
  std::optional<PickerRange> range = dialog.OnOpen();
  ASSERT_TRUE(range);
  EXPECT_EQ(range->earliest,
            LocalSeconds({2026, 5, 0, 20, 14, 7, 45, 0}).value());
  EXPECT_EQ(range->latest,
            LocalSeconds({2026, 11, 0, 20, 14, 7, 45, 0}).value());
  EXPECT_TRUE(window_.events.empty());

  SetLocal(2038, 1, 19, 0, 0, 5);
  EXPECT_FALSE(dialog.OnOpen());
  EXPECT_EQ(window_.events, std::vector<std::string>{"show 57 caption 39"});
}

}  // namespace
}  // namespace keeper
