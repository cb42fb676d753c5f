#include "setup/language_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include "desktop/lang_table.h"

namespace setup {
namespace {

constexpr uint32_t kProgramIcon = 107;

QString Q(const std::string& s) { return QString::fromUtf8(s); }

QPixmap ProgramIcon() {
  uint32_t size = 0;
  const unsigned char* png = zelt_lang::Picture(kProgramIcon, &size);
  QPixmap pixmap;
  if (png) pixmap.loadFromData(png, size, "PNG");
  return pixmap;
}

}  // namespace

CLanguageDialog::CLanguageDialog(const DialogModel& model, QWidget* parent)
    : QDialog(parent) {
  setObjectName("languageDialog");
  setWindowTitle(Q(model.title));
  QPixmap icon = ProgramIcon();
  setWindowIcon(icon);

  auto* picture = new QLabel(this);
  picture->setObjectName("icon");
  picture->setPixmap(icon);
  picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  auto* prompt = new QLabel(Q(model.prompt), this);
  prompt->setObjectName("prompt");
  prompt->setWordWrap(true);
  // Room for two lines, as the dialog was laid out for.
  prompt->setMinimumHeight(2 * prompt->fontMetrics().lineSpacing());
  prompt->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  list_ = new QComboBox(this);
  list_->setObjectName("languages");
  list_->setMinimumContentsLength(24);
  list_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  for (const std::string& item : model.items) list_->addItem(Q(item));
  list_->setCurrentIndex(model.preselected);
  prompt->setBuddy(list_);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(Q(model.ok), QDialogButtonBox::AcceptRole);
  QPushButton* cancel =
      buttons->addButton(Q(model.cancel), QDialogButtonBox::RejectRole);
  ok->setObjectName("ok");
  cancel->setObjectName("cancel");
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* grid = new QGridLayout(this);
  grid->setHorizontalSpacing(16);
  grid->addWidget(picture, 0, 0, 2, 1);
  grid->addWidget(prompt, 0, 1);
  grid->addWidget(list_, 1, 1);
  grid->setRowMinimumHeight(2, 8);
  grid->addWidget(buttons, 3, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  setMinimumWidth(440);
  list_->setFocus();
}

std::string CLanguageDialog::SelectedText() const {
  return list_->currentIndex() < 0 ? std::string()
                                   : list_->currentText().toStdString();
}

std::optional<std::string> ChooseLanguage(const DialogModel& model) {
  CLanguageDialog dialog(model);
  dialog.adjustSize();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    dialog.move(area.center() - dialog.rect().center());
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.SelectedText();
}

}  // namespace setup
