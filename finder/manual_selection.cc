#include "finder/manual_selection.h"

#include <cctype>

#include "finder/dialog_host.h"
#include "finder/ipv6_text.h"
#include "finder/network.h"
#include "platform/text.h"

namespace finder {
namespace {

constexpr size_t kIpxNetworkDigits = 8;
constexpr size_t kIpxNodeDigits = 12;

bool OnlySpaces(const std::string& s) {
  return s.find_first_not_of(' ') == std::string::npos;
}

// Characters of a text, counted as the user sees them (UTF-8 code points).
size_t Characters(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

// A printable ASCII character that is no hexadecimal digit (a space is
// checked on its own).
bool HasNonHex(const std::string& s) {
  for (unsigned char c : s)
    if (c > ' ' && c < 0x7F && !std::isxdigit(c)) return true;
  return false;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Addresses compare without regard to case, IPv6 in the full form.
std::string Comparable(const std::string& address) {
  if (auto full = FullIpv6(address)) return *full;
  if (auto full = ExpandIpv6(address)) return *full;
  return Lower(address);
}

}  // namespace

ManualSelectionLogic::ManualSelectionLogic(
    desktop::Screen& screen, DialogHost& host,
    ManualAvailability available, bool snmp_button_visible,
    ManualCredentials credentials, std::vector<DeviceRow> rows, DeviceGetFn get)
    : screen_(screen), host_(host), available_(available),
      credentials_(std::move(credentials)), rows_(std::move(rows)),
      get_(std::move(get)) {
  view_.ipv4_enabled = available_.ipv4;
  view_.ipv6_enabled = available_.ipv6;
  view_.ipx_enabled = available_.ipx;
  view_.ipv6_chosen = !available_.ipv4 && available_.ipv6;
  view_.snmp_button_visible = snmp_button_visible;
}

void ManualSelectionLogic::ChooseIpv6(bool ipv6) {
  if (ipv6 ? !available_.ipv6 : !available_.ipv4) return;
  view_.ipv6_chosen = ipv6;
}

void ManualSelectionLogic::SnmpSettings() {
  if (view_.snmp_button_visible) host_.RunSnmpSettings();
}

bool ManualSelectionLogic::Refuse(uint32_t text, int focus) {
  screen_.Show({desktop::UiText::Id(text), desktop::UiText::Id(text::kErrorCaption),
                desktop::Icon::kError});
  view_.focus = focus;
  return false;
}

std::optional<std::string> ManualSelectionLogic::Address() {
  const bool ipx_empty = view_.ipx_network.empty() && view_.ipx_node.empty();
  if (ipx_empty || !available_.ipx) {
    if (!view_.ipv6_chosen) {
      auto a = ParseIpv4(view_.ipv4);
      if (a && *a == 0xFFFFFFFF) return Refuse(text::kBroadcastAddress, control::kManualIpv4), std::nullopt;
      if (!a || *a == 0) return Refuse(text::kZeroAddress, control::kManualIpv4), std::nullopt;
      return Ipv4Text(*a);
    }
    const std::string& t = view_.ipv6;
    auto full = t.find(' ') == std::string::npos ? FullIpv6(t) : std::nullopt;
    if (!full) return Refuse(text::kIpv6Invalid, control::kManualIpv6), std::nullopt;
    if (IsZeroIpv6(*full)) return Refuse(text::kIpv6Zero, control::kManualIpv6), std::nullopt;
    if (t.size() == kIpv6TextMax && IsAllOnesIpv6(t))
      return Refuse(text::kIpv6Invalid, control::kManualIpv6), std::nullopt;
    return CompressIpv6(*full);
  }
  const std::string& net = view_.ipx_network;
  const std::string& node = view_.ipx_node;
  if (HasNonHex(net)) return Refuse(text::kIpxNetworkDigits, control::kIpxNetwork), std::nullopt;
  if (net.size() != kIpxNetworkDigits) return Refuse(text::kIpxNetworkLength, control::kIpxNetwork), std::nullopt;
  if (net.find(' ') != std::string::npos) return Refuse(text::kIpxNetworkSpace, control::kIpxNetwork), std::nullopt;
  if (HasNonHex(node)) return Refuse(text::kIpxNodeInvalid, control::kIpxNode), std::nullopt;
  if (node.size() != kIpxNodeDigits) return Refuse(text::kIpxNodeLength, control::kIpxNode), std::nullopt;
  if (node.find(' ') != std::string::npos) return Refuse(text::kIpxNodeSpace, control::kIpxNode), std::nullopt;
  if (node == "000000000000") return Refuse(text::kIpxNodeInvalid, control::kIpxNode), std::nullopt;
  return net + ":" + node;
}

bool ManualSelectionLogic::AlreadyListed(const std::string& address) const {
  const std::string a = Comparable(address);
  for (const DeviceRow& r : rows_)
    if (Comparable(r.address) == a && platform::EqualsIgnoreCase(r.name, view_.name))
      return true;
  return false;
}

bool ManualSelectionLogic::CheckDevice(const std::string& address) {
  const auto stored = credentials_.store.Read().value_or(finder::SnmpSettings{});
  DeviceCredentials creds;
  if (credentials_.declares_community)
    creds.community = ReadStoredCommunity(credentials_.store.context()).value_or("");
  int version = 1;
  bool asked = false;
  if (stored.version == kSnmpV3) {
    version = 3;
    creds.v3 = IdFileLibrary(credentials_.id_file_library).Decrypt(stored.id_file_path);
    if (!creds.v3) return Refuse(text::kIdFileUnreadable, 0);
    asked = true;
  } else if (credentials_.declares_community) {
    asked = true;
  }
  // IPv6 addresses are asked in brackets-free form; the query library
  // takes them as they are.
  auto get = [&](const std::string& oid) {
    return get_ ? get_(address, oid, version)
                : DeviceGet(address, oid, version, creds);
  };
  row_ = DeviceRow{};
  row_.version = version;
  if (!asked) return true;
  auto answer = get(kOidManualCheck);
  const bool good = answer && !answer->empty() &&
                    std::isalnum(static_cast<unsigned char>(answer->front()));
  if (version == 3 && !good) return Refuse(text::kV3NoAnswer, 0);
  if (version != 3 && !answer) return Refuse(text::kV1NoAnswer, 0);
  row_.model = get(kOidSysName).value_or("");
  return true;
}

bool ManualSelectionLogic::Ok() {
  view_.focus = 0;
  view_.clear_name = false;
  if (OnlySpaces(view_.name)) {
    view_.name.clear();
    view_.clear_name = true;
    return Refuse(text::kNameMissing, control::kManualName);
  }
  if (Characters(view_.name) > kManualNameMax)
    return Refuse(text::kNameTooLong, control::kManualName);
  if (Characters(view_.location) > kManualLocationMax)
    return Refuse(text::kLocationTooLong, control::kManualLocation);
  auto address = Address();
  if (!address) return false;
  if (AlreadyListed(*address)) return Refuse(text::kAlreadyListed, 0);
  if (!CheckDevice(*address)) return false;
  row_.name = view_.name;
  row_.address = *address;
  row_.location = view_.location;
  return true;
}

void ManualSelectionLogic::Cancel() {
  credentials_.store.BackupStep(CSNMPRegistry::Backup::kRestore);
}

}  // namespace finder
