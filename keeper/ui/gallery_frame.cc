#include "keeper/ui/gallery_frame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QThread>

namespace keeper::gallery {

void Settle(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
}

QPixmap Framed(QWidget* widget) {
  const QPixmap body = widget->grab();
  const int bar = 26;
  QPixmap out(body.width() + 2, body.height() + bar + 1);
  out.fill(QColor(120, 124, 132));
  QPainter p(&out);
  p.fillRect(1, 1, body.width(), bar - 1, QColor(222, 225, 230));
  QFont f = widget->font();
  f.setBold(true);
  p.setFont(f);
  p.setPen(QColor(30, 30, 30));
  p.drawText(QRect(10, 1, body.width() - 20, bar - 1), Qt::AlignVCenter | Qt::AlignLeft,
             widget->windowTitle());
  p.drawPixmap(1, bar, body);
  return out;
}

std::unique_ptr<QLabel> Over(QWidget* window, QWidget* dialog) {
  QPixmap back = window->grab();
  const QPixmap framed = Framed(dialog);
  {
    QPainter p(&back);
    p.fillRect(back.rect(), QColor(0, 0, 0, 40));  // the window waits
    p.drawPixmap((back.width() - framed.width()) / 2, (back.height() - framed.height()) / 2,
                 framed);
  }
  auto label = std::make_unique<QLabel>();
  label->setPixmap(back);
  label->setContentsMargins(0, 0, 0, 0);
  label->setFixedSize(back.size());
  label->setWindowTitle(window->windowTitle());
  return label;
}

}  // namespace keeper::gallery
