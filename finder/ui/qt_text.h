// Texts by number as Qt strings, for finder's windows.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "desktop/texts.h"

namespace finder::ui {

inline QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}
inline QString Q(const desktop::Texts& texts, uint32_t id) { return Q(texts.Text(id)); }
inline std::string S(const QString& s) { return s.toStdString(); }

}  // namespace finder::ui
