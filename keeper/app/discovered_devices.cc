#include "keeper/app/discovered_devices.h"

namespace keeper {
namespace {

constexpr uint32_t kTextErrorCaption = 88;
constexpr uint32_t kTextNotSaved = 59;
constexpr uint32_t kTextSelectFirst = 60;

}  // namespace

DiscoveredDeviceList::DiscoveredDeviceList(const KeeperSettings& settings,
                                           desktop::Screen& screen,
                                           const SelectedDevice& current)
    : settings_(settings),
      screen_(screen),
      rows_(settings.ReadDiscovered()),
      order_(KeeperSettings::ReadColumnOrder()) {
  for (size_t i = 0; i < rows_.size(); ++i) {
    const DiscoveredDevice& r = rows_[i];
    if (r.address == current.address && r.name == current.name &&
        r.snmp_version == current.snmp_version) {
      current_row_ = i;
      break;
    }
  }
}

std::array<std::string, kDeviceListColumns> DiscoveredDeviceList::Columns(
    const DiscoveredDevice& d) {
  return {d.name, d.address, d.snmp_version, d.location, d.model};
}

void DiscoveredDeviceList::KeepColumnOrder(const ColumnOrder& order) {
  if (order == order_) return;
  if (KeeperSettings::WriteColumnOrder(order)) order_ = order;
}

bool DiscoveredDeviceList::Ok(std::optional<size_t> selected) {
  if (!selected || *selected >= rows_.size()) {
    screen_.Show({desktop::UiText::Id(kTextSelectFirst),
                  desktop::UiText::Id(kTextErrorCaption),
                  desktop::Icon::kError});
    return false;
  }
  const DiscoveredDevice& r = rows_[*selected];
  SelectedDevice d{r.address, r.name, r.location, r.snmp_version, r.model};
  if (!settings_.WriteSelected(d))
    screen_.Show({desktop::UiText::Id(kTextNotSaved),
                  desktop::UiText::Id(kTextErrorCaption),
                  desktop::Icon::kError});
  chosen_ = std::move(d);
  return true;
}

}  // namespace keeper
