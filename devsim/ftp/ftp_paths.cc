#include "devsim/ftp/ftp_paths.h"

#include <vector>

namespace devsim {

std::optional<std::string> ResolveFtpPath(std::string_view cwd,
                                          std::string_view arg) {
  if (arg.find('\0') != std::string_view::npos) return std::nullopt;
  std::string joined;
  if (!arg.empty() && arg.front() == '/')
    joined = std::string(arg);
  else
    joined = std::string(cwd) + "/" + std::string(arg);
  std::vector<std::string_view> parts;
  std::string_view rest = joined;
  while (!rest.empty()) {
    size_t slash = rest.find('/');
    std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view()
                                           : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (parts.empty()) return std::nullopt;
      parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string out;
  for (auto p : parts) out.append("/").append(p);
  return out.empty() ? "/" : out;
}

std::filesystem::path ToLocalPath(const std::filesystem::path& root,
                                  std::string_view virtual_path) {
  std::filesystem::path p = root;
  if (virtual_path.size() > 1) p /= std::string(virtual_path.substr(1));
  return p;
}

}  // namespace devsim
