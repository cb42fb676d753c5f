#include "keeper/app/date_text.h"

namespace keeper {

namespace {
constexpr const char kNoValue[] = "-- -- --";
}

std::string DateTimeText(const DateTimeFormat& format,
                         const platform::SystemTime& t) {
  std::optional<std::string> date = format.LongDate(t);
  if (!date) return kNoValue;
  std::optional<std::string> time = format.Time(t);
  return *date + "  " + (time ? *time : std::string(kNoValue));
}

}  // namespace keeper
