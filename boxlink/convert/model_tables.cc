#include "boxlink/convert/model_tables.h"

#include <dlfcn.h>

#include <filesystem>

#include "platform/env.h"

namespace boxlink {

namespace {

bool Contains(std::string_view text, std::string_view part) {
  return !part.empty() && text.find(part) != std::string_view::npos;
}

bool ContainsAny(std::string_view text, const std::vector<std::string>& parts) {
  for (const std::string& p : parts)
    if (Contains(text, p)) return true;
  return false;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// "source | target" keys of the pair sections.
std::optional<ModelTables::Pair> SplitPair(std::string_view key) {
  size_t bar = key.find('|');
  if (bar == std::string_view::npos) return std::nullopt;
  ModelTables::Pair p{std::string(Trim(key.substr(0, bar))),
                      std::string(Trim(key.substr(bar + 1)))};
  if (p.source.empty() || p.target.empty()) return std::nullopt;
  return p;
}

std::vector<std::string> List(const CIniFile& ini, std::string_view section) {
  std::vector<std::string> out;
  for (const CIniFile::Entry& e : ini.Entries(section))
    if (!e.has_value && !e.key.empty()) out.push_back(e.key);
  return out;
}

bool PairMatches(const ModelTables::Pair& p, std::string_view version,
                 std::string_view target) {
  return Contains(version, p.source) && Contains(target, p.target);
}

// The folder of the shared object this code is part of.
std::string OwnFolder() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&OwnFolder), &info) || !info.dli_fname) return {};
  return std::filesystem::path(info.dli_fname).parent_path().string();
}

}  // namespace

ModelTables ModelTables::FromIni(const CIniFile& ini) {
  ModelTables t;
  t.classic_sources = List(ini, "ClassicSources");
  t.storage_sources = List(ini, "StorageSources");
  t.byte_order_targets = List(ini, "ByteOrderTargets");
  t.byte_order_exempt = List(ini, "ByteOrderExempt");
  for (const CIniFile::Entry& e : ini.Entries("AllowedTargets")) {
    if (!e.has_value || e.key.empty()) continue;
    AllowedTargets row{e.key, {}};
    std::string_view rest = e.value;
    while (!rest.empty()) {
      size_t comma = rest.find(',');
      std::string_view item = Trim(rest.substr(0, comma));
      if (!item.empty()) row.targets.emplace_back(item);
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    t.allowed_targets.push_back(std::move(row));
  }
  for (const CIniFile::Entry& e : ini.Entries("WidePaper")) {
    std::optional<Pair> p = SplitPair(e.key);
    if (!p || !e.has_value) continue;
    WidePaperCheck check;
    if (e.value == "strict") check = WidePaperCheck::kStrict;
    else if (e.value == "narrow") check = WidePaperCheck::kNarrow;
    else continue;
    t.wide_paper.push_back({std::move(*p), check});
  }
  for (const CIniFile::Entry& e : ini.Entries("Relabel")) {
    std::optional<Pair> p = SplitPair(e.key);
    if (!p || !e.has_value || e.value.empty()) continue;
    t.relabel.push_back({std::move(*p), e.value});
  }
  return t;
}

std::optional<ModelTables> ModelTables::LoadFile(const std::string& path) {
  CIniFile ini;
  if (!ini.ReadFile(path)) return std::nullopt;
  return FromIni(ini);
}

std::optional<ModelTables> ModelTables::LoadShipped() {
  for (const std::string& dir : {platform::Env::Current()->ProgramDir(), OwnFolder()}) {
    if (dir.empty()) continue;
    if (auto t = LoadFile(dir + "/" + kModelTablesFileName)) return t;
  }
  return std::nullopt;
}

bool ModelTables::IsClassicSource(std::string_view version) const {
  return ContainsAny(version, classic_sources);
}

bool ModelTables::IsStorageSource(std::string_view version) const {
  return ContainsAny(version, storage_sources);
}

bool ModelTables::TargetAllowed(std::string_view version, std::string_view target) const {
  for (const AllowedTargets& row : allowed_targets)
    if (Contains(version, row.source) && ContainsAny(target, row.targets)) return true;
  return false;
}

WidePaperCheck ModelTables::WidePaper(std::string_view version,
                                      std::string_view target) const {
  for (const WidePaperPair& row : wide_paper)
    if (PairMatches(row.pair, version, target)) return row.check;
  return WidePaperCheck::kNone;
}

bool ModelTables::IsByteOrderTarget(std::string_view target) const {
  return ContainsAny(target, byte_order_targets);
}

bool ModelTables::IsByteOrderExempt(std::string_view version) const {
  return ContainsAny(version, byte_order_exempt);
}

std::optional<std::string> ModelTables::RelabelVersion(std::string_view version,
                                                       std::string_view target) const {
  for (const Relabel& row : relabel)
    if (PairMatches(row.pair, version, target)) return row.version;
  return std::nullopt;
}

}  // namespace boxlink
