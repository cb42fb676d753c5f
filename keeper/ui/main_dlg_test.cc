// The main window and the device dialogs as widgets, on a scripted device:
// menus and their texts, the menu rules as the page changes, the status
// bars, the minimum size and the show state, the device list's column
// order and selection, the not-found dialog's buttons.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "desktop/language.h"
#include "desktop/testing/fake_screen.h"
#include "keeper/app/testing/fake_box_service.h"
#include "keeper/app/testing/fake_outside_libraries.h"
#include "keeper/ui/device_dialogs.h"
#include "keeper/ui/main_dlg.h"
#include "keeper/ui/pages.h"
#include "keeper/ui/qt_text.h"
#include "keeper/ui/widgets.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace keeper {
namespace {

constexpr char kBaseKey[] = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";
constexpr char kAddress[] = "192.0.2.44";

class MainDlgTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    lang_ = desktop::LanguageLibrary::Load("keeperlang", "de", &error);
    ASSERT_TRUE(lang_) << error;
    env_.SetProgramDir(platform::Env::Default()->ProgramDir());
    Set("Last Selected IP", kAddress);
    Set("Last Selected Name", "Etage 2");
    Set("Last Selected Location", "Flur");
    Set("Last Selected SNMP Version", "V1/V2");
    auto& d = service_.devices[kAddress];
    d.open_result = 1;
    d.boxes = {{3, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", true, {}},
               {4, "Rechnungen", false, {}}};
    prompt_.answers.push_back({1, u"admin00"});
  }
  void Set(const std::string& name, const std::string& value,
           const std::string& key = kBaseKey) {
    env_.registry().SetValue(platform::RegRoot::kCurrentUser, key, name,
                             platform::RegValue::String(value));
  }
  std::unique_ptr<CTARNBackupRestoreDlg> Window() {
    return std::make_unique<CTARNBackupRestoreDlg>(
        *lang_,
        CTARNBackupRestoreDlg::Libraries{service_, prompt_, finder_,
                                         env_.ProgramDir()},
        &screen_);
  }
  QString T(uint32_t id) { return QText(*lang_, id); }

  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
  std::unique_ptr<desktop::LanguageLibrary> lang_;
  desktop::FakeScreen screen_;
  FakeBoxService service_;
  FakePromptLibrary prompt_;
  FakeDiscoveryLibrary finder_;
};

TEST_F(MainDlgTest, MenusStatusBarsAndTheRulesOfThePages) {
  auto w = Window();
  ASSERT_TRUE(w->Open());
  w->show();
  EXPECT_EQ(w->windowTitle(), T(19));
  // Menu titles by position, items by command.
  const uint32_t titles[] = {1, 6, 9, 12, 24};
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(w->menu(i)->title(), T(titles[i])) << i;
  const std::pair<int, uint32_t> items[] = {
      {kCmdBackupData, 2},  {kCmdRestoreData, 3}, {kCmdAutomaticBackup, 4},
      {kCmdExit, 5},        {kCmdSelectAll, 7},   {kCmdClearAll, 8},
      {kCmdRefresh, 11},    {kCmdDeviceDiscovery, 13}, {kCmdSettings, 14},
      {kCmdInitializeStorage, 120}, {kCmdHelp, 24}, {kCmdAbout, 10}};
  for (auto [command, text] : items)
    EXPECT_EQ(w->action(command)->text(), T(text)) << command;
  EXPECT_EQ(w->action(kCmdRefresh)->shortcut(), QKeySequence(Qt::Key_F5));
  EXPECT_EQ(w->action(kCmdHelp)->shortcut(), QKeySequence(Qt::Key_F1));

  // Connected, Backup page: its own command and Initialize are off.
  EXPECT_TRUE(w->connection_icon_connected());
  EXPECT_EQ(w->connection_icon()->toolTip(), T(13013));
  EXPECT_TRUE(w->address_bar()->address().contains(kAddress));
  EXPECT_EQ(w->status_label()->text(), T(34));
  EXPECT_FALSE(w->action(kCmdBackupData)->isEnabled());
  EXPECT_TRUE(w->action(kCmdRestoreData)->isEnabled());
  EXPECT_FALSE(w->action(kCmdInitializeStorage)->isEnabled());
  EXPECT_TRUE(w->action(kCmdAutomaticBackup)->isEnabled());
  EXPECT_EQ(w->action_button()->text(), T(177));

  // Restore Data switches the page; the rules follow.
  w->action(kCmdRestoreData)->trigger();
  EXPECT_EQ(w->CurrentPage(), Page::kRestore);
  EXPECT_TRUE(w->action(kCmdBackupData)->isEnabled());
  EXPECT_FALSE(w->action(kCmdRestoreData)->isEnabled());
  EXPECT_TRUE(w->action(kCmdInitializeStorage)->isEnabled());
  EXPECT_FALSE(w->action(kCmdAutomaticBackup)->isEnabled());
  EXPECT_EQ(w->action_button()->text(), T(178));

  // Select All / Clear All act on the page shown.
  w->action(kCmdBackupData)->trigger();
  w->action(kCmdClearAll)->trigger();
  EXPECT_TRUE(w->backup_page()->box_list()->CheckedBoxes().empty());
  w->action(kCmdSelectAll)->trigger();
  EXPECT_EQ(w->backup_page()->box_list()->CheckedBoxes(),
            (std::vector<uint32_t>{3, 4}));
}

TEST_F(MainDlgTest, TheDisconnectedState) {
  auto w = Window();
  ASSERT_TRUE(w->Open());
  w->show();
  w->backup_page()->target()->setText("/tmp/a.zip");
  w->EnterDisconnected();
  EXPECT_FALSE(w->connection_icon_connected());
  EXPECT_EQ(w->connection_icon()->toolTip(), T(13014));
  EXPECT_FALSE(w->action_button()->isEnabled());
  EXPECT_EQ(w->backup_page()->box_list()->topLevelItemCount(), 0);
  EXPECT_FALSE(w->backup_page()->setting_group()->isEnabled());
  EXPECT_TRUE(w->backup_page()->full_button()->isChecked());
}

TEST_F(MainDlgTest, MinimumSizeAndTheLastShowState) {
  auto w = Window();
  ASSERT_TRUE(w->Open());
  w->show();
  QApplication::processEvents();
  const QSize opened = w->size();
  EXPECT_EQ(w->minimumSize(), opened);
  w->showMaximized();
  QApplication::processEvents();
  EXPECT_EQ(w->last_show_state(), Qt::WindowMaximized);
  w->setWindowState(Qt::WindowMinimized);
  EXPECT_EQ(w->last_show_state(), Qt::WindowMaximized);
  w->RaiseFromOutside();
  EXPECT_TRUE(w->isMaximized());
  w->showNormal();
  w->setWindowState(Qt::WindowMinimized);
  w->RaiseFromOutside();
  EXPECT_FALSE(w->isMaximized());
  EXPECT_FALSE(w->isMinimized());
}

TEST_F(MainDlgTest, ExitClosesAndUnregisters) {
  auto w = Window();
  ASSERT_TRUE(w->Open());
  w->show();
  int closed = 0;
  QObject::connect(w.get(), &CTARNBackupRestoreDlg::windowClosed,
                   [&] { ++closed; });
  const char* running = "Software\\TALLIS\\Corvane TALLIS Client\\Running";
  ASSERT_TRUE(env_.registry().KeyExists(platform::RegRoot::kCurrentUser,
                                        running));
  w->action(kCmdExit)->trigger();
  EXPECT_EQ(closed, 1);
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(env_.registry().KeyExists(platform::RegRoot::kCurrentUser,
                                         running));
  EXPECT_EQ(prompt_.launch_status.back(), 0);
}

TEST_F(MainDlgTest, TheDeviceListKeepsItsColumnOrderAndSelection) {
  for (int n = 0; n < 2; ++n) {
    const std::string i = std::to_string(n);
    Set("Address" + i, n ? "192.0.2.45" : kAddress);
    Set("Name" + i, n ? "Keller" : "Etage 2");
    Set("Model" + i, "Varda");
    Set("Location" + i, "Flur");
    Set("SNMP Version" + i, "V1/V2");
  }
  Set(kColumnOrderValue, "10234", kColumnOrderKey);
  KeeperSettings settings(*lang_);
  SelectedDevice current{kAddress, "Etage 2", "Flur", "V1/V2", ""};
  DiscoveredDeviceList list(settings, screen_, current);
  CDiscoveredDeviceDlg dialog(*lang_, list);
  EXPECT_EQ(dialog.windowTitle(), T(22));
  QHeaderView* header = dialog.list_view()->header();
  // The address column first.
  EXPECT_EQ(header->logicalIndex(0), 1);
  EXPECT_EQ(header->logicalIndex(1), 0);
  EXPECT_EQ(dialog.list_view()->headerItem()->text(1), T(27));
  EXPECT_EQ(dialog.list_view()->currentItem(),
            dialog.list_view()->topLevelItem(0));

  // OK without a row: the message, the dialog stays.
  dialog.list_view()->clearSelection();
  dialog.list_view()->setCurrentItem(nullptr);
  dialog.show();
  QTest::mouseClick(dialog.ok_button(), Qt::LeftButton);
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_EQ(screen_.shown().size(), 1u);
  EXPECT_EQ(screen_.shown()[0].message.text.id, 60u);
  // A row: written and taken.
  dialog.list_view()->setCurrentItem(dialog.list_view()->topLevelItem(1));
  QTest::mouseClick(dialog.ok_button(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  ASSERT_TRUE(list.chosen());
  EXPECT_EQ(list.chosen()->address, "192.0.2.45");

  // Columns dragged into another order are kept for the next time.
  CDiscoveredDeviceDlg again(*lang_, list);
  again.list_view()->header()->moveSection(4, 0);  // the model first
  again.show();
  QTest::mouseClick(again.cancel_button(), Qt::LeftButton);
  EXPECT_EQ(KeeperSettings::ReadColumnOrder(), (ColumnOrder{4, 1, 0, 2, 3}));
}

TEST_F(MainDlgTest, TheNotFoundDialogsButtons) {
  CErrorDiscovery dialog(*lang_, kAddress);
  EXPECT_EQ(dialog.windowTitle(), T(88));
  EXPECT_EQ(dialog.ok_button()->text(), T(15));
  EXPECT_EQ(dialog.discover_button()->text(), T(10016));
  EXPECT_TRUE(dialog.findChild<QLabel*>("text")->text() == T(125));
  QTimer::singleShot(0, [&] { dialog.discover_button()->click(); });
  EXPECT_EQ(dialog.exec(), CErrorDiscovery::kDiscover);
  QTimer::singleShot(0, [&] { dialog.ok_button()->click(); });
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
}

}  // namespace
}  // namespace keeper
