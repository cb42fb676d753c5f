#include "setup/installer_command.h"

#include <algorithm>

#include "setup/languages.h"
#include "setup/strings_file.h"

namespace setup {
namespace {

std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out += p;
  return out;
}

// Position of the identifier: five characters after the start of "/w"
// ("/w /L1031": the three characters " /L" are not read).
constexpr size_t kLanguageOffset = 5;
// Position of the options: three characters after the start of "/v"
// ("/v" and the opening quotation mark).
constexpr size_t kOptionsOffset = 3;

bool KnownLanguage(std::string_view number) {
  if (number == "1033") return true;
  for (uint16_t id : InstallableLanguages())
    if (number == std::to_string(id)) return true;
  return false;
}

std::string KnownLanguagesText() {
  std::string out = "1033";
  for (uint16_t id : InstallableLanguages()) out += ", " + std::to_string(id);
  return out;
}

bool WithinLimit(std::string_view text, size_t limit, std::string_view what,
                 std::string* error) {
  size_t units = Utf16Units(text);
  if (units <= limit) return true;
  *error = std::string(what) + " would be " + std::to_string(units) +
           " characters long; at most " + std::to_string(limit) +
           " are allowed. Shorten the installer options or move setup to a "
           "folder with a shorter path.";
  return false;
}

}  // namespace

std::string InstallBase(std::string_view windows_dir) {
  return Cat({"\"", windows_dir, "\\System32\\msiexec.exe\" /i"});
}

std::string RemovalBase(std::string_view windows_dir) {
  return Cat({"\"", windows_dir, "\\System32\\msiexec.exe\" /x"});
}

std::string PlainCommand(std::string_view base, std::string_view package,
                         std::string_view property) {
  return Cat({base, " \"", package, "\" ", property});
}

std::string FolderProperty(std::string_view setup_folder) {
  return Cat({"SETUPEXEDIR=\"", setup_folder, "\""});
}

std::string PassedOnProperty(std::string_view options,
                             std::string_view setup_folder) {
  return Cat({options, " SETUPEXEDIR=\"", setup_folder, "\""});
}

std::string OptionsWithTransform(std::string_view base, std::string_view package,
                                 std::string_view language,
                                 std::string_view property) {
  return Cat({base, " \"", package, "\" TRANSFORMS=\":", language, ".mst\"",
              property});
}

std::string OptionsWithoutTransform(std::string_view base,
                                    std::string_view package,
                                    std::string_view property) {
  return Cat({base, " \"", package, "\"", property});
}

std::string NamedLanguageWithTransform(std::string_view base,
                                       std::string_view package,
                                       std::string_view setup_folder,
                                       std::string_view language) {
  return Cat({base, " \"", package, "\" SETUPEXEDIR=\"", setup_folder,
              "\" TRANSFORMS=\":", language, ".mst\""});
}

std::string NamedLanguageWithoutTransform(std::string_view base,
                                          std::string_view package,
                                          std::string_view setup_folder) {
  return Cat({base, " \"", package, "\" SETUPEXEDIR=\"", setup_folder, "\""});
}

std::string ChosenLanguageProperty(uint16_t transform,
                                   std::string_view setup_folder) {
  return Cat({"TRANSFORMS=\":", std::to_string(transform), ".mst\" SETUPEXEDIR=\"",
              setup_folder, "\""});
}

bool IsUnattended(std::string_view command_line) {
  return command_line.find("/w") != std::string_view::npos;
}

std::string UnescapeOptions(std::string_view text) {
  // Every \" becomes ", and nothing after the last one is lost.
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '"') continue;
    out += text[i];
  }
  // Close a quotation left open (an odd count): the options end inside
  // quotation marks whose closing mark went with the /v argument's own.
  if (std::count(out.begin(), out.end(), '"') % 2 != 0) out += '"';
  return out;
}

std::optional<UnattendedRequest> ReadUnattended(std::string_view line,
                                                std::string* error) {
  size_t w = line.find("/w");
  if (w == std::string_view::npos) {
    *error = "The command line has no /w.";
    return std::nullopt;
  }
  UnattendedRequest r;
  size_t start = w + kLanguageOffset;
  if (start < line.size()) {
    size_t end = line.find(' ', start);
    r.language = std::string(line.substr(start, end == std::string_view::npos
                                                    ? std::string_view::npos
                                                    : end - start));
  }
  if (r.language.empty() || !KnownLanguage(r.language)) {
    *error = (r.language.empty()
                  ? std::string("/w names no language.")
                  : "/w names the language \"" + r.language +
                        "\", which cannot be installed.") +
             " Write it as /w /L1031 (German) or /w /L1033 (English); "
             "the languages are " + KnownLanguagesText() + ".";
    return std::nullopt;
  }
  r.silent = line.find("/S") != std::string_view::npos;
  if (!r.silent) return r;

  size_t v = line.find("/v");
  if (v == std::string_view::npos) {
    *error = "/S needs the installer options in /v\"...\" as well.";
    return std::nullopt;
  }
  if (v + 2 >= line.size() || line[v + 2] != '"' || line.back() != '"' ||
      line.size() < v + kOptionsOffset + 1) {
    *error = "The installer options must be the last argument, in quotation "
             "marks: /v\"...\".";
    return std::nullopt;
  }
  r.options = std::string(line.substr(v + kOptionsOffset,
                                      line.size() - 1 - (v + kOptionsOffset)));
  r.remove = line.find("DELETEMESS") != std::string_view::npos;
  return r;
}

std::optional<std::string> UnattendedCommand(const Places& places,
                                             const UnattendedRequest& r,
                                             std::string* error) {
  std::string base = InstallBase(places.windows_dir);
  std::string command;
  bool english = r.language == "1033";
  if (r.silent) {
    std::string property =
        PassedOnProperty(UnescapeOptions(r.options), places.setup_folder);
    if (!WithinLimit(property, kMaxCommandUnits, "The installer options",
                     error))
      return std::nullopt;
    if (r.remove) base = RemovalBase(places.windows_dir);
    command = english ? OptionsWithoutTransform(base, places.package_path,
                                                property)
                      : OptionsWithTransform(base, places.package_path,
                                             r.language, property);
  } else {
    command = english ? NamedLanguageWithoutTransform(
                            base, places.package_path, places.setup_folder)
                      : NamedLanguageWithTransform(base, places.package_path,
                                                   places.setup_folder,
                                                   r.language);
  }
  if (!WithinLimit(command, kMaxCommandUnits, "The installer command line",
                   error))
    return std::nullopt;
  return command;
}

std::optional<std::string> MaintenanceCommand(const Places& places,
                                              std::string* error) {
  std::string command =
      PlainCommand(InstallBase(places.windows_dir), places.package_path,
                   FolderProperty(places.setup_folder));
  if (!WithinLimit(command, kMaxCommandUnits, "The installer command line",
                   error))
    return std::nullopt;
  return command;
}

std::optional<std::string> ChosenLanguageCommand(
    const Places& places, std::optional<uint16_t> transform,
    std::string* error) {
  std::string property =
      transform ? ChosenLanguageProperty(*transform, places.setup_folder)
                : FolderProperty(places.setup_folder);
  if (!WithinLimit(property, kMaxDialogPropertyUnits, "The installer property text",
                   error))
    return std::nullopt;
  std::string command = PlainCommand(InstallBase(places.windows_dir),
                                     places.package_path, property);
  if (!WithinLimit(command, kMaxCommandUnits, "The installer command line",
                   error))
    return std::nullopt;
  return command;
}

}  // namespace setup
