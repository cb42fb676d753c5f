// Pictures of a language library as Qt pixmaps and icons.
#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>

namespace desktop {

class LanguageLibrary;

// The picture of that number; a null pixmap when the library lacks it.
QPixmap PictureOf(const LanguageLibrary& lang, uint32_t id);

// The pieces of a strip (a bitmap of images side by side, each `size`
// wide): magenta pixels become transparent, as the mask colour of such
// strips says.
QList<QPixmap> SplitStrip(const QPixmap& strip, int size);

}  // namespace desktop
