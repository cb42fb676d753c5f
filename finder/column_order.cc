#include "finder/column_order.h"

#include <algorithm>
#include <filesystem>

#include "finder/snmp_settings.h"
#include "platform/env.h"
#include "platform/registry.h"

namespace finder {
namespace {

constexpr std::string_view kKeys[kColumns] = {"MFPNAME", "IPADDRESS", "SNMPVERSION",
                                              "LOCATION", "MODEL"};
constexpr char kFileSection[] = "LDTabOrder";

bool IsPermutation(const ColumnOrder& order) {
  ColumnOrder sorted = order;
  std::sort(sorted.begin(), sorted.end());
  return sorted == kDefaultColumnOrder;
}

}  // namespace

std::optional<int> ColumnOfKey(std::string_view key, bool has_version_column) {
  for (int i = 0; i < kColumns; ++i) {
    if (key != kKeys[i]) continue;
    if (!has_version_column && i == 2) return std::nullopt;
    return !has_version_column && i > 2 ? i - 1 : i;
  }
  return std::nullopt;
}

std::optional<ColumnOrder> ParseColumnOrder(std::string_view text) {
  // The value is a number written as digits; its leading zero (column 0
  // first) is part of the text.
  if (text.size() != kColumns) return std::nullopt;
  ColumnOrder order{};
  for (int i = 0; i < kColumns; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    order[i] = text[i] - '0';
  }
  if (!IsPermutation(order)) return std::nullopt;
  return order;
}

std::string ColumnOrderText(const ColumnOrder& order) {
  std::string out;
  for (int c : order) out += static_cast<char>('0' + c);
  return out;
}

std::optional<ColumnOrder> ColumnOrderStore::ReadFile() const {
  std::error_code ec;
  if (!std::filesystem::exists(file(), ec)) return std::nullopt;
  ColumnOrder order = kDefaultColumnOrder;
  int present = 0;
  for (int i = 0; i < kColumns; ++i) {
    auto value = ReadIniValue(file(), kFileSection, "TAB" + std::to_string(i + 1));
    if (!value) continue;
    auto column = ColumnOfKey(*value);
    if (!column) return std::nullopt;  // one unknown key spoils the file
    order[present++] = *column;
  }
  if (present == 0) return std::nullopt;
  // Keys the file leaves out follow in their usual order.
  for (int c = 0; c < kColumns && present < kColumns; ++c)
    if (std::find(order.begin(), order.begin() + present, c) == order.begin() + present)
      order[present++] = c;
  if (!IsPermutation(order)) return std::nullopt;  // a column named twice
  return order;
}

ColumnOrder ColumnOrderStore::Read() const {
  auto reg = platform::RegKey::Open(platform::Env::Current()->registry(),
                                    platform::RegRoot::kCurrentUser, key());
  if (reg) {
    if (auto text = reg->GetString(kColumnOrderValue))
      if (auto order = ParseColumnOrder(*text)) return *order;
  }
  return ReadFile().value_or(kDefaultColumnOrder);
}

bool ColumnOrderStore::Write(const ColumnOrder& order) const {
  if (!IsPermutation(order)) return false;
  auto reg = platform::RegKey::Create(platform::Env::Current()->registry(),
                                      platform::RegRoot::kCurrentUser, key());
  return reg && reg->SetString(kColumnOrderValue, ColumnOrderText(order));
}

}  // namespace finder
