// CDiscoveredDeviceDlg's logic: the list of devices found by earlier
// discoveries (from the registry), the row of the current device, the
// column order the user left, and what OK does.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "desktop/screen.h"
#include "keeper/app/keeper_settings.h"

namespace keeper {

struct DeviceListColumn {
  uint32_t title;  // text number
  int width;       // pixels at the original size
};
// Name, address, SNMP version, location, model: columns 0 to 4 of a row.
inline constexpr std::array<DeviceListColumn, kDeviceListColumns>
    kDeviceListColumnSpecs = {{{28, 120}, {27, 100}, {10018, 100}, {31, 155},
                               {30, 160}}};

class DiscoveredDeviceList {
 public:
  DiscoveredDeviceList(const KeeperSettings& settings, desktop::Screen& screen,
                       const SelectedDevice& current);

  const std::vector<DiscoveredDevice>& rows() const { return rows_; }
  // The row's texts in column order 0 to 4.
  static std::array<std::string, kDeviceListColumns> Columns(
      const DiscoveredDevice& d);
  // The row of the current device (same address, name and SNMP version).
  std::optional<size_t> current_row() const { return current_row_; }
  const ColumnOrder& column_order() const { return order_; }

  // The dialog closes showing its columns in `order`: a changed order is
  // kept for the next time.
  void KeepColumnOrder(const ColumnOrder& order);

  // OK with the selected row, if any. False keeps the dialog open.
  bool Ok(std::optional<size_t> selected);
  // The device chosen with OK.
  const std::optional<SelectedDevice>& chosen() const { return chosen_; }

 private:
  const KeeperSettings& settings_;
  desktop::Screen& screen_;
  std::vector<DiscoveredDevice> rows_;
  std::optional<size_t> current_row_;
  ColumnOrder order_;
  std::optional<SelectedDevice> chosen_;
};

}  // namespace keeper
