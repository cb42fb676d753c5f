#include "desktop/qt/qt_screen.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace desktop {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QMessageBox::Icon IconOf(Icon icon) {
  switch (icon) {
    case Icon::kInformation: return QMessageBox::Information;
    case Icon::kWarning: return QMessageBox::Warning;
    case Icon::kError: return QMessageBox::Critical;
    case Icon::kQuestion: return QMessageBox::Question;
    case Icon::kNone: break;
  }
  return QMessageBox::NoIcon;
}

// The captions come from the language library, so that a box never mixes
// two languages; a library without them gets Qt's own.
QString ButtonText(const Texts& texts, Answer a, ButtonTextIds ids) {
  uint32_t id = 0;
  QMessageBox::StandardButton standard = QMessageBox::Ok;
  switch (a) {
    case Answer::kOk: id = ids.ok; standard = QMessageBox::Ok; break;
    case Answer::kCancel: id = ids.cancel; standard = QMessageBox::Cancel; break;
    case Answer::kYes: id = ids.yes; standard = QMessageBox::Yes; break;
    case Answer::kNo: id = ids.no; standard = QMessageBox::No; break;
  }
  std::string_view t = texts.Text(id);
  if (t.empty()) {
    QMessageBox probe;
    return probe.addButton(standard)->text();
  }
  return QString::fromUtf8(t.data(), static_cast<int>(t.size()));
}

class QtNotice final : public Notice {
 public:
  explicit QtNotice(QMessageBox* box) : box_(box) {}
  ~QtNotice() override { Close(); }
  void Close() override {
    if (box_) box_->close();
  }
  bool open() const override { return box_ && box_->isVisible(); }

 private:
  QPointer<QMessageBox> box_;
};

}  // namespace

QMessageBox* MakeMessageBox(const Texts& texts, const Message& message,
                            Buttons buttons, Answer default_answer,
                            QWidget* parent, ButtonTextIds ids) {
  auto* box = new QMessageBox(parent);
  box->setIcon(IconOf(message.icon));
  box->setWindowTitle(Q(message.caption.Resolve(texts)));
  box->setText(Q(message.text.Resolve(texts)));
  std::vector<std::pair<Answer, QMessageBox::ButtonRole>> list;
  switch (buttons) {
    case Buttons::kOk:
      list = {{Answer::kOk, QMessageBox::AcceptRole}};
      break;
    case Buttons::kOkCancel:
      list = {{Answer::kOk, QMessageBox::AcceptRole},
              {Answer::kCancel, QMessageBox::RejectRole}};
      break;
    case Buttons::kYesNo:
      list = {{Answer::kYes, QMessageBox::YesRole},
              {Answer::kNo, QMessageBox::NoRole}};
      break;
  }
  for (auto [answer, role] : list) {
    QPushButton* b = box->addButton(ButtonText(texts, answer, ids), role);
    b->setProperty("zeltAnswer", static_cast<int>(answer));
    if (answer == default_answer) box->setDefaultButton(b);
    if (answer == Answer::kCancel || answer == Answer::kNo ||
        buttons == Buttons::kOk)
      box->setEscapeButton(b);
  }
  return box;
}

void QtScreen::Show(const Message& message) {
  std::unique_ptr<QMessageBox> box(
      MakeMessageBox(texts_, message, Buttons::kOk, Answer::kOk, parent_,
                     buttons_));
  box->setWindowModality(Qt::ApplicationModal);
  box->exec();
}

Answer QtScreen::Ask(const Message& message, Buttons buttons,
                     Answer default_answer) {
  std::unique_ptr<QMessageBox> box(
      MakeMessageBox(texts_, message, buttons, default_answer, parent_,
                     buttons_));
  box->setWindowModality(Qt::ApplicationModal);
  box->exec();
  QAbstractButton* clicked = box->clickedButton();
  if (!clicked) return default_answer;
  return static_cast<Answer>(clicked->property("zeltAnswer").toInt());
}

std::optional<std::string> QtScreen::PickFile(const FileRequest& request) {
  QFileDialog dialog(parent_, Q(request.title.Resolve(texts_)),
                     Q(request.folder), Q(request.filter));
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave
                                    : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile
                                  : QFileDialog::ExistingFile);
  if (!request.default_suffix.empty())
    dialog.setDefaultSuffix(Q(request.default_suffix));
  if (!request.file_name.empty()) dialog.selectFile(Q(request.file_name));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

std::unique_ptr<Notice> QtScreen::OpenNotice(const Message& message) {
  QMessageBox* box =
      MakeMessageBox(texts_, message, Buttons::kOk, Answer::kOk, parent_,
                     buttons_);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->show();
  return std::make_unique<QtNotice>(box);
}

bool QtScreen::OpenUrl(const std::string& url) {
  QUrl u = QUrl::fromUserInput(Q(url));
  return QDesktopServices::openUrl(u);
}

}  // namespace desktop
