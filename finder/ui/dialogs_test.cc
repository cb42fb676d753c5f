// finder's windows driven with QTest on the offscreen platform: the SNMP
// settings dialog stores and reads back every version and option, the
// settings and manual entry dialogs refuse and accept as their logic
// says, the list dialog keeps its column order.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <filesystem>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "desktop/language.h"
#include "desktop/testing/fake_screen.h"
#include "finder/discovery_session.h"
#include "finder/finder.h"
#include "finder/product_definition.h"
#include "finder/testing/scripted_host.h"
#include "finder/ui/discovery_local.h"
#include "finder/ui/local_discovery_cfg_dlg.h"
#include "finder/ui/manual_selection_dlg.h"
#include "finder/ui/snmp_settings_dlg.h"
#include "platform/event.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"
#include "platform/text.h"

namespace finder::ui {
namespace {

constexpr char kKey[] = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";

template <typename W>
W* Child(QWidget* parent, const char* name) {
  W* w = parent->findChild<W*>(name);
  EXPECT_NE(w, nullptr) << name;
  return w;
}

void Click(QWidget* parent, const char* name) {
  QAbstractButton* b = Child<QAbstractButton>(parent, name);
  ASSERT_TRUE(b->isEnabled()) << name;
  QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
}

void Type(QWidget* parent, const char* name, const QString& text) {
  QLineEdit* e = Child<QLineEdit>(parent, name);
  e->selectAll();
  QTest::keyClick(e, Qt::Key_Backspace);
  QTest::keyClicks(e, text);
}

class FinderDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    lang_ = desktop::LanguageLibrary::Load("finderlang", "en", &error);
    ASSERT_TRUE(lang_) << error;
    ASSERT_TRUE(module_.LoadArchive(platform::Env::Default()->ProgramDir() +
                                    "/ZELT_Discovery.bin"));
  }
  std::unique_ptr<CSNMPSettingsDlg> SettingsDialog() {
    return std::make_unique<CSNMPSettingsDlg>(
        *lang_, -1, true, true, CSNMPRegistry(Store()), IdFileLibrary("idfile"),
        &screen_);
  }
  StoreContext Store() { return ContextFor(module_, *lang_, kResDialogRegBase); }
  std::optional<platform::RegValue> Value(const char* name) {
    return env_.registry().GetValue(platform::RegRoot::kCurrentUser, kKey, name);
  }

  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
  std::unique_ptr<desktop::LanguageLibrary> lang_;
  CDiscoveryModule module_;
  desktop::FakeScreen screen_;
  testing::ScriptedHost host_;
};

TEST_F(FinderDialogsTest, SnmpSettingsStoreAndReadBackEveryVersionAndOption) {
  const std::string chosen = env_.root() + "/chosen.id";
  ASSERT_TRUE(IdFileLibrary("idfile").Encrypt(
      chosen, {"MFP", "fromfile", "filepass123", "", 1, 1}));
  struct Case {
    const char* version;  // radio
    const char* option;   // "" for v1 only
    uint32_t stored;
    V3Credentials expected;  // what discovery reads from the active ID file
  } cases[] = {
      {"v1", "", 1, {}},
      {"v3", "optionTyped", 3, {"MFP", "authpriv", "authpass123", "privpass123", 2, 4}},
      {"v3", "optionIdFile", 3, {"MFP", "fromfile", "filepass123", "", 1, 1}},
      {"v1v3", "optionTyped", 13, {"MFP", "authonly", "authpass123", "", 1, 1}},
      {"v1v3", "optionIdFile", 13, {"MFP", "fromfile", "filepass123", "", 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.version) + " " + c.option);
    auto d = SettingsDialog();
    d->show();
    Click(d.get(), c.version);
    Type(d.get(), "community", "lab-net");
    if (std::string(c.option) == "optionTyped") {
      Click(d.get(), c.option);
      Type(d.get(), "user", QString::fromStdString(c.expected.user));
      Type(d.get(), "authPassword", QString::fromStdString(c.expected.auth_password));
      auto* auth = Child<QComboBox>(d.get(), "authProtocol");
      auth->setCurrentIndex(c.expected.auth_protocol == 2 ? 1 : 0);
      emit auth->activated(auth->currentIndex());
      auto* priv = Child<QComboBox>(d.get(), "privProtocol");
      priv->setCurrentIndex(c.expected.priv_protocol == 4 ? 2 : 0);
      emit priv->activated(priv->currentIndex());
      if (!c.expected.priv_password.empty())
        Type(d.get(), "privPassword", QString::fromStdString(c.expected.priv_password));
    } else if (*c.option) {
      Click(d.get(), c.option);
      screen_.files.push_back(chosen);
      Click(d.get(), "browse");
      EXPECT_EQ(Child<QLineEdit>(d.get(), "idFile")->text().toStdString(), chosen);
    }
    Click(d.get(), "ok");
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_TRUE(screen_.shown().empty());
    EXPECT_EQ(Value("SNMPVersion"), platform::RegValue::Dword(c.stored));
    if (c.stored != 3) {
      EXPECT_EQ(Value("SNMPCommunityName"), platform::RegValue::String("lab-net"));
    }

    // Read back by a new dialog.
    auto again = SettingsDialog();
    EXPECT_TRUE(Child<QRadioButton>(again.get(), c.version)->isChecked());
    if (c.stored != 3) {
      EXPECT_EQ(Child<QLineEdit>(again.get(), "community")->text(), "lab-net");
    }
    if (*c.option) {  // an ID file is stored now: the typed option stands
      EXPECT_TRUE(Child<QRadioButton>(again.get(), "optionTyped")->isChecked());
    }

    // Read back by discovery.
    DiscoverySession session(module_, *lang_, screen_);
    session.LoadSnmpSettings();
    EXPECT_EQ(session.config().snmp_mode, c.stored);
    if (c.stored == 1) {
      EXPECT_FALSE(session.config().v3);
      EXPECT_EQ(session.config().community, "lab-net");
    } else {
      ASSERT_TRUE(session.config().v3);
      EXPECT_EQ(*session.config().v3, c.expected);
    }
  }
}

TEST_F(FinderDialogsTest, SnmpSettingsTypingAndCancel) {
  auto d = SettingsDialog();
  d->show();
  Click(d.get(), "v3");
  Click(d.get(), "optionTyped");
  auto* user = Child<QLineEdit>(d.get(), "user");
  QTest::keyClicks(user, "ad");
  QKeyEvent e_acute(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("\xC3\xA9"));
  QApplication::sendEvent(user, &e_acute);
  QTest::keyClicks(user, "min");
  EXPECT_EQ(user->text(), "admin");  // only 7-bit ASCII is taken
  EXPECT_FALSE(Child<QPushButton>(d.get(), "ok")->isEnabled());
  Type(d.get(), "authPassword", "authpass123");
  EXPECT_TRUE(Child<QPushButton>(d.get(), "ok")->isEnabled());
  EXPECT_FALSE(Child<QLineEdit>(d.get(), "privPassword")->isEnabled());
  EXPECT_FALSE(Child<QLineEdit>(d.get(), "community")->isEnabled());  // V3 only
  Click(d.get(), "cancel");
  EXPECT_EQ(d->result(), QDialog::Rejected);
  EXPECT_FALSE(Value("SNMPVersion"));  // Cancel writes nothing
  Click(d.get(), "restoreDefault");
}

TEST_F(FinderDialogsTest, SearchSettingsDialog) {
  SearchAvailability a;
  a.protocols.ipv4 = a.protocols.ipv6 = a.protocols.tcpip = true;
  a.protocols.local_ipv4 = 0x0A010241;
  a.protocols.mask = 0xFFFFFF00;
  SearchSettingsLogic logic(module_, *lang_, screen_, host_, a, {}, true,
                            CSNMPRegistry(Store()));
  CLocalDiscoveryCfgDlg d(logic, *lang_);
  d.show();
  EXPECT_FALSE(Child<QCheckBox>(&d, "ipx")->isEnabled());
  EXPECT_NE(d.findChild<QWidget*>("ipxReason"), nullptr);
  EXPECT_EQ(Child<QLineEdit>(&d, "ipv4From")->text(), "10.1.2.0");
  EXPECT_FALSE(Child<QLineEdit>(&d, "ipv4From")->isEnabled());
  auto* products = Child<QListWidget>(&d, "products");
  ASSERT_EQ(products->count(), 3);
  EXPECT_EQ(products->item(0)->text(), "Corvane Varda series");
  const int one_line = products->height();
  Click(&d, "enlarge");
  EXPECT_GT(products->height(), one_line);

  Click(&d, "range");
  ASSERT_TRUE(Child<QLineEdit>(&d, "ipv4From")->isEnabled());
  Type(&d, "ipv4From", "10.0.0.9");
  Type(&d, "ipv4To", "10.0.0.1");
  Click(&d, "ipv6");  // IPv6 off: no IPv6 range needed
  Click(&d, "ok");
  EXPECT_TRUE(d.isVisible());  // refused
  ASSERT_EQ(screen_.shown().size(), 1u);
  EXPECT_EQ(screen_.shown()[0].message.text.id, 24u);
  EXPECT_EQ(d.focusWidget(), Child<QLineEdit>(&d, "ipv4From"));
  Type(&d, "ipv4To", "10.0.0.20");
  // Unchecking a product reaches the definition on OK.
  products->item(1)->setCheckState(Qt::Unchecked);
  Click(&d, "ok");
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(logic.view().values.ipv4_to, "10.0.0.20");
  EXPECT_FALSE(module_.products().ByKey("VARDA_STORAGE")->checked);
  Click(&d, "snmpSettings");
  EXPECT_EQ(host_.snmp_settings_runs, 1);
}

TEST_F(FinderDialogsTest, ManualSelectionDialog) {
  std::vector<std::string> asked;
  ManualSelectionLogic logic(
      screen_, host_, {true, true, false}, true,
      {CSNMPRegistry(Store()), true, "idfile"}, {},
      [&](const std::string& address, const std::string& oid, int) {
        asked.push_back(address);
        return std::optional<std::string>(oid == "1.3.6.1.2.1.1.5.0" ? "Varda 8000"
                                                                     : "DEV1");
      });
  CManualSelection d(logic, *lang_);
  d.show();
  EXPECT_FALSE(Child<QLineEdit>(&d, "ipxNetwork")->isEnabled());
  EXPECT_TRUE(Child<QRadioButton>(&d, "chooseIpv4")->isChecked());
  Click(&d, "ok");  // no name
  EXPECT_EQ(screen_.shown().back().message.text.id, 51u);
  EXPECT_EQ(d.focusWidget(), Child<QLineEdit>(&d, "name"));
  Type(&d, "name", "Lab printer");
  Type(&d, "location", "Room 1");
  Click(&d, "chooseIpv6");
  EXPECT_FALSE(Child<QLineEdit>(&d, "ipv4Address")->isEnabled());
  Type(&d, "ipv6Address", "fd77:0:0:0::c");
  Click(&d, "ok");
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(logic.row(), (DeviceRow{"Lab printer", "fd77::c", 1, "Room 1", "Varda 8000"}));
  EXPECT_EQ(asked.size(), 2u);
}

TEST_F(FinderDialogsTest, ListDialogKeepsItsColumnOrder) {
  const std::string order_key = "Software\\TALLIS\\Corvane TALLIS Client\\LDTabOrder";
  env_.registry().SetValue(platform::RegRoot::kCurrentUser, order_key, "ColumnOrder",
                           platform::RegValue::String("30124"));
  ListOptions o;
  o.folder = env_.root();
  o.protocols = Protocols{};  // nothing usable: no search sends anything
  {
    CDiscoveryLocal d(module_, *lang_, screen_, host_, o);
    d.show();
    QHeaderView* h = Child<QTreeWidget>(&d, "devices")->header();
    EXPECT_EQ(h->logicalIndex(0), 3);  // the location first
    EXPECT_EQ(h->logicalIndex(1), 0);
    EXPECT_FALSE(Child<QPushButton>(&d, "ok")->isEnabled());
    h->moveSection(h->visualIndex(1), 0);  // the user drags the address first
    QTest::keyClick(&d, Qt::Key_F1);  // help: the page is missing here
    ASSERT_EQ(screen_.shown().size(), 1u);
    Click(&d, "cancel");
    EXPECT_EQ(d.result(), QDialog::Rejected);
  }
  EXPECT_EQ(env_.registry().GetValue(platform::RegRoot::kCurrentUser, order_key,
                                     "ColumnOrder"),
            platform::RegValue::String("13024"));
}

// The entry points that open windows, loaded by path as their callers do.
class EntryPointsTest : public FinderDialogsTest {
 protected:
  void SetUp() override {
    FinderDialogsTest::SetUp();
    handle_ = dlopen((platform::Env::Default()->ProgramDir() + "/libfinder.so").c_str(),
                     RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_) dlclose(handle_);
  }
  template <typename Fn>
  Fn* Get(const char* name) {
    return reinterpret_cast<Fn*>(dlsym(handle_, name));
  }
  // Runs `script` on the first modal dialog of that name.
  static void OnDialog(const char* name, std::function<void(QDialog*)> script) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, name, script] {
      auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!d || !d->isVisible() || d->objectName() != name) return;
      timer->stop();
      timer->deleteLater();
      script(d);
    });
    timer->start();
  }
  // After a while, closes whatever modal window is still open over `d` (a
  // message that a refused OK raised, then `d` itself), so that a fault
  // fails the test instead of keeping it waiting. The timer goes with `d`.
  static void CloseWhatStaysOpen(QDialog* d) {
    auto* timer = new QTimer(d);
    timer->setInterval(200);
    int ticks = 0;
    QObject::connect(timer, &QTimer::timeout, [ticks]() mutable {
      if (++ticks < 25) return;
      if (auto* w = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        ADD_FAILURE() << "still open: " << w->objectName().toStdString();
        w->reject();
      }
    });
    timer->start();
  }
  std::u16string Definition() {
    return platform::Utf8ToUtf16(platform::Env::Default()->ProgramDir() +
                                 "/ZELT_Discovery.bin");
  }
  void* handle_ = nullptr;
};

TEST_F(EntryPointsTest, SettingsDialogForCallers) {
  auto ex = Get<decltype(CallSNMPSettingsDlgEx)>("CallSNMPSettingsDlgEx");
  const std::u16string folder = platform::Utf8ToUtf16(platform::Env::Default()->ProgramDir());
  OnDialog("CSNMPSettingsDlg", [](QDialog* d) {
    Click(d, "v1v3");
    Click(d, "optionTyped");
    Type(d, "user", "authonly");
    Type(d, "authPassword", "authpass123");
    Click(d, "ok");
  });
  EXPECT_EQ(ex(Definition().c_str(), folder.c_str()), 1);
  EXPECT_EQ(Value("SNMPVersion"), platform::RegValue::Dword(13));
  OnDialog("CSNMPSettingsDlg", [](QDialog* d) { Click(d, "cancel"); });
  EXPECT_EQ(Get<decltype(CallSNMPSettingsDlg)>("CallSNMPSettingsDlg")(-1, 1), 0);
  EXPECT_EQ(Get<decltype(CallSNMPSettingsDlg)>("CallSNMPSettingsDlg")(5, 1), 0);
}

// A printer driver's settings: the community name in that printer's data,
// the version in the INI file the caller names (or the one under the
// user's profile).
TEST_F(EntryPointsTest, SettingsDialogForPrinterDrivers) {
  CDiscoveryModule fax = module_;
  fax.set_module_type("FAX");
  const std::string fax_bin = env_.root() + "/fax.bin";
  ASSERT_TRUE(fax.SaveArchive(fax_bin));
  CDiscoveryModule pd = module_;
  pd.set_module_type("PD");
  const std::string pd_bin = env_.root() + "/pd.bin";
  ASSERT_TRUE(pd.SaveArchive(pd_bin));
  auto& reg = env_.registry();
  const auto user = platform::RegRoot::kCurrentUser;
  reg.SetValue(user, "Printers\\Office MFP", "SNMP Community",
               platform::RegValue::String("office"));
  reg.SetValue(user, "Printers\\Hall MFP", "SNMP Community",
               platform::RegValue::String("hall"));
  char office[] = "Office MFP";
  char hall[] = "Hall MFP";

  QString shown;
  OnDialog("CSNMPSettingsDlg", [&](QDialog* d) {
    shown = Child<QLineEdit>(d, "community")->text();
    Type(d, "community", "fax-net");
    CloseWhatStaysOpen(d);
    Click(d, "ok");
  });
  auto fax_dlg = Get<decltype(CallSNMPSettingsDlgFaxEx1)>("CallSNMPSettingsDlgFaxEx1");
  EXPECT_EQ(fax_dlg(platform::Utf8ToUtf16(fax_bin).c_str(), office, nullptr),
            LD_ERROR_SUCCESS);
  EXPECT_EQ(shown, "office");
  EXPECT_EQ(reg.GetValue(user, "Printers\\Office MFP", "SNMP Community"),
            platform::RegValue::String("fax-net"));
  EXPECT_EQ(reg.GetValue(user, "Printers\\Hall MFP", "SNMP Community"),
            platform::RegValue::String("hall"));

  const std::string ini = env_.root() + "/driver/snmp.ini";
  std::filesystem::create_directories(env_.root() + "/driver");
  OnDialog("CSNMPSettingsDlg", [&](QDialog* d) {
    shown = Child<QLineEdit>(d, "community")->text();
    CloseWhatStaysOpen(d);
    Click(d, "ok");
  });
  auto pd_dlg = Get<decltype(CallSNMPSettingsDlgPDEx1)>("CallSNMPSettingsDlgPDEx1");
  EXPECT_EQ(pd_dlg(platform::Utf8ToUtf16(pd_bin).c_str(),
                   platform::Utf8ToUtf16(ini).c_str(), hall, nullptr),
            LD_ERROR_SUCCESS);
  EXPECT_EQ(shown, "hall");
  EXPECT_EQ(ReadIniValue(ini, "SNMP", "SNMPVersion"), "1");
}

TEST_F(EntryPointsTest, PrinterDriverDiscoveryReadsThePrinterCommunity) {
  auto fax = Get<decltype(DoNetworkDiscoveryFaxEx)>("DoNetworkDiscoveryFaxEx");
  char printer[] = "Office MFP";
  const std::u16string port = u"IP_10.0.0.5";
  auto& reg = env_.registry();
  const auto user = platform::RegRoot::kCurrentUser;
  // A printer the store does not know: no valid handle.
  EXPECT_EQ(fax(Definition().c_str(), port.c_str(), printer), LD_ERROR_DRIVER_NULL);
  // A value that is no text: any other error.
  reg.SetValue(user, "Printers\\Office MFP", "SNMP Community", platform::RegValue::Dword(7));
  EXPECT_EQ(fax(Definition().c_str(), port.c_str(), printer), LD_ERROR_OTHER_VALUE);
  // None stored ("public") or one stored: the dialog runs.
  reg.DeleteValue(user, "Printers\\Office MFP", "SNMP Community");
  for (int run = 0; run < 2; ++run) {
    bool shown = false;
    OnDialog("CDiscoveryLocal", [&](QDialog* d) {
      shown = true;
      Click(d, "cancel");
    });
    EXPECT_EQ(fax(Definition().c_str(), port.c_str(), printer), LD_ERROR_SUCCESS);
    EXPECT_TRUE(shown);
    reg.SetValue(user, "Printers\\Office MFP", "SNMP Community",
                 platform::RegValue::String("office"));
  }
  // While another discovery is open the list does not run: no success.
  auto open = platform::Event::CreateNamed("LaunchLD", false, false);
  bool shown = false;
  OnDialog("CDiscoveryLocal", [&](QDialog* d) {
    shown = true;
    Click(d, "cancel");
  });
  EXPECT_EQ(fax(Definition().c_str(), port.c_str(), printer), LD_ERROR_OTHER_VALUE);
  EXPECT_FALSE(shown);
  open.reset();
  EXPECT_EQ(fax(Definition().c_str(), port.c_str(), printer), LD_ERROR_SUCCESS);
  EXPECT_TRUE(shown);
}

}  // namespace
}  // namespace finder::ui
