#include "finder/discovery_list.h"

#include <algorithm>
#include <chrono>

#include "desktop/format.h"
#include "finder/dialog_host.h"
#include "finder/help.h"
#include "finder/manual_selection.h"
#include "finder/product_definition.h"

namespace finder {

std::string DevicePageUrl(const std::string& address) {
  const bool ipv6 = std::count(address.begin(), address.end(), ':') >= 2;
  return "http://" + (ipv6 ? "[" + address + "]" : address) + ":" +
         std::to_string(kDevicePagePort);
}

// A device asked in the background: for the link of the selected row, or
// whether an SNMPv3 row still answers after the settings changed.
struct DiscoveryListLogic::Probe {
  DeviceRow row;
  bool recheck = false;
  std::future<std::optional<std::string>> answer;
};

DiscoveryListLogic::DiscoveryListLogic(CDiscoveryModule& module, const Texts& texts,
                                       desktop::Screen& screen, DialogHost& host,
                                       ListOptions options)
    : module_(module), texts_(texts), screen_(screen), host_(host),
      options_(std::move(options)), session_(module, texts, screen),
      columns_(texts(text::kOtherLastDiscoveredBase), options_.folder) {
  session_.set_printer(options_.printer);
}

DiscoveryListLogic::~DiscoveryListLogic() {
  session_.Stop();
  probes_.clear();  // waits for answers still on their way
}

void DiscoveryListLogic::Init() {
  Protocols p = options_.protocols ? *options_.protocols : CheckInstalledProtocols2();
  session_.Init(p);
  available_.protocols = p;
  available_.ipv6_os_allowed = session_.config().ipv6_os_allowed;
  view_.column_order = columns_.Read();
}

std::string DiscoveryListLogic::VersionText(const DeviceRow& row) const {
  return VersionLabel(row.version, texts_);
}

void DiscoveryListLogic::StartStop() {
  if (view_.running) {
    session_.Stop();
    session_.Finish();
    view_.running = false;
    RowsChanged();
    return;
  }
  view_.selected.reset();
  view_.ok_enabled = false;
  view_.link.clear();
  polled_rows_ = 0;
  view_.running = session_.Start(options_.wake);
  RowsChanged();  // the list starts empty
}

void DiscoveryListLogic::Poll() {
  session_.Poll();
  if (session_.rows().size() != polled_rows_) {
    polled_rows_ = session_.rows().size();
    RowsChanged();
  }
  if (view_.running && !session_.running()) {
    session_.Finish();
    view_.running = false;
  }
  CollectProbes();
}

void DiscoveryListLogic::Select(std::optional<size_t> row) {
  if (row && *row >= rows().size()) row.reset();
  view_.selected = row;
  view_.ok_enabled = row.has_value();
  view_.link.clear();
  if (row) StartProbe(rows()[*row], false);
}

void DiscoveryListLogic::StartProbe(const DeviceRow& row, bool recheck) {
  DeviceGetFn get = options_.get;
  if (!get) {
    DeviceCredentials creds{session_.config().community, session_.config().v3};
    get = [creds](const std::string& address, const std::string& oid, int version) {
      return DeviceGet(address, oid, version, creds);
    };
  }
  Probe probe;
  probe.row = row;
  probe.recheck = recheck;
  const std::string address = row.address;
  const int version = row.version == 3 ? 3 : 1;
  probe.answer = std::async(std::launch::async, [get, address, version] {
    return get(address, kOidSysObjectId, version);
  });
  probes_.push_back(std::move(probe));
}

void DiscoveryListLogic::CollectProbes() {
  for (auto it = probes_.begin(); it != probes_.end();) {
    if (it->answer.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
      ++it;
      continue;
    }
    std::optional<std::string> answer = it->answer.get();
    const DeviceRow row = it->row;
    const bool recheck = it->recheck;
    it = probes_.erase(it);
    const std::vector<DeviceRow>& all = rows();
    auto at = std::find(all.begin(), all.end(), row);
    if (at == all.end()) continue;  // the row went meanwhile
    const size_t index = static_cast<size_t>(at - all.begin());
    if (recheck) {
      if (answer) continue;
      session_.RemoveRow(index);
      polled_rows_ = session_.rows().size();
      if (view_.selected) {
        if (*view_.selected == index) {
          Select(std::nullopt);
        } else if (*view_.selected > index) {
          --*view_.selected;
        }
      }
      RowsChanged();
      continue;
    }
    if (!answer || view_.selected != index) continue;
    if (COID* product = module_.products().ForSysObjectId(*answer)) product->found = true;
    view_.link = DevicePageUrl(row.address);
  }
}

void DiscoveryListLogic::OpenLink() {
  if (view_.link.empty() || screen_.OpenUrl(view_.link)) return;
  screen_.Show({desktop::UiText::Of(desktop::FormatText(
                    texts_.Text(text::kLinkUnavailable), {view_.link})),
                desktop::UiText::Id(text::kErrorCaption), desktop::Icon::kError});
}

void DiscoveryListLogic::Advanced() {
  SearchSettingsLogic settings(module_, texts_, screen_, host_, available_,
                               session_.search_settings(), options_.v3_support,
                               CSNMPRegistry(session_.StoreContextOf()));
  settings.set_help_page(
      HelpPage(options_.folder, HelpFile(), kHelpContextSettings));
  if (!host_.RunSearchSettings(settings)) {
    settings.Cancel();
    return;
  }
  session_.ApplySearchSettings(settings.view().values);
  // The SNMP settings may have changed too: every SNMPv3 row must still
  // answer with the ID file now in use.
  session_.LoadSnmpSettings();
  for (const DeviceRow& r : rows())
    if (r.version == 3) StartProbe(r, true);
}

void DiscoveryListLogic::ManualSelection() {
  if (rows().size() >= kMaxListRows) {
    screen_.Show({desktop::UiText::Id(text::kListFull),
                  desktop::UiText::Id(text::kErrorCaption), desktop::Icon::kError});
    return;
  }
  ManualAvailability a;
  a.ipv4 = available_.protocols.ipv4;
  a.ipv6 = available_.ipv6();
  a.ipx = available_.protocols.ipx;
  ManualCredentials creds{CSNMPRegistry(session_.StoreContextOf()),
                          module_.DeclaresCommunityName(),
                          session_.IdFileLibraryName()};
  ManualSelectionLogic manual(screen_, host_, a,
                              ShowsSnmpSettingsButton(module_, options_.v3_support),
                              std::move(creds), rows(), options_.get);
  if (!host_.RunManualSelection(manual)) {
    manual.Cancel();
    return;
  }
  session_.AddRow(manual.row());
  polled_rows_ = rows().size();
  RowsChanged();
}

std::string DiscoveryListLogic::HelpFile() const {
  if (options_.product_code == -1)
    return TextOf(texts_, module_.generic().ResourceId(kResHelpFile));
  return texts_(text::kOtherHelpFile);
}

void DiscoveryListLogic::Help() {
  OpenHelp(HelpPage(options_.folder, HelpFile(), kHelpContextList), texts_, screen_);
}

void DiscoveryListLogic::SaveColumnOrder() { columns_.Write(view_.column_order); }

bool DiscoveryListLogic::Ok() {
  if (!session_.Ok(view_.selected)) return false;
  view_.running = false;
  SaveColumnOrder();
  return true;
}

void DiscoveryListLogic::Cancel() {
  session_.Cancel();
  view_.running = false;
  SaveColumnOrder();
}

bool DiscoveryListLogic::Close() {
  if (view_.running) return false;
  Cancel();
  return true;
}

}  // namespace finder
