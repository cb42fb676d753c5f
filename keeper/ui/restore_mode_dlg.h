// CRestoreModeSettings: asked before every restore, what happens to
// documents that already exist on the device: overwritten, or kept with
// the restored ones added under a numbered name.
#pragma once

#include <QDialog>
#include <cstdint>

#include "desktop/texts.h"

class QRadioButton;
class QPushButton;

namespace keeper {

class CRestoreModeSettings : public QDialog {
  Q_OBJECT

 public:
  explicit CRestoreModeSettings(const desktop::Texts& texts,
                                QWidget* parent = nullptr);

  // 51 when overwriting is chosen, else 52; set by OK.
  uint32_t choice() const { return choice_; }
  QRadioButton* overwrite_button() const { return overwrite_; }
  QRadioButton* append_button() const { return append_; }
  QPushButton* ok_button() const { return ok_; }

 public slots:
  void accept() override;

 private:
  QRadioButton* overwrite_;
  QRadioButton* append_;
  QPushButton* ok_;
  uint32_t choice_ = 0;
};

}  // namespace keeper
