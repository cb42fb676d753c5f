// The logic of the discovery settings dialog (CLocalDiscoveryCfgDlg),
// apart from its window: the product check list, the protocol switches and
// their interplay, subnet versus range, OK's checks and what it keeps.
//
// The window draws view() after every command and forwards the user's
// input; message boxes go through desktop::Screen.
#pragma once

#include <string>
#include <vector>

#include "desktop/screen.h"
#include "finder/network.h"
#include "finder/search_settings.h"
#include "finder/snmp_settings.h"
#include "finder/texts.h"

namespace finder {

class CDiscoveryModule;
class DialogHost;

// The installation language, as far as product names depend on it.
enum class ProductLanguage { kJapanese, kTurkish, kOther };
// "LanguageInfo" under the installation's Info key (HKLM).
ProductLanguage InstallationLanguage();

// One line of the product check list.
struct ProductLine {
  std::string key;   // the product's Key
  std::string text;
  bool checked = false;
  bool operator==(const ProductLine&) const = default;
};

// The lines of a product definition: line i is the enabled product of
// priority i, named from its find entry "FIND" and texts 12031 (prefix)
// and 12032 (series suffix) in the order of the language.
std::vector<ProductLine> ProductLines(const CDiscoveryModule& module,
                                      const Texts& texts, ProductLanguage language);

// What the machine offers, from the list dialog's start.
struct SearchAvailability {
  Protocols protocols;
  bool ipv6_os_allowed = true;
  bool ipv6() const { return protocols.ipv6 && ipv6_os_allowed; }
};

struct SearchSettingsView {
  SearchSettings values;  // what the controls show
  std::vector<ProductLine> lines;
  bool ipx_enabled = false;
  bool tcpip_enabled = false;
  bool options_enabled = false;  // subnet and range
  bool ipv4_enabled = false;
  bool ipv4_range_enabled = false;
  bool ipv6_enabled = false;
  bool ipv6_range_enabled = false;
  bool snmp_button_visible = false;
  bool enlarged = false;  // the product list shown at full height
  int focus = 0;          // a control to focus (after a refused OK), or 0
  bool select_focus = false;  // with its text selected
};

// Whether the SNMP Settings button shows: the definition does not switch
// SNMP off ("SNMP_SUPPORT" "OFF") and keeps a community name or declares
// SNMPv3.
bool ShowsSnmpSettingsButton(const CDiscoveryModule& module, bool v3_support);

class SearchSettingsLogic {
 public:
  // module: its products' Checked flags change on OK. Everything given
  // must outlive the logic.
  SearchSettingsLogic(CDiscoveryModule& module, const Texts& texts,
                      desktop::Screen& screen, DialogHost& host,
                      const SearchAvailability& available,
                      const SearchSettings& current, bool v3_support,
                      CSNMPRegistry snmp_store,
                      ProductLanguage language = InstallationLanguage());

  const SearchSettingsView& view() const { return view_; }

  void SetIpx(bool on);
  void SetTcpip(bool on);
  void SetIpv4(bool on);
  void SetIpv6(bool on);
  void SetUseSubnet(bool subnet);
  void EditIpv4From(const std::string& text);
  void EditIpv4To(const std::string& text);
  void EditIpv6From(const std::string& text);
  void EditIpv6To(const std::string& text);
  void SetChecked(size_t line, bool checked);
  void ToggleEnlarged();
  void SnmpSettings();
  void set_help_page(std::string page) { help_page_ = std::move(page); }
  void Help();
  // True when the dialog closes with OK: view().values then holds what to
  // use (IPv6 bounds in the full form) and the products' checks are set.
  bool Ok();
  // The settings stay as they were; the ID file is restored from its backup.
  void Cancel();

 private:
  void Recompute();
  void ShowSubnetRange();
  bool Refuse(uint32_t text, int focus, bool warning = false, bool select = false);
  bool CheckIpv6Range();

  CDiscoveryModule& module_;
  const Texts& texts_;
  desktop::Screen& screen_;
  DialogHost& host_;
  const SearchAvailability available_;
  CSNMPRegistry snmp_store_;
  SearchSettingsView view_;
  std::string help_page_;
};

}  // namespace finder
