// How one dialog's logic opens another: the window side runs the dialog
// modally and returns when it is closed. Tests script the answers.
#pragma once

namespace finder {

class SearchSettingsLogic;
class ManualSelectionLogic;

class DialogHost {
 public:
  virtual ~DialogHost() = default;
  // True when the dialog was closed with OK.
  virtual bool RunSearchSettings(SearchSettingsLogic& logic) = 0;
  virtual bool RunManualSelection(ManualSelectionLogic& logic) = 0;
  // The SNMP settings dialog with SNMPv3 allowed, for the current product.
  virtual bool RunSnmpSettings() = 0;
};

// The control ids a refused OK puts the focus on.
namespace control {
inline constexpr int kIpv4From = 316;
inline constexpr int kIpv4To = 320;
inline constexpr int kIpv6From = 3008;
inline constexpr int kIpv6To = 3009;
inline constexpr int kManualName = 1000;
inline constexpr int kManualLocation = 1002;
inline constexpr int kManualIpv4 = 1004;
inline constexpr int kManualIpv6 = 3014;
inline constexpr int kIpxNetwork = 219;
inline constexpr int kIpxNode = 220;
}  // namespace control

}  // namespace finder
