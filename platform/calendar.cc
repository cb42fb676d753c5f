#include "platform/calendar.h"

#include "platform/clock.h"
#include "platform/env.h"

namespace platform {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's
// algorithm), and its inverse.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(int64_t y, unsigned m) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30,
                                   31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

SystemTime SystemTimeFromUnix(int64_t seconds, uint16_t millis) {
  int64_t days = FloorDiv(seconds, 86400);
  int64_t rem = seconds - days * 86400;
  int64_t y;
  unsigned m, d;
  CivilFromDays(days, &y, &m, &d);
  SystemTime t{};
  t.year = static_cast<uint16_t>(y);
  t.month = static_cast<uint16_t>(m);
  t.day = static_cast<uint16_t>(d);
  // 1970-01-01 was a Thursday.
  t.day_of_week = static_cast<uint16_t>(((days % 7) + 7 + 4) % 7);
  t.hour = static_cast<uint16_t>(rem / 3600);
  t.minute = static_cast<uint16_t>(rem / 60 % 60);
  t.second = static_cast<uint16_t>(rem % 60);
  t.milliseconds = millis;
  return t;
}

bool SystemTimeToUnix(const SystemTime& t, int64_t* seconds) {
  if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 ||
      t.day < 1 || t.day > DaysInMonth(t.year, t.month) || t.hour > 23 ||
      t.minute > 59 || t.second > 59 || t.milliseconds > 999)
    return false;
  *seconds = DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 +
             t.minute * 60 + t.second;
  return true;
}

SystemTime SystemTimeFromFileTime(uint64_t file_time) {
  int64_t secs = static_cast<int64_t>(file_time / 10000000ULL);
  auto millis = static_cast<uint16_t>(file_time / 10000ULL % 1000);
  return SystemTimeFromUnix(secs - kSecondsFrom1601To1970, millis);
}

bool SystemTimeToFileTime(const SystemTime& t, uint64_t* file_time) {
  int64_t secs;
  if (!SystemTimeToUnix(t, &secs)) return false;
  *file_time = static_cast<uint64_t>(secs + kSecondsFrom1601To1970) *
                   10000000ULL +
               t.milliseconds * 10000ULL;
  return true;
}

bool UtcToLocal(const SystemTime& utc, SystemTime* local) {
  int64_t secs;
  if (!SystemTimeToUnix(utc, &secs)) return false;
  bool dst = false;
  int32_t off = Env::Current()->LocalOffsetSeconds(secs, &dst);
  *local = SystemTimeFromUnix(secs + off, utc.milliseconds);
  return true;
}

SystemTime UtcNow() {
  return SystemTimeFromUnix(Env::Current()->clock().UnixTime());
}

SystemTime LocalNow() {
  SystemTime local{};
  UtcToLocal(UtcNow(), &local);
  return local;
}

}  // namespace platform
