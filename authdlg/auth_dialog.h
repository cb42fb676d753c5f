// CUserAuthenticationDlg: the password prompt's window. Texts by number,
// the typing filter on every change of the edit, OK enabled only for a
// non-empty password.
#pragma once

#include <QDialog>
#include <string>

#include "desktop/texts.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace authdlg {

class CUserAuthenticationDlg : public QDialog {
  Q_OBJECT

 public:
  CUserAuthenticationDlg(const desktop::Texts& texts, int32_t language_value,
                         uint8_t controller_type,
                         const std::u16string& initial, QWidget* parent);

  std::u16string password() const;
  int32_t language_value() const { return language_value_; }

 private:
  void OnTextChanged();

  int32_t language_value_;
  QLabel* prompt_;
  QLineEdit* edit_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace authdlg
