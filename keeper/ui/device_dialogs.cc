#include "keeper/ui/device_dialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "desktop/qt/pictures.h"
#include "keeper/ui/qt_text.h"

namespace keeper {
namespace {

constexpr uint32_t kTextOk = 15;
constexpr uint32_t kTextTitle = 19;
constexpr uint32_t kTextDeviceList = 22;
constexpr uint32_t kTextCancel = 26;
constexpr uint32_t kTextNoAnswer = 67;
constexpr uint32_t kTextErrorCaption = 88;
constexpr uint32_t kTextCheckNetwork = 125;
constexpr uint32_t kTextDiscover = 10016;
constexpr uint32_t kTextConnecting = 10022;

void CentreOver(QWidget* w, QWidget* parent) {
  w->adjustSize();
  QRect area = parent && parent->isVisible()
                   ? parent->frameGeometry()
                   : (w->screen() ? w->screen()->availableGeometry()
                                  : QRect(0, 0, 1024, 768));
  w->move(area.center() - w->rect().center());
}

}  // namespace

CConnectionDialog::CConnectionDialog(const desktop::Texts& texts,
                                     QWidget* parent)
    : QDialog(parent) {
  setObjectName("CConnectionDialog");
  setWindowTitle(QText(texts, kTextTitle));
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 18, 24, 18);
  layout->setSpacing(12);
  text_ = new QLabel(QText(texts, kTextConnecting));
  text_->setObjectName("text");
  layout->addWidget(text_);
  auto* busy = new QProgressBar;
  busy->setRange(0, 0);  // no end known: the bar only shows that work goes on
  busy->setTextVisible(false);
  busy->setMinimumWidth(280);
  layout->addWidget(busy);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CConnectionDialog::Open() {
  CentreOver(this, parentWidget());
  show();
  raise();
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

CErrorDiscovery::CErrorDiscovery(const desktop::LanguageLibrary& lang,
                                 const std::string& address, QWidget* parent)
    : QDialog(parent) {
  setObjectName("CErrorDiscovery");
  setWindowTitle(QText(lang, kTextErrorCaption));
  setModal(true);
  auto* top = new QHBoxLayout;
  auto* icon = new QLabel;
  const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
  icon->setPixmap(StandardIcon(desktop::Icon::kError).pixmap(size, size));
  icon->setAlignment(Qt::AlignTop);
  top->addWidget(icon);
  top->addSpacing(12);
  auto* texts = new QVBoxLayout;
  auto* heading = new QLabel(
      QString("<b>%1</b>").arg(QText(lang, kTextNoAnswer).toHtmlEscaped()));
  heading->setObjectName("heading");
  texts->addWidget(heading);
  if (!address.empty()) {
    auto* where = new QLabel(QText(address));
    where->setObjectName("address");
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    texts->addWidget(where);
  }
  auto* text = new QLabel(QText(lang, kTextCheckNetwork));
  text->setObjectName("text");
  text->setWordWrap(true);
  text->setMinimumWidth(320);
  texts->addWidget(text);
  texts->addStretch();
  top->addLayout(texts, 1);

  auto* buttons = new QDialogButtonBox;
  discover_ = buttons->addButton(QText(lang, kTextDiscover),
                                 QDialogButtonBox::ActionRole);
  discover_->setObjectName("discover");
  ok_ = buttons->addButton(QText(lang, kTextOk), QDialogButtonBox::AcceptRole);
  ok_->setObjectName("ok");
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(discover_, &QPushButton::clicked, this, [this] { done(kDiscover); });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 12);
  layout->addLayout(top);
  layout->addSpacing(12);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

CDiscoveredDeviceDlg::CDiscoveredDeviceDlg(const desktop::Texts& texts,
                                           DiscoveredDeviceList& list,
                                           QWidget* parent)
    : QDialog(parent), list_(list) {
  setObjectName("CDiscoveredDeviceDlg");
  setWindowTitle(QText(texts, kTextDeviceList));
  setModal(true);
  view_ = new QTreeWidget;
  view_->setObjectName("devices");
  view_->setRootIsDecorated(false);
  view_->setUniformRowHeights(true);
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setAllColumnsShowFocus(true);
  QStringList titles;
  for (const DeviceListColumn& c : kDeviceListColumnSpecs)
    titles << QText(texts, c.title);
  view_->setHeaderLabels(titles);
  view_->header()->setSectionsMovable(true);
  for (int c = 0; c < kDeviceListColumns; ++c)
    view_->setColumnWidth(c, kDeviceListColumnSpecs[c].width);
  // The order the user left: visual position i shows column order[i].
  const ColumnOrder& order = list.column_order();
  for (int visual = 0; visual < kDeviceListColumns; ++visual)
    view_->header()->moveSection(view_->header()->visualIndex(order[visual]),
                                 visual);
  for (const DiscoveredDevice& d : list.rows()) {
    auto* item = new QTreeWidgetItem(view_);
    auto columns = DiscoveredDeviceList::Columns(d);
    for (int c = 0; c < kDeviceListColumns; ++c)
      item->setText(c, QText(columns[c]));
  }
  if (auto row = list.current_row())
    view_->setCurrentItem(view_->topLevelItem(static_cast<int>(*row)));
  else
    view_->setCurrentItem(nullptr);

  auto* buttons = new QDialogButtonBox;
  ok_ = buttons->addButton(QText(texts, kTextOk), QDialogButtonBox::AcceptRole);
  ok_->setObjectName("ok");
  ok_->setDefault(true);
  cancel_ = buttons->addButton(QText(texts, kTextCancel),
                               QDialogButtonBox::RejectRole);
  cancel_->setObjectName("cancel");
  connect(ok_, &QPushButton::clicked, this, &CDiscoveredDeviceDlg::OnOk);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(view_, &QTreeWidget::itemDoubleClicked, this,
          &CDiscoveredDeviceDlg::OnOk);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(view_);
  layout->addWidget(buttons);
  int width = 40;
  for (const DeviceListColumn& c : kDeviceListColumnSpecs) width += c.width;
  resize(width, 300);
}

void CDiscoveredDeviceDlg::done(int result) {
  ColumnOrder order{};
  for (int visual = 0; visual < kDeviceListColumns; ++visual)
    order[visual] = view_->header()->logicalIndex(visual);
  list_.KeepColumnOrder(order);
  QDialog::done(result);
}

void CDiscoveredDeviceDlg::OnOk() {
  std::optional<size_t> selected;
  QList<QTreeWidgetItem*> items = view_->selectedItems();
  if (!items.isEmpty())
    selected = static_cast<size_t>(view_->indexOfTopLevelItem(items.front()));
  if (list_.Ok(selected)) accept();
}

}  // namespace keeper
