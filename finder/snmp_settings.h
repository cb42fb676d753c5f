// Where the discovery library keeps its SNMP settings: the SNMP version,
// the path of the SNMPv3 ID file in use, the one the user last chose, and
// the community name. The ID file itself carries the SNMPv3 credentials;
// they never stand in the registry.
//
// The settings key is HKCU\<base>\<sub-key>: <base> is a language text that
// the product definition names, the sub-key follows from its module type
// ("BRD" for "ZELT", so keeper's settings share its selection key).
// Printer-driver module types keep the version and ID file path in an INI
// file (section "SNMP") and, for "PD" and "FAX", the community name in the
// printer's data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "finder/texts.h"

namespace finder {

class CDiscoveryModule;

// The stored "SNMPVersion" values (also the SNMP mode of a discovery).
inline constexpr uint32_t kSnmpV1 = 1;
inline constexpr uint32_t kSnmpV3 = 3;
inline constexpr uint32_t kSnmpV1V3 = 13;

// The dialog's radio index of a stored version: 3 -> 1, 13 -> 2 (0 when
// SNMPv3 is not allowed), anything else -> 0.
int VersionIndexOf(uint32_t stored, bool v3_allowed);
// The stored version of a radio index: 0 -> 1, 1 -> 3, 2 -> 13.
uint32_t StoredVersionOf(int index);

inline constexpr char kValueSnmpVersion[] = "SNMPVersion";
inline constexpr char kValueIdFilePath[] = "IDFilePath";
inline constexpr char kValueLastSelectedIdFile[] = "LastSelectedIDFilePath";
inline constexpr char kValueCommunityName[] = "SNMPCommunityName";
inline constexpr char kDefaultCommunity[] = "public";
inline constexpr char kPrinterCommunityValue[] = "SNMP Community";
inline constexpr char kIniSection[] = "SNMP";

// Which way a module type stores its settings.
enum class StoreKind {
  kRegistry,     // the settings key
  kIni,          // "WIA": version and ID file path in the INI file
  kPrinterData,  // "PD", "FAX": INI file, community in the printer's data
};
StoreKind StoreKindOf(std::string_view module_type);
// "BRD" for "ZELT"; other module types use their own name.
std::string SubKeyOf(std::string_view module_type);

struct SnmpSettings {
  uint32_t version = kSnmpV1;
  std::string id_file_path;        // "IDFilePath"
  std::string last_selected_path;  // "LastSelectedIDFilePath"
};

// What the stores need to know of the caller: the product definition's
// module type, the composed paths, and the printer whose data holds the
// community name (printer-driver module types only).
struct StoreContext {
  std::string module_type;
  std::string settings_key;  // HKCU path; empty for the printer-data kind
  std::string ini_path;      // printer-driver module types
  std::string printer;       // printer name; empty: none
  std::string community_value = kPrinterCommunityValue;
};

// The context for a product definition: base key from the language text
// the definition's `base_resource` entry names (TQ9_REG_BASE for the
// dialog, PELLAR_REG_PATH for the store).
StoreContext ContextFor(const CDiscoveryModule& module, const Texts& texts,
                        const char* base_resource);

// The settings store.
class CSNMPRegistry {
 public:
  explicit CSNMPRegistry(StoreContext context);

  // nullopt when the key or "SNMPVersion" is missing (the caller then keeps
  // version 1 and no ID file).
  std::optional<SnmpSettings> Read() const;
  std::string ReadLastSelected() const;
  // Writes "SNMPVersion"; for 3 and 13 also both paths. False when the
  // store cannot be written.
  bool Write(const SnmpSettings& s) const;

  // The ID file pair: the active file and its backup.
  const std::string& active_id_file() const { return active_; }
  const std::string& backup_id_file() const { return backup_; }
  enum class Backup { kRestore = 1, kSave = 2, kSaveOnce = 3 };
  // 1 copies the backup over the active file, 2 the active file over the
  // backup, 3 as 2 but only when there is no backup. False when a copy
  // that was due failed.
  bool BackupStep(Backup mode) const;

  const StoreContext& context() const { return context_; }

 private:
  StoreContext context_;
  std::string active_;
  std::string backup_;
};

// The community-name store. Reading yields "public" on any failure.
std::string ReadCommNameFromRegistry(const StoreContext& c);
bool WriteCommNameToRegistry(std::string_view name, const StoreContext& c);
// As ReadCommNameFromRegistry, but "" when nothing is stored (what the
// discovery's OK step re-writes after rebuilding the key).
std::optional<std::string> ReadStoredCommunity(const StoreContext& c);

// The printer-data store of the printer-driver module types: one registry
// key per printer. Exposed for the driver entry points and tests.
std::string PrinterDataKey(std::string_view printer);
bool PrinterExists(std::string_view printer);

// Copies an ID file; the copy is readable by its owner only. False when
// it cannot be read or written.
bool CopyIdFile(const std::string& from, const std::string& to);

// INI access of the printer-driver module types.
std::optional<std::string> ReadIniValue(const std::string& path,
                                        std::string_view section,
                                        std::string_view key);
bool WriteIniValue(const std::string& path, std::string_view section,
                   std::string_view key, std::string_view value);

}  // namespace finder
