#include "keeper/app/auto_backup_dialog.h"

#include <algorithm>

namespace keeper {
namespace {

desktop::Message Error(uint32_t text) {
  return {desktop::UiText::Id(text), desktop::UiText::Id(kTextScheduleTitle),
          desktop::Icon::kError};
}

}  // namespace

std::optional<PickerRange> AutoBackupDialog::OnOpen() {
  std::optional<PickerRange> range = StartPickerRange(LocalNowSeconds());
  if (!range) window_.Show(Error(kTextDateLimit));
  return range;
}

bool AutoBackupDialog::OnSet(const platform::SystemTime& date, uint16_t hour,
                             uint16_t minute, int interval_position,
                             bool continue_if_deleted) {
  if (IsAfterDateLimit(date)) {
    window_.Show(Error(kTextDateLimit));
    return false;
  }
  platform::SystemTime start = date;
  start.hour = hour;
  start.minute = minute;
  start.second = 0;
  start.milliseconds = 0;
  std::optional<int64_t> chosen = LocalSeconds(start);
  if (!chosen || *chosen <= LocalNowMinute()) {
    window_.Show(Error(kTextStartPassed));
    return false;
  }
  choice_.start = *chosen;
  choice_.start_day = date.day;
  int position = std::clamp(interval_position, 0, kIntervalPositions - 1);
  choice_.interval = kIntervalOnce + static_cast<uint32_t>(position);
  choice_.continue_if_deleted = continue_if_deleted;
  return true;
}

}  // namespace keeper
