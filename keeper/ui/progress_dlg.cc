#include "keeper/ui/progress_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include "desktop/language.h"
#include "desktop/qt/pictures.h"
#include "desktop/qt/strip_animation.h"
#include "keeper/app/progress_text.h"
#include "keeper/ui/qt_text.h"

namespace keeper {

CProgressDlg::CProgressDlg(const desktop::LanguageLibrary& lang, JobKind kind,
                           JobBackend& backend, JobRequest request,
                           desktop::Screen* screen, QWidget* parent)
    : QDialog(parent), lang_(lang), request_(std::move(request)) {
  setObjectName("CProgressDlg");
  if (!screen) {
    own_screen_ = std::make_unique<desktop::QtScreen>(lang, this);
    screen = own_screen_.get();
  }
  logic_ = std::make_unique<ProgressDialogLogic>(kind, backend, *screen, *this);
  setWindowTitle(QText(lang, logic_->title_text()));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint |
                 Qt::WindowCloseButtonHint);

  animation_ = new desktop::StripAnimation(this);
  animation_->SetStrip(desktop::PictureOf(lang, 183));
  phase_ = new QLabel(QText(lang, logic_->phase_text()), this);
  phase_->setObjectName("phase");
  names_ = new QLabel(this);
  names_->setObjectName("names");
  names_->setTextFormat(Qt::PlainText);
  bar_ = new QProgressBar(this);
  bar_->setObjectName("progress");
  bar_->setRange(0, 100);
  bar_->setValue(0);
  counts_ = new QLabel(this);
  counts_->setObjectName("counts");
  cancel_ = new QPushButton(QText(lang, ProgressDialogLogic::cancel_text()),
                            this);
  cancel_->setObjectName("cancel");
  cancel_->setDefault(true);
  cancel_->setAutoDefault(true);
  connect(cancel_, &QPushButton::clicked, this, [this] { logic_->OnCancel(); });

  auto* top = new QHBoxLayout;
  top->addWidget(animation_, 0, Qt::AlignTop);
  auto* lines = new QVBoxLayout;
  lines->addWidget(phase_);
  lines->addWidget(names_);
  lines->addStretch();
  top->addLayout(lines, 1);
  top->setSpacing(12);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(counts_, 1);
  bottom->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(bar_);
  layout->addLayout(bottom);
  setMinimumWidth(440);
  names_->setMinimumWidth(300);
  resize(460, sizeHint().height());
}

CProgressDlg::~CProgressDlg() {
  // The monitor may still tell the display something; it ends first.
  logic_.reset();
}

template <typename Fn>
void CProgressDlg::OnGuiThread(Fn&& fn) {
  if (QThread::currentThread() == thread()) {
    fn();
    return;
  }
  QPointer<CProgressDlg> self(this);
  QMetaObject::invokeMethod(
      this, [self, fn = std::forward<Fn>(fn)] { if (self) fn(); },
      Qt::QueuedConnection);
}

void CProgressDlg::SetPercent(uint32_t percent) {
  OnGuiThread([this, percent] { bar_->setValue(static_cast<int>(percent)); });
}

void CProgressDlg::SetPhase(const desktop::UiText& text) {
  OnGuiThread([this, text] { phase_->setText(QText(text.Resolve(lang_))); });
}

void CProgressDlg::SetNames(const std::string& box, const std::string& folder,
                            const std::string& document) {
  OnGuiThread([this, box, folder, document] {
    box_ = box;
    folder_ = folder;
    document_ = document;
    ShowNames();
  });
}

void CProgressDlg::ShowNames() {
  // The longest form of the line that fits the label.
  const int width = names_->width();
  const QFontMetrics fm(names_->font());
  size_t lo = 0, hi = 1024;
  while (lo < hi) {
    size_t mid = (lo + hi + 1) / 2;
    QString line = QText(NameLine(box_, folder_, document_, mid));
    if (fm.horizontalAdvance(line) <= width)
      lo = mid;
    else
      hi = mid - 1;
  }
  names_->setText(QText(NameLine(box_, folder_, document_, lo)));
}

void CProgressDlg::SetCounts(const std::string& line) {
  OnGuiThread([this, line] { counts_->setText(QText(line)); });
}

void CProgressDlg::EnableCancel(bool enabled) {
  OnGuiThread([this, enabled] {
    cancel_->setEnabled(enabled);
    if (enabled) {
      cancel_->setDefault(true);
      cancel_->setFocus();
    }
  });
}

void CProgressDlg::Animate(bool running) {
  OnGuiThread([this, running] {
    if (running)
      animation_->Play();
    else
      animation_->Stop();
  });
}

void CProgressDlg::ShowBusy(bool busy) {
  OnGuiThread([this, busy] {
    if (busy == busy_) return;
    busy_ = busy;
    if (busy)
      QApplication::setOverrideCursor(Qt::WaitCursor);
    else
      QApplication::restoreOverrideCursor();
  });
}

void CProgressDlg::Close() {
  OnGuiThread([this] {
    ShowBusy(false);
    done(QDialog::Accepted);
  });
}

void CProgressDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (started_ || !auto_start_) return;
  started_ = true;
  cancel_->setFocus();
  logic_->Start(request_);
}

void CProgressDlg::closeEvent(QCloseEvent* event) {
  // The window's Close command acts as Cancel; the run closes the window.
  event->ignore();
  logic_->OnCancel();
}

void CProgressDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && logic_->OnEscape()) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CProgressDlg::reject() {
  // Only the run ends this window.
}

}  // namespace keeper
