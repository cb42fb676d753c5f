// keeper's main window against simulated devices, with the real box
// service library, password prompt, cipher and digest libraries loaded by
// path, driven as a user would: the password typed into the prompt, menu
// commands, keys and dialog buttons.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>
#include <optional>
#include <vector>

#include "desktop/language.h"
#include "devsim/testing/device_fixture.h"
#include "devsim/web/web_service.h"
#include "keeper/app/box_service.h"
#include "keeper/app/outside_libraries.h"
#include "keeper/ui/main_dlg.h"
#include "keeper/ui/pages.h"
#include "keeper/ui/qt_text.h"
#include "keeper/ui/responsive_box_service.h"
#include "keeper/ui/single_instance.h"
#include "keeper/ui/testing/dialog_script.h"
#include "keeper/ui/widgets.h"
#include "platform/env.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace keeper {
namespace {

using testing_ui::CancelPrompt;
using testing_ui::Click;
using testing_ui::DialogScript;
using testing_ui::Press;
using testing_ui::PressOk;
using testing_ui::TypePassword;

constexpr char kVendorKey[] = "Software\\TALLIS";
constexpr char kBaseKey[] = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";

devsim::PopulateOptions FewBoxes(uint32_t seed = 1) {
  devsim::PopulateOptions p;
  p.seed = seed;
  p.boxes = 4;
  p.folders = 1;
  p.documents = 1;
  p.pages = 1;
  p.page_bytes = 512;
  return p;
}

// The device discovery as keeper meets it: the real discovery library,
// loaded by its name and called with the product definition; its device
// list window opens. A search needs a network of devices, which this test
// has not, so the user closes the list (CloseTheList) and what was picked
// in it is written here afterwards, the hard way a confirmed choice could
// be stored: the selection key deleted and written again with the devices
// found and the one selected. Without a pick nothing is stored.
DialogScript::Action CloseTheList() {
  return [](QWidget* w) { static_cast<QDialog*>(w)->reject(); };
}

class UserAtTheDiscovery final : public DiscoveryLibrary {
 public:
  UserAtTheDiscovery(DiscoveryLibrary& real, std::string base_key)
      : real_(real), base_key_(std::move(base_key)) {}

  void Next(std::vector<std::string> found, std::optional<size_t> pick) {
    found_ = std::move(found);
    pick_ = pick;
  }
  int calls() const { return calls_; }
  const std::string& definition() const { return definition_; }

  std::optional<DiscoveryEntries> Load(const std::string& name) override {
    std::optional<DiscoveryEntries> e = real_.Load(name);
    if (!e || !e->do_network_discovery_ex) return e;
    e->do_network_discovery_ex = [this, real = e->do_network_discovery_ex](
                                     const char16_t* definition) {
      ++calls_;
      definition_ = platform::Utf16ToUtf8(definition);
      const int result = real(definition);
      if (pick_) Store();
      return result;
    };
    return e;
  }

 private:
  void Store() const {
    platform::Registry& reg = platform::Env::Current()->registry();
    const auto set = [&](const std::string& name, const std::string& value) {
      reg.SetValue(platform::RegRoot::kCurrentUser, base_key_, name,
                   platform::RegValue::String(value));
    };
    reg.DeleteKeyTree(platform::RegRoot::kCurrentUser, base_key_);
    for (size_t n = 0; n < found_.size(); ++n) {
      const std::string i = std::to_string(n);
      set("Address" + i, found_[n]);
      set("Name" + i, "Found " + found_[n]);
      set("SNMP Version" + i, "V1/V2");
      set("Location" + i, "Lab");
      set("Model" + i, "Varda");
    }
    const std::string& chosen = found_.at(*pick_);
    set("Last Selected IP", chosen);
    set("Last Selected Name", "Found " + chosen);
    set("Last Selected Location", "Lab");
    set("Last Selected SNMP Version", "V1/V2");
  }

  DiscoveryLibrary& real_;
  const std::string base_key_;
  std::vector<std::string> found_;
  std::optional<size_t> pick_;
  int calls_ = 0;
  std::string definition_;
};

class MainDlgDeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    lang_ = desktop::LanguageLibrary::Load("keeperlang", "en", &error);
    ASSERT_TRUE(lang_) << error;
    // Every test starts as a first installation.
    Reg().DeleteKeyTree(platform::RegRoot::kCurrentUser, kVendorKey);
    boxlink_ = MakeBoxlinkService();
    service_ = std::make_unique<ResponsiveBoxService>(*boxlink_);
    prompt_ = MakeAuthDialogLibrary();
    discovery_ = MakeDiscoveryLibrary();
    user_ = std::make_unique<UserAtTheDiscovery>(*discovery_, kBaseKey);
  }

  static platform::Registry& Reg() {
    return platform::Env::Current()->registry();
  }
  static void Set(const std::string& name, const std::string& value) {
    Reg().SetValue(platform::RegRoot::kCurrentUser, kBaseKey, name,
                   platform::RegValue::String(value));
  }
  static std::string Get(const std::string& name) {
    auto v = Reg().GetValue(platform::RegRoot::kCurrentUser, kBaseKey, name);
    return v ? v->text : "(missing)";
  }
  // The device as the discovery leaves it: selected, and entry n of the
  // list of devices found.
  static void Select(const std::string& address) {
    Set("Last Selected IP", address);
    Set("Last Selected Name", "Device " + address);
    Set("Last Selected Location", "Lab");
    Set("Last Selected SNMP Version", "V1/V2");
  }
  static void List(int n, const std::string& address) {
    const std::string i = std::to_string(n);
    Set("Address" + i, address);
    Set("Name" + i, "Device " + address);
    Set("Model" + i, "Varda");
    Set("Location" + i, "Lab");
    Set("SNMP Version" + i, "V1/V2");
  }

  std::unique_ptr<CTARNBackupRestoreDlg> MakeWindow() {
    return std::make_unique<CTARNBackupRestoreDlg>(
        *lang_,
        CTARNBackupRestoreDlg::Libraries{
            *service_, *prompt_, *user_,
            platform::Env::Current()->ProgramDir()});
  }

  // The names of the boxes the Backup page lists.
  static std::vector<std::string> Listed(CTARNBackupRestoreDlg& w) {
    std::vector<std::string> out;
    QTreeWidgetItem* top = w.backup_page()->box_list()->device_row();
    for (int i = 0; top && i < top->childCount(); ++i)
      out.push_back(top->child(i)->text(0).toStdString());
    return out;
  }
  // What the Backup page should list for the device's store.
  static std::vector<std::string> Expected(devsim::ScopedDevice& dev) {
    std::vector<std::string> out;
    for (const devsim::BoxInfo& b : dev->store().ListBoxes()) {
      char number[8];
      std::snprintf(number, sizeof number, "%03u", b.number);
      out.push_back(std::string(number) + " " + b.name);
    }
    return out;
  }

  std::unique_ptr<desktop::LanguageLibrary> lang_;
  std::unique_ptr<BoxService> boxlink_;
  std::unique_ptr<ResponsiveBoxService> service_;
  std::unique_ptr<AuthDialogLibrary> prompt_;
  std::unique_ptr<DiscoveryLibrary> discovery_;
  std::unique_ptr<UserAtTheDiscovery> user_;
};

TEST_F(MainDlgDeviceTest, TheFirstStartFindsTheDeviceThenAsksAndLists) {
  devsim::ScopedDevice dev(devsim::Layout::kStorage, {}, FewBoxes());
  ASSERT_TRUE(dev.ok()) << dev.error();
  user_->Next({dev->address()}, 0);
  DialogScript script;
  script.Ignore("CConnectionDialog");
  script.Expect("CDiscoveryLocal", CloseTheList());
  script.Expect("CUserAuthenticationDlg", TypePassword("admin00"));
  auto w = MakeWindow();
  ASSERT_TRUE(w->Open()) << script.Report();
  w->show();
  EXPECT_TRUE(script.Done()) << script.Report();
  EXPECT_EQ(user_->calls(), 1);
  // The discovery got the product definition beside the program.
  EXPECT_EQ(user_->definition(),
            platform::Env::Current()->ProgramDir() + "/ZELT_Discovery.bin");
  EXPECT_TRUE(std::filesystem::exists(user_->definition()));
  EXPECT_EQ(w->logic().app().device.address, dev->address());
  EXPECT_EQ(w->logic().app().device.model, "Varda");
  EXPECT_TRUE(w->logic().connected());
  EXPECT_EQ(Listed(*w), Expected(dev));
  // What the discovery's rewrite of the key took away is back.
  EXPECT_EQ(Get("RetryInterval"), "5");
  EXPECT_EQ(Get("RetryCount"), "12");
}

TEST_F(MainDlgDeviceTest, AFirstStartWithoutAChoiceEndsWithoutAWindow) {
  user_->Next({}, std::nullopt);
  DialogScript script;
  script.Expect("CDiscoveryLocal", CloseTheList());
  auto w = MakeWindow();
  EXPECT_FALSE(w->Open());
  EXPECT_EQ(user_->calls(), 1);
  EXPECT_FALSE(w->isVisible());
  EXPECT_TRUE(script.Done()) << script.Report();  // nothing else appeared
  EXPECT_EQ(Get("Last Selected IP"), "(missing)");
}

TEST_F(MainDlgDeviceTest, DeviceDiscoverySwitchesAndComesBackWhenThePromptIsCancelled) {
  devsim::ScopedDevice a(devsim::Layout::kStorage, {}, FewBoxes(1));
  devsim::ScopedDevice b(devsim::Layout::kStorage, {}, FewBoxes(2));
  ASSERT_TRUE(a.ok() && b.ok());
  Select(a->address());
  List(0, a->address());
  DialogScript script;
  script.Ignore("CConnectionDialog");
  script.Expect("CUserAuthenticationDlg", TypePassword("admin00"));
  auto w = MakeWindow();
  ASSERT_TRUE(w->Open());
  w->show();
  ASSERT_TRUE(script.Done()) << script.Report();
  ASSERT_EQ(Listed(*w), Expected(a));

  // Closing the discovery without a choice changes nothing.
  user_->Next({}, std::nullopt);
  script.Expect("CDiscoveryLocal", CloseTheList());
  w->action(kCmdDeviceDiscovery)->trigger();
  EXPECT_EQ(user_->calls(), 1);
  EXPECT_TRUE(script.Done()) << script.Report();
  EXPECT_TRUE(w->isVisible()) << "the window comes back after the discovery";
  EXPECT_EQ(Listed(*w), Expected(a));

  // The other device is chosen, and its prompt cancelled: the first
  // device comes back, in the window and in the settings, connected with
  // the password it had.
  user_->Next({a->address(), b->address()}, 1);
  script.Expect("CDiscoveryLocal", CloseTheList());
  script.Expect("CUserAuthenticationDlg", CancelPrompt());
  w->action(kCmdDeviceDiscovery)->trigger();
  EXPECT_TRUE(script.Done()) << script.Report();
  EXPECT_EQ(Get("Last Selected IP"), a->address());
  // Its entry in the list of devices found is the one it had.
  EXPECT_EQ(Get("Last Selected Name"), "Device " + a->address());
  EXPECT_EQ(Get("Name0"), "Device " + a->address());
  EXPECT_EQ(w->logic().app().device.address, a->address());
  EXPECT_TRUE(w->logic().connected());
  EXPECT_EQ(Listed(*w), Expected(a));
  EXPECT_TRUE(w->address_bar()->address().contains(
      QString::fromStdString(a->address())));

  // Chosen again and answered: the window shows the other device.
  user_->Next({a->address(), b->address()}, 1);
  script.Expect("CDiscoveryLocal", CloseTheList());
  script.Expect("CUserAuthenticationDlg", TypePassword("admin00"));
  w->action(kCmdDeviceDiscovery)->trigger();
  EXPECT_TRUE(script.Done()) << script.Report();
  EXPECT_EQ(Get("Last Selected IP"), b->address());
  EXPECT_EQ(w->logic().app().device.address, b->address());
  EXPECT_EQ(Listed(*w), Expected(b));
  EXPECT_TRUE(w->isVisible());
}

TEST_F(MainDlgDeviceTest, StartAsksForThePasswordAndListsTheBoxes) {
  devsim::ScopedDevice dev(devsim::Layout::kStorage, {}, FewBoxes());
  ASSERT_TRUE(dev.ok()) << dev.error();
  Select(dev->address());
  DialogScript script;
  script.Ignore("CConnectionDialog");
  script.Expect("CUserAuthenticationDlg", TypePassword("admin00"));
  auto w = MakeWindow();
  ASSERT_TRUE(w->Open()) << script.Report();
  w->show();
  EXPECT_TRUE(script.Done()) << script.Report();
  EXPECT_TRUE(w->logic().connected());
  EXPECT_EQ(Listed(*w), Expected(dev));
  // Names beyond ASCII arrive whole.
  bool wide = false;
  for (const std::string& n : Listed(*w))
    wide |= QString::fromStdString(n).toUcs4().size() <
            static_cast<qsizetype>(n.size());
  EXPECT_TRUE(wide) << "the sample boxes should have non-ASCII names";
  EXPECT_TRUE(w->connection_icon_connected());
  EXPECT_EQ(w->status_label()->text(), QText(*lang_, 34));
  EXPECT_TRUE(w->address_bar()->address().contains(
      QString::fromStdString(dev->address())));
  EXPECT_EQ(Get("RetryInterval"), "5");
  EXPECT_EQ(Get("RetryCount"), "12");
}

TEST_F(MainDlgDeviceTest, RefreshReadsAgainWithoutAsking) {
  devsim::ScopedDevice dev(devsim::Layout::kStorage, {}, FewBoxes());
  ASSERT_TRUE(dev.ok()) << dev.error();
  Select(dev->address());
  DialogScript script;
  script.Ignore("CConnectionDialog");
  script.Expect("CUserAuthenticationDlg", TypePassword("admin00"));
  auto w = MakeWindow();
  ASSERT_TRUE(w->Open());
  w->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
  ASSERT_TRUE(script.Done()) << script.Report();

  devsim::BoxInfo box;
  box.number = 42;
  box.name = "Neu \xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84";
  std::string error;
  ASSERT_TRUE(dev->store().CreateBox(box, &error)) << error;
  // F5 while the window is in front; no prompt may appear.
  QTest::keyClick(w.get(), Qt::Key_F5);
  EXPECT_TRUE(script.Done()) << script.Report();
  EXPECT_EQ(Listed(*w), Expected(dev));
  EXPECT_EQ(Listed(*w).back(), "042 " + box.name);
  EXPECT_TRUE(w->logic().connected());
}

TEST_F(MainDlgDeviceTest, AWrongPasswordSaysSo) {
  devsim::ScopedDevice dev(devsim::Layout::kStorage, {}, FewBoxes());
  ASSERT_TRUE(dev.ok()) << dev.error();
  Select(dev->address());
  QString message;
  DialogScript script;
  script.Ignore("CConnectionDialog");
  script.Expect("CUserAuthenticationDlg", TypePassword("guess123"));
  script.Expect("QMessageBox", PressOk(&message));
  auto w = MakeWindow();
  ASSERT_TRUE(w->Open());
  EXPECT_TRUE(script.Done()) << script.Report();
  EXPECT_EQ(message, QString::fromStdString(dev->address()) + "\n" +
                         QText(*lang_, 68));
  EXPECT_FALSE(w->logic().connected());
  EXPECT_FALSE(w->connection_icon_connected());
  EXPECT_TRUE(Listed(*w).empty());
}

TEST_F(MainDlgDeviceTest, ASwitchedOffDeviceGivesTheNotFoundDialog) {
  std::string address;
  {
    devsim::ScopedDevice dev(devsim::Layout::kShared, {}, FewBoxes());
    ASSERT_TRUE(dev.ok()) << dev.error();
    address = dev->address();
  }  // switched off
  Select(address);
  DialogScript script;
  script.Ignore("CConnectionDialog");
  QString heading;
  script.Expect("CErrorDiscovery", [&](QWidget* d) {
    heading = d->findChild<QLabel*>("heading")->text();
    QTest::mouseClick(d->findChild<QPushButton*>("ok"), Qt::LeftButton);
  });
  auto w = MakeWindow();
  ASSERT_TRUE(w->Open());
  EXPECT_TRUE(script.Done()) << script.Report();
  EXPECT_TRUE(heading.contains(QText(*lang_, 67)));
  EXPECT_FALSE(w->logic().connected());
  EXPECT_FALSE(w->connection_icon_connected());
}

TEST_F(MainDlgDeviceTest, InitializeStorageAsksThenEmptiesTheDevice) {
  devsim::ScopedDevice dev(devsim::Layout::kShared, {}, FewBoxes());
  ASSERT_TRUE(dev.ok()) << dev.error();
  Select(dev->address());
  DialogScript script;
  script.Ignore("CConnectionDialog");
  script.Expect("CUserAuthenticationDlg", TypePassword("admin00"));
  auto w = MakeWindow();
  ASSERT_TRUE(w->Open());
  w->show();
  ASSERT_TRUE(script.Done()) << script.Report();
  const size_t boxes = dev->store().ListBoxes().size();
  ASSERT_GT(boxes, 0u);
  QAction* initialize = w->action(kCmdInitializeStorage);
  EXPECT_FALSE(initialize->isEnabled()) << "not on the Backup page";
  w->sheet()->setCurrentWidget(w->restore_page());
  ASSERT_TRUE(initialize->isEnabled());

  QString question;
  script.Expect("QMessageBox", Press(desktop::Answer::kNo, &question));
  initialize->trigger();
  EXPECT_TRUE(script.Done()) << script.Report();
  EXPECT_EQ(question, QText(*lang_, 63));
  EXPECT_EQ(dev->store().ListBoxes().size(), boxes);

  script.Expect("QMessageBox", Press(desktop::Answer::kYes));
  initialize->trigger();
  EXPECT_TRUE(script.Done()) << script.Report();
  EXPECT_TRUE(dev->store().ListBoxes().empty());
  EXPECT_TRUE(Listed(*w).empty());
  EXPECT_TRUE(w->logic().connected());
  EXPECT_EQ(w->status_label()->text(), QText(*lang_, 34));
}

TEST_F(MainDlgDeviceTest, AnotherDeviceAndBackWhenItsPromptIsCancelled) {
  devsim::ScopedDevice a(devsim::Layout::kStorage, {}, FewBoxes(1));
  devsim::ScopedDevice b(devsim::Layout::kStorage, {}, FewBoxes(2));
  ASSERT_TRUE(a.ok() && b.ok());
  Select(a->address());
  List(0, a->address());
  List(1, b->address());
  DialogScript script;
  script.Ignore("CConnectionDialog");
  script.Expect("CUserAuthenticationDlg", TypePassword("admin00"));
  auto w = MakeWindow();
  ASSERT_TRUE(w->Open());
  w->show();
  ASSERT_TRUE(script.Done()) << script.Report();
  ASSERT_EQ(Listed(*w), Expected(a));

  // Tools > Settings: the other device, whose prompt is cancelled.
  script.Expect("CDiscoveredDeviceDlg", [](QWidget* d) {
    auto* list = d->findChild<QTreeWidget*>("devices");
    list->setCurrentItem(list->topLevelItem(1));
    QTest::mouseClick(d->findChild<QPushButton*>("ok"), Qt::LeftButton);
  });
  script.Expect("CUserAuthenticationDlg", CancelPrompt());
  w->action(kCmdSettings)->trigger();
  EXPECT_TRUE(script.Done()) << script.Report();
  // The first device is back, connected with the password it had.
  EXPECT_EQ(Get("Last Selected IP"), a->address());
  EXPECT_EQ(w->logic().app().device.address, a->address());
  EXPECT_TRUE(w->logic().connected());
  EXPECT_EQ(Listed(*w), Expected(a));

  // And switching for real.
  script.Expect("CDiscoveredDeviceDlg", [](QWidget* d) {
    auto* list = d->findChild<QTreeWidget*>("devices");
    list->setCurrentItem(list->topLevelItem(1));
    QTest::mouseClick(d->findChild<QPushButton*>("ok"), Qt::LeftButton);
  });
  script.Expect("CUserAuthenticationDlg", TypePassword("admin00"));
  w->action(kCmdSettings)->trigger();
  EXPECT_TRUE(script.Done()) << script.Report();
  EXPECT_EQ(Get("Last Selected IP"), b->address());
  EXPECT_EQ(Listed(*w), Expected(b));
  EXPECT_TRUE(w->address_bar()->address().contains(
      QString::fromStdString(b->address())));
}

TEST_F(MainDlgDeviceTest, ASecondStartBringsTheFirstWindowForward) {
  devsim::ScopedDevice dev(devsim::Layout::kStorage, {}, FewBoxes());
  ASSERT_TRUE(dev.ok()) << dev.error();
  Select(dev->address());
  const std::string runtime =
      std::string(std::getenv("ZELT_TEST_ROOT")) + "/runtime";
  std::filesystem::create_directories(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime));

  // This process is the first keeper.
  SingleInstance first(QText(*lang_, 10011));
  ASSERT_EQ(first.Acquire(), SingleInstance::Start::kFirst);
  ASSERT_TRUE(first.Listen());
  DialogScript script;
  script.Ignore("CConnectionDialog");
  script.Expect("CUserAuthenticationDlg", TypePassword("admin00"));
  auto w = MakeWindow();
  QObject::connect(&first, &SingleInstance::raiseRequested, w.get(),
                   &CTARNBackupRestoreDlg::RaiseFromOutside);
  ASSERT_TRUE(w->Open());
  w->showMaximized();
  QApplication::processEvents();
  w->setWindowState(w->windowState() | Qt::WindowMinimized);
  ASSERT_TRUE(w->isMinimized());

  // The program started again: it asks this one to come forward and ends
  // without a window of its own.
  QProcess second;
  second.setProgram(QString::fromStdString(
      platform::Env::Current()->ProgramDir() + "/keeper"));
  const auto started = std::chrono::steady_clock::now();
  second.start();
  ASSERT_TRUE(second.waitForStarted(5000));
  while (second.state() != QProcess::NotRunning &&
         std::chrono::steady_clock::now() - started < std::chrono::seconds(20))
    QTest::qWait(20);
  ASSERT_EQ(second.state(), QProcess::NotRunning) << "the second start stayed";
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
  QTest::qWait(50);
  EXPECT_FALSE(w->isMinimized());
  EXPECT_TRUE(w->isMaximized()) << "back to its last show state";
  EXPECT_TRUE(script.Done()) << script.Report();
  // The second start never reached the device: its one session is ours.
  EXPECT_TRUE(w->logic().connected());
}

TEST_F(MainDlgDeviceTest, SigtermWhileThePromptIsUpClosesTheSession) {
  devsim::ScopedDevice dev(devsim::Layout::kStorage, {}, FewBoxes());
  ASSERT_TRUE(dev.ok()) << dev.error();
  Select(dev->address());
  const std::string runtime =
      std::string(std::getenv("ZELT_TEST_ROOT")) + "/runtime-sigterm";
  std::filesystem::create_directories(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime));
  devsim::web::WebService* web = devsim::web::WebService::Of(*dev);
  ASSERT_NE(web, nullptr);

  QProcess keeper;
  keeper.setProgram(QString::fromStdString(
      platform::Env::Current()->ProgramDir() + "/keeper"));
  keeper.start();
  ASSERT_TRUE(keeper.waitForStarted(5000));
  // The prompt names itself in the running-instance key while it is up.
  const std::string running = "Software\\TALLIS\\Corvane TALLIS Client\\Running";
  auto title = [&] {
    auto v = Reg().GetValue(platform::RegRoot::kCurrentUser, running,
                            "WndTitle");
    return v ? v->text : std::string();
  };
  const auto started = std::chrono::steady_clock::now();
  while (title() != lang_->Text(33) &&
         std::chrono::steady_clock::now() - started < std::chrono::seconds(20))
    QTest::qWait(20);
  ASSERT_EQ(title(), lang_->Text(33)) << "the prompt never came";
  ASSERT_EQ(web->OpenSessionCount(), 1u);

  keeper.terminate();  // SIGTERM
  ASSERT_TRUE(keeper.waitForFinished(20000));
  EXPECT_EQ(keeper.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(keeper.exitCode(), 0) << keeper.readAllStandardError().toStdString();
  EXPECT_EQ(web->OpenSessionCount(), 0u) << "the session was left open";
  EXPECT_FALSE(Reg().KeyExists(platform::RegRoot::kCurrentUser, running));
}

}  // namespace
}  // namespace keeper
