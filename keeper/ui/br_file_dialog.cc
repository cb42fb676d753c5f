#include "keeper/ui/br_file_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "keeper/app/file_dialog_logic.h"
#include "keeper/ui/qt_text.h"

namespace keeper {
namespace {

constexpr uint32_t kTextFilter = 13000;
constexpr uint32_t kTextOpenTitle = 13001;
constexpr uint32_t kTextSaveTitle = 13002;

}  // namespace

CBRFileDialog::CBRFileDialog(const desktop::Texts& texts, bool save,
                             const QString& folder, desktop::Screen* screen,
                             QWidget* parent)
    : QFileDialog(parent), texts_(texts) {
  setObjectName("CBRFileDialog");
  if (!screen) {
    own_screen_ = std::make_unique<desktop::QtScreen>(texts, this);
    screen = own_screen_.get();
  }
  screen_ = screen;
  // The extra line needs the dialog's own widgets, not the desktop's.
  setOption(QFileDialog::DontUseNativeDialog, true);
  setWindowTitle(QText(texts, save ? kTextSaveTitle : kTextOpenTitle));
  setAcceptMode(save ? AcceptSave : AcceptOpen);
  setFileMode(save ? AnyFile : ExistingFile);
  setNameFilter(QText(texts, kTextFilter));
  setDefaultSuffix("zip");

  free_space_ = new QLabel(this);
  free_space_->setObjectName("freeSpace");
  if (auto* grid = qobject_cast<QGridLayout*>(layout()))
    grid->addWidget(free_space_, grid->rowCount(), 0, 1, grid->columnCount());
  connect(this, &QFileDialog::directoryEntered, this,
          &CBRFileDialog::ShowFreeSpace);
  setDirectory(folder);
  ShowFreeSpace(folder);
}

void CBRFileDialog::ShowFreeSpace(const QString& folder) {
  free_space_->setText(QText(FreeSpaceLine(folder.toStdString(), texts_)));
}

void CBRFileDialog::accept() {
  // The name as typed: a refused one keeps the dialog open.
  QString typed;
  if (auto* edit = findChild<QLineEdit*>("fileNameEdit")) typed = edit->text();
  if (typed.isEmpty() && !selectedFiles().isEmpty())
    typed = QFileInfo(selectedFiles().first()).fileName();
  if (!CheckFileName(typed.toStdString(), *screen_)) return;
  QFileDialog::accept();
}

}  // namespace keeper
