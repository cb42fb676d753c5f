// The installer command lines of the bootstrapper.
//
// setup composes the same command lines as the bootstrapper of the
// original platform, which started the system installer on the package
// with a language transform. They are logged as they stand, so that an
// administrator who knows them recognises every run, and then turned into
// this platform's package commands (package_command.h).
//
// Formats, filled in by the functions below (%s are texts):
//
//   install base        "%s\System32\msiexec.exe" /i
//   removal base        "%s\System32\msiexec.exe" /x
//   plain command       %s "%s" %s
//   folder property     SETUPEXEDIR="%s"
//   passed-on property  %s SETUPEXEDIR="%s"
//   options with transform     %s "%s" TRANSFORMS=":%s.mst"%s
//   options without transform  %s "%s"%s
//   named language with transform     %s "%s" SETUPEXEDIR="%s" TRANSFORMS=":%s.mst"
//   named language without transform  %s "%s" SETUPEXEDIR="%s"
//   chosen-language property  TRANSFORMS=":%u.mst" SETUPEXEDIR="%s"
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace setup {

// Longest complete command line and longest property text of the
// unattended mode, in UTF-16 units; longest property text of the dialog.
inline constexpr size_t kMaxCommandUnits = 1039;
inline constexpr size_t kMaxDialogPropertyUnits = 259;

// Where things are: the system folder the bases name, setup's own folder
// (with its trailing separator) and the package beside it.
struct Places {
  std::string windows_dir;
  std::string setup_folder;
  std::string package_path;
};

std::string InstallBase(std::string_view windows_dir);
std::string RemovalBase(std::string_view windows_dir);
std::string PlainCommand(std::string_view base, std::string_view package,
                         std::string_view property);
std::string FolderProperty(std::string_view setup_folder);
std::string PassedOnProperty(std::string_view options,
                             std::string_view setup_folder);
std::string OptionsWithTransform(std::string_view base, std::string_view package,
                                 std::string_view language,
                                 std::string_view property);
std::string OptionsWithoutTransform(std::string_view base,
                                    std::string_view package,
                                    std::string_view property);
std::string NamedLanguageWithTransform(std::string_view base,
                                       std::string_view package,
                                       std::string_view setup_folder,
                                       std::string_view language);
std::string NamedLanguageWithoutTransform(std::string_view base,
                                          std::string_view package,
                                          std::string_view setup_folder);
std::string ChosenLanguageProperty(uint16_t transform,
                                   std::string_view setup_folder);

// Whether the command line asks for the unattended mode ("/w", exact).
bool IsUnattended(std::string_view command_line);

// Installer options given with "/v", with escaped quotation marks (\")
// unescaped. A closing quotation mark is added only where one is missing.
std::string UnescapeOptions(std::string_view text);

// What an unattended command line asks for.
struct UnattendedRequest {
  std::string language;  // the decimal language number after "/w"
  bool silent = false;   // "/S": options follow in "/v"
  std::string options;   // the "/v" text, still escaped
  bool remove = false;   // "DELETEMESS" with "/S"
};

// Reads "/w /LNNNN [/S /v"OPTIONS"] [DELETEMESS]". Forms whose meaning is
// unclear (no language number, a number of no installable language, "/S"
// without "/v", a "/v" text that is not the last, quoted argument) give
// nullopt and a sentence for the administrator in *error.
std::optional<UnattendedRequest> ReadUnattended(std::string_view command_line,
                                                std::string* error);

// The command line of each mode, or nullopt and the reason when a text
// would exceed its limit.
std::optional<std::string> UnattendedCommand(const Places& places,
                                             const UnattendedRequest& request,
                                             std::string* error);
std::optional<std::string> MaintenanceCommand(const Places& places,
                                              std::string* error);
// The dialog's command: with the chosen language's transform, or for
// English (nullopt) with the folder property only.
std::optional<std::string> ChosenLanguageCommand(
    const Places& places, std::optional<uint16_t> transform,
    std::string* error);

}  // namespace setup
