#include "keeper/ui/br_file_dialog.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QTreeView>
#include <QLabel>
#include <QFileSystemModel>
#include <QLineEdit>

#include "keeper/app/file_dialog_logic.h"
#include "keeper/ui/qt_text.h"

namespace keeper {
namespace {

constexpr uint32_t kTextFilter = 13000;
constexpr uint32_t kTextOpenTitle = 13001;
constexpr uint32_t kTextSaveTitle = 13002;
constexpr uint32_t kTextLookIn = 13004;
constexpr uint32_t kTextFileName = 13005;
constexpr uint32_t kTextFileType = 13006;
constexpr uint32_t kTextSave = 13007;
constexpr uint32_t kTextOpen = 13008;
constexpr uint32_t kTextCancel = 26;

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
  // The dialog's own captions in the program's language, not Qt's.
  setLabelText(LookIn, QText(texts, kTextLookIn));
  setLabelText(FileName, QText(texts, kTextFileName));
  setLabelText(FileType, QText(texts, kTextFileType));
  setLabelText(Accept, QText(texts, save ? kTextSave : kTextOpen));
  setLabelText(Reject, QText(texts, kTextCancel));
  // Whole names, sizes and dates once a folder's entries have arrived.
  if (auto* model = findChild<QFileSystemModel*>()) {
    connect(model, &QFileSystemModel::directoryLoaded, this, [this] {
      if (auto* view = findChild<QTreeView*>("treeView"))
        for (int c = 0; c < 4; ++c) view->resizeColumnToContents(c);
    });
  }

  free_space_ = new QLabel(this);
  free_space_->setObjectName("freeSpace");
  PlaceFreeSpaceLine();
  connect(this, &QFileDialog::directoryEntered, this,
          &CBRFileDialog::ShowFreeSpace);
  setDirectory(folder);
  ShowFreeSpace(folder);
}

void CBRFileDialog::PlaceFreeSpaceLine() {
  auto* grid = qobject_cast<QGridLayout*>(layout());
  if (!grid || grid->indexOf(free_space_) >= 0) return;
  grid->addWidget(free_space_, grid->rowCount(), 0, 1, grid->columnCount());
}

void CBRFileDialog::showEvent(QShowEvent* event) {
  PlaceFreeSpaceLine();
  QFileDialog::showEvent(event);
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
