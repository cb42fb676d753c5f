// Broken-down calendar time of 16-bit fields (the Windows system time
// layout) and its conversions.
#pragma once

#include <cstdint>

namespace platform {

struct SystemTime {
  uint16_t year;
  uint16_t month;        // 1..12
  uint16_t day_of_week;  // 0 = Sunday
  uint16_t day;          // 1..31
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
  uint16_t milliseconds;
};
static_assert(sizeof(SystemTime) == 16);

// Seconds between 1601-01-01 and 1970-01-01, the origins of file times and
// of Unix time.
constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;

SystemTime SystemTimeFromUnix(int64_t seconds, uint16_t millis = 0);
// False for fields out of range (month 13, day 32, ...).
bool SystemTimeToUnix(const SystemTime& t, int64_t* seconds);

// File time: 100-nanosecond units since 1601-01-01 UTC.
SystemTime SystemTimeFromFileTime(uint64_t file_time);
bool SystemTimeToFileTime(const SystemTime& t, uint64_t* file_time);

// Converts a UTC time to local time by the rules of the current Env's time
// zone (summer time as in force at that instant). False when the input is
// not a valid time.
bool UtcToLocal(const SystemTime& utc, SystemTime* local);

// Now, in UTC and in local time, from the current Env's clock.
SystemTime UtcNow();
SystemTime LocalNow();

}  // namespace platform
