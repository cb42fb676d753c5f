// The logic of the device list dialog (CDiscoveryLocal), apart from its
// window: Start and Stop, the rows as they arrive, the selection and the
// link to the selected device's web page, Advanced, Manual Selection,
// Help, the column order, and how OK, Cancel and the window's Close end
// it.
//
// The window calls Poll() from a timer (every 250 ms) on its own thread;
// rows, link answers and rechecks reach the view only there. It draws
// view() and rows() after every command.
#pragma once

#include <future>
#include <list>
#include <optional>
#include <string>
#include <vector>

#include "desktop/screen.h"
#include "finder/column_order.h"
#include "finder/device_query.h"
#include "finder/discovery_session.h"
#include "finder/search_settings_dialog.h"
#include "finder/texts.h"

namespace finder {

class CDiscoveryModule;
class DialogHost;

inline constexpr int kDevicePagePort = 8080;
inline constexpr char kResHelpFile[] = "HELP";

// "http://" + address + ":8080", an IPv6 address in brackets.
std::string DevicePageUrl(const std::string& address);

struct ListView {
  bool running = false;     // the Start button reads Stop; Close is refused
  bool ok_enabled = false;  // a row is selected
  std::optional<size_t> selected;
  std::string link;         // the device page, "" while there is none
  ColumnOrder column_order = kDefaultColumnOrder;
  uint64_t rows_revision = 0;  // changes whenever rows() changes
};

struct ListOptions {
  int product_code = -1;
  bool v3_support = false;
  // Where "finderconf.ini" and the help pages are.
  std::string folder;
  // The machine's protocols (CheckInstalledProtocols2() when not given).
  std::optional<Protocols> protocols;
  // How the link and the SNMPv3 recheck ask a device (DeviceGet with the
  // discovery's credentials when not given).
  DeviceGetFn get;
  // Called from a worker thread when rows arrive: the window may poll
  // early.
  std::function<void()> wake;
  // The printer whose data hold the community name (printer-driver
  // callers), or "".
  std::string printer;
};

class DiscoveryListLogic {
 public:
  // Everything given by reference must outlive the logic.
  DiscoveryListLogic(CDiscoveryModule& module, const Texts& texts,
                     desktop::Screen& screen, DialogHost& host, ListOptions options);
  ~DiscoveryListLogic();

  // OnInitDialog: protocols, stored settings, column order.
  void Init();

  void StartStop();
  void Poll();
  void Select(std::optional<size_t> row);
  void OpenLink();
  void Advanced();
  void ManualSelection();
  void Help();
  // A row as a search lists it (for tests and the screenshot gallery).
  void AddRow(DeviceRow row) {
    session_.AddRow(std::move(row));
    polled_rows_ = rows().size();
    RowsChanged();
  }
  // The user moved columns.
  void SetColumnOrder(const ColumnOrder& order) { view_.column_order = order; }

  // OK: the selection and every row stored where keeper reads them; true
  // when the dialog closes.
  bool Ok();
  // Cancel: nothing stored; what the run changed meanwhile is put back.
  void Cancel();
  // The window's Close command: refused (false) while a run is going on,
  // else as Cancel.
  bool Close();

  const ListView& view() const { return view_; }
  const std::vector<DeviceRow>& rows() const { return session_.rows(); }
  // Column 2 of a row: "V1/V2" or the v3 label.
  std::string VersionText(const DeviceRow& row) const;
  const DiscoverySession& session() const { return session_; }
  const SearchAvailability& availability() const { return available_; }

 private:
  struct Probe;
  void StartProbe(const DeviceRow& row, bool recheck);
  void CollectProbes();
  void RowsChanged() { ++view_.rows_revision; }
  void SaveColumnOrder();
  std::string HelpFile() const;

  CDiscoveryModule& module_;
  const Texts& texts_;
  desktop::Screen& screen_;
  DialogHost& host_;
  ListOptions options_;
  DiscoverySession session_;
  SearchAvailability available_;
  ColumnOrderStore columns_;
  ListView view_;
  size_t polled_rows_ = 0;
  std::list<Probe> probes_;
};

}  // namespace finder
