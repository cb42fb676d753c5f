// The text in the main window's message part while a schedule waits:
// "Next backup: <date text>". The date text is the short date and the
// abbreviated day name (the date first in Japanese, Korean and Chinese, the
// day name first otherwise), two blanks and the time without seconds.
#pragma once

#include <optional>
#include <string>

#include "desktop/texts.h"
#include "platform/calendar.h"

namespace keeper {

// The desktop's formats for the message part (the Qt side supplies them
// from the system locale).
class ShortDateFormat {
 public:
  virtual ~ShortDateFormat() = default;
  // nullopt when the value cannot be formatted.
  virtual std::optional<std::string> ShortDate(const platform::SystemTime& t) const = 0;
  virtual std::optional<std::string> DayName(const platform::SystemTime& t) const = 0;
  virtual std::optional<std::string> TimeNoSeconds(const platform::SystemTime& t) const = 0;
  // True where the date is written before the day name.
  virtual bool DateFirst() const = 0;
};

// A date that cannot be formatted makes the whole text "-- -- --"; a time
// that cannot becomes "-- -- --".
std::string StatusDateText(const ShortDateFormat& format,
                           const platform::SystemTime& t);

inline constexpr uint32_t kTextNextBackup = 174;

std::string WaitingText(const desktop::Texts& texts,
                        const ShortDateFormat& format,
                        const platform::SystemTime& due);

}  // namespace keeper
