// A DialogHost for tests: each dialog the logic opens runs the script
// given for it (which drives the dialog's logic as a user would) and
// answers what the script returns; without a script the dialog is
// cancelled.
#pragma once

#include <functional>

#include "finder/dialog_host.h"

namespace finder::testing {

class ScriptedHost : public DialogHost {
 public:
  std::function<bool(SearchSettingsLogic&)> search_settings;
  std::function<bool(ManualSelectionLogic&)> manual_selection;
  std::function<bool()> snmp_settings;
  int snmp_settings_runs = 0;

  bool RunSearchSettings(SearchSettingsLogic& logic) override {
    return search_settings ? search_settings(logic) : false;
  }
  bool RunManualSelection(ManualSelectionLogic& logic) override {
    return manual_selection ? manual_selection(logic) : false;
  }
  bool RunSnmpSettings() override {
    ++snmp_settings_runs;
    return snmp_settings ? snmp_settings() : false;
  }
};

}  // namespace finder::testing
