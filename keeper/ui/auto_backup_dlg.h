// CAutoBackup: the schedule dialog. A start date and time, how often to
// repeat, and what to do when chosen boxes disappear from the device. Its
// checks (the start's range, a start in the future) are the logic's
// (keeper/app/auto_backup_dialog.h); Set closes the dialog only when they
// pass.
#pragma once

#include <QDialog>

#include "desktop/texts.h"
#include "keeper/app/auto_backup_dialog.h"

class QComboBox;
class QDateEdit;
class QPushButton;
class QRadioButton;
class QTimeEdit;

namespace keeper {

class CAutoBackup : public QDialog {
  Q_OBJECT

 public:
  // Opening runs the logic's opening step: the date picker gets its
  // range, or the user is told that no schedule can be set any more.
  CAutoBackup(const desktop::Texts& texts, AutoBackupDialog& logic,
              QWidget* parent = nullptr);

  QDateEdit* date_picker() const { return date_; }
  QTimeEdit* time_picker() const { return time_; }
  QComboBox* interval() const { return interval_; }
  QRadioButton* continue_button() const { return continue_; }
  QRadioButton* stop_button() const { return stop_; }
  QPushButton* set_button() const { return set_; }
  QPushButton* cancel_button() const { return cancel_; }

 private:
  void OnSet();

  AutoBackupDialog& logic_;
  QDateEdit* date_;
  QTimeEdit* time_;
  QComboBox* interval_;
  QRadioButton* continue_;
  QRadioButton* stop_;
  QPushButton* set_;
  QPushButton* cancel_;
};

}  // namespace keeper
