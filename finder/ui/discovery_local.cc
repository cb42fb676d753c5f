#include "finder/ui/discovery_local.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "desktop/language.h"
#include "desktop/qt/pictures.h"
#include "desktop/qt/strip_animation.h"
#include "finder/ui/qt_text.h"

namespace finder::ui {
namespace {

constexpr int kPollMillis = 250;
constexpr uint32_t kRowImages = 130, kSearchAnimation = 183, kDeviceImage = 2;
constexpr int kRowImageSize = 16;
// Five columns of 106 dialog units: about 160 pixels at common fonts.
constexpr int kColumnWidth = 160;
constexpr uint32_t kColumnTitles[kColumns] = {
    text::kColumnName, text::kColumnAddress, text::kColumnVersion,
    text::kColumnLocation, text::kColumnModel};

}  // namespace

CDiscoveryLocal::CDiscoveryLocal(CDiscoveryModule& module,
                                 const desktop::LanguageLibrary& lang,
                                 desktop::Screen& screen, DialogHost& host,
                                 ListOptions options, QWidget* parent)
    : QDialog(parent), lang_(lang) {
  setObjectName("CDiscoveryLocal");
  const Texts& t = lang;
  setWindowTitle(Q(t, text::kListTitle));
  setWindowIcon(QIcon(desktop::PictureOf(lang, 128)));
  setSizeGripEnabled(true);

  hint_ = new QLabel(Q(t, text::kListHint), this);
  hint_->setWordWrap(true);
  animation_ = new desktop::StripAnimation(this);
  animation_->setObjectName("progress");
  animation_->SetStrip(desktop::PictureOf(lang, kSearchAnimation));
  animation_->setFixedSize(32, 32);
  animation_->ShowFrame(0);
  // Its place is kept while no search runs, so the list does not jump.
  QSizePolicy keep = animation_->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  animation_->setSizePolicy(keep);
  animation_->setVisible(false);

  list_ = new QTreeWidget(this);
  list_->setObjectName("devices");
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setAllColumnsShowFocus(true);
  list_->setColumnCount(kColumns);
  QStringList titles;
  for (uint32_t id : kColumnTitles) titles << Q(t, id);
  list_->setHeaderLabels(titles);
  list_->header()->setSectionsMovable(true);
  list_->header()->setStretchLastSection(false);
  for (int c = 0; c < kColumns; ++c) list_->setColumnWidth(c, kColumnWidth);
  // An IPv6 address is listed in its full form: its column takes it whole.
  list_->setColumnWidth(
      1, std::max(kColumnWidth,
                  list_->fontMetrics().horizontalAdvance(
                      "0000:0000:0000:0000:0000:0000:0000:0000") + 24));
  list_->setColumnWidth(2, kColumnWidth * 3 / 5);
  int total = 0;
  for (int c = 0; c < kColumns; ++c) total += list_->columnWidth(c);
  list_->setMinimumSize(total + 2 * list_->frameWidth() + 4, 220);

  status_ = new QLabel(this);
  status_->setObjectName("status");
  link_label_ = new QLabel(Q(t, text::kDeviceInformation) + ":", this);
  link_ = new QLabel(this);
  link_->setObjectName("link");
  link_->setTextFormat(Qt::RichText);
  link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                 Qt::LinksAccessibleByKeyboard);
  link_->setOpenExternalLinks(false);

  start_ = new QPushButton(Q(t, text::kStart), this);
  start_->setObjectName("start");
  // Wide enough for both captions, so the row does not jump.
  start_->setMinimumWidth(
      std::max(start_->sizeHint().width(),
               QPushButton(Q(t, text::kStop)).sizeHint().width()));
  advanced_ = new QPushButton(Q(t, text::kAdvanced), this);
  advanced_->setObjectName("advanced");
  manual_ = new QPushButton(Q(t, text::kManualSelection), this);
  manual_->setObjectName("manual");
  ok_ = new QPushButton(Q(t, text::kOk), this);
  ok_->setObjectName("ok");
  ok_->setDefault(true);
  cancel_ = new QPushButton(Q(t, text::kCancel), this);
  cancel_->setObjectName("cancel");
  help_ = new QPushButton(Q(t, text::kHelp), this);
  help_->setObjectName("help");

  auto* top = new QHBoxLayout;
  top->addWidget(hint_, 1);
  top->addWidget(animation_, 0, Qt::AlignRight | Qt::AlignVCenter);
  auto* info = new QHBoxLayout;
  info->addWidget(status_);
  info->addStretch();
  info->addWidget(link_label_);
  info->addWidget(link_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(start_);
  buttons->addWidget(advanced_);
  buttons->addWidget(manual_);
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  buttons->addWidget(help_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(list_, 1);
  layout->addLayout(info);
  layout->addSpacing(4);
  layout->addLayout(buttons);

  options.wake = [this] {
    QMetaObject::invokeMethod(this, [this] { Refresh(); }, Qt::QueuedConnection);
  };
  logic_ = std::make_unique<DiscoveryListLogic>(module, lang, screen, host,
                                                std::move(options));
  logic_->Init();
  ApplyColumnOrder();

  connect(start_, &QPushButton::clicked, this, [this] {
    logic_->StartStop();
    Refresh();
  });
  connect(advanced_, &QPushButton::clicked, this, [this] {
    logic_->Advanced();
    Refresh();
  });
  connect(manual_, &QPushButton::clicked, this, [this] {
    logic_->ManualSelection();
    Refresh();
  });
  connect(help_, &QPushButton::clicked, this, [this] { logic_->Help(); });
  connect(ok_, &QPushButton::clicked, this, &CDiscoveryLocal::accept);
  connect(cancel_, &QPushButton::clicked, this, &CDiscoveryLocal::reject);
  connect(link_, &QLabel::linkActivated, this, [this](const QString&) { logic_->OpenLink(); });
  connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
    if (filling_) return;
    QList<QTreeWidgetItem*> chosen = list_->selectedItems();
    std::optional<size_t> row;
    if (!chosen.isEmpty())
      row = static_cast<size_t>(list_->indexOfTopLevelItem(chosen.first()));
    logic_->Select(row);
    Refresh();
  });
  connect(list_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem*, int) { accept(); });
  connect(list_->header(), &QHeaderView::sectionMoved, this, [this] {
    ColumnOrder order{};
    for (int i = 0; i < kColumns; ++i) order[i] = list_->header()->logicalIndex(i);
    logic_->SetColumnOrder(order);
  });
  connect(&timer_, &QTimer::timeout, this, [this] {
    logic_->Poll();
    Refresh();
  });
  timer_.start(kPollMillis);
  Refresh();
}

CDiscoveryLocal::~CDiscoveryLocal() { timer_.stop(); }

void CDiscoveryLocal::ApplyColumnOrder() {
  QHeaderView* h = list_->header();
  const ColumnOrder& order = logic_->view().column_order;
  for (int position = 0; position < kColumns; ++position)
    h->moveSection(h->visualIndex(order[position]), position);
}

void CDiscoveryLocal::FillRows() {
  filling_ = true;
  const QList<QPixmap> images =
      desktop::SplitStrip(desktop::PictureOf(lang_, kRowImages), kRowImageSize);
  const QIcon device = images.size() > static_cast<int>(kDeviceImage)
                           ? QIcon(images[kDeviceImage])
                           : QIcon();
  list_->clear();
  for (const DeviceRow& r : logic_->rows()) {
    auto* item = new QTreeWidgetItem(list_);
    item->setIcon(0, device);
    item->setText(0, Q(r.name));
    item->setText(1, Q(r.address));
    item->setText(2, Q(logic_->VersionText(r)));
    item->setText(3, Q(r.location));
    item->setText(4, Q(r.model));
  }
  if (const auto& s = logic_->view().selected; s && *s < logic_->rows().size())
    list_->topLevelItem(static_cast<int>(*s))->setSelected(true);
  filling_ = false;
}

void CDiscoveryLocal::Refresh() { Draw(logic_->view()); }

void CDiscoveryLocal::Draw(const ListView& v) {
  if (v.rows_revision != shown_revision_) {
    shown_revision_ = v.rows_revision;
    FillRows();
  }
  const Texts& t = lang_;
  start_->setText(Q(t, v.running ? text::kStop : text::kStart));
  animation_->setVisible(v.running);
  if (v.running && !animation_->playing()) animation_->Play();
  if (!v.running && animation_->playing()) animation_->Stop();
  QString found = Q(t, text::kDevicesFound) + " " + QString::number(logic_->rows().size());
  status_->setText(v.running ? Q(t, text::kSearching) + "   " + found : found);
  ok_->setEnabled(v.ok_enabled);
  const bool has_link = !v.link.empty();
  link_label_->setVisible(has_link);
  link_->setVisible(has_link);
  if (has_link)
    link_->setText(QString("<a href=\"%1\">%1</a>").arg(Q(v.link).toHtmlEscaped()));
}

void CDiscoveryLocal::accept() {
  if (ending_ || !ok_->isEnabled()) return;
  if (!logic_->Ok()) return;
  ending_ = true;
  timer_.stop();
  QDialog::accept();
}

void CDiscoveryLocal::reject() {
  if (ending_) return;
  ending_ = true;
  timer_.stop();
  logic_->Cancel();
  QDialog::reject();
}

void CDiscoveryLocal::closeEvent(QCloseEvent* event) {
  // The window's Close: refused while a search runs.
  if (ending_ || !logic_->Close()) {
    event->ignore();
    return;
  }
  ending_ = true;
  timer_.stop();
  event->accept();
  QDialog::done(QDialog::Rejected);
}

void CDiscoveryLocal::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    logic_->Help();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace finder::ui
