// The Backup and Restore pages against simulated devices of each layout,
// with the real box service library, driven as a user would: boxes
// unchecked in the list, the archive's path typed, the action button
// clicked, the restore mode chosen, the messages read and answered.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "desktop/language.h"
#include "devsim/testing/device_fixture.h"
#include "devsim/web/box_cgi_state.h"
#include "keeper/app/box_service.h"
#include "keeper/app/device_link.h"
#include "keeper/app/job_frame.h"
#include "keeper/app/outside_libraries.h"
#include "keeper/ui/main_dlg.h"
#include "keeper/ui/pages.h"
#include "keeper/ui/progress_dlg.h"
#include "keeper/ui/qt_text.h"
#include "keeper/ui/responsive_box_service.h"
#include "keeper/ui/testing/dialog_script.h"
#include "keeper/ui/widgets.h"
#include "platform/env.h"
#include "platform/registry.h"
#include "platform/testing/temp_dir.h"

namespace fs = std::filesystem;

namespace keeper {
namespace {

using testing_ui::Click;
using testing_ui::DialogScript;
using testing_ui::Press;
using testing_ui::PressOk;
using testing_ui::TypePassword;

constexpr char kVendorKey[] = "Software\\TALLIS";
constexpr char kBaseKey[] = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";
constexpr char kNever[] = "-- -- --  -- -- --";

devsim::PopulateOptions FewBoxes() {
  devsim::PopulateOptions p;
  p.boxes = 3;
  p.folders = 1;
  p.documents = 2;
  p.pages = 1;
  p.page_bytes = 1024;
  return p;
}

// Every document of the store by box: "folder/name" or "name".
std::map<uint32_t, std::multiset<std::string>> Documents(
    devsim::ScopedDevice& dev) {
  std::map<uint32_t, std::multiset<std::string>> out;
  for (const devsim::BoxInfo& b : dev->store().ListBoxes()) {
    auto& docs = out[b.number];
    for (const devsim::ItemInfo& i : dev->store().ListItems(b.number)) {
      if (i.kind == devsim::ItemKind::kDocument) {
        docs.insert(i.name);
        continue;
      }
      for (const devsim::ItemInfo& d : dev->store().ListItems(b.number, i.number))
        if (d.kind == devsim::ItemKind::kDocument) docs.insert(i.name + "/" + d.name);
    }
  }
  return out;
}

// Follows the progress dialog while it is up: the highest percent shown.
DialogScript::Action WatchProgress(int* highest) {
  return [highest](QWidget* w) {
    auto* dlg = qobject_cast<CProgressDlg*>(w);
    if (!dlg) return;
    auto* timer = new QTimer(dlg);
    QObject::connect(timer, &QTimer::timeout, [dlg, highest] {
      *highest = std::max(*highest, dlg->bar()->value());
    });
    timer->start(2);
  };
}

class PagesDeviceTest : public testing::TestWithParam<devsim::Layout> {
 protected:
  void SetUp() override {
    if (!BoxlinkJobBackend::HasJob(JobKind::kBackup) ||
        !BoxlinkJobBackend::HasJob(JobKind::kRestore))
      GTEST_SKIP() << "the library lacks the jobs";
    std::string error;
    lang_ = desktop::LanguageLibrary::Load("keeperlang", "en", &error);
    ASSERT_TRUE(lang_) << error;
    Reg().DeleteKeyTree(platform::RegRoot::kCurrentUser, kVendorKey);
    boxlink_ = MakeBoxlinkService();
    service_ = std::make_unique<ResponsiveBoxService>(*boxlink_);
    prompt_ = MakeAuthDialogLibrary();
    discovery_ = MakeDiscoveryLibrary();
  }

  static platform::Registry& Reg() {
    return platform::Env::Current()->registry();
  }
  static void Select(const std::string& address) {
    auto set = [](const char* name, const std::string& value) {
      Reg().SetValue(platform::RegRoot::kCurrentUser, kBaseKey, name,
                     platform::RegValue::String(value));
    };
    set("Last Selected IP", address);
    set("Last Selected Name", "Device " + address);
    set("Last Selected Location", "Lab");
    set("Last Selected SNMP Version", "V1/V2");
  }

  // The main window connected to the device, shown.
  std::unique_ptr<CTARNBackupRestoreDlg> Connect(devsim::ScopedDevice& dev) {
    Select(dev->address());
    script_.Ignore("CConnectionDialog");
    script_.Expect("CUserAuthenticationDlg", TypePassword("admin00"));
    auto w = std::make_unique<CTARNBackupRestoreDlg>(
        *lang_, CTARNBackupRestoreDlg::Libraries{
                    *service_, *prompt_, *discovery_,
                    platform::Env::Current()->ProgramDir()});
    EXPECT_TRUE(w->Open()) << script_.Report();
    w->show();
    EXPECT_TRUE(script_.Done()) << script_.Report();
    EXPECT_TRUE(w->logic().connected());
    return w;
  }

  std::string Archive(const std::string& name) const {
    return (fs::path(dir_.path()) / "archives" / name).string();
  }
  QString T(uint32_t id) const { return QText(*lang_, id); }

  static void Type(QLineEdit* edit, const std::string& text) {
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, QString::fromStdString(text));
  }
  static QTreeWidgetItem* Row(CBoxTreeList* list, int i) {
    return list->device_row()->child(i);
  }

  std::unique_ptr<desktop::LanguageLibrary> lang_;
  std::unique_ptr<BoxService> boxlink_;
  std::unique_ptr<ResponsiveBoxService> service_;
  std::unique_ptr<AuthDialogLibrary> prompt_;
  std::unique_ptr<DiscoveryLibrary> discovery_;
  platform::ScopedTempDir dir_;
  DialogScript script_;
};

TEST_P(PagesDeviceTest, BackUpRestoreIntoAnEmptiedDeviceThenAppend) {
  devsim::ScopedDevice dev(GetParam(), {}, FewBoxes());
  ASSERT_TRUE(dev.ok()) << dev.error();
  auto w = Connect(dev);
  CBackupPage* page = w->backup_page();
  CBoxTreeList* list = page->box_list();
  ASSERT_EQ(list->device_row()->childCount(), 3);
  const auto before = dev->store().ListBoxes();
  const auto documents = Documents(dev);
  std::vector<QString> listed_before;
  for (int i = 0; i < 3; ++i) listed_before.push_back(Row(list, i)->text(1));

  // Boxes 1 and 3; a target in a folder that does not exist yet.
  Row(list, 1)->setCheckState(0, Qt::Unchecked);
  const std::string archive = Archive("office.zip");
  EXPECT_FALSE(w->action_button()->isEnabled());
  Type(page->target(), archive);
  EXPECT_TRUE(script_.Done()) << script_.Report();
  EXPECT_TRUE(fs::is_directory(fs::path(archive).parent_path()));
  ASSERT_TRUE(w->action_button()->isEnabled());

  int highest = 0;
  QString result;
  script_.Expect("CProgressDlg", WatchProgress(&highest));
  script_.Expect("QMessageBox", PressOk(&result));
  QTest::mouseClick(w->action_button(), Qt::LeftButton);
  EXPECT_TRUE(script_.Done()) << script_.Report();
  EXPECT_EQ(result, T(51));
  EXPECT_GT(highest, 0) << "the bar never moved";
  EXPECT_TRUE(fs::is_regular_file(archive));
  EXPECT_EQ(w->status_label()->text(), T(34));

  // The list was filled again: a box whose date the device recorded shows
  // the new date, the others what they showed before.
  const auto after = dev->store().ListBoxes();
  ASSERT_EQ(list->device_row()->childCount(), 3);
  int recorded = 0;
  for (int i = 0; i < 3; ++i) {
    const bool changed = after[i].last_backup_date != before[i].last_backup_date;
    recorded += changed;
    if (i == 1) {
      EXPECT_FALSE(changed) << "an unchosen box keeps its date";
    }
    EXPECT_EQ(Row(list, i)->text(1) != listed_before[i], changed) << i;
  }
  if (GetParam() != devsim::Layout::kShared) {
    EXPECT_EQ(recorded, 2) << "the device keeps last-backup dates";
  }
  EXPECT_TRUE(page->target()->text().isEmpty()) << "Refresh clears it";

  // The device loses everything.
  std::string error;
  for (const devsim::BoxInfo& b : after)
    ASSERT_TRUE(dev->store().DeleteBox(b.number, &error)) << error;

  // The Restore page reads the archive typed into it.
  w->sheet()->setCurrentWidget(w->restore_page());
  CRestorePg* restore = w->restore_page();
  EXPECT_FALSE(w->action_button()->isEnabled());
  Type(restore->archive(), archive);
  EXPECT_TRUE(script_.Done()) << script_.Report();
  EXPECT_EQ(restore->type_line()->text(), T(185) + " " + T(182));
  EXPECT_TRUE(restore->time_line()->text().startsWith(T(184) + " : "));
  EXPECT_NE(restore->time_line()->text(), T(184) + " : " + kNever);
  CBoxTreeList* rlist = restore->box_list();
  ASSERT_EQ(rlist->device_row()->childCount(), 2);
  EXPECT_EQ(Row(rlist, 0)->data(0, Qt::UserRole).toUInt(), before[0].number);
  EXPECT_EQ(Row(rlist, 1)->data(0, Qt::UserRole).toUInt(), before[2].number);
  for (int i = 0; i < 2; ++i)
    EXPECT_TRUE(Row(rlist, i)->text(1).endsWith(" KB") ||
                Row(rlist, i)->text(1).endsWith(" MB"));
  EXPECT_TRUE(restore->size_line()->text().startsWith(T(107)));
  ASSERT_TRUE(w->action_button()->isEnabled());

  // Overwrite, into the emptied device.
  script_.Expect("CRestoreModeSettings", Click("ok"));
  script_.Expect("CProgressDlg", WatchProgress(&highest));
  script_.Expect("QMessageBox", PressOk(&result));
  highest = 0;
  QTest::mouseClick(w->action_button(), Qt::LeftButton);
  EXPECT_TRUE(script_.Done()) << script_.Report();
  EXPECT_EQ(result, T(54));
  EXPECT_GT(highest, 0);
  auto restored = Documents(dev);
  EXPECT_EQ(restored.size(), 2u);
  EXPECT_EQ(restored[before[0].number], documents.at(before[0].number));
  EXPECT_EQ(restored[before[2].number], documents.at(before[2].number));
  EXPECT_EQ(restored.count(before[1].number), 0u);
  // The Backup page lists the restored boxes.
  EXPECT_EQ(list->device_row()->childCount(), 2);

  // Append: every document comes again under a numbered name.
  script_.Expect("CRestoreModeSettings", [](QWidget* d) {
    d->findChild<QRadioButton*>("append")->setChecked(true);
    QTest::mouseClick(d->findChild<QPushButton*>("ok"), Qt::LeftButton);
  });
  script_.Expect("CProgressDlg", WatchProgress(&highest));
  script_.Expect("QMessageBox", PressOk(&result));
  QTest::mouseClick(w->action_button(), Qt::LeftButton);
  EXPECT_TRUE(script_.Done()) << script_.Report();
  EXPECT_EQ(result, T(54));
  auto twice = Documents(dev);
  for (uint32_t box : {before[0].number, before[2].number}) {
    std::multiset<std::string> expected = documents.at(box);
    for (const std::string& name : documents.at(box)) expected.insert(name + "-001");
    EXPECT_EQ(twice[box], expected) << "box " << box;
  }
  // Nothing of the run is left in the program-data folder.
  const fs::path data = platform::Env::Current()->ProgramDataDir();
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(data, ec))
    EXPECT_FALSE(e.is_regular_file()) << e.path();
}

INSTANTIATE_TEST_SUITE_P(Layouts, PagesDeviceTest,
                         testing::Values(devsim::Layout::kShared,
                                         devsim::Layout::kClassic,
                                         devsim::Layout::kStorage),
                         [](const auto& info) {
                           return std::string(devsim::LayoutName(info.param));
                         });

using PagesCancelTest = PagesDeviceTest;

TEST_F(PagesCancelTest, CancelMidRunEndsCancelledWithTheDeviceReleased) {
  devsim::PopulateOptions many = FewBoxes();
  many.documents = 4;
  devsim::ScopedDevice dev(devsim::Layout::kClassic, {}, many);
  ASSERT_TRUE(dev.ok()) << dev.error();
  devsim::Fault slow;
  slow.kind = devsim::Fault::Kind::kDelay;
  slow.delay = std::chrono::milliseconds(20);
  dev->faults().Arm("ftp.RETR", slow, -1);
  auto w = Connect(dev);
  const std::string archive = Archive("cancelled.zip");
  Type(w->backup_page()->target(), archive);

  QString question, result;
  script_.Expect("CProgressDlg", [](QWidget* d) {
    auto* dlg = qobject_cast<CProgressDlg*>(d);
    auto* timer = new QTimer(dlg);
    QObject::connect(timer, &QTimer::timeout, [dlg, timer] {
      if (dlg->bar()->value() < 5) return;
      timer->stop();
      QTimer::singleShot(0, dlg, [dlg] {
        QTest::mouseClick(dlg->cancel_button(), Qt::LeftButton);
      });
    });
    timer->start(2);
  });
  script_.Expect("QMessageBox", Press(desktop::Answer::kYes, &question));
  script_.Expect("QMessageBox", PressOk(&result));
  QTest::mouseClick(w->action_button(), Qt::LeftButton);
  EXPECT_TRUE(script_.Done()) << script_.Report();
  EXPECT_EQ(question, T(49));
  EXPECT_EQ(result, T(10012));
  devsim::web::BoxCgiState& state = devsim::web::BoxCgiStateOf(*dev);
  EXPECT_FALSE(state.exclusive());
  EXPECT_EQ(state.ftp_user(w->logic().link().session.SessionId), "");
  EXPECT_FALSE(fs::exists(archive));
}

// An archive of one device, written without the window.
void BackUp(devsim::ScopedDevice& dev, const std::string& archive) {
  DeviceLink link;
  ConnectOptions c;
  c.address = dev->address();
  c.port = dev->profile().web_port;
  c.password = dev->profile().admin_password;
  ASSERT_EQ(link.Connect(c), 0u);
  BoxlinkJobBackend backend(link);
  JobFrame frame(backend);
  JobRequest r;
  r.kind = JobKind::kBackup;
  r.archive_path = archive;
  for (const devsim::BoxInfo& b : dev->store().ListBoxes())
    r.boxes.push_back(b.number);
  fs::create_directories(fs::path(archive).parent_path());
  JobResult result = frame.Run(r);
  ASSERT_EQ(result.outcome, kOutcomeDone) << result.error;
}

TEST_F(PagesCancelTest, ArchivesThatCannotBeRestoredSaySoAndDisableTheAction) {
  devsim::ScopedDevice other(devsim::Layout::kShared, {}, FewBoxes());
  ASSERT_TRUE(other.ok()) << other.error();
  const std::string foreign = Archive("other-series.zip");
  BackUp(other, foreign);
  const std::string junk = Archive("junk.zip");
  std::ofstream(junk) << "not an archive at all";

  devsim::ScopedDevice dev(devsim::Layout::kClassic, {}, FewBoxes());
  ASSERT_TRUE(dev.ok()) << dev.error();
  auto w = Connect(dev);
  w->sheet()->setCurrentWidget(w->restore_page());
  CRestorePg* page = w->restore_page();

  QString message;
  script_.Expect("QMessageBox", PressOk(&message));
  Type(page->archive(), foreign);
  EXPECT_TRUE(script_.Done()) << script_.Report();
  EXPECT_EQ(message, T(200));
  EXPECT_EQ(page->box_list()->device_row()->childCount(), 3) << "still shown";
  EXPECT_FALSE(w->action_button()->isEnabled());

  script_.Expect("QMessageBox", PressOk(&message));
  Type(page->archive(), junk);
  EXPECT_TRUE(script_.Done()) << script_.Report();
  EXPECT_EQ(message, T(102));
  EXPECT_TRUE(page->archive()->text().isEmpty());
  EXPECT_EQ(page->box_list()->topLevelItemCount(), 0);
  EXPECT_EQ(page->type_line()->text(), T(185));
  EXPECT_FALSE(w->action_button()->isEnabled());
}

}  // namespace
}  // namespace keeper
