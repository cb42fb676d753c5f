// Date and time texts in the user's locale, as the result log and the
// lists show them. The formats are the desktop's (the Qt side supplies
// them); the logic only asks for texts.
#pragma once

#include <optional>
#include <string>

#include "platform/calendar.h"

namespace keeper {

class DateTimeFormat {
 public:
  virtual ~DateTimeFormat() = default;
  // nullopt when the value cannot be formatted.
  virtual std::optional<std::string> LongDate(const platform::SystemTime& t) const = 0;
  virtual std::optional<std::string> Time(const platform::SystemTime& t) const = 0;
};

// The date, two blanks and the time. A date that cannot be formatted makes
// the whole text "-- -- --"; a time that cannot becomes "-- -- --".
std::string DateTimeText(const DateTimeFormat& format,
                         const platform::SystemTime& t);

}  // namespace keeper
