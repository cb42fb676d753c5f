// The shared dialogs and controls, driven as widgets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "desktop/language.h"
#include "desktop/testing/fake_screen.h"
#include "keeper/ui/about_box.h"
#include "keeper/ui/br_file_dialog.h"
#include "keeper/ui/retry_dlg.h"
#include "keeper/ui/widgets.h"
#include "platform/env.h"
#include "platform/testing/temp_dir.h"

namespace keeper {
namespace {

class DialogsTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    en_ = desktop::LanguageLibrary::Load("keeperlang", "en", &error);
    de_ = desktop::LanguageLibrary::Load("keeperlang", "de", &error);
    ASSERT_TRUE(en_ && de_) << error;
  }
  std::unique_ptr<desktop::LanguageLibrary> en_, de_;
};

TEST_F(DialogsTest, RetryDialogCompactAndFullModes) {
  desktop::FakeScreen screen;
  CRetryDlg done(*en_, RetryMode::kDone, 0, 0, "127.0.0.9", "/t/ZELT_Log.txt",
                 &screen);
  done.show();
  EXPECT_EQ(done.windowTitle(), "Backup");
  EXPECT_EQ(done.line1()->text(), "The backup finished successfully.");
  EXPECT_FALSE(done.line2()->isVisible()) << "line 2 collapses";
  EXPECT_EQ(done.focusWidget(), done.ok_button()) << "OK has the focus";

  CRetryDlg failed(*en_, RetryMode::kRetryPending, 12029, 0, "127.0.0.9",
                   "/t/ZELT_Log.txt", &screen);
  failed.show();
  EXPECT_EQ(failed.windowTitle(), "Error");
  EXPECT_TRUE(failed.line2()->isVisible());
  EXPECT_EQ(failed.line2()->text(),
            "127.0.0.9\nThe device does not answer.\nCheck the network "
            "connection and the device's address.\nThe backup will be tried "
            "again.");
  EXPECT_FALSE(failed.isModal());

  int before = RetryDialogLogic::OpenCount();
  QTest::mouseClick(failed.view_log_button(), Qt::LeftButton);
  EXPECT_EQ(screen.urls(), std::vector<std::string>{"/t/ZELT_Log.txt"});
  EXPECT_TRUE(failed.isVisible()) << "View Log File keeps the dialog open";
  int closed = 0;
  QObject::connect(&failed, &CRetryDlg::closedByUser, [&] { ++closed; });
  QTest::mouseClick(failed.ok_button(), Qt::LeftButton);
  EXPECT_FALSE(failed.isVisible());
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(RetryDialogLogic::OpenCount(), before - 1);
}

TEST_F(DialogsTest, AlertBoxModes) {
  CTNAlertBox ask(*en_, "Do you want to stop the automatic backup?",
                  "Automatic Backup", 1);
  EXPECT_EQ(ask.ok_button()->text(), "OK");
  EXPECT_EQ(ask.cancel_button()->text(), "Cancel");
  EXPECT_TRUE(ask.close_allowed());
  QTimer::singleShot(0, [&] { ask.cancel_button()->click(); });
  EXPECT_EQ(ask.exec(), QDialog::Rejected);

  CTNAlertBox warn(*de_, "x", "y", 0);
  EXPECT_EQ(warn.cancel_button()->text(), "Abbrechen");
  EXPECT_FALSE(warn.close_allowed());
  bool still_open = false;
  QTimer::singleShot(0, [&] {
    warn.close();  // the Close command is disabled
    QTest::keyClick(&warn, Qt::Key_Escape);
    still_open = warn.isVisible();
    QTest::keyClick(warn.ok_button(), Qt::Key_Return);
  });
  EXPECT_EQ(warn.exec(), QDialog::Accepted);
  EXPECT_TRUE(still_open);
}

TEST_F(DialogsTest, FileDialogFreeSpaceLineAndNameCheck) {
  platform::ScopedTempDir dir;
  desktop::FakeScreen screen(en_.get());
  CBRFileDialog dialog(*en_, true, QString::fromStdString(dir.path()), &screen);
  EXPECT_TRUE(dialog.free_space_label()->text().startsWith("Free space on  "))
      << dialog.free_space_label()->text().toStdString();
  dialog.ShowFreeSpace("//server/share");
  EXPECT_EQ(dialog.free_space_label()->text(), "");

  dialog.show();
  auto* edit = dialog.findChild<QLineEdit*>("fileNameEdit");
  ASSERT_TRUE(edit);
  edit->setText("what?.zip");
  dialog.accept();
  EXPECT_TRUE(dialog.isVisible()) << "a refused name keeps the dialog open";
  ASSERT_EQ(screen.shown().size(), 1u);
  EXPECT_EQ(screen.shown()[0].message.text.id, 75u);

  edit->setText("good.zip");
  dialog.accept();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.selectedFiles().value(0).toStdString(),
            std::string(dir.path()) + "/good.zip");
}

TEST_F(DialogsTest, BoxTreeChecksIconsColumnsAndGreyedLook) {
  CBoxTreeList tree(*en_, {28, 186});
  EXPECT_EQ(tree.headerItem()->text(0), "Name");
  EXPECT_EQ(tree.headerItem()->text(1), "Last backup");
  tree.Fill("Tarn Office", {{1, "Scans", false, {"-- -- --  -- -- --"}},
                            {12, "\xE5\x8F\x97\xE4\xBF\xA1", true, {"x"}},
                            {300, "Fax", false, {"y"}}});
  QTreeWidgetItem* top = tree.device_row();
  ASSERT_EQ(top->childCount(), 3);
  EXPECT_EQ(top->child(1)->text(0), QString::fromUtf8("012 \xE5\x8F\x97\xE4\xBF\xA1"));
  EXPECT_EQ(top->child(0)->text(1), "-- -- --  -- -- --");
  EXPECT_FALSE(top->child(0)->icon(0).isNull());
  // Protected and open boxes have different pictures.
  EXPECT_NE(top->child(0)->icon(0).pixmap(16).toImage(),
            top->child(1)->icon(0).pixmap(16).toImage());
  EXPECT_EQ(tree.CheckedBoxes(), (std::vector<uint32_t>{1, 12, 300}));

  top->child(1)->setCheckState(0, Qt::Unchecked);
  EXPECT_EQ(tree.CheckedBoxes(), (std::vector<uint32_t>{1, 300}));
  EXPECT_EQ(top->checkState(0), Qt::PartiallyChecked);
  top->setCheckState(0, Qt::Unchecked);
  EXPECT_TRUE(tree.CheckedBoxes().empty());
  tree.SetAllChecked(true);
  EXPECT_EQ(tree.CheckedBoxes().size(), 3u);

  tree.SetGreyed(true);
  EXPECT_FALSE(tree.isEnabled());
  EXPECT_EQ(tree.palette().color(QPalette::Base), QColor(200, 200, 200));
  tree.SetGreyed(false);
  EXPECT_TRUE(tree.isEnabled());
  EXPECT_EQ(tree.palette().color(QPalette::Base), QColor(Qt::white));
}

TEST_F(DialogsTest, StatusBarAndPropertySheet) {
  ZBStatusBar bar;
  bar.SetAddress("127.0.0.9");
  EXPECT_EQ(bar.address(), "127.0.0.9");
  CTNPropertySheet sheet;
  sheet.addTab(new QWidget, "Backup");
  sheet.OnResizeMessage(600, 400);
  EXPECT_EQ(sheet.size(), QSize(590, 400));
}

TEST_F(DialogsTest, AboutBoxShowsTheVersionOfTheSettingsFile) {
  platform::ScopedTempDir dir;
  CAboutBox none(*en_, dir.path());
  EXPECT_EQ(none.version(), "");
  std::ofstream(std::string(dir.path()) + "/keeper.ini")
      << "[ZELT]\nAppVersion=3.1.4\n";
  CAboutBox about(*de_, dir.path());
  EXPECT_EQ(about.version(), "3.1.4");
  auto* line = about.findChild<QLabel*>("version");
  ASSERT_TRUE(line);
  EXPECT_EQ(line->text(), "Version 3.1.4");
  // The build's own settings file beside the program.
  CAboutBox built(*en_, platform::Env::Default()->ProgramDir());
  EXPECT_FALSE(built.version().isEmpty());
}

}  // namespace
}  // namespace keeper
