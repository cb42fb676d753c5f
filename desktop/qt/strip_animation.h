// Plays an animation kept as a strip of square frames (picture 183 of the
// language libraries): the stand-in for an AVI animation control.
#pragma once

#include <QLabel>
#include <QList>
#include <QPixmap>
#include <QTimer>

namespace desktop {

class StripAnimation : public QLabel {
  Q_OBJECT

 public:
  explicit StripAnimation(QWidget* parent = nullptr);
  // Frames are as high as the strip and as wide as they are high.
  void SetStrip(const QPixmap& strip, int frame_millis = 90);
  void Play();
  void Stop();
  bool playing() const { return timer_.isActive(); }
  int frame() const { return frame_; }
  int frame_count() const { return static_cast<int>(frames_.size()); }
  // Shows one frame (the gallery uses it for a still picture).
  void ShowFrame(int index);

 private:
  QList<QPixmap> frames_;
  QTimer timer_;
  int frame_ = 0;
};

}  // namespace desktop
