// CLocalDiscoveryCfgDlg: which products and protocols a discovery
// searches, and where. The window only draws; SearchSettingsLogic decides.
#pragma once

#include <QDialog>

#include "finder/search_settings_dialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace desktop {
class LanguageLibrary;
}

namespace finder::ui {

class CLocalDiscoveryCfgDlg : public QDialog {
  Q_OBJECT

 public:
  // lang: texts and the arrows of the enlarge button; it and logic must
  // outlive the dialog.
  CLocalDiscoveryCfgDlg(SearchSettingsLogic& logic, const desktop::LanguageLibrary& lang,
                        QWidget* parent = nullptr);

  void accept() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Refresh();
  void FillProducts();

  SearchSettingsLogic& logic_;
  const desktop::LanguageLibrary& lang_;
  QListWidget* products_;
  QPushButton* enlarge_;
  QCheckBox *ipx_, *tcpip_, *ipv4_, *ipv6_;
  QRadioButton *subnet_, *range_;
  QLabel *ipv4_from_label_, *ipv4_to_label_, *ipv6_from_label_, *ipv6_to_label_;
  QLineEdit *ipv4_from_, *ipv4_to_, *ipv6_from_, *ipv6_to_;
  QPushButton *snmp_, *ok_, *cancel_, *help_;
};

}  // namespace finder::ui
