// Small helpers of keeper's windows: texts by number as QString, the
// standard icon of a logic icon.
#pragma once

#include <QIcon>
#include <QString>
#include <string>
#include <string_view>

#include "desktop/screen.h"
#include "desktop/texts.h"

namespace keeper {

inline QString QText(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}
inline QString QText(const desktop::Texts& texts, uint32_t id) {
  return QText(texts.Text(id));
}
inline QString QText(const std::string& s) { return QString::fromStdString(s); }

// The desktop style's icon for a message of that kind.
QIcon StandardIcon(desktop::Icon icon);

}  // namespace keeper
