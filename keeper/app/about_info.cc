#include "keeper/app/about_info.h"

#include <fstream>

#include "platform/text.h"

namespace keeper {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

}  // namespace

std::optional<std::string> ReadIniValue(const std::string& path,
                                        const std::string& section,
                                        const std::string& key) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      inside = platform::EqualsIgnoreCase(line.substr(1, line.size() - 2),
                                          section);
      continue;
    }
    if (!inside) continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (platform::EqualsIgnoreCase(Trim(line.substr(0, eq)), key))
      return Trim(line.substr(eq + 1));
  }
  return std::nullopt;
}

AboutInfo ReadAboutInfo(const desktop::Texts& texts,
                        const std::string& program_dir) {
  AboutInfo info;
  info.version = ReadIniValue(program_dir + "/" + texts(12005), "ZELT",
                              "AppVersion")
                     .value_or("");
  info.picture_path = program_dir + "/" + texts(211);
  return info;
}

}  // namespace keeper
