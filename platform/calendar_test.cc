#include "platform/calendar.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/testing/fake_env.h"

namespace platform {
namespace {

struct Case {
  int64_t unix;
  SystemTime expected;  // year, month, dow, day, h, m, s, ms
};

TEST(CalendarTest, UnixSecondsBreakDown) {
  const Case cases[] = {
      {0, {1970, 1, 4, 1, 0, 0, 0, 0}},
      {951782400, {2000, 2, 2, 29, 0, 0, 0, 0}},  // leap day
      {2147483647, {2038, 1, 2, 19, 3, 14, 7, 0}},
      {-1, {1969, 12, 3, 31, 23, 59, 59, 0}},
      {-11644473600LL, {1601, 1, 1, 1, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SystemTime t = SystemTimeFromUnix(c.unix);
    EXPECT_EQ(0, std::memcmp(&t, &c.expected, sizeof t)) << c.unix;
    int64_t back = 0;
    ASSERT_TRUE(SystemTimeToUnix(t, &back));
    EXPECT_EQ(back, c.unix);
  }
}

TEST(CalendarTest, InvalidFieldsAreRefused) {
  int64_t s;
  SystemTime t{2021, 2, 0, 29, 0, 0, 0, 0};  // 2021 is no leap year
  EXPECT_FALSE(SystemTimeToUnix(t, &s));
  t = {2021, 13, 0, 1, 0, 0, 0, 0};
  EXPECT_FALSE(SystemTimeToUnix(t, &s));
  t = {2021, 1, 0, 1, 24, 0, 0, 0};
  EXPECT_FALSE(SystemTimeToUnix(t, &s));
}

TEST(CalendarTest, FileTimesCountFrom1601) {
  uint64_t ft = 0;
  SystemTime t{1970, 1, 4, 1, 0, 0, 0, 250};
  ASSERT_TRUE(SystemTimeToFileTime(t, &ft));
  EXPECT_EQ(ft, 11644473600ULL * 10000000ULL + 2500000ULL);
  SystemTime back = SystemTimeFromFileTime(ft);
  EXPECT_EQ(0, std::memcmp(&t, &back, sizeof t));
}

TEST(CalendarTest, LocalTimeFollowsTheZoneRules) {
  FakeEnv env;
  ScopedEnv use(&env);
  env.SetFixedTimeZone(60, 60);  // UTC+1, summer UTC+2
  SystemTime winter = SystemTimeFromUnix(1767225600);  // 2026-01-01 00:00
  SystemTime local{};
  ASSERT_TRUE(UtcToLocal(winter, &local));
  EXPECT_EQ(local.hour, 1);
  SystemTime summer = SystemTimeFromUnix(1782864000);  // 2026-07-01 00:00
  ASSERT_TRUE(UtcToLocal(summer, &local));
  EXPECT_EQ(local.hour, 2);
  TimeZoneInfo tz;
  ASSERT_TRUE(env.GetTimeZoneInfo(&tz));
  EXPECT_EQ(tz.bias_minutes, -60);
  EXPECT_EQ(tz.daylight_bias_minutes, -60);
}

TEST(CalendarTest, RealZoneRulesComeFromTz) {
  // The default Env reads the system rules; TZ chooses them.
  const char* old = getenv("TZ");
  std::string saved = old ? old : "";
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  bool dst = true;
  EXPECT_EQ(Env::Default()->LocalOffsetSeconds(1767225600, &dst), 3600);
  EXPECT_FALSE(dst);
  EXPECT_EQ(Env::Default()->LocalOffsetSeconds(1782864000, &dst), 7200);
  EXPECT_TRUE(dst);
  TimeZoneInfo tz;
  ASSERT_TRUE(Env::Default()->GetTimeZoneInfo(&tz));
  EXPECT_EQ(tz.bias_minutes, -60);
  EXPECT_EQ(tz.daylight_bias_minutes, -60);
  if (old)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
}

}  // namespace
}  // namespace platform
