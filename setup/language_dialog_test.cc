#include "setup/language_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace setup {
namespace {

DialogModel Model() {
  DialogModel m;
  m.title = "Tarn Box Keeper Setup";
  m.prompt = "Wählen Sie die Sprache.";
  m.ok = "OK";
  m.cancel = "Abbrechen";
  m.items = {"Dänisch", "Deutsch", "Englisch", "Japanisch"};
  m.preselected = 1;
  return m;
}

TEST(LanguageDialogTest, ShowsTheModel) {
  CLanguageDialog dialog(Model());
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_EQ(dialog.windowTitle(), "Tarn Box Keeper Setup");
  EXPECT_EQ(dialog.findChild<QLabel*>("prompt")->text(), "Wählen Sie die Sprache.");
  auto* list = dialog.findChild<QComboBox*>("languages");
  ASSERT_EQ(list->count(), 4);
  EXPECT_EQ(list->itemText(0), "Dänisch");  // in the order given
  EXPECT_EQ(list->itemText(3), "Japanisch");
  EXPECT_EQ(list->currentIndex(), 1);
  EXPECT_TRUE(list->hasFocus());
  EXPECT_EQ(dialog.findChild<QPushButton*>("ok")->text(), "OK");
  EXPECT_EQ(dialog.findChild<QPushButton*>("cancel")->text(), "Abbrechen");
  EXPECT_TRUE(dialog.findChild<QPushButton*>("ok")->isDefault());
  EXPECT_FALSE(dialog.findChild<QLabel*>("icon")->pixmap().isNull());
}

TEST(LanguageDialogTest, KeyboardChoosesAndEnterConfirms) {
  CLanguageDialog dialog(Model());
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  auto* list = dialog.findChild<QComboBox*>("languages");
  QTest::keyClick(list, Qt::Key_Down);
  QTest::keyClick(&dialog, Qt::Key_Return);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.SelectedText(), "Englisch");
}

TEST(LanguageDialogTest, CancelAndNoSelection) {
  DialogModel m = Model();
  m.preselected = -1;
  CLanguageDialog dialog(m);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_EQ(dialog.SelectedText(), "");
  QTest::mouseClick(dialog.findChild<QPushButton*>("cancel"), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(LanguageDialogTest, ChooseLanguageGivesTheTextOrNothing) {
  // OK on the preselected entry.
  QTimer::singleShot(0, [] {
    QWidget* w = QApplication::activeModalWidget();
    ASSERT_TRUE(w);
    QTest::mouseClick(w->findChild<QPushButton*>("ok"), Qt::LeftButton);
  });
  EXPECT_EQ(ChooseLanguage(Model()), "Deutsch");
  QTimer::singleShot(0, [] {
    QWidget* w = QApplication::activeModalWidget();
    ASSERT_TRUE(w);
    w->close();
  });
  EXPECT_EQ(ChooseLanguage(Model()), std::nullopt);
}

}  // namespace
}  // namespace setup
