#include "finder/search_settings_dialog.h"

#include <algorithm>
#include <cctype>

#include "finder/dialog_host.h"
#include "finder/help.h"
#include "finder/ipv6_text.h"
#include "finder/product_definition.h"
#include "platform/env.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace finder {
namespace {

constexpr char kInstallInfoKey[] =
    "SOFTWARE\\Corvane_MFP_Applications\\Corvane Varda BackUp-Restore\\Info";
constexpr char kLanguageInfoValue[] = "LanguageInfo";
constexpr char kFindEntry[] = "FIND";
constexpr char kCheckSnmpSupport[] = "SNMP_SUPPORT";

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string LineText(const FindEntry& f, const std::string& p, const std::string& s,
                     ProductLanguage language) {
  const std::string& v = f.value;
  if (v.empty() || v == " ") return {};
  const bool prefix = f.prefix == "1", suffix = f.suffix == "1";
  if (prefix && suffix) {
    switch (language) {
      case ProductLanguage::kJapanese: return v + " " + s + p;
      case ProductLanguage::kTurkish: return v + " " + s + " " + p;
      case ProductLanguage::kOther: return p + " " + v + " " + s;
    }
  }
  if (prefix) return language == ProductLanguage::kJapanese ? v + p
                     : language == ProductLanguage::kTurkish ? v + " " + p
                                                             : p + " " + v;
  if (suffix) return v + " " + s;
  return {};
}

}  // namespace

ProductLanguage InstallationLanguage() {
  auto key = platform::RegKey::Open(platform::Env::Current()->registry(),
                                    platform::RegRoot::kLocalMachine, kInstallInfoKey);
  if (!key) return ProductLanguage::kOther;
  std::string v = key->GetString(kLanguageInfoValue).value_or("");
  if (platform::EqualsIgnoreCase(v, "Japanese")) return ProductLanguage::kJapanese;
  if (platform::EqualsIgnoreCase(v, "Turkish")) return ProductLanguage::kTurkish;
  return ProductLanguage::kOther;
}

std::vector<ProductLine> ProductLines(const CDiscoveryModule& module,
                                      const Texts& texts, ProductLanguage language) {
  const std::vector<const COID*> products = module.products().List();
  const std::string p = texts(text::kProductPrefix), s = texts(text::kProductSuffix);
  std::vector<ProductLine> lines;
  for (size_t i = 0; i < products.size(); ++i) {
    auto it = std::find_if(products.begin(), products.end(), [&](const COID* c) {
      return c->enabled && c->priority == static_cast<int32_t>(i);
    });
    if (it == products.end()) continue;  // no product for this line
    const COID& c = **it;
    ProductLine line;
    line.key = c.key;
    line.checked = c.checked;
    if (const FindEntry* f = c.specific.Find(kFindEntry))
      line.text = LineText(*f, p, s, language);
    // A line without a composed name still names its product.
    if (line.text.empty()) line.text = c.key;
    lines.push_back(std::move(line));
  }
  return lines;
}

bool ShowsSnmpSettingsButton(const CDiscoveryModule& module, bool v3_support) {
  if (module.checks().Value(kCheckSnmpSupport) == "OFF") return false;
  return module.DeclaresCommunityName() || v3_support;
}

SearchSettingsLogic::SearchSettingsLogic(
    CDiscoveryModule& module, const Texts& texts, desktop::Screen& screen,
    DialogHost& host, const SearchAvailability& available,
    const SearchSettings& current, bool v3_support, CSNMPRegistry snmp_store,
    ProductLanguage language)
    : module_(module), texts_(texts), screen_(screen), host_(host),
      available_(available), snmp_store_(std::move(snmp_store)) {
  view_.values = current;
  view_.lines = ProductLines(module, texts, language);
  view_.snmp_button_visible = ShowsSnmpSettingsButton(module, v3_support);
  // What the IPv4 fields show: the subnet range unless a valid range is
  // stored and chosen.
  if (current.use_subnet || !ParseIpv4(current.ipv4_from) ||
      !ParseIpv4(current.ipv4_to))
    ShowSubnetRange();
  if (current.use_subnet) view_.values.ipv6_from.clear(), view_.values.ipv6_to.clear();
  Recompute();
}

void SearchSettingsLogic::ShowSubnetRange() {
  const Protocols& p = available_.protocols;
  Ipv4Range r = p.ipv4 ? SubnetRange(p.local_ipv4, p.mask) : Ipv4Range{};
  view_.values.ipv4_from = Ipv4Text(r.from);
  view_.values.ipv4_to = Ipv4Text(r.to);
}

void SearchSettingsLogic::Recompute() {
  SearchSettingsView& v = view_;
  const Protocols& p = available_.protocols;
  v.ipx_enabled = p.ipx;
  v.tcpip_enabled = p.tcpip;
  v.options_enabled = v.tcpip_enabled && v.values.tcpip;
  v.ipv4_enabled = v.options_enabled && p.ipv4;
  v.ipv6_enabled = v.options_enabled && available_.ipv6();
  v.ipv4_range_enabled = v.ipv4_enabled && v.values.ipv4 && !v.values.use_subnet;
  v.ipv6_range_enabled = v.ipv6_enabled && v.values.ipv6 && !v.values.use_subnet;
}

void SearchSettingsLogic::SetIpx(bool on) {
  if (!view_.ipx_enabled) return;
  view_.values.ipx = on;
  Recompute();
}

void SearchSettingsLogic::SetTcpip(bool on) {
  if (!view_.tcpip_enabled) return;
  view_.values.tcpip = on;
  Recompute();
}

void SearchSettingsLogic::SetIpv4(bool on) {
  if (!view_.ipv4_enabled) return;
  view_.values.ipv4 = on;
  Recompute();
}

void SearchSettingsLogic::SetIpv6(bool on) {
  if (!view_.ipv6_enabled) return;
  view_.values.ipv6 = on;
  Recompute();
}

void SearchSettingsLogic::SetUseSubnet(bool subnet) {
  if (!view_.options_enabled) return;
  view_.values.use_subnet = subnet;
  if (subnet) {
    view_.values.ipv6_from.clear();
    view_.values.ipv6_to.clear();
    ShowSubnetRange();
  }
  Recompute();
}

void SearchSettingsLogic::EditIpv4From(const std::string& text) {
  view_.values.ipv4_from = text;
}
void SearchSettingsLogic::EditIpv4To(const std::string& text) {
  view_.values.ipv4_to = text;
}
void SearchSettingsLogic::EditIpv6From(const std::string& text) {
  view_.values.ipv6_from = text.substr(0, kIpv6TextMax);
}
void SearchSettingsLogic::EditIpv6To(const std::string& text) {
  view_.values.ipv6_to = text.substr(0, kIpv6TextMax);
}

void SearchSettingsLogic::SetChecked(size_t line, bool checked) {
  if (line < view_.lines.size()) view_.lines[line].checked = checked;
}

void SearchSettingsLogic::ToggleEnlarged() { view_.enlarged = !view_.enlarged; }

void SearchSettingsLogic::SnmpSettings() {
  if (view_.snmp_button_visible) host_.RunSnmpSettings();
}

void SearchSettingsLogic::Help() { OpenHelp(help_page_, texts_, screen_); }

bool SearchSettingsLogic::Refuse(uint32_t text, int focus, bool warning, bool select) {
  desktop::Message m;
  m.text = desktop::UiText::Id(text);
  m.caption = desktop::UiText::Id(warning ? text::kWarningCaption : text::kErrorCaption);
  m.icon = warning ? desktop::Icon::kWarning : desktop::Icon::kError;
  screen_.Show(m);
  view_.focus = focus;
  view_.select_focus = select;
  return false;
}

bool SearchSettingsLogic::CheckIpv6Range() {
  SearchSettings& v = view_.values;
  const bool both = !v.ipv6_from.empty() && !v.ipv6_to.empty();
  auto invalid = [&](int focus) {
    return both ? Refuse(text::kIpv6RangeInvalid, focus, true)
                : Refuse(text::kIpv6Zero, focus);
  };
  auto from = FullIpv6(v.ipv6_from);
  if (!from) return invalid(control::kIpv6From);
  auto to = FullIpv6(v.ipv6_to);
  if (!to) return invalid(control::kIpv6To);
  *from = Lower(*from);
  *to = Lower(*to);
  if (*to < *from) return Refuse(text::kIpv6RangeInvalid, control::kIpv6From, true, true);
  if (*from == *to) {
    if (IsZeroIpv6(*from)) return Refuse(text::kIpv6Zero, control::kIpv6From);
    if (IsAllOnesIpv6(*from))
      return Refuse(text::kIpv6RangeInvalid, control::kIpv6From, true);
  }
  v.ipv6_from = *from;
  v.ipv6_to = *to;
  return true;
}

bool SearchSettingsLogic::Ok() {
  view_.focus = 0;
  view_.select_focus = false;
  SearchSettings& v = view_.values;
  const Protocols& p = available_.protocols;
  const bool range = !v.use_subnet && v.tcpip;
  const bool ipv4_range = range && v.ipv4 && p.ipv4;
  std::optional<uint32_t> from, to;
  if (ipv4_range) {
    from = ParseIpv4(v.ipv4_from);
    to = ParseIpv4(v.ipv4_to);
    // An address left incomplete cannot be searched.
    if (!from) return Refuse(text::kIpv4RangeInvalid, control::kIpv4From);
    if (!to) return Refuse(text::kIpv4RangeInvalid, control::kIpv4To);
    if (*from == 0 && *to == 0) return Refuse(text::kZeroAddress, control::kIpv4From);
    if (*from == 0xFFFFFFFF && *to == 0xFFFFFFFF)
      return Refuse(text::kIpv4RangeInvalid, control::kIpv4From);
  }
  if (range && v.ipv6 && p.ipv6 && !CheckIpv6Range()) return false;
  if (ipv4_range && *to < *from)
    return Refuse(text::kIpv4RangeInvalid, control::kIpv4From, true);
  const bool ipx_on = v.ipx && p.ipx;
  if (!v.tcpip && !ipx_on && (p.tcpip || p.ipx)) return Refuse(text::kNoSearch, 0);
  if (std::none_of(view_.lines.begin(), view_.lines.end(),
                   [](const ProductLine& l) { return l.checked; }))
    return Refuse(text::kNoProduct, 0);
  const bool ipv4_on = v.ipv4 && p.ipv4, ipv6_on = v.ipv6 && available_.ipv6();
  if (v.tcpip && p.tcpip && !ipv4_on && !ipv6_on) return Refuse(text::kNoIpFamily, 0);
  if (ipv4_range) {
    v.ipv4_from = Ipv4Text(*from);
    v.ipv4_to = Ipv4Text(*to);
  }
  for (const ProductLine& l : view_.lines)
    if (COID* c = module_.products().ByKey(l.key)) c->checked = l.checked;
  snmp_store_.BackupStep(CSNMPRegistry::Backup::kSave);
  return true;
}

void SearchSettingsLogic::Cancel() {
  snmp_store_.BackupStep(CSNMPRegistry::Backup::kRestore);
}

}  // namespace finder
