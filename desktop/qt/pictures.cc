#include "desktop/qt/pictures.h"

#include <QBitmap>
#include <QImage>

#include "desktop/language.h"

namespace desktop {

QPixmap PictureOf(const LanguageLibrary& lang, uint32_t id) {
  std::span<const unsigned char> bytes = lang.Picture(id);
  QPixmap pixmap;
  if (!bytes.empty())
    pixmap.loadFromData(bytes.data(), static_cast<uint>(bytes.size()), "PNG");
  return pixmap;
}

QList<QPixmap> SplitStrip(const QPixmap& strip, int size) {
  QList<QPixmap> out;
  if (strip.isNull() || size <= 0) return out;
  QImage image = strip.toImage().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if ((line[x] & 0xFFFFFF) == 0xFF00FF) line[x] = qRgba(0, 0, 0, 0);
  }
  for (int x = 0; x + size <= image.width(); x += size)
    out.append(QPixmap::fromImage(image.copy(x, 0, size, image.height())));
  return out;
}

}  // namespace desktop
