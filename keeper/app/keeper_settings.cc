#include "keeper/app/keeper_settings.h"

#include <algorithm>
#include <cstdlib>

#include "desktop/reg_path.h"
#include "platform/env.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace keeper {
namespace {

constexpr uint32_t kTextBaseKey = 10000;
constexpr uint32_t kTextRunningKey = 10005;
constexpr uint32_t kTextIdFileKey = 10019;

constexpr char kLastIp[] = "Last Selected IP";
constexpr char kLastName[] = "Last Selected Name";
constexpr char kLastLocation[] = "Last Selected Location";
constexpr char kLastVersion[] = "Last Selected SNMP Version";
constexpr char kRunningClass[] = "ZELT";

platform::Registry& Reg() { return platform::Env::Current()->registry(); }
constexpr auto kUser = platform::RegRoot::kCurrentUser;

std::optional<platform::RegKey> OpenKey(const std::string& path) {
  return platform::RegKey::Open(Reg(), kUser, path);
}

// A value as text: strings as they are, numbers in decimal.
std::optional<std::string> TextOf(const std::optional<platform::RegValue>& v) {
  if (!v) return std::nullopt;
  switch (v->type) {
    case platform::RegType::kString: return v->text;
    case platform::RegType::kDword: return std::to_string(v->dword);
    default: return std::nullopt;
  }
}

std::string Bounded(const std::string& text, size_t max_bytes) {
  std::string buf(max_bytes + 1, '\0');
  size_t n = platform::CopyBounded(buf.data(), buf.size(), text);
  buf.resize(n);
  return buf;
}

}  // namespace

KeeperSettings::KeeperSettings(const desktop::Texts& texts)
    : base_key_(desktop::CollapseBackslashes(texts.Text(kTextBaseKey))),
      running_key_(desktop::CollapseBackslashes(texts.Text(kTextRunningKey))),
      id_file_key_(desktop::CollapseBackslashes(texts.Text(kTextIdFileKey))) {}

std::optional<std::string> KeeperSettings::ReadString(
    const std::string& name) const {
  auto key = OpenKey(base_key_);
  if (!key) return std::nullopt;
  return TextOf(key->Get(name));
}

std::optional<SelectedDevice> KeeperSettings::ReadSelected() const {
  auto key = OpenKey(base_key_);
  if (!key) return std::nullopt;
  auto ip = TextOf(key->Get(kLastIp));
  auto name = TextOf(key->Get(kLastName));
  auto location = TextOf(key->Get(kLastLocation));
  auto version = TextOf(key->Get(kLastVersion));
  // Known only when all four are there: three of them are a half-written
  // selection, not a device.
  if (!ip || !name || !location || !version) return std::nullopt;
  SelectedDevice d;
  d.address = Bounded(*ip, kSelectedValueMax);
  d.name = Bounded(*name, kSelectedValueMax);
  d.location = Bounded(*location, kSelectedValueMax);
  d.snmp_version = Bounded(*version, kSelectedValueMax);
  d.model = ModelOf(d.address);
  return d;
}

bool KeeperSettings::WriteSelected(const SelectedDevice& d) const {
  auto key = platform::RegKey::Create(Reg(), kUser, base_key_);
  if (!key) return false;
  bool ok = key->SetString(kLastIp, d.address);
  ok = key->SetString(kLastName, d.name) && ok;
  ok = key->SetString(kLastLocation, d.location) && ok;
  ok = key->SetString(kLastVersion, d.snmp_version) && ok;
  return ok;
}

std::vector<DiscoveredDevice> KeeperSettings::ReadDiscovered() const {
  std::vector<DiscoveredDevice> out;
  auto key = OpenKey(base_key_);
  if (!key) return out;
  for (int n = 0; n < kDiscoveredEntries; ++n) {
    const std::string i = std::to_string(n);
    auto address = TextOf(key->Get("Address" + i));
    auto name = TextOf(key->Get("Name" + i));
    auto model = TextOf(key->Get("Model" + i));
    auto location = TextOf(key->Get("Location" + i));
    auto version = TextOf(key->Get("SNMP Version" + i));
    if (!address || !name || !model || !location || !version) continue;
    out.push_back({n, *address, *name, *model, *location, *version});
  }
  return out;
}

std::string KeeperSettings::ModelOf(const std::string& address) const {
  for (const DiscoveredDevice& d : ReadDiscovered())
    if (d.address == address) return d.model;
  return {};
}

void KeeperSettings::RewriteDiscoveredEntry(const SelectedDevice& d) const {
  auto key = OpenKey(base_key_);
  if (!key) return;
  for (int n = 0; n < kDiscoveredEntries; ++n) {
    const std::string i = std::to_string(n);
    if (TextOf(key->Get("Address" + i)) != d.address) continue;
    auto w = platform::RegKey::Create(Reg(), kUser, base_key_);
    if (!w) return;
    w->SetString("Name" + i, d.name);
    w->SetString("Model" + i, d.model);
    w->SetString("Location" + i, d.location);
    w->SetString("SNMP Version" + i, d.snmp_version);
    return;
  }
}

bool KeeperSettings::WriteRetryDefaults() const {
  auto key = platform::RegKey::Create(Reg(), kUser, base_key_);
  if (!key) return false;
  bool ok = key->SetString("RetryInterval", kRetryIntervalDefault);
  return key->SetString("RetryCount", kRetryCountDefault) && ok;
}

bool KeeperSettings::LogEnabled() const {
  auto text = ReadString("EnableLog");
  return text && std::strtoul(text->c_str(), nullptr, 10) != 0;
}

std::optional<std::string> KeeperSettings::IdFilePath() const {
  auto key = OpenKey(id_file_key_);
  if (!key) return std::nullopt;
  return TextOf(key->Get("IDFilePath"));
}

std::string KeeperSettings::Community() const {
  auto text = ReadString("SNMPCommunityName");
  return text ? *text : std::string(kDefaultCommunity);
}

bool KeeperSettings::RegisterRunningInstance(const std::string& title) const {
  auto key = platform::RegKey::Create(Reg(), kUser, running_key_);
  if (!key) return false;
  return key->SetString("CLSID", kRunningClass) &&
         key->SetString("WndTitle", title);
}

void KeeperSettings::RemoveRunningInstance() const {
  if (auto key = platform::RegKey::Open(Reg(), kUser, running_key_,
                                        platform::RegKey::kReadWrite)) {
    key->DeleteValue("CLSID");
    key->DeleteValue("WndTitle");
  }
  Reg().DeleteKeyTree(kUser, running_key_);
}

ColumnOrder KeeperSettings::ParseColumnOrder(const std::string& text) {
  const ColumnOrder natural = {0, 1, 2, 3, 4};
  // The text is read as a decimal number and split into its digits; a
  // leading 0 lost by the conversion is put back in front.
  if (text.empty() || text.size() > 10) return natural;
  char* end = nullptr;
  unsigned long number = std::strtoul(text.c_str(), &end, 10);
  if (end == text.c_str()) return natural;
  std::string digits = std::to_string(number);
  if (text[0] == '0') digits.insert(digits.begin(), '0');
  if (digits.size() != kDeviceListColumns) return natural;
  ColumnOrder order{};
  for (int i = 0; i < kDeviceListColumns; ++i) order[i] = digits[i] - '0';
  // Anything but a permutation of the five columns would hide a column or
  // show one twice.
  ColumnOrder sorted = order;
  std::sort(sorted.begin(), sorted.end());
  return sorted == natural ? order : natural;
}

bool KeeperSettings::WriteColumnOrder(const ColumnOrder& order) {
  std::string digits;
  for (int c : order) {
    if (c < 0 || c >= kDeviceListColumns) return false;
    digits += static_cast<char>('0' + c);
  }
  if (ParseColumnOrder(digits) != order) return false;
  auto key = platform::RegKey::Create(Reg(), kUser, kColumnOrderKey);
  return key && key->SetString(kColumnOrderValue, digits);
}

ColumnOrder KeeperSettings::ReadColumnOrder() {
  auto key = OpenKey(kColumnOrderKey);
  if (!key) return ParseColumnOrder("");
  auto text = TextOf(key->Get(kColumnOrderValue));
  return ParseColumnOrder(text.value_or(""));
}

}  // namespace keeper
