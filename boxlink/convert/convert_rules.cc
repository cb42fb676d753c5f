#include "boxlink/convert/convert_rules.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/env.h"

namespace boxlink {

namespace {

bool IsFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

std::string Join(const std::string& dir, std::string_view name) {
  if (dir.empty()) return std::string(name);
  return dir.back() == '/' ? dir + std::string(name) : dir + "/" + std::string(name);
}

}  // namespace

std::string RuleFileName(std::string_view source_model) {
  std::string name(source_model);
  for (char& c : name)
    if (c == '/') c = '_';
  return name + ".ini";
}

std::optional<std::string> LocateFile(std::string_view file_name) {
  if (file_name.empty()) return std::nullopt;
  std::string program = platform::Env::Current()->ProgramDir();
  if (!program.empty() && IsFile(Join(program, file_name))) return Join(program, file_name);
  std::error_code ec;
  std::string current = std::filesystem::current_path(ec).string();
  if (!ec && IsFile(Join(current, file_name))) return Join(current, file_name);
  const char* path = std::getenv("PATH");
  std::string_view rest = path ? path : "";
  while (path) {
    size_t colon = rest.find(':');
    std::string dir(rest.substr(0, colon));
    if (dir.empty()) dir = current;
    if (!dir.empty() && IsFile(Join(dir, file_name))) return Join(dir, file_name);
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return std::nullopt;
}

bool LoadRuleFile(std::string_view source_model, CIniFile* ini) {
  std::optional<std::string> path = LocateFile(RuleFileName(source_model));
  return path && ini->ReadFile(*path);
}

ConvertChecks ReadChecks(const CIniFile& ini, std::string_view target_model) {
  ConvertChecks c;
  c.colour = ini.GetInt(target_model, kColorCheckKey, 0) != 0;
  c.wide_paper = ini.GetInt(target_model, kWidePaperCheckKey, 0) != 0;
  c.copy_compound = ini.GetInt(target_model, kCopyCompoundCheckKey, 0) != 0;
  c.k_size = ini.GetInt(target_model, kKSizeCheckKey, 0) != 0;
  return c;
}

}  // namespace boxlink
