// CAutoBackup's logic: the schedule dialog. It offers a start date and
// time, a repeat interval and what to do when selected boxes disappear,
// and refuses a start that is not in the future or lies beyond the date
// limit.
#pragma once

#include <cstdint>
#include <optional>

#include "keeper/app/auto_backup_host.h"
#include "keeper/app/schedule_time.h"

namespace keeper {

// Texts of the dialog by string number.
inline constexpr uint32_t kTextScheduleTitle = 39;
inline constexpr uint32_t kTextStartGroup = 40;
inline constexpr uint32_t kTextIntervalGroup = 41;
inline constexpr uint32_t kTextSet = 42;
inline constexpr uint32_t kTextCancel = 26;
inline constexpr uint32_t kTextDeletedGroup = 147;
inline constexpr uint32_t kTextContinueIfDeleted = 148;
inline constexpr uint32_t kTextStopIfDeleted = 149;
inline constexpr uint32_t kTextDateLimit = 57;
inline constexpr uint32_t kTextStartPassed = 58;
// The interval list: position p shows text 143 + p and means 555 + p.
inline constexpr uint32_t kTextFirstInterval = 143;
inline constexpr int kIntervalPositions = 4;
inline constexpr char kStartTimeFormat[] = "HH : mm";

struct ScheduleChoice {
  int64_t start = 0;        // local calendar seconds, on a whole minute
  uint16_t start_day = 1;   // day of month of the start date
  uint32_t interval = kIntervalOnce;
  bool continue_if_deleted = true;
};

class AutoBackupDialog {
 public:
  explicit AutoBackupDialog(AutoBackupWindow& window) : window_(window) {}

  // Opening: the start picker's range, or nullopt when today lies after
  // the date limit (the user is told, and the range stays unset).
  std::optional<PickerRange> OnOpen();

  // Set: the picker's date (its time part is ignored), the time picker's
  // hour and minute, the interval position and the radio choice. True when
  // the dialog closes with OK; false when a message was shown and it stays
  // open.
  bool OnSet(const platform::SystemTime& date, uint16_t hour, uint16_t minute,
             int interval_position, bool continue_if_deleted);

  // Valid after OnSet returned true.
  const ScheduleChoice& choice() const { return choice_; }

 private:
  AutoBackupWindow& window_;
  ScheduleChoice choice_;
};

}  // namespace keeper
