#include "finder/ui/dialogs.h"

#include <QApplication>
#include <QWidget>
#include <filesystem>

#include "desktop/language.h"
#include "desktop/qt/qt_screen.h"
#include "finder/library_state.h"
#include "finder/product_definition.h"
#include "finder/snmp_settings.h"
#include "finder/ui/discovery_local.h"
#include "finder/ui/local_discovery_cfg_dlg.h"
#include "finder/ui/manual_selection_dlg.h"
#include "finder/ui/snmp_settings_dlg.h"
#include "platform/event.h"

namespace finder::ui {
namespace {

// The base name of the language library of the other applications.
constexpr char kDefaultLanguage[] = "finderlang";
// Where the SNMP settings dialog opens for a caller without a window.
constexpr int kSettingsDialogPosition = 150;

class NoTexts final : public desktop::Texts {
 public:
  std::string_view Text(uint32_t) const override { return {}; }
  uint32_t LanguageId() const override { return desktop::kLangEnglishUS; }
};

// A program without Qt of its own gets an application object for the time
// the library is loaded.
bool EnsureApplication() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) return true;
  if (QCoreApplication::instance()) return false;  // not a widget program
  static int argc = 1;
  static char name[] = "finder";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return app != nullptr;
}

void ShowNoLanguage() {
  NoTexts none;
  desktop::QtScreen screen(none, nullptr);
  screen.Show({desktop::UiText::Of(kNoLanguageLibrary),
               desktop::UiText::Of(kEncryptFailedCaption), desktop::Icon::kError});
}

}  // namespace

std::unique_ptr<desktop::LanguageLibrary> LoadLanguage(const std::string& location,
                                                       std::string* error) {
  std::filesystem::path p(location);
  const std::string folder = p.parent_path().string();
  const std::string base = p.filename().string();
  const std::string chosen = desktop::ChooseLanguage();
  for (const std::string& tag : {chosen, std::string("en")}) {
    std::string path = folder + "/lib" + base + "_" + tag + ".so";
    if (auto lang = desktop::LanguageLibrary::LoadPath(path, error)) return lang;
  }
  return nullptr;
}

std::string LanguageLocation(const CDiscoveryModule& module, int product_code) {
  if (!State().language_path.empty()) return State().language_path;
  std::string base = product_code == -1 && !module.language_library().empty()
                         ? module.language_library()
                         : kDefaultLanguage;
  return FinderFolder() + "/" + base;
}

std::unique_ptr<CSNMPSettingsDlg> MakeSnmpSettingsDlg(const CDiscoveryModule& module,
                                                      const desktop::LanguageLibrary& lang,
                                                      int product_code, bool v3_allowed,
                                                      QWidget* parent,
                                                      const CallerStore& caller) {
  std::string library = product_code == -1
                            ? TextOf(lang, module.generic().ResourceId(kResIdFileLibrary))
                            : lang(text::kIdFileLibrary);
  StoreContext store = ContextFor(module, lang, kResDialogRegBase);
  store.printer = caller.printer;
  if (StoreKindOf(store.module_type) != StoreKind::kRegistry && !caller.ini_path.empty())
    store.ini_path = caller.ini_path;
  return std::make_unique<CSNMPSettingsDlg>(
      lang, product_code, v3_allowed, module.DeclaresCommunityName(),
      CSNMPRegistry(std::move(store)), IdFileLibrary(library), nullptr, parent);
}

QWidget* QtDialogHost::Owner() const {
  if (QWidget* w = QApplication::activeModalWidget()) return w;
  return parent_;
}

bool QtDialogHost::RunSearchSettings(SearchSettingsLogic& logic) {
  CLocalDiscoveryCfgDlg dialog(logic, lang_, Owner());
  return dialog.exec() == QDialog::Accepted;
}

bool QtDialogHost::RunManualSelection(ManualSelectionLogic& logic) {
  CManualSelection dialog(logic, lang_, Owner());
  return dialog.exec() == QDialog::Accepted;
}

bool QtDialogHost::RunSnmpSettings() {
  QWidget* owner = Owner();
  auto dialog = MakeSnmpSettingsDlg(module_, lang_, product_code_, true, owner);
  if (owner) {
    // Beside the window that opened it.
    dialog->adjustSize();
    dialog->move(owner->frameGeometry().topLeft() + QPoint(24, 24));
  }
  return dialog->exec() == QDialog::Accepted;
}

int RunDiscoveryDialog(int product_code, bool v3_support, const std::string& printer) {
  if (!EnsureApplication()) return 0;
  CDiscoveryModule& module = CDiscoveryModule::Instance();
  std::string error;
  auto lang = LoadLanguage(LanguageLocation(module, product_code), &error);
  if (!lang) {
    ShowNoLanguage();
    return 0;
  }
  // One discovery at a time, across the programs of the user.
  auto guard = AcquireDiscoveryGuard((*lang)(text::kEventName));
  if (!guard) return 0;
  desktop::QtScreen screen(*lang, nullptr, desktop::kFinderButtons);
  QtDialogHost host(module, *lang, product_code);
  ListOptions options;
  options.product_code = product_code;
  options.v3_support = v3_support;
  options.folder = FinderFolder();
  options.printer = printer;
  CDiscoveryLocal dialog(module, *lang, screen, host, std::move(options));
  host.set_parent(&dialog);
  dialog.exec();
  return 1;
}

int RunSnmpSettingsDialog(int product_code, bool v3_allowed, QWidget* near,
                          const CallerStore& caller) {
  if (!EnsureApplication()) return 0;
  const CDiscoveryModule& module = CDiscoveryModule::Instance();
  std::string error;
  auto lang = LoadLanguage(LanguageLocation(module, product_code), &error);
  if (!lang) {
    ShowNoLanguage();
    return 0;
  }
  auto dialog = MakeSnmpSettingsDlg(module, *lang, product_code, v3_allowed, near, caller);
  dialog->adjustSize();
  if (near) {
    dialog->move(near->frameGeometry().topLeft() + QPoint(24, 24));
  } else {
    dialog->move(kSettingsDialogPosition, kSettingsDialogPosition);
  }
  return dialog->exec() == QDialog::Accepted ? 1 : 0;
}

}  // namespace finder::ui
