// The logic of the manual entry dialog (CManualSelection), apart from its
// window: which address kinds can be entered, OK's checks in their order,
// the query of the entered device and the row it becomes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "desktop/screen.h"
#include "finder/device_query.h"
#include "finder/discovery_engine.h"
#include "finder/snmp_settings.h"
#include "finder/texts.h"

namespace finder {

class DialogHost;

inline constexpr size_t kManualNameMax = 32;
inline constexpr size_t kManualLocationMax = 64;
inline constexpr size_t kMaxListRows = 64;
inline constexpr char kOidManualCheck[] = "1.3.6.1.2.1.43.5.1.1.16.1";

struct ManualView {
  bool ipv6_chosen = false;
  std::string ipv4, ipv6;             // address fields
  std::string ipx_network, ipx_node;  // "" on this system
  std::string name, location;
  bool ipv4_enabled = false;
  bool ipv6_enabled = false;
  bool ipx_enabled = false;  // no IPX here: the window says why
  bool snmp_button_visible = false;
  int focus = 0;          // a control to focus (after a refused OK), or 0
  bool clear_name = false;  // the name field was emptied
};

struct ManualAvailability {
  bool ipv4 = false;
  bool ipv6 = false;  // usable and allowed by the system gate
  bool ipx = false;
};

// What a device check needs: the stored SNMP settings and where the ID
// file and community live.
struct ManualCredentials {
  CSNMPRegistry store;
  bool declares_community = false;  // "SNMPCOMMNAME" = 1
  std::string id_file_library;
};

class ManualSelectionLogic {
 public:
  // rows: the list as it is (for duplicates). get: the device query
  // (DeviceGet by default).
  ManualSelectionLogic(desktop::Screen& screen, DialogHost& host,
                       ManualAvailability available, bool snmp_button_visible,
                       ManualCredentials credentials, std::vector<DeviceRow> rows,
                       DeviceGetFn get = {});

  const ManualView& view() const { return view_; }

  void ChooseIpv6(bool ipv6);
  void EditIpv4(const std::string& text) { view_.ipv4 = text; }
  void EditIpv6(const std::string& text) { view_.ipv6 = text; }
  void EditIpxNetwork(const std::string& text) { view_.ipx_network = text; }
  void EditIpxNode(const std::string& text) { view_.ipx_node = text; }
  void EditName(const std::string& text) { view_.name = text; }
  void EditLocation(const std::string& text) { view_.location = text; }
  void SnmpSettings();

  // True when the dialog closes with OK; row() is then the new row.
  bool Ok();
  void Cancel();  // the ID file is restored from its backup
  const DeviceRow& row() const { return row_; }

 private:
  bool Refuse(uint32_t text, int focus);
  std::optional<std::string> Address();
  bool AlreadyListed(const std::string& address) const;
  bool CheckDevice(const std::string& address);

  desktop::Screen& screen_;
  DialogHost& host_;
  const ManualAvailability available_;
  ManualCredentials credentials_;
  std::vector<DeviceRow> rows_;
  DeviceGetFn get_;
  ManualView view_;
  DeviceRow row_;
};

}  // namespace finder
