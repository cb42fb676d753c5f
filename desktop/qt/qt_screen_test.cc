#include "desktop/qt/qt_screen.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "desktop/testing/map_texts.h"

namespace desktop {
namespace {

QStringList Captions(QMessageBox* box) {
  QStringList out;
  for (QAbstractButton* b : box->buttons()) out << b->text();
  out.sort();
  return out;
}

TEST(QtScreenTest, ButtonCaptionsComeFromTheProgramsOwnNumbers) {
  MapTexts finder({{4, "Gut"}, {3, "Lieber nicht"}, {13017, "&Ja"},
                   {13018, "&Nein"}, {46, "Fehler"}});
  std::unique_ptr<QMessageBox> box(MakeMessageBox(
      finder, {UiText::Of("?"), UiText::Id(46), Icon::kError},
      Buttons::kOkCancel, Answer::kCancel, nullptr, kFinderButtons));
  EXPECT_EQ(Captions(box.get()), (QStringList{"Gut", "Lieber nicht"}));
  EXPECT_EQ(box->windowTitle(), "Fehler");
  EXPECT_EQ(box->defaultButton()->text(), "Lieber nicht");
  EXPECT_EQ(box->icon(), QMessageBox::Critical);

  // Without the texts, Qt's own captions serve rather than empty buttons.
  MapTexts none({});
  std::unique_ptr<QMessageBox> plain(MakeMessageBox(
      none, {UiText::Of("x"), {}, Icon::kNone}, Buttons::kYesNo, Answer::kNo,
      nullptr));
  for (const QString& c : Captions(plain.get())) EXPECT_FALSE(c.isEmpty());
}

TEST(QtScreenTest, AskReturnsTheButtonPressedAndTheDefaultOnClose) {
  MapTexts keeper({{15, "OK"}, {26, "Cancel"}, {13009, "&Yes"},
                   {13010, "&No"}});
  QtScreen screen(keeper);
  QTimer::singleShot(0, [] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    for (QAbstractButton* b : box->buttons())
      if (b->text() == "&Yes") b->click();
  });
  EXPECT_EQ(screen.Ask({UiText::Of("Go?"), {}, Icon::kQuestion},
                       Buttons::kYesNo, Answer::kNo),
            Answer::kYes);
  QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
  EXPECT_EQ(screen.Ask({UiText::Of("Go?"), {}, Icon::kQuestion},
                       Buttons::kYesNo, Answer::kNo),
            Answer::kNo);
}

}  // namespace
}  // namespace desktop
