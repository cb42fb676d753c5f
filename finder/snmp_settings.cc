#include "finder/snmp_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "finder/product_definition.h"
#include "finder/texts.h"
#include "platform/env.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace finder {
namespace fs = std::filesystem;

namespace {

constexpr char kIdFileFolder[] = ".zelt";
constexpr char kActiveSuffix[] = ".id";
constexpr char kBackupSuffix[] = "LastselectedIDfile.id";
constexpr size_t kCommunityBytes = 256;
constexpr size_t kPathBytes = 256;
constexpr char kPrinterDataRoot[] = "Printers";

platform::Registry& Reg() { return platform::Env::Current()->registry(); }

std::string Cut(std::string s, size_t capacity) {
  std::string out(capacity, '\0');
  out.resize(platform::CopyBounded(out.data(), capacity, s));
  return out;
}

}  // namespace

bool CopyIdFile(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  if (!in) return false;
  std::string bytes((std::istreambuf_iterator<char>(in)),
                    std::istreambuf_iterator<char>());
  std::error_code ec;
  fs::create_directories(fs::path(to).parent_path(), ec);
  std::string temp = to + ".tmp";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                  0600);
  if (fd < 0) return false;
  bool ok = ::write(fd, bytes.data(), bytes.size()) ==
                static_cast<ssize_t>(bytes.size()) &&
            ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok || std::rename(temp.c_str(), to.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

namespace {

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

std::string Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t\r");
  return std::string(s.substr(b, e - b + 1));
}

}  // namespace

int VersionIndexOf(uint32_t stored, bool v3_allowed) {
  if (stored == kSnmpV3) return 1;
  if (stored == kSnmpV1V3) return v3_allowed ? 2 : 0;
  return 0;
}

uint32_t StoredVersionOf(int index) {
  switch (index) {
    case 1: return kSnmpV3;
    case 2: return kSnmpV1V3;
    default: return kSnmpV1;
  }
}

StoreKind StoreKindOf(std::string_view module_type) {
  if (module_type == "PD" || module_type == "FAX") return StoreKind::kPrinterData;
  if (module_type == "WIA") return StoreKind::kIni;
  return StoreKind::kRegistry;
}

std::string SubKeyOf(std::string_view module_type) {
  if (module_type == "ZELT") return "BRD";
  return std::string(module_type);
}

StoreContext ContextFor(const CDiscoveryModule& module, const Texts& texts,
                        const char* base_resource) {
  StoreContext c;
  c.module_type = module.module_type();
  if (StoreKindOf(c.module_type) != StoreKind::kPrinterData) {
    std::string base = TextOf(texts, module.generic().ResourceId(base_resource));
    if (!base.empty()) c.settings_key = base + "\\" + SubKeyOf(c.module_type);
  }
  if (StoreKindOf(c.module_type) != StoreKind::kRegistry)
    c.ini_path = platform::Env::Current()->UserProfileDir() + "/" +
                 kIdFileFolder + "/" + c.module_type + "_snmp.ini";
  std::string value = module.checks().Value(kCheckCommunityName);
  if (!value.empty()) c.community_value = value;
  return c;
}

CSNMPRegistry::CSNMPRegistry(StoreContext context) : context_(std::move(context)) {
  std::string stem = platform::Env::Current()->UserProfileDir() + "/" +
                     kIdFileFolder + "/" +
                     (context_.module_type.empty() ? "SNMP" : context_.module_type);
  active_ = stem + kActiveSuffix;
  backup_ = stem + kBackupSuffix;
}

std::optional<SnmpSettings> CSNMPRegistry::Read() const {
  SnmpSettings s;
  if (StoreKindOf(context_.module_type) != StoreKind::kRegistry) {
    auto version = ReadIniValue(context_.ini_path, kIniSection, kValueSnmpVersion);
    if (!version) return std::nullopt;
    s.version = static_cast<uint32_t>(std::strtoul(version->c_str(), nullptr, 10));
    s.id_file_path = Cut(
        ReadIniValue(context_.ini_path, kIniSection, kValueIdFilePath).value_or(""),
        kPathBytes);
    s.last_selected_path = ReadLastSelected();
    return s;
  }
  if (context_.settings_key.empty()) return std::nullopt;
  auto key = platform::RegKey::Open(Reg(), platform::RegRoot::kCurrentUser,
                                    context_.settings_key);
  if (!key) return std::nullopt;
  auto version = key->GetDword(kValueSnmpVersion);
  if (!version) return std::nullopt;
  s.version = *version;
  s.id_file_path = Cut(key->GetString(kValueIdFilePath).value_or(""), kPathBytes);
  s.last_selected_path = key->GetString(kValueLastSelectedIdFile).value_or("");
  return s;
}

std::string CSNMPRegistry::ReadLastSelected() const {
  if (StoreKindOf(context_.module_type) != StoreKind::kRegistry)
    return ReadIniValue(context_.ini_path, kIniSection, kValueLastSelectedIdFile)
        .value_or("");
  if (context_.settings_key.empty()) return {};
  auto key = platform::RegKey::Open(Reg(), platform::RegRoot::kCurrentUser,
                                    context_.settings_key);
  return key ? key->GetString(kValueLastSelectedIdFile).value_or("") : "";
}

bool CSNMPRegistry::Write(const SnmpSettings& s) const {
  const bool paths = s.version == kSnmpV3 || s.version == kSnmpV1V3;
  if (StoreKindOf(context_.module_type) != StoreKind::kRegistry) {
    const std::string& ini = context_.ini_path;
    bool ok = WriteIniValue(ini, kIniSection, kValueSnmpVersion,
                            std::to_string(s.version));
    if (ok && paths)
      ok = WriteIniValue(ini, kIniSection, kValueIdFilePath, s.id_file_path) &&
           WriteIniValue(ini, kIniSection, kValueLastSelectedIdFile,
                         s.last_selected_path);
    return ok;
  }
  if (context_.settings_key.empty()) return false;
  auto key = platform::RegKey::Create(Reg(), platform::RegRoot::kCurrentUser,
                                      context_.settings_key);
  if (!key || !key->SetDword(kValueSnmpVersion, s.version)) return false;
  if (!paths) return true;
  return key->SetString(kValueIdFilePath, s.id_file_path) &&
         key->SetString(kValueLastSelectedIdFile, s.last_selected_path);
}

bool CSNMPRegistry::BackupStep(Backup mode) const {
  switch (mode) {
    case Backup::kRestore:
      return !Exists(backup_) || CopyIdFile(backup_, active_);
    case Backup::kSave:
      return !Exists(active_) || CopyIdFile(active_, backup_);
    case Backup::kSaveOnce:
      return Exists(backup_) || !Exists(active_) || CopyIdFile(active_, backup_);
  }
  return false;
}

std::string PrinterDataKey(std::string_view printer) {
  return std::string(kPrinterDataRoot) + "\\" + std::string(printer);
}

bool PrinterExists(std::string_view printer) {
  return !printer.empty() &&
         Reg().KeyExists(platform::RegRoot::kCurrentUser, PrinterDataKey(printer));
}

std::optional<std::string> ReadStoredCommunity(const StoreContext& c) {
  if (StoreKindOf(c.module_type) == StoreKind::kPrinterData) {
    if (c.printer.empty()) return std::nullopt;
    auto v = Reg().GetValue(platform::RegRoot::kCurrentUser,
                            PrinterDataKey(c.printer), c.community_value);
    if (!v || v->type != platform::RegType::kString) return std::nullopt;
    return Cut(v->text, kCommunityBytes);
  }
  if (c.settings_key.empty()) return std::nullopt;
  auto key = platform::RegKey::Open(Reg(), platform::RegRoot::kCurrentUser,
                                    c.settings_key);
  if (!key) return std::nullopt;
  auto name = key->GetString(kValueCommunityName);
  if (!name) return std::nullopt;
  return Cut(*name, kCommunityBytes);
}

std::string ReadCommNameFromRegistry(const StoreContext& c) {
  auto name = ReadStoredCommunity(c);
  return name ? *name : kDefaultCommunity;
}

bool WriteCommNameToRegistry(std::string_view name, const StoreContext& c) {
  if (StoreKindOf(c.module_type) == StoreKind::kPrinterData) {
    if (c.printer.empty()) return false;
    return Reg().SetValue(platform::RegRoot::kCurrentUser,
                          PrinterDataKey(c.printer), c.community_value,
                          platform::RegValue::String(name));
  }
  if (c.settings_key.empty()) return false;
  auto key = platform::RegKey::Create(Reg(), platform::RegRoot::kCurrentUser,
                                      c.settings_key);
  return key && key->SetString(kValueCommunityName, name);
}

std::optional<std::string> ReadIniValue(const std::string& path,
                                        std::string_view section,
                                        std::string_view key) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (t.front() == '[' && t.back() == ']') {
      inside = platform::EqualsIgnoreCase(Trim(t.substr(1, t.size() - 2)), section);
      continue;
    }
    size_t eq = t.find('=');
    if (inside && eq != std::string::npos &&
        platform::EqualsIgnoreCase(Trim(t.substr(0, eq)), key))
      return Trim(t.substr(eq + 1));
  }
  return std::nullopt;
}

bool WriteIniValue(const std::string& path, std::string_view section,
                   std::string_view key, std::string_view value) {
  std::vector<std::string> lines;
  {
    std::ifstream in(path);
    std::string line;
    while (in && std::getline(in, line)) lines.push_back(line);
  }
  const std::string entry = std::string(key) + "=" + std::string(value);
  bool inside = false, done = false;
  size_t section_end = std::string::npos;
  for (size_t i = 0; i < lines.size() && !done; ++i) {
    std::string t = Trim(lines[i]);
    if (!t.empty() && t.front() == '[' && t.back() == ']') {
      inside = platform::EqualsIgnoreCase(Trim(t.substr(1, t.size() - 2)), section);
      if (inside) section_end = i + 1;
      continue;
    }
    if (!inside) continue;
    if (!t.empty()) section_end = i + 1;
    size_t eq = t.find('=');
    if (eq != std::string::npos &&
        platform::EqualsIgnoreCase(Trim(t.substr(0, eq)), key)) {
      lines[i] = entry;
      done = true;
    }
  }
  if (!done) {
    if (section_end == std::string::npos) {
      lines.push_back("[" + std::string(section) + "]");
      lines.push_back(entry);
    } else {
      lines.insert(lines.begin() + static_cast<long>(section_end), entry);
    }
  }
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::trunc);
    for (const std::string& l : lines) out << l << '\n';
    out.close();
    if (!out) return false;
  }
  return std::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace finder
