#include "keeper/ui/about_box.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop/qt/pictures.h"
#include "keeper/app/about_info.h"
#include "keeper/ui/qt_text.h"

namespace keeper {

CAboutBox::CAboutBox(const desktop::LanguageLibrary& lang,
                     const std::string& program_dir, QWidget* parent)
    : QDialog(parent) {
  setObjectName("CAboutBox");
  const desktop::Texts& t = lang;
  // The About command's name, without its menu marks.
  setWindowTitle(QText(t, 10).remove('&').remove("..."));
  AboutInfo info = ReadAboutInfo(t, program_dir);
  version_ = QText(info.version);

  auto* picture = new QLabel(this);
  picture->setObjectName("picture");
  QPixmap big(QText(info.picture_path));
  picture->setPixmap(big.isNull() ? desktop::PictureOf(lang, 203) : big);
  picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
  auto* mark = new QLabel(this);
  mark->setObjectName("mark");
  mark->setPixmap(desktop::PictureOf(lang, 203));
  mark->setAlignment(Qt::AlignHCenter);

  auto* name = new QLabel(QText(t, 29), this);
  QFont f = name->font();
  f.setBold(true);
  f.setPointSizeF(f.pointSizeF() * 1.3);
  name->setFont(f);
  auto* lines = new QVBoxLayout;
  lines->addWidget(name);
  auto add = [&](const QString& text, const char* object) {
    auto* l = new QLabel(text, this);
    l->setObjectName(object);
    l->setWordWrap(true);
    lines->addWidget(l);
  };
  add(QText(t, 16), "description");
  add(version_.isEmpty() ? QString() : QText(t, 204) + " " + version_,
      "version");
  add(QText(t, 206), "uses");
  add(QText(t, 97) + "\n" + QText(t, 99), "copyright");
  add(QText(t, 19) + " \xE2\x80\x94 " + QText(t, 9999), "language");
  lines->addStretch();

  auto* left = new QVBoxLayout;
  left->addWidget(picture);
  left->addWidget(mark);
  left->addStretch();
  auto* top = new QHBoxLayout;
  top->addLayout(left);
  top->addLayout(lines, 1);
  top->setSpacing(18);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QText(t, 15),
                                       QDialogButtonBox::AcceptRole);
  ok->setObjectName("ok");
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(buttons);
  // Wide enough that the product and library names stay on one line.
  setMinimumWidth(520);
  ok->setFocus();
}

}  // namespace keeper
