#include "keeper/app/waiting_text.h"

namespace keeper {
namespace {
constexpr char kNoValue[] = "-- -- --";
}

std::string StatusDateText(const ShortDateFormat& format,
                           const platform::SystemTime& t) {
  std::optional<std::string> date = format.ShortDate(t);
  std::optional<std::string> day = format.DayName(t);
  if (!date || !day) return kNoValue;
  std::string text = format.DateFirst() ? *date + " " + *day
                                        : *day + " " + *date;
  std::optional<std::string> time = format.TimeNoSeconds(t);
  return text + "  " + (time ? *time : std::string(kNoValue));
}

std::string WaitingText(const desktop::Texts& texts,
                        const ShortDateFormat& format,
                        const platform::SystemTime& due) {
  return texts(kTextNextBackup) + " " + StatusDateText(format, due);
}

}  // namespace keeper
