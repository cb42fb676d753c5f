#include "finder/help.h"

#include <cstdio>
#include <filesystem>

#include "desktop/format.h"
#include "finder/texts.h"

namespace finder {

std::string HelpPage(const std::string& folder, const std::string& help_file,
                     int context) {
  if (help_file.empty()) return {};
  std::string path = help_file.front() == '/' ? help_file : folder + "/" + help_file;
  const size_t slash = path.rfind('/');
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    dot = path.size();
  return path.substr(0, dot) + "-" + std::to_string(context) + path.substr(dot);
}

std::string FileUrl(const std::string& path) {
  std::string out = "file://";
  for (unsigned char c : path) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                       (c >= '0' && c <= '9') || c == '/' || c == '-' ||
                       c == '_' || c == '.' || c == '~';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    }
  }
  return out;
}

void OpenHelp(const std::string& page, const desktop::Texts& texts,
              desktop::Screen& screen) {
  std::error_code ec;
  if (!page.empty() && std::filesystem::exists(page, ec) &&
      screen.OpenUrl(FileUrl(page)))
    return;
  screen.Show({desktop::UiText::Of(desktop::FormatText(
                   texts.Text(text::kHelpUnavailable), {page})),
               desktop::UiText::Id(text::kErrorCaption), desktop::Icon::kError});
}

}  // namespace finder
