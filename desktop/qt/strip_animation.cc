#include "desktop/qt/strip_animation.h"

#include "desktop/qt/pictures.h"

namespace desktop {

StripAnimation::StripAnimation(QWidget* parent) : QLabel(parent) {
  connect(&timer_, &QTimer::timeout, this,
          [this] { ShowFrame((frame_ + 1) % std::max(1, frame_count())); });
  setAlignment(Qt::AlignCenter);
}

void StripAnimation::SetStrip(const QPixmap& strip, int frame_millis) {
  frames_ = SplitStrip(strip, strip.height());
  timer_.setInterval(frame_millis);
  if (!frames_.isEmpty()) setFixedSize(frames_.first().size());
  ShowFrame(0);
}

void StripAnimation::Play() {
  if (frames_.size() > 1) timer_.start();
}

void StripAnimation::Stop() { timer_.stop(); }

void StripAnimation::ShowFrame(int index) {
  if (index < 0 || index >= frame_count()) return;
  frame_ = index;
  setPixmap(frames_[index]);
}

}  // namespace desktop
