#include "finder/discovery_session.h"

#include <algorithm>
#include <cstdio>

#include "finder/product_definition.h"
#include "finder/texts.h"
#include "platform/env.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace finder {
namespace {

platform::Registry& Reg() { return platform::Env::Current()->registry(); }
constexpr auto kUser = platform::RegRoot::kCurrentUser;

desktop::Message ErrorBox(desktop::UiText text) {
  return {std::move(text), desktop::UiText::Id(text::kErrorCaption),
          desktop::Icon::kError};
}

}  // namespace

bool IsSelectionValue(std::string_view name) {
  for (std::string_view last : {"Last Selected IP", "Last Selected Name",
                                "Last Selected Location", "Last Selected SNMP Version"})
    if (name == last) return true;
  for (std::string_view row : {"Address", "Name", "SNMP Version", "Location", "Model"}) {
    if (name.size() <= row.size() || name.substr(0, row.size()) != row) continue;
    std::string_view number = name.substr(row.size());
    if (std::all_of(number.begin(), number.end(),
                    [](char c) { return c >= '0' && c <= '9'; }))
      return true;
  }
  return false;
}

std::string VersionLabel(int version, const Texts& texts) {
  return version == 3 ? texts(text::kV3Label) : std::string(kV1Label);
}

DiscoverySession::DiscoverySession(const CDiscoveryModule& module,
                                   const Texts& texts, desktop::Screen& screen)
    : module_(module), texts_(texts), screen_(screen) {}

DiscoverySession::~DiscoverySession() { Stop(); }

std::string DiscoverySession::SelectionKey() const {
  return texts_(text::kSelectionBase) + "\\BRD";
}

std::string DiscoverySession::SettingsKey() const {
  const COID* first = nullptr;
  for (const COID* p : module_.products().List()) {
    first = p;
    break;
  }
  int family = first ? first->family : 0;
  uint32_t id = family == 1 ? text::kSettingsType1
           : family == 2 ? text::kSettingsType2
                         : text::kSettingsTypeOther;
  return texts_(id);
}

std::string DiscoverySession::LastDiscoveredKey() const {
  std::string base =
      TextOf(texts_, module_.generic().ResourceId(kResDiscoveryRegBase));
  return base.empty() ? std::string() : base + "\\" + kLastDiscoveredKey;
}

std::string DiscoverySession::TimeoutFile() const {
  return platform::Env::Current()->ProgramDataDir() + "/" +
         texts_(text::kTimeoutFile);
}

StoreContext DiscoverySession::StoreContextOf() const {
  StoreContext c = ContextFor(module_, texts_, kResStoreRegBase);
  c.printer = printer_;
  return c;
}

void DiscoverySession::Init(const Protocols& protocols) {
  config_.product_code = -1;
  config_.protocols = protocols;
  ApplySearchSettings(ReadSearchSettings(SettingsKey()));
  LoadSnmpSettings();
  const StoreContext store = StoreContextOf();
  if (module_.DeclaresCommunityName()) start_community_ = ReadStoredCommunity(store);
  start_credentials_ = IdFileLibrary(IdFileLibraryName())
                           .Decrypt(CSNMPRegistry(store).active_id_file());
}

void DiscoverySession::ApplySearchSettings(const SearchSettings& s) {
  search_ = s;
  const Protocols& p = config_.protocols;
  config_.ipx_search = p.ipx && s.ipx && module_.checks().Value(kCheckIpx) != "NO";
  config_.ip_search = s.tcpip;
  config_.ipv4_search = s.ipv4;
  config_.ipv6_search = s.ipv6;
  config_.use_subnet = s.use_subnet;
  config_.ipv6_from = s.ipv6_from;
  config_.ipv6_to = s.ipv6_to;
  auto from = ParseIpv4(s.ipv4_from);
  auto to = ParseIpv4(s.ipv4_to);
  if ((s.tcpip && s.use_subnet) || !from || !to) {
    config_.ipv4_range =
        p.ipv4 ? SubnetRange(p.local_ipv4, p.mask) : Ipv4Range{};
  } else {
    config_.ipv4_range = {*from, *to};
  }
}

std::string DiscoverySession::IdFileLibraryName() const {
  return TextOf(texts_, module_.generic().ResourceId(kResIdFileLibrary));
}

void DiscoverySession::Cancel() {
  Stop();
  const StoreContext store = StoreContextOf();
  if (start_community_ && !start_community_->empty())
    WriteCommNameToRegistry(*start_community_, store);
  if (start_credentials_) {
    CSNMPRegistry settings(store);
    if (!IdFileLibrary(IdFileLibraryName())
             .Encrypt(settings.active_id_file(), *start_credentials_)) {
      screen_.Show({desktop::UiText::Of(kEncryptFailedText),
                    desktop::UiText::Of(kEncryptFailedCaption), desktop::Icon::kError});
      return;
    }
    settings.BackupStep(CSNMPRegistry::Backup::kSave);
  }
}

void DiscoverySession::LoadSnmpSettings() {
  StoreContext store = StoreContextOf();
  config_.community.clear();
  if (module_.DeclaresCommunityName())
    config_.community = ReadStoredCommunity(store).value_or("");
  CSNMPRegistry settings(store);
  snmp_ = settings.Read().value_or(SnmpSettings{});
  config_.snmp_mode = snmp_.version == kSnmpV3 || snmp_.version == kSnmpV1V3
                          ? snmp_.version
                          : kSnmpV1;
  config_.v3.reset();
  if (config_.snmp_mode != kSnmpV1) {
    config_.v3 = IdFileLibrary(IdFileLibraryName()).Decrypt(snmp_.id_file_path);
  }
  std::string os = module_.checks().Value(kCheckOsVersion);
  config_.ipv6_os_allowed = SystemMajorVersion() > std::atoi(os.c_str());
  std::optional<int> timeout;
  if (auto v = ReadIniValue(TimeoutFile(), kTimeoutSection, kTimeoutKey))
    timeout = std::atoi(v->c_str());
  config_.actual_wait_seconds = ActualWaitSeconds(timeout);
}

bool DiscoverySession::Start(std::function<void()> wake) {
  Stop();
  // Nothing to search: neither TCP/IP (usable and switched on) nor IPX.
  if (!(config_.protocols.tcpip && config_.ip_search) && !config_.ipx_search) {
    rows_.clear();
    return false;
  }
  LoadSnmpSettings();
  rows_.clear();
  engine_ = std::make_unique<DiscoveryEngine>(config_, module_.products());
  engine_->Start(std::move(wake));
  return true;
}

void DiscoverySession::Stop() {
  if (!engine_) return;
  engine_->Stop();
  Poll();
}

void DiscoverySession::Poll() {
  if (!engine_) return;
  for (DeviceRow& r : engine_->TakeRows()) {
    if (r.address.find_first_of(".:") != std::string::npos)
      discovered_.push_back(r.address);
    rows_.push_back(std::move(r));
  }
}

void DiscoverySession::Finish() {
  Poll();
  std::string key = LastDiscoveredKey();
  if (!key.empty()) WriteLastDiscovered(key, discovered_);
}

bool DiscoverySession::Ok(std::optional<size_t> selected) {
  Stop();
  const std::string key = SelectionKey();
  if (auto old = platform::RegKey::Open(Reg(), kUser, key, platform::RegKey::kReadWrite)) {
    // The previous list and choice go; the key itself stays, for it holds
    // the settings of the program and of the device library beside them
    // (the panel lock switch, logging, retries, the community name).
    for (const auto& [name, value] : old->Values()) {
      if (!IsSelectionValue(name)) continue;
      if (!old->DeleteValue(name)) {
        screen_.Show(ErrorBox(desktop::UiText::Id(text::kRegistryError)));
        return false;
      }
    }
  }
  for (size_t n = 0; n < rows_.size(); ++n) {
    auto k = platform::RegKey::Create(Reg(), kUser, key);
    if (!k) {
      screen_.Show(ErrorBox(desktop::UiText::Id(text::kRegistryError)));
      continue;
    }
    const DeviceRow& r = rows_[n];
    const std::string i = std::to_string(n);
    k->SetString("Address" + i, r.address);
    k->SetString("Name" + i, r.name);
    k->SetString("SNMP Version" + i, VersionLabel(r.version, texts_));
    k->SetString("Location" + i, r.location);
    k->SetString("Model" + i, r.model);
  }
  auto k = platform::RegKey::Create(Reg(), kUser, key);
  if (k && selected && *selected < rows_.size()) {
    const DeviceRow& r = rows_[*selected];
    k->SetString("Last Selected IP", r.address);
    k->SetString("Last Selected Name", r.name);
    k->SetString("Last Selected Location", r.location);
    k->SetString("Last Selected SNMP Version", VersionLabel(r.version, texts_));
  }
  if (!k || !k->SetDword(kValueSnmpVersion, config_.snmp_mode) ||
      !k->SetString(kValueIdFilePath, snmp_.id_file_path) ||
      !k->SetString(kValueLastSelectedIdFile, snmp_.last_selected_path))
    screen_.Show(ErrorBox(desktop::UiText::Of(kRegistryWriteFailed)));
  WriteSearchSettings(SettingsKey(), search_);
  Finish();
  return true;
}

bool WriteLastDiscovered(const std::string& key,
                         const std::vector<std::string>& addresses) {
  // Made when missing, so that the first confirmed discovery is kept too.
  auto k = platform::RegKey::Create(Reg(), kUser, key);
  if (!k) return false;
  for (const auto& [name, value] : k->Values()) k->DeleteValue(name);
  for (const std::string& address : addresses) {
    for (int slot = 0; slot < kLastDiscoveredSlots; ++slot) {
      std::string name = std::to_string(slot);
      auto have = k->GetString(name);
      if (have && platform::EqualsIgnoreCase(*have, address)) break;
      if (!have) {
        k->SetString(name, address);
        break;
      }
    }
  }
  return true;
}

}  // namespace finder
