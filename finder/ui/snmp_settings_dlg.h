// CSNMPSettingsDlg: the SNMP version, the community name and the SNMPv3
// credentials (an ID file, or typed in and written into one). The window
// only draws; SettingsDialogLogic decides.
#pragma once

#include <QDialog>
#include <memory>

#include "desktop/screen.h"
#include "finder/settings_dialog.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace finder::ui {

class CSNMPSettingsDlg : public QDialog, private SettingsWindow {
  Q_OBJECT

 public:
  // screen: message boxes and the file dialog (a QtScreen over this window
  // when null). texts and screen must outlive the dialog.
  CSNMPSettingsDlg(const Texts& texts, int product_code, bool v3_allowed,
                   bool declares_community, CSNMPRegistry store,
                   IdFileLibrary id_files, desktop::Screen* screen = nullptr,
                   QWidget* parent = nullptr);
  ~CSNMPSettingsDlg() override;

  SettingsDialogLogic& logic() { return *logic_; }

  void accept() override;

 private:
  void Show(const SettingsView& view) override;
  void FocusCommunity() override;
  void Build(const Texts& texts);

  std::unique_ptr<desktop::Screen> own_screen_;
  std::unique_ptr<SettingsDialogLogic> logic_;
  bool showing_ = false;

  QRadioButton *v1_, *v3_, *v1v3_;
  QButtonGroup* versions_;
  QLabel* community_label_;
  QLineEdit* community_;
  QGroupBox* v3_group_;
  QRadioButton *option_file_, *option_typed_;
  QLineEdit* id_file_;
  QPushButton* browse_;
  QLabel *user_label_, *auth_protocol_label_, *auth_password_label_,
      *priv_protocol_label_, *priv_password_label_;
  QLineEdit *user_, *auth_password_, *priv_password_;
  QComboBox *auth_protocol_, *priv_protocol_;
  QPushButton *restore_, *ok_, *cancel_;
};

}  // namespace finder::ui
