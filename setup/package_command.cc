#include "setup/package_command.h"

namespace setup {
namespace {

constexpr std::string_view kTransformStart = "TRANSFORMS=\":";
constexpr std::string_view kTransformEnd = ".mst\"";
constexpr std::string_view kFolderStart = "SETUPEXEDIR=\"";

// Removes the first `start` and everything up to and including the `end`
// after it; what lay between goes to *inside.
bool Cut(std::string& text, std::string_view start, std::string_view end,
         std::string* inside) {
  size_t a = text.find(start);
  if (a == std::string::npos) return false;
  size_t b = text.find(end, a + start.size());
  if (b == std::string::npos) return false;
  if (inside) *inside = text.substr(a + start.size(), b - a - start.size());
  text.erase(a, b + end.size() - a);
  return true;
}

std::string Trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

}  // namespace

InstallState StateFromDpkgQuery(std::string_view status, int exit_status) {
  if (exit_status != 0 || status.size() < 2) return InstallState::kUnknown;
  // Second letter: the current state. n not installed, c only its
  // configuration files left; i, U, F, H, W, t: the files are there.
  switch (status[1]) {
    case 'i': case 'U': case 'F': case 'H': case 'W': case 't':
      return InstallState::kPresent;
    default:
      return InstallState::kUnknown;
  }
}

std::vector<std::string> DpkgQueryCommand(std::string_view package) {
  return {"dpkg-query", "--show", "--showformat=${db:Status-Abbrev}",
          std::string(package)};
}

std::optional<PackageCommand> MapInstallerCommand(std::string_view command,
                                                  const HostFacts& host,
                                                  std::string* error) {
  // "<base path>" /i|/x "<package>"<rest>
  auto refuse = [&](std::string why) -> std::optional<PackageCommand> {
    *error = "Not an installer command line (" + why + "): " +
             std::string(command);
    return std::nullopt;
  };
  if (command.empty() || command.front() != '"')
    return refuse("no quoted installer program");
  size_t close = command.find('"', 1);
  if (close == std::string_view::npos) return refuse("no closing quotation mark");
  std::string_view rest = command.substr(close + 1);
  bool install = rest.starts_with(" /i");
  bool remove = rest.starts_with(" /x");
  if (!install && !remove) return refuse("neither /i nor /x");
  rest.remove_prefix(3);
  if (!rest.starts_with(" \"")) return refuse("no quoted package");
  size_t package_end = rest.find('"', 2);
  if (package_end == std::string_view::npos || package_end == 2)
    return refuse("no package");
  std::string package(rest.substr(2, package_end - 2));
  if (package.find('/') == std::string::npos) package = "./" + package;
  std::string properties(rest.substr(package_end + 1));

  PackageCommand out;
  std::string transform;
  bool has_transform = Cut(properties, kTransformStart, kTransformEnd, &transform);
  if (has_transform &&
      (transform.empty() ||
       transform.find_first_not_of("0123456789") != std::string::npos))
    return refuse("transform \"" + transform + "\" is not a language number");
  Cut(properties, kFolderStart, "\"", nullptr);
  out.ignored_options = Trimmed(properties);

  if (!host.root) out.argv.push_back(host.pkexec);
  if (remove) {
    out.argv.insert(out.argv.end(),
                    {host.apt_get, "remove", "-y", host.package_name});
    return out;
  }
  if (has_transform) {
    out.language = transform;
  } else if (host.state == InstallState::kUnknown) {
    out.language = "1033";  // the package's own language
  }
  if (!out.language.empty()) {
    out.argv.push_back(host.env);
    out.argv.push_back(std::string(kLanguageVariable) + "=" + out.language);
  }
  out.argv.insert(out.argv.end(),
                  {host.apt_get, "install", "--reinstall", "-y", package});
  return out;
}

std::string ShellQuoted(const std::vector<std::string>& argv) {
  std::string out;
  for (const std::string& a : argv) {
    if (!out.empty()) out += ' ';
    bool plain = !a.empty() &&
                 a.find_first_not_of("abcdefghijklmnopqrstuvwxyz"
                                     "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                     "0123456789_-./=:@+,%") == std::string::npos;
    if (plain) {
      out += a;
      continue;
    }
    out += '\'';
    for (char c : a) {
      if (c == '\'')
        out += "'\\''";
      else
        out += c;
    }
    out += '\'';
  }
  return out;
}

}  // namespace setup
