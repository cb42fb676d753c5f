// The product definition: what differs between the applications that use
// the discovery library. Which language library to load, which registry
// keys to use, which SNMP features the application has, and which device
// types count as its own devices.
//
// It is read from an XML form (written by people) or from the archive form
// that the build makes from it and that the programs ship. Texts are kept
// as UTF-8; the archive form carries UTF-16.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace finder {

// The three texts of a find entry: how a product family is named in the
// discovery settings ("1"/"0" switches for the prefix and series suffix
// texts, and the family's own value).
struct FindEntry {
  std::string prefix;
  std::string suffix;
  std::string value;
  bool operator==(const FindEntry&) const = default;
};

// Resource ids: name -> integer (a switch, or the number of a language
// text), and name -> find entry. Names compare case-sensitively.
class CResIDs {
 public:
  static constexpr int32_t kMissing = -1;

  int32_t ResourceId(std::string_view name) const;  // kMissing when absent
  void Set(std::string name, int32_t value) { ids_[std::move(name)] = value; }
  const FindEntry* Find(std::string_view name) const;
  void SetFind(std::string name, FindEntry entry) {
    finds_[std::move(name)] = std::move(entry);
  }
  const std::map<std::string, int32_t, std::less<>>& ids() const { return ids_; }
  const std::map<std::string, FindEntry, std::less<>>& finds() const {
    return finds_;
  }
  void Clear() {
    ids_.clear();
    finds_.clear();
  }
  bool operator==(const CResIDs&) const = default;

 private:
  std::map<std::string, int32_t, std::less<>> ids_;
  std::map<std::string, FindEntry, std::less<>> finds_;
};

// Named texts; a missing name reads as "".
class CChecks {
 public:
  std::string Value(std::string_view name) const;
  void Set(std::string name, std::string value) {
    values_[std::move(name)] = std::move(value);
  }
  const std::map<std::string, std::string, std::less<>>& values() const {
    return values_;
  }
  void Clear() { values_.clear(); }
  bool operator==(const CChecks&) const = default;

 private:
  std::map<std::string, std::string, std::less<>> values_;
};

// One product family: the sysObjectID (or a prefix of it) that identifies
// its devices, and how discovery treats it.
struct COID {
  std::string id;
  int32_t model_type = 0;
  std::vector<std::string> driver_types;
  std::vector<std::string> supported_drivers_res_ids;
  int32_t reserved = 0;
  bool enabled = false;
  bool def_checked = false;
  bool checked = false;
  bool found = false;
  int32_t priority = 0;  // 0: the primary product
  int32_t family = 0;    // registry type of the discovery settings
  std::string key;       // unique name of the entry
  CResIDs specific;
  bool operator==(const COID&) const = default;
};

// The product entries, by Key (the order every walk uses) and by ID.
class CProducts {
 public:
  // Adds or replaces the entry of that Key.
  void Add(COID product);
  size_t count() const { return by_key_.size(); }

  bool AnyEnabledAndChecked() const;
  bool AnyEnabledCheckedAndFound() const;
  // The first Enabled and Checked entry whose ID occurs in the sysObjectID
  // text; every considered entry before it has its Found flag cleared. The
  // caller marks the result Found.
  COID* ForSysObjectId(std::string_view sys_object_id);
  // The first Enabled entry of priority 0; else the last entry; null when
  // there are none.
  const COID* Primary() const;
  void ClearFound();
  // Every entry, in Key order.
  std::vector<const COID*> List() const;
  COID* ByKey(std::string_view key);
  const COID* ById(std::string_view id) const;
  void Clear() {
    by_key_.clear();
    key_of_id_.clear();
  }
  bool operator==(const CProducts& other) const { return by_key_ == other.by_key_; }

  auto begin() const { return by_key_.begin(); }
  auto end() const { return by_key_.end(); }

 private:
  std::map<std::string, COID, std::less<>> by_key_;
  std::map<std::string, std::string, std::less<>> key_of_id_;
};

class CDiscoveryModule {
 public:
  // The module of the process: created on first use, never destroyed.
  static CDiscoveryModule& Instance();

  // Both return true on success. A failure leaves the model as far as it
  // was read; message receives the text to show for an XML failure.
  bool LoadXml(const std::string& path, std::string* message);
  bool LoadArchive(const std::string& path);
  // The archive form of the model, and reading one from memory (the same
  // reader LoadArchive uses; false on any malformed or truncated input).
  std::string StoreArchive() const;
  bool ReadArchive(std::string_view bytes);
  bool SaveArchive(const std::string& path) const;  // true on success

  void Clear();

  const std::string& module_type() const { return module_type_; }
  bool new_format() const { return new_format_; }
  const std::string& language_library() const { return language_library_; }
  const std::string& second_text() const { return second_text_; }
  const CResIDs& generic() const { return generic_; }
  const CChecks& checks() const { return checks_; }
  const CProducts& products() const { return products_; }
  CProducts& products() { return products_; }

  void set_module_type(std::string v) { module_type_ = std::move(v); }
  void set_new_format(bool v) { new_format_ = v; }
  void set_language_library(std::string v) { language_library_ = std::move(v); }
  void set_second_text(std::string v) { second_text_ = std::move(v); }
  CResIDs& mutable_generic() { return generic_; }
  CChecks& mutable_checks() { return checks_; }

  // Checks entry "SNMP" equal to "v1:v2:v3".
  bool DeclaresSnmpV3() const;
  // Resource entry "SNMPCOMMNAME" equal to 1.
  bool DeclaresCommunityName() const;

  bool operator==(const CDiscoveryModule&) const = default;

 private:
  std::string module_type_;
  bool new_format_ = false;
  std::string language_library_;
  std::string second_text_;
  CResIDs generic_;
  CChecks checks_;
  CProducts products_;
};

// The texts the XML loader shows.
inline constexpr char kXmlLoadFailed[] =
    "Failed to load the document from XML file. Error with load of DOM "
    "Document.";
inline constexpr char kXmlDataFailed[] =
    "Failed to get the data from the XML document. "
    "GetAllNodesAndPopulateData() failed.";

// Names of the generic resource ids and checks the library reads.
inline constexpr char kResCommunityName[] = "SNMPCOMMNAME";
inline constexpr char kResIdFileLibrary[] = "BLOWFISH";
inline constexpr char kResDialogRegBase[] = "TQ9_REG_BASE";
inline constexpr char kResStoreRegBase[] = "PELLAR_REG_PATH";
inline constexpr char kResDiscoveryRegBase[] = "DISCOVERY_REG_BASE";
inline constexpr char kCheckSnmp[] = "SNMP";
inline constexpr char kCheckIpx[] = "IPX";
inline constexpr char kCheckOsVersion[] = "OSVERSION";
inline constexpr char kCheckCommunityName[] = "COMMUNITY_NAME";
inline constexpr char kSnmpV3Declared[] = "v1:v2:v3";

}  // namespace finder
