// The order of the five columns of the device list, kept between runs.
//
// The registry value "ColumnOrder" (HKCU\<base>\LDTabOrder) holds the
// column shown at each position as decimal digits, "01234" being the
// default order; keeper's list of discovered devices reads the same value.
// Without it, the file "finderconf.ini" beside the library may name the
// columns by key in its section "LDTabOrder" ("TAB1" to "TAB5" =
// "MFPNAME", "IPADDRESS", "SNMPVERSION", "LOCATION", "MODEL"); a key
// holding anything else makes the whole file be ignored. A broken or
// missing store gives the default order.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace finder {

inline constexpr int kColumns = 5;
// order[position] = the column shown at that position.
using ColumnOrder = std::array<int, kColumns>;
inline constexpr ColumnOrder kDefaultColumnOrder = {0, 1, 2, 3, 4};

inline constexpr char kColumnOrderKey[] = "LDTabOrder";
inline constexpr char kColumnOrderValue[] = "ColumnOrder";
inline constexpr char kColumnOrderFile[] = "finderconf.ini";

// The column of a key ("MFPNAME" 0 ... "MODEL" 4); without a version
// column, "LOCATION" is 2 and "MODEL" 3.
std::optional<int> ColumnOfKey(std::string_view key, bool has_version_column = true);

// "01234" -> {0,1,2,3,4}; nullopt unless the digits are each column once.
std::optional<ColumnOrder> ParseColumnOrder(std::string_view text);
std::string ColumnOrderText(const ColumnOrder& order);

class ColumnOrderStore {
 public:
  // base_key: the registry path the key "LDTabOrder" lies under;
  // folder: where "finderconf.ini" is looked for.
  ColumnOrderStore(std::string base_key, std::string folder)
      : base_key_(std::move(base_key)), folder_(std::move(folder)) {}

  ColumnOrder Read() const;
  // Creates the key when missing; failures are ignored (false).
  bool Write(const ColumnOrder& order) const;

  std::string key() const { return base_key_ + "\\" + kColumnOrderKey; }
  std::string file() const { return folder_ + "/" + kColumnOrderFile; }

 private:
  std::optional<ColumnOrder> ReadFile() const;
  std::string base_key_;
  std::string folder_;
};

}  // namespace finder
