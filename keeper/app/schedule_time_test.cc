// The calendar rules of the schedule, as tables of cases.
#include "keeper/app/schedule_time.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace keeper {
namespace {

int64_t T(uint16_t y, uint16_t mo, uint16_t d, uint16_t h = 0,
          uint16_t mi = 0, uint16_t s = 0) {
  return LocalSeconds({y, mo, 0, d, h, mi, s, 0}).value();
}

std::string Text(int64_t local) {
  platform::SystemTime t = LocalTimeOf(local);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", t.year,
                t.month, t.day, t.hour, t.minute, t.second);
  return buf;
}

struct NextCase {
  const char* name;
  uint32_t interval;
  int64_t next;
  int64_t now;
  uint16_t start_day;
  const char* expected;
};

TEST(NextRegularTimeTest, Table) {
  const NextCase kCases[] = {
      {"daily run ended a few minutes late", kIntervalDaily,
       T(2026, 3, 2, 10, 0), T(2026, 3, 2, 10, 5), 2, "2026-03-03 10:00:00"},
      {"daily missed by three days, later in the day", kIntervalDaily,
       T(2026, 3, 2, 10, 0), T(2026, 3, 5, 14, 30), 2, "2026-03-06 10:00:00"},
      {"daily missed by three days, earlier in the day", kIntervalDaily,
       T(2026, 3, 2, 10, 0), T(2026, 3, 5, 9, 0), 2, "2026-03-05 10:00:00"},
      {"daily missed by a day and an hour", kIntervalDaily,
       T(2026, 3, 2, 10, 0), T(2026, 3, 3, 11, 0), 2, "2026-03-04 10:00:00"},
      {"daily over the year's end", kIntervalDaily, T(2026, 12, 31, 23, 59),
       T(2026, 12, 31, 23, 59), 31, "2027-01-01 23:59:00"},
      {"weekly keeps its Monday", kIntervalWeekly, T(2026, 3, 2, 10, 0),
       T(2026, 3, 2, 10, 1), 2, "2026-03-09 10:00:00"},
      {"weekly missed by three weeks and two days", kIntervalWeekly,
       T(2026, 3, 2, 10, 0), T(2026, 3, 25, 10, 0), 2, "2026-03-30 10:00:00"},
      {"weekly missed by one week and a day", kIntervalWeekly,
       T(2026, 3, 2, 10, 0), T(2026, 3, 10, 8, 0), 2, "2026-03-16 10:00:00"},
      {"monthly from the 31st into a short February", kIntervalMonthly,
       T(2027, 1, 31, 6, 15), T(2027, 1, 31, 6, 20), 31, "2027-02-28 06:15:00"},
      {"monthly into a leap February", kIntervalMonthly, T(2028, 1, 31, 6, 15),
       T(2028, 1, 31, 6, 15), 31, "2028-02-29 06:15:00"},
      {"monthly back on the 31st in March", kIntervalMonthly,
       T(2027, 2, 28, 6, 15), T(2027, 2, 28, 6, 16), 31, "2027-03-31 06:15:00"},
      {"monthly the 31st in April is the 30th", kIntervalMonthly,
       T(2027, 3, 31, 6, 15), T(2027, 3, 31, 7, 0), 31, "2027-04-30 06:15:00"},
      {"monthly the 31st in May", kIntervalMonthly, T(2027, 4, 30, 6, 15),
       T(2027, 4, 30, 6, 15), 31, "2027-05-31 06:15:00"},
      {"monthly from the 30th into February and back", kIntervalMonthly,
       T(2027, 2, 28, 9, 0), T(2027, 2, 28, 9, 0), 30, "2027-03-30 09:00:00"},
      {"monthly December to January", kIntervalMonthly, T(2026, 12, 15, 9, 0),
       T(2026, 12, 15, 9, 0), 15, "2027-01-15 09:00:00"},
      {"monthly missed by three months", kIntervalMonthly,
       T(2026, 1, 31, 9, 0), T(2026, 4, 15, 9, 0), 31, "2026-04-30 09:00:00"},
      {"once has no next run", kIntervalOnce, T(2026, 3, 2, 10, 0),
       T(2026, 3, 2, 10, 0), 2, "1979-01-01 01:01:01"},
  };
  for (const NextCase& c : kCases) {
    EXPECT_EQ(Text(NextRegularTime(c.interval, c.next, c.now, c.start_day)),
              c.expected)
        << c.name;
  }
}

TEST(NextRegularTimeTest, MonthlyFromThe31stRunsThroughAYear) {
  // Each run happens at its minute; the next follows from it.
  const char* kExpected[] = {"2027-02-28", "2027-03-31", "2027-04-30",
                             "2027-05-31", "2027-06-30", "2027-07-31",
                             "2027-08-31", "2027-09-30", "2027-10-31",
                             "2027-11-30", "2027-12-31", "2028-01-31",
                             "2028-02-29", "2028-03-31"};
  int64_t next = T(2027, 1, 31, 22, 45);
  for (const char* expected : kExpected) {
    next = NextRegularTime(kIntervalMonthly, next, next, 31);
    EXPECT_EQ(Text(next), std::string(expected) + " 22:45:00");
  }
}

TEST(NextRegularTimeTest, WeeklyKeepsItsWeekdayOverMonths) {
  int64_t next = T(2026, 1, 7, 18, 30);  // a Wednesday
  for (int run = 0; run < 60; ++run) {
    next = NextRegularTime(kIntervalWeekly, next, next + 7 * 60, 7);
    platform::SystemTime t = LocalTimeOf(next);
    ASSERT_EQ(t.day_of_week, 3) << Text(next);
    ASSERT_EQ(t.hour * 60 + t.minute, 18 * 60 + 30) << Text(next);
  }
  EXPECT_EQ(Text(next), "2027-03-03 18:30:00");
}

struct LimitCase {
  uint32_t interval;
  platform::SystemTime run;
  bool last;
};

TEST(ScheduleLimitTest, LastRunBeforeTheDateLimit) {
  auto D = [](uint16_t y, uint16_t m, uint16_t d) {
    return platform::SystemTime{y, m, 0, d, 10, 0, 0, 0};
  };
  const LimitCase kCases[] = {
      {kIntervalDaily, D(2038, 1, 17), false},
      {kIntervalDaily, D(2038, 1, 18), true},
      {kIntervalWeekly, D(2038, 1, 10), false},
      {kIntervalWeekly, D(2038, 1, 11), true},
      {kIntervalMonthly, D(2038, 1, 1), true},
      {kIntervalMonthly, D(2037, 12, 17), false},
      {kIntervalMonthly, D(2037, 12, 18), true},
      {kIntervalDaily, D(2037, 12, 31), false},
      {kIntervalWeekly, D(2037, 12, 30), false},
      {kIntervalOnce, D(2038, 1, 18), false},
      {kIntervalDaily, D(2038, 2, 1), true},
      {kIntervalOnce, D(2039, 5, 1), true},
      {kIntervalMonthly, D(2026, 12, 31), false},
  };
  for (const LimitCase& c : kCases) {
    EXPECT_EQ(IsLastRunBeforeLimit(c.interval, c.run), c.last)
        << c.interval << " " << c.run.year << "-" << c.run.month << "-"
        << c.run.day;
  }
}

TEST(ScheduleLimitTest, ValidTimesEndWithTheLastDay) {
  EXPECT_TRUE(IsValidScheduleTime(T(2038, 1, 18, 23, 59, 59)));
  EXPECT_FALSE(IsValidScheduleTime(T(2038, 1, 19, 0, 0)));
  EXPECT_FALSE(IsValidScheduleTime(T(2040, 6, 1)));
  EXPECT_TRUE(IsValidScheduleTime(kOnceOverTime));
  EXPECT_FALSE(IsValidScheduleTime(-60));
}

struct RangeCase {
  const char* name;
  int64_t now;
  const char* latest;  // nullptr: no range
};

TEST(StartPickerRangeTest, SixMonthsAheadAndNeverPastTheLimit) {
  const RangeCase kCases[] = {
      {"six months ahead", T(2026, 3, 15, 10, 20, 30), "2026-09-15 10:20:30"},
      {"into the next year", T(2026, 9, 2, 8, 0), "2027-03-02 08:00:00"},
      {"a day the later month lacks", T(2026, 8, 31, 12, 0),
       "2027-02-28 12:00:00"},
      {"a leap February", T(2027, 8, 30, 12, 0), "2028-02-29 12:00:00"},
      {"past the limit's minute", T(2037, 7, 18, 12, 0),
       "2038-01-18 08:40:00"},
      {"just inside the limit", T(2037, 7, 18, 8, 39), "2038-01-18 08:39:00"},
      {"long past the limit", T(2037, 12, 1, 0, 0), "2038-01-18 08:40:00"},
      {"on the last day", T(2038, 1, 18, 9, 0), "2038-01-18 09:00:00"},
      {"after the last day", T(2038, 1, 19, 0, 0), nullptr},
  };
  for (const RangeCase& c : kCases) {
    std::optional<PickerRange> r = StartPickerRange(c.now);
    if (!c.latest) {
      EXPECT_FALSE(r) << c.name;
      continue;
    }
    ASSERT_TRUE(r) << c.name;
    EXPECT_EQ(r->earliest, c.now) << c.name;
    EXPECT_EQ(Text(r->latest), c.latest) << c.name;
  }
}

TEST(RetryableErrorTest, OnlyTheListedCodesAreFinal) {
  for (uint32_t code : {5u, 11u, 12u, 13u, 39u, 50u, 58u, 82u, 87u, 112u,
                        995u, 1216u, 1279u, 1605u, 2250u})
    EXPECT_FALSE(IsRetryableError(code)) << code;
  for (uint32_t code : {0u, 1u, 2u, 257u, 1359u, 4319u, 12002u, 12029u})
    EXPECT_TRUE(IsRetryableError(code)) << code;
}

struct RetryCase {
  const char* name;
  std::optional<std::string> interval;  // nullopt: value absent
  std::optional<std::string> count;
  bool make_key;
  uint32_t want_interval;
  uint32_t want_count;
};

TEST(RetrySettingsTest, ReadAndClamped) {
  const RetryCase kCases[] = {
      {"no key", std::nullopt, std::nullopt, false, 5, 12},
      {"no values", std::nullopt, std::nullopt, true, 5, 12},
      {"written at start", "5", "12", true, 5, 12},
      {"in range", "3", "7", true, 3, 7},
      {"too large", "9", "40", true, 5, 12},
      {"zero", "0", "0", true, 1, 1},
      {"negative", "-2", "-1", true, 1, 1},
      {"not a number", "soon", "", true, 1, 1},
      {"digits then text", "2 min", "4x", true, 2, 4},
      {"huge", "99999999999999999999", "4294967297", true, 5, 12},
  };
  const std::string kKey = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";
  for (const RetryCase& c : kCases) {
    platform::FakeEnv env;
    platform::Registry& reg = env.registry();
    if (c.make_key) {
      auto key = platform::RegKey::Create(reg, platform::RegRoot::kCurrentUser,
                                          kKey);
      ASSERT_TRUE(key) << c.name;
      if (c.interval) key->SetString("RetryInterval", *c.interval);
      if (c.count) key->SetString("RetryCount", *c.count);
    }
    RetrySettings s = ReadRetrySettings(reg, kKey);
    EXPECT_EQ(s.interval_minutes, c.want_interval) << c.name;
    EXPECT_EQ(s.count, c.want_count) << c.name;
  }
}

TEST(NumberedArchivePathTest, ThreeDigitsBeforeZip) {
  struct Case {
    const char* target;
    uint32_t n;
    const char* expected;
  } kCases[] = {
      {"/srv/backup/hall.zip", 1, "/srv/backup/hall_001.zip"},
      {"/srv/backup/hall.zip", 42, "/srv/backup/hall_042.zip"},
      {"/srv/backup/hall.zip", 1000, "/srv/backup/hall_1000.zip"},
      {"/srv/back.up/hall.v2.ZIP", 3, "/srv/back.up/hall.v2_003.zip"},
  };
  for (const Case& c : kCases)
    EXPECT_EQ(NumberedArchivePath(c.target, c.n), c.expected) << c.target;
}

}  // namespace
}  // namespace keeper
