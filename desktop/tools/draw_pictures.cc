// Draws the pictures of the language libraries and writes them as PNG
// bytes into a C++ source file (the library's zelt_lang::Picture()), so
// that the pictures travel inside the library like its texts.
//
//   draw_pictures keeper pictures.cc [about.png]
//   draw_pictures finder pictures.cc
//   draw_pictures setup pictures.cc
//   draw_pictures icons OUT_DIR NAME   the desktop icon in the sizes of an
//                                      icon theme: OUT_DIR/48x48/apps/NAME.png
//
// Drawn in code rather than kept as binary files: they stay reviewable,
// scale with a constant, and need no image editor.
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

namespace {

const QColor kMagenta(255, 0, 255);  // the mask colour of bitmap strips

QImage Blank(int w, int h, bool transparent = true) {
  QImage img(w, h, QImage::Format_ARGB32);
  img.fill(transparent ? Qt::transparent : kMagenta);
  return img;
}

// A multifunction printer seen from the front, in a square of side s at
// (x, y).
void DrawDevice(QPainter& p, qreal x, qreal y, qreal s, bool lit) {
  p.save();
  p.translate(x, y);
  p.scale(s / 32.0, s / 32.0);
  p.setRenderHint(QPainter::Antialiasing);
  // Paper on top.
  p.setPen(QPen(QColor(90, 90, 90), 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(9, 3, 14, 9));
  // Body.
  QLinearGradient body(0, 10, 0, 28);
  body.setColorAt(0, QColor(232, 234, 238));
  body.setColorAt(1, QColor(168, 172, 180));
  p.setBrush(body);
  p.setPen(QPen(QColor(70, 74, 82), 1.2));
  p.drawRoundedRect(QRectF(3, 10, 26, 18), 3, 3);
  // Output slot and tray.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(60, 64, 72));
  p.drawRect(QRectF(8, 20, 16, 2.5));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(9, 22.5, 14, 3));
  // Panel light.
  p.setBrush(lit ? QColor(40, 190, 70) : QColor(120, 120, 120));
  p.drawEllipse(QRectF(23, 13, 3.5, 3.5));
  p.restore();
}

// A document box: a tray with a tab, optionally with a padlock.
void DrawBox(QPainter& p, qreal x, qreal y, qreal s, bool locked) {
  p.save();
  p.translate(x, y);
  p.scale(s / 16.0, s / 16.0);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(150, 105, 20), 0.9));
  p.setBrush(QColor(246, 200, 90));
  QPainterPath back;
  back.moveTo(1.5, 4);
  back.lineTo(6, 4);
  back.lineTo(7.5, 2.5);
  back.lineTo(14.5, 2.5);
  back.lineTo(14.5, 13.5);
  back.lineTo(1.5, 13.5);
  back.closeSubpath();
  p.drawPath(back);
  p.setBrush(QColor(252, 222, 140));
  p.drawRect(QRectF(1.5, 6, 13, 7.5));
  // A sheet standing in it.
  p.setPen(QPen(QColor(130, 130, 130), 0.6));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(4, 4.5, 7, 2));
  if (locked) {
    p.setPen(QPen(QColor(60, 60, 60), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(8.8, 6.6, 5, 5.5), 0, 180 * 16);
    p.setPen(QPen(QColor(40, 40, 40), 0.6));
    p.setBrush(QColor(200, 40, 40));
    p.drawRoundedRect(QRectF(8, 9.2, 6.6, 5.3), 1, 1);
  }
  p.restore();
}

// Connection state: a plug, green when connected, a red cross when not.
void DrawLink(QPainter& p, bool connected) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(60, 60, 60), 1));
  QColor c = connected ? QColor(40, 170, 70) : QColor(200, 50, 40);
  p.setBrush(c);
  p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
  p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
  if (connected) {
    p.drawLine(QPointF(4.5, 8.2), QPointF(7, 10.8));
    p.drawLine(QPointF(7, 10.8), QPointF(11.5, 5.2));
  } else {
    p.drawLine(QPointF(5.2, 5.2), QPointF(10.8, 10.8));
    p.drawLine(QPointF(10.8, 5.2), QPointF(5.2, 10.8));
  }
}

// A frame of the transfer animation: a sheet travels from the device (left)
// to the archive (right) along an arc; `t` runs from 0 to 1.
void DrawTransferFrame(QPainter& p, qreal x0, qreal size, qreal t) {
  p.save();
  p.translate(x0, 0);
  p.setRenderHint(QPainter::Antialiasing);
  qreal s = size / 48.0;
  p.scale(s, s);
  DrawDevice(p, 0, 18, 24, true);
  // The archive: a folder with a zipper.
  p.setPen(QPen(QColor(50, 80, 140), 1));
  p.setBrush(QColor(90, 140, 220));
  p.drawRoundedRect(QRectF(29, 24, 18, 16), 2, 2);
  p.setPen(QPen(QColor(235, 240, 250), 1.2, Qt::DotLine));
  p.drawLine(QPointF(38, 25), QPointF(38, 39));
  // The travelling sheet.
  qreal x = 12 + t * 26;
  qreal y = 24 - qSin(t * M_PI) * 16;
  p.setPen(QPen(QColor(90, 90, 90), 0.8));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(x - 3, y - 4, 6, 8));
  p.setPen(QPen(QColor(170, 170, 170), 0.6));
  p.drawLine(QPointF(x - 1.8, y - 1.5), QPointF(x + 1.8, y - 1.5));
  p.drawLine(QPointF(x - 1.8, y + 0.5), QPointF(x + 1.8, y + 0.5));
  p.restore();
}

// A frame of the search animation: radar waves from a device.
void DrawSearchFrame(QPainter& p, qreal x0, qreal size, int frame,
                     int frames) {
  p.save();
  p.translate(x0, 0);
  p.setRenderHint(QPainter::Antialiasing);
  qreal s = size / 32.0;
  p.scale(s, s);
  DrawDevice(p, 1, 12, 16, true);
  for (int i = 0; i < 3; ++i) {
    qreal phase = std::fmod(frame / qreal(frames) + i / 3.0, 1.0);
    qreal r = 4 + phase * 14;
    QColor c(40, 110, 200);
    c.setAlphaF(1.0 - phase);
    p.setPen(QPen(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(12 - r, 16 - r, 2 * r, 2 * r), -50 * 16, 100 * 16);
  }
  p.restore();
}

QImage AppIcon(int size) {
  QImage img = Blank(size, size);
  QPainter p(&img);
  DrawDevice(p, 0, 0, size, true);
  DrawBox(p, size * 0.5, size * 0.5, size * 0.5, false);
  return img;
}

QByteArray Png(const QImage& img) {
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, "PNG");
  return bytes;
}

std::map<int, QImage> KeeperPictures() {
  std::map<int, QImage> out;
  out[128] = AppIcon(48);
  for (int id : {157, 163}) {
    QImage img = Blank(16, 16);
    QPainter p(&img);
    DrawLink(p, id == 157);
    out[id] = img;
  }
  {
    // Bitmap 132: image 0 an open box, image 1 a protected box, 16 x 16
    // each on magenta, the mask colour.
    QImage img = Blank(32, 16, false);
    QPainter p(&img);
    DrawBox(p, 0, 0, 16, false);
    DrawBox(p, 16, 0, 16, true);
    out[132] = img;
  }
  {
    QImage img = Blank(64, 64);
    QPainter p(&img);
    DrawDevice(p, 0, 0, 64, true);
    DrawBox(p, 30, 30, 34, false);
    out[203] = img;
  }
  {
    // Animation 183: twelve frames of 48 x 48.
    const int frames = 12, size = 48;
    QImage img = Blank(frames * size, size);
    QPainter p(&img);
    for (int i = 0; i < frames; ++i)
      DrawTransferFrame(p, i * size, size, i / qreal(frames - 1));
    out[183] = img;
  }
  return out;
}

std::map<int, QImage> FinderPictures() {
  std::map<int, QImage> out;
  out[128] = AppIcon(48);
  {
    // Image list of the device rows: 0 and 1 unused here, 2 a device.
    QImage img = Blank(48, 16);
    QPainter p(&img);
    DrawDevice(p, 32, 0, 16, false);
    DrawDevice(p, 16, 0, 16, true);
    DrawDevice(p, 0, 0, 16, true);
    out[130] = img;
  }
  {
    const int frames = 12, size = 32;
    QImage img = Blank(frames * size, size);
    QPainter p(&img);
    for (int i = 0; i < frames; ++i) DrawSearchFrame(p, i * size, size, i, frames);
    out[183] = img;
  }
  for (int id : {205, 206}) {
    // The expand and collapse arrows of the product list.
    QImage img = Blank(16, 16);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 60, 60));
    QPolygonF tri;
    if (id == 205)
      tri << QPointF(4, 6) << QPointF(12, 6) << QPointF(8, 11);
    else
      tri << QPointF(4, 10) << QPointF(12, 10) << QPointF(8, 5);
    p.drawPolygon(tri);
    out[id] = img;
  }
  return out;
}

// setup's language dialog: the program's icon 107.
std::map<int, QImage> SetupPictures() {
  std::map<int, QImage> out;
  out[107] = AppIcon(48);
  return out;
}

// The product icon in the sizes desktops look for in an icon theme.
bool WriteIcons(const std::string& dir, const std::string& name) {
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    std::string sub = dir + "/" + std::to_string(size) + "x" +
                      std::to_string(size) + "/apps";
    if (!QDir().mkpath(QString::fromStdString(sub))) return false;
    if (!AppIcon(size).save(QString::fromStdString(sub + "/" + name + ".png"),
                            "PNG"))
      return false;
  }
  return true;
}

bool WriteSource(const std::map<int, QImage>& pictures, const char* path) {
  std::ofstream out(path);
  out << "// Generated by desktop/tools/draw_pictures; do not edit.\n"
         "#include \"desktop/lang_table.h\"\n\n"
         "namespace zelt_lang {\nnamespace {\n\n";
  for (const auto& [id, img] : pictures) {
    QByteArray png = Png(img);
    out << "const unsigned char kPicture" << id << "[] = {";
    for (int i = 0; i < png.size(); ++i) {
      if (i % 16 == 0) out << "\n   ";
      out << ' ' << static_cast<int>(static_cast<unsigned char>(png[i]))
          << ',';
    }
    out << "\n};\n\n";
  }
  out << "}  // namespace\n\n"
         "const unsigned char* Picture(uint32_t id, uint32_t* size) {\n"
         "  switch (id) {\n";
  for (const auto& [id, img] : pictures)
    out << "    case " << id << ": *size = sizeof kPicture" << id
        << "; return kPicture" << id << ";\n";
  out << "    default: *size = 0; return nullptr;\n  }\n}\n\n"
         "}  // namespace zelt_lang\n";
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: draw_pictures keeper|finder|setup OUT.cc [ABOUT.png]\n"
                 "       draw_pictures icons OUT_DIR NAME\n");
    return 2;
  }
  std::string set = argv[1];
  std::map<int, QImage> pictures;
  if (set == "icons") {
    if (argc < 4 || !WriteIcons(argv[2], argv[3])) {
      std::fprintf(stderr, "draw_pictures: cannot write the icons into %s\n",
                   argv[2]);
      return 1;
    }
    return 0;
  }
  if (set == "setup") {
    pictures = SetupPictures();
  } else if (set == "keeper") {
    pictures = KeeperPictures();
  } else if (set == "finder") {
    pictures = FinderPictures();
  } else {
    std::fprintf(stderr, "draw_pictures: unknown set %s\n", set.c_str());
    return 2;
  }
  if (!WriteSource(pictures, argv[2])) {
    std::fprintf(stderr, "draw_pictures: cannot write %s\n", argv[2]);
    return 1;
  }
  if (argc > 3) {
    // The About picture beside the program: the product picture, large.
    QImage img = Blank(96, 96);
    QPainter p(&img);
    DrawDevice(p, 0, 0, 96, true);
    DrawBox(p, 46, 46, 50, true);
    p.end();
    if (!img.save(argv[3], "PNG")) {
      std::fprintf(stderr, "draw_pictures: cannot write %s\n", argv[3]);
      return 1;
    }
  }
  return 0;
}
