#include "keeper/app/schedule_time.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "platform/registry.h"

namespace keeper {
namespace {

constexpr int64_t kDay = 86400;
constexpr int64_t kWeek = 7 * kDay;

constexpr uint16_t kLimitYear = 2038;
constexpr uint16_t kLimitDay = 18;  // of January
// The picker's upper end when six months ahead would pass the limit.
constexpr platform::SystemTime kPickerLimit{2038, 1, 1, 18, 8, 40, 0, 0};

uint16_t MonthLength(uint16_t year, uint16_t month) {
  static constexpr std::array<uint16_t, 12> kDays = {31, 28, 31, 30, 31, 30,
                                                     31, 31, 30, 31, 30, 31};
  if (month == 2) return year % 4 == 0 ? 29 : 28;
  return kDays[month - 1];
}

// The start day in a month that may be shorter: the February rule of
// every fourth year, and the 31st as the 30th in a 30-day month.
uint16_t ClampDay(uint16_t year, uint16_t month, uint16_t day) {
  return std::min(day, MonthLength(year, month));
}

int64_t Seconds(const platform::SystemTime& t) {
  int64_t s = 0;
  platform::SystemTimeToUnix(t, &s);
  return s;
}

}  // namespace

std::optional<int64_t> LocalSeconds(const platform::SystemTime& local) {
  platform::SystemTime t = local;
  t.milliseconds = 0;
  int64_t s = 0;
  if (!platform::SystemTimeToUnix(t, &s)) return std::nullopt;
  return s;
}

platform::SystemTime LocalTimeOf(int64_t local_seconds) {
  return platform::SystemTimeFromUnix(local_seconds);
}

int64_t LocalNowSeconds() {
  return LocalSeconds(platform::LocalNow()).value_or(0);
}

int64_t LocalNowMinute() {
  int64_t now = LocalNowSeconds();
  return now - ((now % 60) + 60) % 60;
}

bool IsAfterDateLimit(const platform::SystemTime& t) {
  if (t.year != kLimitYear) return t.year > kLimitYear;
  return t.month > 1 || t.day > kLimitDay;
}

bool IsValidScheduleTime(int64_t local_seconds) {
  return local_seconds >= 0 && !IsAfterDateLimit(LocalTimeOf(local_seconds));
}

std::optional<PickerRange> StartPickerRange(int64_t now) {
  platform::SystemTime t = LocalTimeOf(now);
  if (IsAfterDateLimit(t)) return std::nullopt;
  platform::SystemTime later = t;
  later.month = static_cast<uint16_t>(t.month + 6);
  if (later.month > 12) {
    later.month = static_cast<uint16_t>(later.month - 12);
    ++later.year;
  }
  // 31 August + six months is no date; the end of February is meant.
  later.day = ClampDay(later.year, later.month, t.day);
  int64_t latest = std::min(Seconds(later), Seconds(kPickerLimit));
  return PickerRange{now, std::max(now, latest)};
}

int64_t NextRegularTime(uint32_t interval, int64_t next, int64_t now,
                        uint16_t start_day) {
  switch (interval) {
    case kIntervalOnce:
      return kOnceOverTime;
    case kIntervalDaily: {
      // Whole days missed are skipped at once; the first occurrence after
      // now follows.
      int64_t days = (now - next) / kDay;
      if (days > 1) next += days * kDay;
      while (next <= now) next += kDay;
      return next;
    }
    case kIntervalWeekly: {
      int64_t weeks = (now - next) / kDay / 7;
      if (weeks > 1) next += weeks * kWeek;
      while (next <= now) next += kWeek;
      return next;
    }
    case kIntervalMonthly: {
      platform::SystemTime t = LocalTimeOf(next);
      while (Seconds(t) <= now) {
        if (++t.month > 12) {
          t.month = 1;
          ++t.year;
        }
        t.day = ClampDay(t.year, t.month, start_day);
      }
      return Seconds(t);
    }
    default:
      return kOnceOverTime;
  }
}

bool IsLastRunBeforeLimit(uint32_t interval, const platform::SystemTime& run) {
  if (run.year > kLimitYear) return true;
  if (run.year == kLimitYear) {
    if (run.month > 1) return true;
    switch (interval) {
      case kIntervalDaily: return run.day >= kLimitDay;
      case kIntervalWeekly: return run.day + 7 >= kLimitDay;
      case kIntervalMonthly: return true;
      default: return false;
    }
  }
  if (run.year == kLimitYear - 1 && run.month == 12)
    return interval == kIntervalMonthly && run.day >= kLimitDay;
  return false;
}

bool IsRetryableError(uint32_t error) {
  static constexpr std::array<uint32_t, 15> kFinal = {
      5,   11,  12,  13,   39,   50,   58,  82,
      87,  112, 995, 1216, 1279, 1605, 2250};
  return std::find(kFinal.begin(), kFinal.end(), error) == kFinal.end();
}

uint32_t ClampRetryValue(std::string_view text, uint32_t max) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  uint64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
    if (value > max) break;  // large enough to clamp
  }
  if (negative || value < 1) return 1;
  return static_cast<uint32_t>(std::min<uint64_t>(value, max));
}

RetrySettings ReadRetrySettings(platform::Registry& registry,
                                std::string_view base_key) {
  RetrySettings s;
  auto key = platform::RegKey::Open(registry, platform::RegRoot::kCurrentUser,
                                    base_key);
  if (!key) return s;
  if (auto v = key->GetString("RetryInterval"))
    s.interval_minutes = ClampRetryValue(*v, kMaxRetryInterval);
  if (auto v = key->GetString("RetryCount"))
    s.count = ClampRetryValue(*v, kMaxRetryCount);
  return s;
}

std::string NumberedArchivePath(std::string_view target, uint32_t number) {
  size_t dot = target.rfind('.');
  std::string_view stem =
      dot == std::string_view::npos ? target : target.substr(0, dot);
  char digits[16];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, number);
  std::string n(digits, end);
  if (n.size() < 3) n.insert(0, 3 - n.size(), '0');
  return std::string(stem) + "_" + n + ".zip";
}

}  // namespace keeper
