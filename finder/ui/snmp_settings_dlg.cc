#include "finder/ui/snmp_settings_dlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "desktop/qt/qt_screen.h"
#include "finder/ui/qt_text.h"

namespace finder::ui {
namespace {

// Texts of this dialog that its design gives no number.
constexpr uint32_t kVersionGroup = 13001, kV1 = 13002, kV3 = 13003, kV1V3 = 13004,
                   kCommunity = 13005, kCredentials = 13006, kIdFile = 13007,
                   kTyped = 13008, kUser = 13009, kAuthProtocol = 13010,
                   kAuthPassword = 13011, kPrivProtocol = 13012,
                   kPrivPassword = 13013, kBrowse = 13014, kRestore = 13015;

void SetText(QLineEdit* edit, const std::string& text) {
  QString q = Q(text);
  if (edit->text() == q) return;
  int cursor = std::min(edit->cursorPosition(), static_cast<int>(q.size()));
  edit->setText(q);
  edit->setCursorPosition(cursor);
}

}  // namespace

CSNMPSettingsDlg::CSNMPSettingsDlg(const Texts& texts, int product_code,
                                   bool v3_allowed, bool declares_community,
                                   CSNMPRegistry store, IdFileLibrary id_files,
                                   desktop::Screen* screen, QWidget* parent)
    : QDialog(parent) {
  setObjectName("CSNMPSettingsDlg");
  if (!screen) {
    own_screen_ = std::make_unique<desktop::QtScreen>(texts, this,
                                                      desktop::kFinderButtons);
    screen = own_screen_.get();
  }
  Build(texts);
  logic_ = std::make_unique<SettingsDialogLogic>(product_code, v3_allowed,
                                                 declares_community, std::move(store),
                                                 std::move(id_files), texts,
                                                 static_cast<SettingsWindow&>(*this),
                                                 *screen);
  logic_->Init();
}

CSNMPSettingsDlg::~CSNMPSettingsDlg() = default;

void CSNMPSettingsDlg::Build(const Texts& texts) {
  setWindowTitle(Q(texts, text::kSnmpSettingsCaption));

  auto* version_box = new QGroupBox(Q(texts, kVersionGroup), this);
  v1_ = new QRadioButton(Q(texts, kV1), version_box);
  v1_->setObjectName("v1");
  v3_ = new QRadioButton(Q(texts, kV3), version_box);
  v3_->setObjectName("v3");
  v1v3_ = new QRadioButton(Q(texts, kV1V3), version_box);
  v1v3_->setObjectName("v1v3");
  versions_ = new QButtonGroup(this);
  versions_->addButton(v1_, 0);
  versions_->addButton(v3_, 1);
  versions_->addButton(v1v3_, 2);
  auto* version_row = new QHBoxLayout(version_box);
  version_row->addWidget(v1_);
  version_row->addWidget(v3_);
  version_row->addWidget(v1v3_);
  version_row->addStretch();

  community_label_ = new QLabel(Q(texts, kCommunity), this);
  community_ = new QLineEdit(this);
  community_->setObjectName("community");
  community_->setMaxLength(static_cast<int>(kCommunityMaxChars));
  community_label_->setBuddy(community_);

  v3_group_ = new QGroupBox(Q(texts, kCredentials), this);
  option_file_ = new QRadioButton(Q(texts, kIdFile), v3_group_);
  option_file_->setObjectName("optionIdFile");
  option_typed_ = new QRadioButton(Q(texts, kTyped), v3_group_);
  option_typed_->setObjectName("optionTyped");
  auto* options = new QButtonGroup(this);
  options->addButton(option_file_, 0);
  options->addButton(option_typed_, 1);
  id_file_ = new QLineEdit(v3_group_);
  id_file_->setObjectName("idFile");
  id_file_->setReadOnly(true);
  id_file_->setMinimumWidth(220);
  browse_ = new QPushButton(Q(texts, kBrowse), v3_group_);
  browse_->setObjectName("browse");
  user_label_ = new QLabel(Q(texts, kUser), v3_group_);
  user_ = new QLineEdit(v3_group_);
  user_->setObjectName("user");
  auth_protocol_label_ = new QLabel(Q(texts, kAuthProtocol), v3_group_);
  auth_protocol_ = new QComboBox(v3_group_);
  auth_protocol_->setObjectName("authProtocol");
  auth_protocol_->addItems({Q(texts, text::kAuthMd5), Q(texts, text::kAuthSha)});
  auth_password_label_ = new QLabel(Q(texts, kAuthPassword), v3_group_);
  auth_password_ = new QLineEdit(v3_group_);
  auth_password_->setObjectName("authPassword");
  auth_password_->setEchoMode(QLineEdit::Password);
  priv_protocol_label_ = new QLabel(Q(texts, kPrivProtocol), v3_group_);
  priv_protocol_ = new QComboBox(v3_group_);
  priv_protocol_->setObjectName("privProtocol");
  priv_protocol_->addItems({Q(texts, text::kPrivNone), Q(texts, text::kPrivDes),
                            Q(texts, text::kPrivAes)});
  priv_password_label_ = new QLabel(Q(texts, kPrivPassword), v3_group_);
  priv_password_ = new QLineEdit(v3_group_);
  priv_password_->setObjectName("privPassword");
  priv_password_->setEchoMode(QLineEdit::Password);
  user_label_->setBuddy(user_);
  auth_protocol_label_->setBuddy(auth_protocol_);
  auth_password_label_->setBuddy(auth_password_);
  priv_protocol_label_->setBuddy(priv_protocol_);
  priv_password_label_->setBuddy(priv_password_);

  auto* grid = new QGridLayout(v3_group_);
  grid->setColumnMinimumWidth(0, 18);
  grid->addWidget(option_file_, 0, 0, 1, 3);
  auto* file_row = new QHBoxLayout;
  file_row->addWidget(id_file_, 1);
  file_row->addWidget(browse_);
  grid->addLayout(file_row, 1, 1, 1, 2);
  grid->addWidget(option_typed_, 2, 0, 1, 3);
  int row = 3;
  for (auto [label, field] : {std::pair<QLabel*, QWidget*>{user_label_, user_},
                              {auth_protocol_label_, auth_protocol_},
                              {auth_password_label_, auth_password_},
                              {priv_protocol_label_, priv_protocol_},
                              {priv_password_label_, priv_password_}}) {
    grid->addWidget(label, row, 1);
    grid->addWidget(field, row, 2);
    ++row;
  }
  grid->setColumnStretch(2, 1);

  restore_ = new QPushButton(Q(texts, kRestore), this);
  restore_->setObjectName("restoreDefault");
  ok_ = new QPushButton(Q(texts, text::kOk), this);
  ok_->setObjectName("ok");
  ok_->setDefault(true);
  cancel_ = new QPushButton(Q(texts, text::kCancel), this);
  cancel_->setObjectName("cancel");

  auto* community_row = new QHBoxLayout;
  community_row->addWidget(community_label_);
  community_row->addWidget(community_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(restore_);
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(version_box);
  layout->addLayout(community_row);
  layout->addWidget(v3_group_);
  layout->addSpacing(4);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(versions_, &QButtonGroup::idClicked, this,
          [this](int id) { logic_->SetVersionIndex(id); });
  connect(options, &QButtonGroup::idClicked, this,
          [this](int id) { logic_->SetOption(id); });
  connect(community_, &QLineEdit::textEdited, this,
          [this](const QString& t) { logic_->EditCommunity(S(t)); });
  connect(user_, &QLineEdit::textEdited, this,
          [this](const QString& t) { logic_->EditUser(S(t)); });
  connect(auth_password_, &QLineEdit::textEdited, this,
          [this](const QString& t) { logic_->EditAuthPassword(S(t)); });
  connect(priv_password_, &QLineEdit::textEdited, this,
          [this](const QString& t) { logic_->EditPrivPassword(S(t)); });
  connect(auth_protocol_, &QComboBox::activated, this,
          [this](int i) { logic_->SetAuthIndex(i); });
  connect(priv_protocol_, &QComboBox::activated, this,
          [this](int i) { logic_->SetPrivIndex(i); });
  connect(browse_, &QPushButton::clicked, this, [this] { logic_->Browse(); });
  connect(restore_, &QPushButton::clicked, this, [this] { logic_->RestoreDefault(); });
  connect(ok_, &QPushButton::clicked, this, &CSNMPSettingsDlg::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void CSNMPSettingsDlg::Show(const SettingsView& v) {
  QRadioButton* version[] = {v1_, v3_, v1v3_};
  if (v.version_index >= 0 && v.version_index <= 2)
    version[v.version_index]->setChecked(true);
  v3_->setEnabled(v.v3_radios_enabled);
  v1v3_->setEnabled(v.v3_radios_enabled);
  SetText(community_, v.community);
  community_->setEnabled(v.community_enabled);
  community_label_->setEnabled(v.community_enabled);

  v3_group_->setEnabled(v.options_enabled);
  (v.option == 0 ? option_file_ : option_typed_)->setChecked(true);
  id_file_->setText(Q(v.id_file));
  id_file_->setEnabled(v.id_file_enabled);
  browse_->setEnabled(v.id_file_enabled);
  for (QWidget* w : std::initializer_list<QWidget*>{
           user_label_, user_, auth_protocol_label_, auth_protocol_,
           auth_password_label_, auth_password_, priv_protocol_label_, priv_protocol_})
    w->setEnabled(v.credentials_enabled);
  priv_password_label_->setEnabled(v.priv_password_enabled);
  priv_password_->setEnabled(v.priv_password_enabled);
  SetText(user_, v.user);
  SetText(auth_password_, v.auth_password);
  SetText(priv_password_, v.priv_password);
  auth_protocol_->setCurrentIndex(v.auth_index);
  priv_protocol_->setCurrentIndex(v.priv_index);
  ok_->setEnabled(v.ok_enabled);
}

void CSNMPSettingsDlg::FocusCommunity() {
  community_->setFocus();
  community_->selectAll();
}

void CSNMPSettingsDlg::accept() {
  if (!ok_->isEnabled()) return;  // Enter while OK is greyed
  if (logic_->Ok()) QDialog::accept();
}

}  // namespace finder::ui
