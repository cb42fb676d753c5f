#include "finder/ui/manual_selection_dlg.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "finder/dialog_host.h"
#include "finder/ipv6_text.h"
#include "finder/ui/qt_text.h"

namespace finder::ui {

CManualSelection::CManualSelection(ManualSelectionLogic& logic, const Texts& t,
                                   QWidget* parent)
    : QDialog(parent), logic_(logic) {
  setObjectName("CManualSelection");
  setWindowTitle(Q(t, text::kManualTitle));

  ipv4_ = new QRadioButton(Q(t, text::kIpv4), this);
  ipv4_->setObjectName("chooseIpv4");
  ipv6_ = new QRadioButton(Q(t, text::kIpv6), this);
  ipv6_->setObjectName("chooseIpv6");
  auto* family = new QButtonGroup(this);
  family->addButton(ipv4_, 0);
  family->addButton(ipv6_, 1);
  ipv4_address_ = new QLineEdit(this);
  ipv4_address_->setObjectName("ipv4Address");
  ipv4_address_->setValidator(new QRegularExpressionValidator(
      QRegularExpression("[0-9]{0,3}(\\.[0-9]{0,3}){0,3}"), ipv4_address_));
  ipv4_address_->setMaxLength(15);
  ipv6_address_ = new QLineEdit(this);
  ipv6_address_->setObjectName("ipv6Address");
  ipv6_address_->setMaxLength(static_cast<int>(kIpv6TextMax));
  ipv6_address_->setMinimumWidth(ipv6_address_->fontMetrics().horizontalAdvance(
                                     "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff") + 12);
  network_ = new QLineEdit(this);
  network_->setObjectName("ipxNetwork");
  network_->setMaxLength(8);
  node_ = new QLineEdit(this);
  node_->setObjectName("ipxNode");
  node_->setMaxLength(12);
  name_ = new QLineEdit(this);
  name_->setObjectName("name");
  name_->setMaxLength(static_cast<int>(kManualNameMax) + 1);  // the check says why
  location_ = new QLineEdit(this);
  location_->setObjectName("location");
  location_->setMaxLength(static_cast<int>(kManualLocationMax) + 1);

  auto* address_label = new QLabel(Q(t, text::kAddressLabel), this);
  auto* ipx_label = new QLabel(Q(t, text::kIpxAddressLabel), this);
  auto* colon = new QLabel(":", this);
  auto* name_label = new QLabel(Q(t, text::kNameLabel), this);
  name_label->setBuddy(name_);
  auto* location_label = new QLabel(Q(t, text::kLocationLabel), this);
  location_label->setBuddy(location_);

  auto* grid = new QGridLayout;
  grid->addWidget(address_label, 0, 0, 1, 2);
  grid->addWidget(ipv4_, 1, 0);
  grid->addWidget(ipv4_address_, 1, 1, 1, 3);
  grid->addWidget(ipv6_, 2, 0);
  grid->addWidget(ipv6_address_, 2, 1, 1, 3);
  grid->addWidget(ipx_label, 3, 0);
  grid->addWidget(network_, 3, 1);
  grid->addWidget(colon, 3, 2);
  grid->addWidget(node_, 3, 3);
  if (!logic.view().ipx_enabled) {
    // No IPX network on this system: the fields stay empty, and say why.
    for (QWidget* w : {static_cast<QWidget*>(ipx_label), static_cast<QWidget*>(network_),
                       static_cast<QWidget*>(colon), static_cast<QWidget*>(node_)}) {
      w->setEnabled(false);
      w->setToolTip(Q(t, text::kIpxUnavailable));
    }
    auto* why = new QLabel(Q(t, text::kIpxUnavailable), this);
    why->setObjectName("ipxReason");
    why->setEnabled(false);
    grid->addWidget(why, 4, 1, 1, 3);
  }
  grid->addWidget(name_label, 5, 0);
  grid->addWidget(name_, 5, 1, 1, 3);
  grid->addWidget(location_label, 6, 0);
  grid->addWidget(location_, 6, 1, 1, 3);
  grid->setColumnStretch(1, 2);
  grid->setColumnStretch(3, 3);
  grid->setRowMinimumHeight(4, 0);

  snmp_ = new QPushButton(Q(t, text::kSnmpSettingsButton), this);
  snmp_->setObjectName("snmpSettings");
  ok_ = new QPushButton(Q(t, text::kOk), this);
  ok_->setObjectName("ok");
  ok_->setDefault(true);
  cancel_ = new QPushButton(Q(t, text::kCancel), this);
  cancel_->setObjectName("cancel");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(snmp_);
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addSpacing(6);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  Refresh();
  (logic.view().ipv6_chosen ? ipv6_address_ : ipv4_address_)->setFocus();

  connect(family, &QButtonGroup::idClicked, this, [this](int ipv6) {
    logic_.ChooseIpv6(ipv6 != 0);
    Refresh();
    (ipv6 ? ipv6_address_ : ipv4_address_)->setFocus();
  });
  connect(ipv4_address_, &QLineEdit::textEdited, this,
          [this](const QString& s) { logic_.EditIpv4(S(s)); });
  connect(ipv6_address_, &QLineEdit::textEdited, this,
          [this](const QString& s) { logic_.EditIpv6(S(s)); });
  connect(network_, &QLineEdit::textEdited, this,
          [this](const QString& s) { logic_.EditIpxNetwork(S(s)); });
  connect(node_, &QLineEdit::textEdited, this,
          [this](const QString& s) { logic_.EditIpxNode(S(s)); });
  connect(name_, &QLineEdit::textEdited, this,
          [this](const QString& s) { logic_.EditName(S(s)); });
  connect(location_, &QLineEdit::textEdited, this,
          [this](const QString& s) { logic_.EditLocation(S(s)); });
  connect(snmp_, &QPushButton::clicked, this, [this] { logic_.SnmpSettings(); });
  connect(ok_, &QPushButton::clicked, this, &CManualSelection::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void CManualSelection::Refresh() {
  const ManualView& v = logic_.view();
  ipv4_->setEnabled(v.ipv4_enabled);
  ipv6_->setEnabled(v.ipv6_enabled);
  (v.ipv6_chosen ? ipv6_ : ipv4_)->setChecked(true);
  ipv4_address_->setEnabled(v.ipv4_enabled && !v.ipv6_chosen);
  ipv6_address_->setEnabled(v.ipv6_enabled && v.ipv6_chosen);
  snmp_->setVisible(v.snmp_button_visible);
  if (v.clear_name) name_->clear();
  QLineEdit* focus = nullptr;
  switch (v.focus) {
    case control::kManualName: focus = name_; break;
    case control::kManualLocation: focus = location_; break;
    case control::kManualIpv4: focus = ipv4_address_; break;
    case control::kManualIpv6: focus = ipv6_address_; break;
    case control::kIpxNetwork: focus = network_; break;
    case control::kIpxNode: focus = node_; break;
    default: break;
  }
  if (focus) {
    focus->setFocus();
    focus->selectAll();
  }
}

void CManualSelection::accept() {
  setCursor(Qt::WaitCursor);  // the device is asked (a few seconds at most)
  const bool ok = logic_.Ok();
  unsetCursor();
  Refresh();
  if (ok) QDialog::accept();
}

}  // namespace finder::ui
