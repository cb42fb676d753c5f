#include "finder/ui/local_discovery_cfg_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "desktop/language.h"
#include "desktop/qt/pictures.h"
#include "finder/dialog_host.h"
#include "finder/ipv6_text.h"
#include "finder/ui/qt_text.h"

namespace finder::ui {
namespace {

constexpr uint32_t kPictureEnlarge = 205, kPictureShrink = 206;
constexpr int kShownLinesEnlarged = 6;

QLineEdit* AddressEdit(QWidget* parent, const char* name, bool ipv6) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  if (ipv6) {
    e->setMaxLength(static_cast<int>(kIpv6TextMax));
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance(
                           "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff") + 12);
  } else {
    // Dotted IPv4: digits and dots only, as an address control takes them.
    e->setValidator(new QRegularExpressionValidator(
        QRegularExpression("[0-9]{0,3}(\\.[0-9]{0,3}){0,3}"), e));
    e->setMaxLength(15);
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance("255.255.255.255") + 16);
  }
  return e;
}

void SetText(QLineEdit* e, const std::string& text) {
  if (e->text() != Q(text)) e->setText(Q(text));
}

}  // namespace

CLocalDiscoveryCfgDlg::CLocalDiscoveryCfgDlg(SearchSettingsLogic& logic,
                                             const desktop::LanguageLibrary& lang,
                                             QWidget* parent)
    : QDialog(parent), logic_(logic), lang_(lang) {
  setObjectName("CLocalDiscoveryCfgDlg");
  const Texts& t = lang;
  setWindowTitle(Q(t, text::kSettingsTitle));

  auto* products_box = new QGroupBox(Q(t, text::kProductsGroup), this);
  products_ = new QListWidget(products_box);
  products_->setObjectName("products");
  enlarge_ = new QPushButton(products_box);
  enlarge_->setObjectName("enlarge");
  enlarge_->setFixedSize(24, 24);
  auto* products_row = new QHBoxLayout(products_box);
  products_row->addWidget(products_, 1);
  products_row->addWidget(enlarge_, 0, Qt::AlignTop);

  auto* search_box = new QGroupBox(Q(t, text::kSearchGroup), this);
  ipx_ = new QCheckBox(Q(t, text::kIpxSearch), search_box);
  ipx_->setObjectName("ipx");
  tcpip_ = new QCheckBox(Q(t, text::kTcpipSearch), search_box);
  tcpip_->setObjectName("tcpip");
  subnet_ = new QRadioButton(Q(t, text::kSubnetOption), search_box);
  subnet_->setObjectName("subnet");
  range_ = new QRadioButton(Q(t, text::kRangeOption), search_box);
  range_->setObjectName("range");
  auto* options = new QButtonGroup(this);
  options->addButton(subnet_, 1);
  options->addButton(range_, 0);
  ipv4_ = new QCheckBox(Q(t, text::kIpv4), search_box);
  ipv4_->setObjectName("ipv4");
  ipv6_ = new QCheckBox(Q(t, text::kIpv6), search_box);
  ipv6_->setObjectName("ipv6");
  ipv4_from_label_ = new QLabel(Q(t, text::kFrom), search_box);
  ipv4_to_label_ = new QLabel(Q(t, text::kTo), search_box);
  ipv6_from_label_ = new QLabel(Q(t, text::kFrom), search_box);
  ipv6_to_label_ = new QLabel(Q(t, text::kTo), search_box);
  ipv4_from_ = AddressEdit(search_box, "ipv4From", false);
  ipv4_to_ = AddressEdit(search_box, "ipv4To", false);
  ipv6_from_ = AddressEdit(search_box, "ipv6From", true);
  ipv6_to_ = AddressEdit(search_box, "ipv6To", true);

  auto* grid = new QGridLayout(search_box);
  grid->setColumnMinimumWidth(0, 16);
  auto* ipx_row = new QHBoxLayout;
  ipx_row->addWidget(ipx_);
  if (!logic.view().ipx_enabled) {
    // There is no IPX on this system: say so beside the switch.
    auto* why = new QLabel("(" + Q(t, text::kIpxUnavailable) + ")", search_box);
    why->setObjectName("ipxReason");
    why->setEnabled(false);
    ipx_row->addSpacing(8);
    ipx_row->addWidget(why);
    ipx_->setToolTip(Q(t, text::kIpxUnavailable));
  }
  ipx_row->addStretch();
  grid->addLayout(ipx_row, 0, 0, 1, 6);
  grid->addWidget(tcpip_, 1, 0, 1, 6);
  auto* option_row = new QHBoxLayout;
  option_row->addWidget(subnet_);
  option_row->addSpacing(16);
  option_row->addWidget(range_);
  option_row->addStretch();
  grid->addLayout(option_row, 2, 1, 1, 5);
  grid->addWidget(ipv4_, 3, 1);
  grid->addWidget(ipv4_from_label_, 3, 2, Qt::AlignRight);
  grid->addWidget(ipv4_from_, 3, 3);
  grid->addWidget(ipv4_to_label_, 3, 4, Qt::AlignRight);
  grid->addWidget(ipv4_to_, 3, 5);
  grid->addWidget(ipv6_, 4, 1);
  grid->addWidget(ipv6_from_label_, 4, 2, Qt::AlignRight);
  grid->addWidget(ipv6_from_, 4, 3);
  grid->addWidget(ipv6_to_label_, 4, 4, Qt::AlignRight);
  grid->addWidget(ipv6_to_, 4, 5);
  grid->setColumnStretch(3, 1);
  grid->setColumnStretch(5, 1);

  snmp_ = new QPushButton(Q(t, text::kSnmpSettingsButton), this);
  snmp_->setObjectName("snmpSettings");
  ok_ = new QPushButton(Q(t, text::kOk), this);
  ok_->setObjectName("ok");
  ok_->setDefault(true);
  cancel_ = new QPushButton(Q(t, text::kCancel), this);
  cancel_->setObjectName("cancel");
  help_ = new QPushButton(Q(t, text::kHelp), this);
  help_->setObjectName("help");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(snmp_);
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  buttons->addWidget(help_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(products_box);
  layout->addWidget(search_box);
  layout->addSpacing(4);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  FillProducts();
  Refresh();

  connect(products_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    logic_.SetChecked(static_cast<size_t>(products_->row(item)),
                      item->checkState() == Qt::Checked);
  });
  connect(enlarge_, &QPushButton::clicked, this, [this] {
    logic_.ToggleEnlarged();
    Refresh();
  });
  connect(ipx_, &QCheckBox::clicked, this, [this](bool on) {
    logic_.SetIpx(on);
    Refresh();
  });
  connect(tcpip_, &QCheckBox::clicked, this, [this](bool on) {
    logic_.SetTcpip(on);
    Refresh();
  });
  connect(ipv4_, &QCheckBox::clicked, this, [this](bool on) {
    logic_.SetIpv4(on);
    Refresh();
  });
  connect(ipv6_, &QCheckBox::clicked, this, [this](bool on) {
    logic_.SetIpv6(on);
    Refresh();
  });
  connect(options, &QButtonGroup::idClicked, this, [this](int subnet) {
    logic_.SetUseSubnet(subnet != 0);
    Refresh();
  });
  connect(ipv4_from_, &QLineEdit::textEdited, this,
          [this](const QString& s) { logic_.EditIpv4From(S(s)); });
  connect(ipv4_to_, &QLineEdit::textEdited, this,
          [this](const QString& s) { logic_.EditIpv4To(S(s)); });
  connect(ipv6_from_, &QLineEdit::textEdited, this,
          [this](const QString& s) { logic_.EditIpv6From(S(s)); });
  connect(ipv6_to_, &QLineEdit::textEdited, this,
          [this](const QString& s) { logic_.EditIpv6To(S(s)); });
  connect(snmp_, &QPushButton::clicked, this, [this] { logic_.SnmpSettings(); });
  connect(ok_, &QPushButton::clicked, this, &CLocalDiscoveryCfgDlg::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(help_, &QPushButton::clicked, this, [this] { logic_.Help(); });
}

void CLocalDiscoveryCfgDlg::FillProducts() {
  QSignalBlocker block(products_);
  products_->clear();
  for (const ProductLine& l : logic_.view().lines) {
    auto* item = new QListWidgetItem(Q(l.text), products_);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    item->setCheckState(l.checked ? Qt::Checked : Qt::Unchecked);
  }
}

void CLocalDiscoveryCfgDlg::Refresh() {
  const SearchSettingsView& v = logic_.view();
  const int lines = v.enlarged ? std::max(1, std::min(kShownLinesEnlarged,
                                                      products_->count()))
                               : 1;
  int row = products_->sizeHintForRow(0);
  if (row <= 0) row = products_->fontMetrics().height() + 4;
  products_->setFixedHeight(lines * row + 2 * products_->frameWidth());
  if (!v.enlarged) products_->scrollToTop();
  enlarge_->setIcon(desktop::PictureOf(lang_, v.enlarged ? kPictureShrink : kPictureEnlarge));
  enlarge_->setToolTip(Q(lang_, v.enlarged ? text::kShrinkList : text::kEnlargeList));

  const SearchSettings& s = v.values;
  ipx_->setChecked(s.ipx && v.ipx_enabled);
  ipx_->setEnabled(v.ipx_enabled);
  tcpip_->setChecked(s.tcpip);
  tcpip_->setEnabled(v.tcpip_enabled);
  (s.use_subnet ? subnet_ : range_)->setChecked(true);
  subnet_->setEnabled(v.options_enabled);
  range_->setEnabled(v.options_enabled);
  ipv4_->setChecked(s.ipv4);
  ipv4_->setEnabled(v.ipv4_enabled);
  ipv6_->setChecked(s.ipv6);
  ipv6_->setEnabled(v.ipv6_enabled);
  for (QWidget* w : {static_cast<QWidget*>(ipv4_from_label_), static_cast<QWidget*>(ipv4_from_),
                     static_cast<QWidget*>(ipv4_to_label_), static_cast<QWidget*>(ipv4_to_)})
    w->setEnabled(v.ipv4_range_enabled);
  for (QWidget* w : {static_cast<QWidget*>(ipv6_from_label_), static_cast<QWidget*>(ipv6_from_),
                     static_cast<QWidget*>(ipv6_to_label_), static_cast<QWidget*>(ipv6_to_)})
    w->setEnabled(v.ipv6_range_enabled);
  SetText(ipv4_from_, s.ipv4_from);
  SetText(ipv4_to_, s.ipv4_to);
  SetText(ipv6_from_, s.ipv6_from);
  SetText(ipv6_to_, s.ipv6_to);
  snmp_->setVisible(v.snmp_button_visible);

  QLineEdit* focus = nullptr;
  switch (v.focus) {
    case control::kIpv4From: focus = ipv4_from_; break;
    case control::kIpv4To: focus = ipv4_to_; break;
    case control::kIpv6From: focus = ipv6_from_; break;
    case control::kIpv6To: focus = ipv6_to_; break;
    default: break;
  }
  if (focus) {
    focus->setFocus();
    if (v.select_focus) focus->selectAll();
  }
}

void CLocalDiscoveryCfgDlg::accept() {
  const bool ok = logic_.Ok();
  Refresh();
  if (ok) QDialog::accept();
}

void CLocalDiscoveryCfgDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    logic_.Help();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace finder::ui
