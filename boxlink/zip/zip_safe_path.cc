#include "boxlink/zip/zip_safe_path.h"

namespace boxlink {

std::optional<std::string> SafeEntryPath(const std::string& folder,
                                         std::string_view name) {
  if (name.empty() || name.front() == '/' || name.front() == '\\' ||
      (name.size() >= 2 && name[1] == ':') ||
      name.find('\0') != std::string_view::npos)
    return std::nullopt;
  std::string out = folder;
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  bool any = false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = name.size();
    std::string_view part = name.substr(start, end - start);
    if (part == "..") return std::nullopt;
    if (!part.empty() && part != ".") {
      out += '/';
      out += part;
      any = true;
    }
    start = end + 1;
  }
  if (!any) return std::nullopt;
  return out;
}

}  // namespace boxlink
