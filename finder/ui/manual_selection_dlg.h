// CManualSelection: a device entered by hand (IPv4 or IPv6 address; IPX
// has no network here), with its name and location. The window only
// draws; ManualSelectionLogic decides.
#pragma once

#include <QDialog>

#include "finder/manual_selection.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace finder::ui {

class CManualSelection : public QDialog {
  Q_OBJECT

 public:
  // texts and logic must outlive the dialog.
  CManualSelection(ManualSelectionLogic& logic, const Texts& texts,
                   QWidget* parent = nullptr);

  void accept() override;

 private:
  void Refresh();

  ManualSelectionLogic& logic_;
  QRadioButton *ipv4_, *ipv6_;
  QLineEdit *ipv4_address_, *ipv6_address_, *network_, *node_, *name_, *location_;
  QPushButton *snmp_, *ok_, *cancel_;
};

}  // namespace finder::ui
