// From the bootstrapper's installer command line to this platform's
// package tools.
//
// The system is one Debian package. An installation is
// "apt-get install --reinstall -y PACKAGE.deb" (apt-get resolves the
// package's dependencies; --reinstall makes a second run repair the
// installed files), a removal "apt-get remove -y NAME". The language a
// transform would have applied is recorded for the installed programs
// instead: apt-get runs with ZELT_INSTALL_LANGUAGE=<number> in its
// environment, and the package's configuration step writes it as the
// machine-wide "Language" value that keeper and finder read. Without root
// rights the command runs through pkexec.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace setup {

inline constexpr std::string_view kPackageName = "tarnkeeper";
inline constexpr std::string_view kLanguageVariable = "ZELT_INSTALL_LANGUAGE";

// The installation state of the package, as the installer reports a
// product's: unknown (-1) when it is neither installed nor partly there.
enum class InstallState { kUnknown = -1, kPresent = 5 };

// The state from dpkg-query's ${db:Status-Abbrev} ("ii ", "rc ", "iU ")
// and its exit status (1: the package is not known at all). Installed and
// half-installed packages are present (running the installation again
// repairs them); removed packages that left only their configuration are
// not.
InstallState StateFromDpkgQuery(std::string_view status_abbrev,
                                int exit_status);
// The dpkg-query command that asks for it.
std::vector<std::string> DpkgQueryCommand(std::string_view package);

struct HostFacts {
  bool root = false;             // running as root: no pkexec
  InstallState state = InstallState::kUnknown;
  std::string package_name{kPackageName};
  std::string apt_get = "/usr/bin/apt-get";
  std::string pkexec = "/usr/bin/pkexec";
  std::string env = "/usr/bin/env";
};

struct PackageCommand {
  std::vector<std::string> argv;
  // The language recorded for the installed programs (a Windows language
  // number), or empty when the recorded one stays as it is.
  std::string language;
  // Installer options of the command line that have no meaning for the
  // package tools; logged, not passed on.
  std::string ignored_options;
};

// Maps a composed installer command line ("...msiexec.exe" /i "PACKAGE"
// [TRANSFORMS=":1031.mst"] ...) onto the package tools. /i installs (the
// transform's language, else English on a first installation, else the
// recorded language stays), /x removes. Nullopt and the reason for a line
// that is neither.
std::optional<PackageCommand> MapInstallerCommand(std::string_view command,
                                                  const HostFacts& host,
                                                  std::string* error);

// The argument list as a shell would need it typed, for the log.
std::string ShellQuoted(const std::vector<std::string>& argv);

}  // namespace setup
