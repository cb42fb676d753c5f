// What the C entry points open: the device list and the SNMP settings
// dialog, with the language library the product definition names, on the
// caller's Qt application (or one made for the call when the caller has
// none).
#pragma once

#include <memory>
#include <string>

#include "finder/dialog_host.h"

class QWidget;

namespace desktop {
class LanguageLibrary;
}

namespace finder {
class CDiscoveryModule;
}

namespace finder::ui {

class CSNMPSettingsDlg;

// The language library: "<folder>/lib<base>_<language>.so", English when
// that language has none. `location` is "<folder>/<base>".
std::unique_ptr<desktop::LanguageLibrary> LoadLanguage(const std::string& location,
                                                       std::string* error);
// Where the language library of the current product lies.
std::string LanguageLocation(const CDiscoveryModule& module, int product_code);

// Where a printer-driver caller keeps its SNMP settings: the printer whose
// data hold the community name, and the INI file it named for the version
// and the ID file (empty: the one under the user's profile).
struct CallerStore {
  std::string printer;
  std::string ini_path;
};

// The SNMP settings dialog of a product, with its stores.
std::unique_ptr<CSNMPSettingsDlg> MakeSnmpSettingsDlg(const CDiscoveryModule& module,
                                                      const desktop::LanguageLibrary& lang,
                                                      int product_code, bool v3_allowed,
                                                      QWidget* parent,
                                                      const CallerStore& caller = {});

// The sub-dialogs on Qt, over `parent`.
class QtDialogHost final : public DialogHost {
 public:
  QtDialogHost(const CDiscoveryModule& module, const desktop::LanguageLibrary& lang,
               int product_code)
      : module_(module), lang_(lang), product_code_(product_code) {}
  void set_parent(QWidget* parent) { parent_ = parent; }

  bool RunSearchSettings(SearchSettingsLogic& logic) override;
  bool RunManualSelection(ManualSelectionLogic& logic) override;
  bool RunSnmpSettings() override;

 private:
  // The window in front (the dialog that asked), else the parent.
  QWidget* Owner() const;
  const CDiscoveryModule& module_;
  const desktop::LanguageLibrary& lang_;
  const int product_code_;
  QWidget* parent_ = nullptr;
};

// Results of the entry points: 1 when the dialog ran (list) or was closed
// with OK (settings), else 0.
int RunDiscoveryDialog(int product_code, bool v3_support,
                       const std::string& printer = {});
int RunSnmpSettingsDialog(int product_code, bool v3_allowed, QWidget* near = nullptr,
                          const CallerStore& caller = {});

// The message shown when the language library cannot be loaded.
inline constexpr char kNoLanguageLibrary[] = "Could not load language library";

}  // namespace finder::ui
