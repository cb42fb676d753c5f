#include "keeper/ui/widgets.h"

#include <QApplication>
#include <QDate>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPalette>
#include <QTime>

#include "desktop/format.h"
#include "desktop/qt/pictures.h"
#include "keeper/ui/qt_text.h"

namespace keeper {

ZBStatusBar::ZBStatusBar(QWidget* parent) : QStatusBar(parent) {
  setObjectName("ZBStatusBar");
  setSizeGripEnabled(false);
  address_ = new QLabel(this);
  address_->setObjectName("address");
  addWidget(address_, 1);
}

void ZBStatusBar::SetAddress(const QString& address) {
  address_->setText(address);
}

QString ZBStatusBar::address() const { return address_->text(); }

CTNPropertySheet::CTNPropertySheet(QWidget* parent) : QTabWidget(parent) {
  setObjectName("CTNPropertySheet");
}

void CTNPropertySheet::OnResizeMessage(int width, int height) {
  resize(std::max(0, width - 10), std::max(0, height));
  if (QWidget* page = currentWidget()) page->resize(contentsRect().size());
}

CBoxTreeList::CBoxTreeList(const desktop::LanguageLibrary& lang,
                           const std::vector<uint32_t>& headers,
                           QWidget* parent)
    : QTreeWidget(parent) {
  setObjectName("CBoxTreeList");
  QStringList titles;
  for (uint32_t id : headers) titles << QText(lang, id);
  setColumnCount(static_cast<int>(titles.size()));
  setHeaderLabels(titles);
  setRootIsDecorated(true);
  setUniformRowHeights(true);
  setIconSize(QSize(16, 16));
  setAlternatingRowColors(false);
  header()->setStretchLastSection(true);
  images_ = desktop::SplitStrip(desktop::PictureOf(lang, 132), 16);
  device_icon_ = desktop::PictureOf(lang, 157);
  connect(this, &QTreeWidget::itemChanged, this, &CBoxTreeList::OnItemChanged);
}

void CBoxTreeList::Fill(const QString& device, const std::vector<BoxRow>& rows) {
  updating_ = true;
  clear();
  auto* top = new QTreeWidgetItem(this);
  top->setText(0, device);
  top->setIcon(0, QIcon(device_icon_));
  top->setFlags(top->flags() | Qt::ItemIsUserCheckable);
  top->setCheckState(0, Qt::Checked);
  for (const BoxRow& r : rows) {
    auto* item = new QTreeWidgetItem(top);
    item->setText(0, QText(desktop::FormatText("%.3d", {int64_t{r.number}})) +
                         " " + QText(r.name));
    item->setData(0, Qt::UserRole, r.number);
    int image = r.is_protected ? 1 : 0;
    if (image < images_.size()) item->setIcon(0, QIcon(images_[image]));
    for (size_t c = 0; c < r.columns.size(); ++c)
      item->setText(static_cast<int>(c) + 1, QText(r.columns[c]));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Checked);  // all rows checked after a fill
  }
  expandAll();
  for (int c = 0; c + 1 < columnCount(); ++c) resizeColumnToContents(c);
  updating_ = false;
}

std::vector<uint32_t> CBoxTreeList::CheckedBoxes() const {
  std::vector<uint32_t> out;
  QTreeWidgetItem* top = topLevelItem(0);
  if (!top) return out;
  for (int i = 0; i < top->childCount(); ++i)
    if (top->child(i)->checkState(0) == Qt::Checked)
      out.push_back(top->child(i)->data(0, Qt::UserRole).toUInt());
  return out;
}

void CBoxTreeList::SetAllChecked(bool checked) {
  if (QTreeWidgetItem* top = topLevelItem(0))
    top->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void CBoxTreeList::OnItemChanged(QTreeWidgetItem* item, int column) {
  if (updating_ || column != 0) return;
  updating_ = true;
  QTreeWidgetItem* top = topLevelItem(0);
  if (item == top) {
    // The device's row checks or clears every box.
    for (int i = 0; i < top->childCount(); ++i)
      top->child(i)->setCheckState(0, top->checkState(0));
  } else if (top) {
    int checked = 0;
    for (int i = 0; i < top->childCount(); ++i)
      checked += top->child(i)->checkState(0) == Qt::Checked;
    top->setCheckState(0, checked == top->childCount() ? Qt::Checked
                          : checked == 0               ? Qt::Unchecked
                                                       : Qt::PartiallyChecked);
  }
  updating_ = false;
}

void CBoxTreeList::SetGreyed(bool greyed) {
  greyed_ = greyed;
  QPalette pal = QApplication::palette();
  const QColor grey(200, 200, 200);
  if (greyed) {
    // Grey, yet still readable: the user should see what the schedule
    // backs up.
    for (auto group : {QPalette::Active, QPalette::Inactive,
                       QPalette::Disabled}) {
      pal.setColor(group, QPalette::Base, grey);
      pal.setColor(group, QPalette::Text, QColor(90, 90, 90));
    }
  } else {
    pal.setColor(QPalette::Base, QColor(Qt::white));
  }
  setPalette(pal);
  // Checks cannot change while the schedule owns the selection.
  setEnabled(!greyed);
}

std::optional<std::string> QtDateTimeFormat::LongDate(
    const platform::SystemTime& t) const {
  QDate d(t.year, t.month, t.day);
  if (!d.isValid()) return std::nullopt;
  return QLocale::system().toString(d, QLocale::LongFormat).toStdString();
}

std::optional<std::string> QtDateTimeFormat::Time(
    const platform::SystemTime& t) const {
  QTime time(t.hour, t.minute, t.second);
  if (!time.isValid()) return std::nullopt;
  return QLocale::system().toString(time, QLocale::LongFormat).toStdString();
}

}  // namespace keeper
