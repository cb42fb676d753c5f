// What keeper keeps in the per-user registry, under the base key named by
// text 10000: the selected device ("Last Selected IP", "Last Selected
// Name", "Last Selected Location", "Last Selected SNMP Version"), the list
// of devices found by earlier discoveries ("Address0", "Name0", ...), the
// retry settings of the automatic backup, the community name; the
// running-instance key of text 10005; the SNMPv3 ID file named under the
// key of text 10019; and the column order of the device list.
//
// The discovery library deletes and rewrites the base key when its dialog
// ends with OK; that is how the chosen device reaches keeper.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "desktop/texts.h"

namespace keeper {

// The four "Last Selected" values and the model found for them.
struct SelectedDevice {
  std::string address;
  std::string name;
  std::string location;
  std::string snmp_version;  // "V3" for SNMPv3
  std::string model;         // from the discovered-device list; not stored
  bool operator==(const SelectedDevice&) const = default;
};

// One entry of the discovered-device list.
struct DiscoveredDevice {
  int index = 0;  // n of "Address<n>"
  std::string address, name, model, location, snmp_version;
};

// The columns of the discovered-device list, in the order of the row data.
inline constexpr int kDeviceListColumns = 5;
using ColumnOrder = std::array<int, kDeviceListColumns>;

inline constexpr char kSnmpV3Label[] = "V3";
inline constexpr char kDefaultCommunity[] = "public";
inline constexpr char kRetryIntervalDefault[] = "5";
inline constexpr char kRetryCountDefault[] = "12";
// The longest "Last Selected" text kept, in bytes.
inline constexpr size_t kSelectedValueMax = 256;
// Entries 0 to 63 of the discovered-device list are looked at.
inline constexpr int kDiscoveredEntries = 64;

class KeeperSettings {
 public:
  explicit KeeperSettings(const desktop::Texts& texts);

  const std::string& base_key() const { return base_key_; }
  const std::string& running_key() const { return running_key_; }

  // The selected device when all four values exist.
  std::optional<SelectedDevice> ReadSelected() const;
  // Writes the four values; false when one of them cannot be written.
  bool WriteSelected(const SelectedDevice& device) const;

  // Complete entries of the discovered-device list, by entry number.
  std::vector<DiscoveredDevice> ReadDiscovered() const;
  // The model of the entry with that address, or "".
  std::string ModelOf(const std::string& address) const;
  // Writes name, model, location and SNMP version of `device` again into
  // the entry whose address is the device's (when there is one).
  void RewriteDiscoveredEntry(const SelectedDevice& device) const;

  // "RetryInterval" = "5", "RetryCount" = "12".
  bool WriteRetryDefaults() const;
  // "EnableLog" is "1" (or a non-zero number).
  bool LogEnabled() const;

  // SNMP settings inputs: the ID file of the key of text 10019, and the
  // community name ("public" when the key or the value is missing).
  std::optional<std::string> IdFilePath() const;
  std::string Community() const;

  // The running-instance key with "CLSID" = "ZELT" and "WndTitle" = the
  // window's title; false when the key cannot be created.
  bool RegisterRunningInstance(const std::string& title) const;
  void RemoveRunningInstance() const;

  // "ColumnOrder" of the device list's key; 0, 1, 2, 3, 4 when missing or
  // not a permutation of the five columns.
  static ColumnOrder ReadColumnOrder();
  static ColumnOrder ParseColumnOrder(const std::string& text);
  // Writes the order as its digits ("10234"), as the discovery's own list
  // does; false for anything but a permutation of the five columns.
  static bool WriteColumnOrder(const ColumnOrder& order);

  std::optional<std::string> ReadString(const std::string& name) const;

 private:
  std::string base_key_;
  std::string running_key_;
  std::string id_file_key_;
};

// The key of the device list's column order.
inline constexpr char kColumnOrderKey[] =
    "Software\\TALLIS\\Corvane TALLIS Client\\LDTabOrder";
inline constexpr char kColumnOrderValue[] = "ColumnOrder";

}  // namespace keeper
