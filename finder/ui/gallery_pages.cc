#include "finder/ui/gallery_pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <memory>

#include "desktop/language.h"
#include "desktop/qt/qt_screen.h"
#include "desktop/qt/strip_animation.h"
#include "desktop/testing/fake_screen.h"
#include "finder/product_definition.h"
#include "finder/testing/scripted_host.h"
#include "finder/ui/discovery_local.h"
#include "finder/ui/local_discovery_cfg_dlg.h"
#include "finder/ui/manual_selection_dlg.h"
#include "finder/ui/snmp_settings_dlg.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace finder::ui {
namespace {

// Devices as a search in an office would list them.
const DeviceRow kRows[] = {
    {"Tarn Office 3F", "192.0.2.15", 1, "3rd floor, copy room", "Varda 8000"},
    {"Tarn Office 3F", "192.0.2.15", 3, "3rd floor, copy room", "Varda 8000"},
    {"Reception", "192.0.2.21", 1, "Entrance hall", "Varda 5200"},
    {"Buchhaltung", "192.0.2.34", 1, "2. OG, Raum 214", "Varda 6400"},
    {"経理部 複合機", "192.0.2.40", 3, "本社 5階 コピー室", "Varda 6400"},
    {"研发部打印机", "192.0.2.41", 1, "二楼 东侧", "Varda 5200"},
    {"Lab printer", "2001:0db8:0000:0000:0000:0000:0000:0042", 1, "Building B",
     "Varda 8000"},
};

void Set(QWidget* parent, const char* name, const QString& text) {
  if (auto* e = parent->findChild<QLineEdit*>(name)) {
    e->setText(text);
    emit e->textEdited(text);
  }
}

void Click(QWidget* parent, const char* name) {
  if (auto* b = parent->findChild<QAbstractButton*>(name)) b->click();
}

std::unique_ptr<QMessageBox> Box(const desktop::Texts& t, uint32_t text,
                                 uint32_t caption, desktop::Icon icon) {
  return std::unique_ptr<QMessageBox>(desktop::MakeMessageBox(
      t, {desktop::UiText::Id(text), desktop::UiText::Id(caption), icon},
      desktop::Buttons::kOk, desktop::Answer::kOk, nullptr, desktop::kFinderButtons));
}

}  // namespace

void ShootFinderWindows(const desktop::LanguageLibrary& lang, const ShootFn& shoot) {
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  const QString l = lang.LanguageId() == desktop::kLangGerman ? "de" : "en";
  auto name = [&](const char* window, const char* state) {
    return QString("finder-%1-%2-%3").arg(window, state, l);
  };
  const desktop::Texts& t = lang;
  CDiscoveryModule module;
  module.LoadArchive(platform::Env::Default()->ProgramDir() + "/ZELT_Discovery.bin");
  desktop::FakeScreen screen(&t);
  testing::ScriptedHost host;

  // The device list: empty, searching, and with a device chosen.
  Protocols here;
  here.ipv4 = here.ipv6 = true;  // TCP/IP not usable: nothing is sent
  here.local_ipv4 = 0xC0000210;
  here.mask = 0xFFFFFF00;
  for (const char* state : {"empty", "searching", "chosen"}) {
    ListOptions o;
    o.folder = env.root();
    o.protocols = here;
    o.get = [](const std::string&, const std::string& oid, int) {
      return std::optional<std::string>(oid == "1.3.6.1.2.1.1.2.0"
                                            ? "1.3.6.1.4.1.58231.2.3.14.2"
                                            : "Varda 8000");
    };
    CDiscoveryLocal d(module, lang, screen, host, o);
    const std::string s = state;
    const size_t rows = s == "empty" ? 0 : s == "searching" ? 3 : std::size(kRows);
    // Rows go in as a search lists them; the list draws them.
    DiscoveryListLogic& logic = d.logic();
    for (size_t i = 0; i < rows; ++i) logic.AddRow(kRows[i]);
    ListView v = logic.view();
    if (s == "searching") {
      v.running = true;
      d.findChild<desktop::StripAnimation*>("progress")->ShowFrame(4);
    }
    if (s == "chosen") {
      logic.Select(0);
      v = logic.view();
      v.link = DevicePageUrl(kRows[0].address);
    }
    d.Draw(v);
    if (s == "searching") d.findChild<desktop::StripAnimation*>("progress")->Stop();
    d.resize(d.sizeHint().width(), 400);
    shoot(&d, name("list", state));
  }

  // The discovery settings: local subnet, an address range, all products.
  Protocols usable = here;
  usable.tcpip = true;
  SearchAvailability available{usable, true};
  for (const char* state : {"subnet", "range", "products"}) {
    SearchSettingsLogic logic(module, t, screen, host, available, {}, true,
                              CSNMPRegistry(StoreContext{}));
    CLocalDiscoveryCfgDlg d(logic, lang);
    const std::string s = state;
    if (s == "range") {
      Click(&d, "range");
      Set(&d, "ipv4From", "192.0.2.1");
      Set(&d, "ipv4To", "192.0.2.60");
      Set(&d, "ipv6From", "2001:db8::1");
      Set(&d, "ipv6To", "2001:db8::ff");
    }
    if (s == "products") Click(&d, "enlarge");
    shoot(&d, name("settings", state));
  }
  {
    auto box = Box(t, text::kIpv4RangeInvalid, text::kWarningCaption,
                   desktop::Icon::kWarning);
    shoot(box.get(), name("settings", "badrange"));
  }

  // Manual entry: IPv4, IPv6.
  for (const char* state : {"ipv4", "ipv6"}) {
    ManualSelectionLogic logic(screen, host, {true, true, false}, true,
                               {CSNMPRegistry(StoreContext{}), true, "idfile"}, {});
    CManualSelection d(logic, t);
    if (std::string(state) == "ipv4") {
      Set(&d, "ipv4Address", "192.0.2.77");
    } else {
      Click(&d, "chooseIpv6");
      Set(&d, "ipv6Address", "2001:db8::77");
    }
    Set(&d, "name", "Tarn Office 3F");
    Set(&d, "location", "3rd floor, copy room");
    shoot(&d, name("manual", state));
  }
  {
    auto box = Box(t, text::kListFull, text::kErrorCaption, desktop::Icon::kError);
    shoot(box.get(), name("list", "full"));
  }

  // The SNMP settings: SNMP v1/v2c, SNMPv3 typed in, both with an ID file.
  const std::string base = t(text::kSelectionBase) + "\\BRD";
  for (const char* state : {"v1", "v3typed", "bothidfile"}) {
    StoreContext c;
    c.module_type = "ZELT";
    c.settings_key = base;
    CSNMPSettingsDlg d(t, -1, true, true, CSNMPRegistry(c), IdFileLibrary("idfile"),
                       &screen);
    const std::string s = state;
    if (s == "v3typed") {
      Click(&d, "v3");
      Click(&d, "optionTyped");
      Set(&d, "user", "backup-admin");
      Set(&d, "authPassword", "authpass123");
      auto* priv = d.findChild<QComboBox*>("privProtocol");
      priv->setCurrentIndex(2);
      emit priv->activated(2);
      Set(&d, "privPassword", "privpass123");
    } else if (s == "bothidfile") {
      Click(&d, "v1v3");
      Set(&d, "community", "office-net");
      screen.files.push_back(env.root() + "/admin.id");
      IdFileLibrary("idfile").Encrypt(env.root() + "/admin.id",
                                      {"MFP", "admin", "authpass123", "", 2, 1});
      Click(&d, "browse");
    }
    shoot(&d, name("snmp", state));
  }
}

}  // namespace finder::ui
