#include "authdlg/auth_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "authdlg/password_rules.h"
#include "authdlg/prompt_logic.h"

namespace authdlg {
namespace {

// The edit is read up to this many characters by the filter.
constexpr int kFilterRead = 256;

QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

std::u16string U16(const QString& s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                        static_cast<size_t>(s.size()));
}

QString FromU16(const std::u16string& s) {
  return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

CUserAuthenticationDlg::CUserAuthenticationDlg(const desktop::Texts& texts,
                                               int32_t language_value,
                                               uint8_t controller_type,
                                               const std::u16string& initial,
                                               QWidget* parent)
    : QDialog(parent), language_value_(language_value) {
  setObjectName("CUserAuthenticationDlg");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::WindowStaysOnTopHint);
  setWindowTitle(Q(texts.Text(kTextTitle)));

  prompt_ = new QLabel(Q(texts.Text(kTextPrompt)), this);
  prompt_->setObjectName("prompt");
  edit_ = new QLineEdit(this);
  edit_->setObjectName("password");
  edit_->setEchoMode(QLineEdit::Password);
  edit_->setMinimumWidth(240);
  prompt_->setBuddy(edit_);
  ok_ = new QPushButton(Q(texts.Text(kTextOk)), this);
  ok_->setObjectName("ok");
  ok_->setDefault(true);
  cancel_ = new QPushButton(Q(texts.Text(kTextCancel)), this);
  cancel_->setObjectName("cancel");

  auto* grid = new QGridLayout(this);
  grid->setHorizontalSpacing(16);
  grid->addWidget(prompt_, 0, 0);
  grid->addWidget(edit_, 1, 0);
  grid->addWidget(ok_, 0, 1);
  grid->addWidget(cancel_, 1, 1);
  grid->setColumnStretch(0, 1);
  grid->setSizeConstraint(QLayout::SetFixedSize);

  connect(edit_, &QLineEdit::textChanged, this,
          &CUserAuthenticationDlg::OnTextChanged);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  edit_->setText(FromU16(initial));
  edit_->setMaxLength(static_cast<int>(PasswordLimit(controller_type)));
  ok_->setEnabled(false);
  edit_->setFocus();
}

std::u16string CUserAuthenticationDlg::password() const {
  std::u16string text = U16(edit_->text());
  if (text.size() > kLongLimit) text.resize(kLongLimit);
  return text;
}

void CUserAuthenticationDlg::OnTextChanged() {
  std::u16string text = U16(edit_->text().left(kFilterRead));
  size_t caret = 0;
  if (RemoveFirstRefused(&text, &caret)) {
    // Setting the text raises the change again, so the filter runs until
    // no refused character is left.
    edit_->setText(FromU16(text));
    edit_->setCursorPosition(static_cast<int>(caret));
  }
  ok_->setEnabled(!edit_->text().isEmpty());
}

}  // namespace authdlg
