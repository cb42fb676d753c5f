#include "keeper/ui/retry_dlg.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "keeper/ui/qt_text.h"

namespace keeper {
namespace {

QLabel* IconLabel(desktop::Icon icon, QWidget* parent) {
  auto* label = new QLabel(parent);
  int size = parent->style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
  label->setPixmap(StandardIcon(icon).pixmap(size, size));
  label->setAlignment(Qt::AlignTop);
  return label;
}

QLabel* TextLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

CRetryDlg::CRetryDlg(const desktop::Texts& texts, RetryMode mode,
                     uint32_t error, uint32_t storage_type,
                     const std::string& address, std::string log_path,
                     desktop::Screen* screen, QWidget* parent)
    : QDialog(parent),
      logic_(mode, error, storage_type, address, texts),
      log_path_(std::move(log_path)) {
  setObjectName("CRetryDlg");
  if (!screen) {
    own_screen_ = std::make_unique<desktop::QtScreen>(texts, this);
    screen = own_screen_.get();
  }
  screen_ = screen;
  const RetryDialogContent& c = logic_.content();
  setWindowTitle(QText(texts, c.title));
  setModal(false);

  icon_ = IconLabel(c.icon, this);
  line1_ = TextLabel(QText(c.line1), this);
  line1_->setObjectName("line1");
  line2_ = TextLabel(QText(c.line2), this);
  line2_->setObjectName("line2");
  view_log_ = new QPushButton(QText(texts, kTextViewLogFile), this);
  view_log_->setObjectName("viewLog");
  ok_ = new QPushButton(QText(texts, kTextOk), this);
  ok_->setObjectName("ok");
  ok_->setDefault(true);
  connect(view_log_, &QPushButton::clicked, this,
          [this] { logic_.OnViewLogFile(*screen_, log_path_); });
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  auto* grid = new QGridLayout(this);
  grid->setHorizontalSpacing(14);
  grid->setVerticalSpacing(10);
  grid->addWidget(icon_, 0, 0, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(view_log_);
  buttons->addWidget(ok_);
  if (c.compact) {
    // Line 2 collapses; the buttons move up beside line 1.
    line2_->hide();
    grid->addWidget(line1_, 0, 1);
    grid->addLayout(buttons, 1, 1);
  } else {
    grid->addWidget(line1_, 0, 1);
    grid->addWidget(line2_, 1, 1);
    grid->addLayout(buttons, 2, 1);
  }
  grid->setColumnStretch(1, 1);
  line1_->setMinimumWidth(320);
  setMinimumWidth(420);
  ok_->setFocus();
}

void CRetryDlg::done(int result) {
  logic_.OnOk();
  emit closedByUser();
  QDialog::done(result);
}

CTNAlertBox::CTNAlertBox(const desktop::Texts& texts, const std::string& text,
                         const std::string& caption, uint32_t mode,
                         QWidget* parent)
    : QDialog(parent), content_(AlertContent(mode)) {
  setObjectName("CTNAlertBox");
  setWindowTitle(QText(caption));
  setModal(true);
  if (!content_.close_allowed)
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
  auto* icon = IconLabel(content_.icon, this);
  auto* label = TextLabel(QText(text), this);
  label->setObjectName("text");
  ok_ = new QPushButton(QText(texts, content_.ok_text), this);
  ok_->setObjectName("ok");
  ok_->setDefault(true);
  cancel_ = new QPushButton(QText(texts, content_.cancel_text), this);
  cancel_->setObjectName("cancel");
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addWidget(label, 1);
  top->setSpacing(14);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);
  // Sized from the text, as the box measures it.
  label->setMinimumWidth(std::min(420, label->fontMetrics().horizontalAdvance(
                                           label->text()) + 8));
  ok_->setFocus();
}

void CTNAlertBox::closeEvent(QCloseEvent* event) {
  if (!content_.close_allowed) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void CTNAlertBox::keyPressEvent(QKeyEvent* event) {
  // Escape is the Close command: refused where closing is.
  if (event->key() == Qt::Key_Escape && !content_.close_allowed) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace keeper
