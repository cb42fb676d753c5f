#include "keeper/ui/qt_text.h"

#include <QApplication>
#include <QStyle>

namespace keeper {

QIcon StandardIcon(desktop::Icon icon) {
  QStyle* style = QApplication::style();
  switch (icon) {
    case desktop::Icon::kInformation:
      return style->standardIcon(QStyle::SP_MessageBoxInformation);
    case desktop::Icon::kWarning:
      return style->standardIcon(QStyle::SP_MessageBoxWarning);
    case desktop::Icon::kError:
      return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case desktop::Icon::kQuestion:
      return style->standardIcon(QStyle::SP_MessageBoxQuestion);
    case desktop::Icon::kNone:
      break;
  }
  return {};
}

}  // namespace keeper
