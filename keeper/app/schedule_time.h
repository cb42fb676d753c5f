// The calendar rules of the automatic backup: when the next run is due
// after a run or a missed minute, when a failed run is tried again, how far
// ahead a start may be chosen, and where the schedule must end because the
// calendar times it keeps stop at 18 January 2038.
//
// Schedule times are "local calendar seconds": the local date and time
// parts read as if they were UTC. A daily schedule set for 10:00 thus stays
// at 10:00 across a change to or from summer time, and whole days are
// always 86400 of these seconds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "keeper/app/ab_logger.h"
#include "platform/calendar.h"

namespace platform {
class Registry;
}

namespace keeper {

// Local calendar seconds of a broken-down local time; nullopt when its
// fields are out of range.
std::optional<int64_t> LocalSeconds(const platform::SystemTime& local);
platform::SystemTime LocalTimeOf(int64_t local_seconds);

// The current local time, and the same with its seconds set to 0 (the
// minute a run is compared with).
int64_t LocalNowSeconds();
int64_t LocalNowMinute();

// True for a date after 18 January 2038, the last day the schedule's
// calendar times can hold.
bool IsAfterDateLimit(const platform::SystemTime& t);
// A time the schedule can keep: from 1970 up to the end of the last day.
bool IsValidScheduleTime(int64_t local_seconds);

// What the start date picker accepts.
struct PickerRange {
  int64_t earliest = 0;
  int64_t latest = 0;
};
// From now to the same day and time six months later (a day the later
// month lacks becomes its last day), but never beyond 18 January 2038
// 08:40:00. nullopt when now already lies after the date limit: the range
// is then left unset.
std::optional<PickerRange> StartPickerRange(int64_t now);

// The next regular run after a run (or a missed minute) of a schedule
// whose run was due at `next`, at minute `now`. Once-only schedules get a
// time long past (1 January 1979 01:01:01): there is no next run. Monthly
// schedules keep hour and minute and move to `start_day` of the following
// month, clamped to the month's length (February: 29 in years divisible by
// 4, else 28; the 31st in a 30-day month: 30).
int64_t NextRegularTime(uint32_t interval, int64_t next, int64_t now,
                        uint16_t start_day);

inline constexpr int64_t kOnceOverTime = 284000461;  // 1979-01-01 01:01:01

// True when a finished run due at `run` (local time) is the last one the
// calendar allows for this interval: the following run would pass 18
// January 2038.
bool IsLastRunBeforeLimit(uint32_t interval, const platform::SystemTime& run);

// Errors after which a failed run is not tried again (a full device, a
// refused credential, a cancel, ...). Every other code, 0 included, is.
bool IsRetryableError(uint32_t error);

// Minutes between a failed run and its retry, and retries in a row.
struct RetrySettings {
  uint32_t interval_minutes = 5;
  uint32_t count = 12;
};
inline constexpr uint32_t kMaxRetryInterval = 5;
inline constexpr uint32_t kMaxRetryCount = 12;
// The values "RetryInterval" and "RetryCount" (decimal strings) under the
// program's base key, clamped to 1..5 and 1..12. A key that cannot be
// opened or a missing value gives the largest value.
RetrySettings ReadRetrySettings(platform::Registry& registry,
                                std::string_view base_key);
// The same value read from a string the way the program always read it:
// leading digits after an optional sign, anything else counting as 0.
uint32_t ClampRetryValue(std::string_view text, uint32_t max);

// The archive a scheduled run writes: the target up to its last dot, "_",
// the number as three digits and ".zip" (runs are numbered by the backups
// that succeeded, from 1).
std::string NumberedArchivePath(std::string_view target, uint32_t number);

}  // namespace keeper
