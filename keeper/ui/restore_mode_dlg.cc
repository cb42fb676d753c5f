#include "keeper/ui/restore_mode_dlg.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "keeper/app/restore_page_logic.h"
#include "keeper/ui/qt_text.h"

namespace keeper {
namespace {

constexpr uint32_t kTextOk = 15;
constexpr uint32_t kTextCancel = 26;
constexpr uint32_t kTextTitle = 83;
constexpr uint32_t kTextQuestion = 84;
constexpr uint32_t kTextOverwrite = 85;
constexpr uint32_t kTextAppend = 86;
constexpr uint32_t kTextGroup = 87;

}  // namespace

CRestoreModeSettings::CRestoreModeSettings(const desktop::Texts& texts,
                                           QWidget* parent)
    : QDialog(parent) {
  setObjectName("CRestoreModeSettings");
  setWindowTitle(QText(texts, kTextTitle));
  auto* question = new QLabel(QText(texts, kTextQuestion));
  question->setWordWrap(true);
  auto* group = new QGroupBox(QText(texts, kTextGroup));
  auto* rows = new QVBoxLayout(group);
  overwrite_ = new QRadioButton(QText(texts, kTextOverwrite));
  overwrite_->setObjectName("overwrite");
  append_ = new QRadioButton(QText(texts, kTextAppend));
  append_->setObjectName("append");
  overwrite_->setChecked(true);
  rows->addWidget(overwrite_);
  rows->addWidget(append_);

  auto* buttons = new QDialogButtonBox;
  ok_ = buttons->addButton(QText(texts, kTextOk), QDialogButtonBox::AcceptRole);
  ok_->setObjectName("ok");
  ok_->setDefault(true);
  QPushButton* cancel =
      buttons->addButton(QText(texts, kTextCancel), QDialogButtonBox::RejectRole);
  cancel->setObjectName("cancel");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(question);
  layout->addWidget(group);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CRestoreModeSettings::accept() {
  choice_ = overwrite_->isChecked() ? kRestoreModeOverwrite : kRestoreModeAppend;
  QDialog::accept();
}

}  // namespace keeper
