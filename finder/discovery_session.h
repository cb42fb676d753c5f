// The discovery side of the device list dialog, apart from its window: the
// protocol and settings facts read at dialog start, the start of a run
// with the stored SNMP settings and credentials, the rows, and what OK
// and the end of a run write to the registry.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/screen.h"
#include "finder/discovery_engine.h"
#include "finder/search_settings.h"
#include "finder/snmp_settings.h"
#include "finder/texts.h"

namespace finder {

class CDiscoveryModule;

inline constexpr char kRegistryWriteFailed[] =
    "Failed to write the value in the Registry";
inline constexpr char kLastDiscoveredKey[] = "LastDiscovered";
inline constexpr int kLastDiscoveredSlots = 1028;

inline constexpr char kTimeoutSection[] = "BroadcastTimeout";
inline constexpr char kTimeoutKey[] = "TimeoutValue";

// The label of a row's SNMP version: "V1/V2", or text 193 for SNMPv3.
std::string VersionLabel(int version, const Texts& texts);

class DiscoverySession {
 public:
  // module, texts and screen must outlive the session; the screen shows
  // the error boxes of OK and Cancel.
  DiscoverySession(const CDiscoveryModule& module, const Texts& texts,
                   desktop::Screen& screen);
  ~DiscoverySession();

  // Dialog start: protocols, discovery settings, the IPv4 range.
  void Init(const Protocols& protocols);
  // The settings as the dialogs show them (the IPv4 range as searched).
  const SearchSettings& search_settings() const { return search_; }
  // The settings dialog was confirmed: the next run uses these; they are
  // stored when the dialog is closed with OK.
  void ApplySearchSettings(const SearchSettings& s);
  // A run with the stored SNMP settings; false when there is nothing to
  // search.
  bool Start(std::function<void()> wake = {});
  void Stop();  // joins the run's threads
  bool running() const { return engine_ && !engine_->Finished(); }
  // Moves accepted rows into rows(); the window thread calls it.
  void Poll();
  // The end of a run: "LastDiscovered".
  void Finish();

  // OK with a selected row (or none): the registry writes, the search
  // settings included. False keeps the dialog open.
  bool Ok(std::optional<size_t> selected);
  // Cancel: the run stops, the community name and the SNMPv3 credentials
  // read at dialog start are written back (the ID file re-encrypted, its
  // backup refreshed), so that changes made meanwhile do not survive; no
  // selection is stored.
  void Cancel();

  const std::vector<DeviceRow>& rows() const { return rows_; }
  void AddRow(DeviceRow row) { rows_.push_back(std::move(row)); }
  void RemoveRow(size_t index) {
    if (index < rows_.size()) rows_.erase(rows_.begin() + static_cast<long>(index));
  }
  const DiscoveryConfig& config() const { return config_; }
  DiscoveryConfig& mutable_config() { return config_; }
  // The keys this session uses.
  std::string SelectionKey() const;
  std::string SettingsKey() const;  // discovery settings
  std::string LastDiscoveredKey() const;
  std::string TimeoutFile() const;
  StoreContext StoreContextOf() const;
  // A printer-driver caller's printer, whose data hold the community name.
  void set_printer(std::string printer) { printer_ = std::move(printer); }
  std::string IdFileLibraryName() const;

  // The SNMP settings and credentials a run uses, read again at each
  // start (exposed for the command line).
  void LoadSnmpSettings();

 private:
  const CDiscoveryModule& module_;
  const Texts& texts_;
  desktop::Screen& screen_;
  DiscoveryConfig config_;
  SearchSettings search_;
  std::string printer_;
  SnmpSettings snmp_;
  // As found at dialog start, for Cancel.
  std::optional<std::string> start_community_;
  std::optional<V3Credentials> start_credentials_;
  std::unique_ptr<DiscoveryEngine> engine_;
  std::vector<DeviceRow> rows_;
  std::vector<std::string> discovered_;
};

// Whether a value of the selection key belongs to the stored list or the
// stored choice ("Address0", "Name12", "Last Selected IP", ...), which a
// confirmed discovery replaces; every other value there is kept.
bool IsSelectionValue(std::string_view name);

// Writes the addresses into HKCU\<base>\LastDiscovered as "0", "1", ...,
// each once (compared without regard to case), after removing the old
// values. False when the key cannot be made.
bool WriteLastDiscovered(const std::string& key,
                         const std::vector<std::string>& addresses);

}  // namespace finder
