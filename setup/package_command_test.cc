#include "setup/package_command.h"

#include <gtest/gtest.h>

namespace setup {
namespace {

using Argv = std::vector<std::string>;

const std::string kInstall =
    "\"/usr\\System32\\msiexec.exe\" /i \"/media/cd/tarnkeeper_1.0_amd64.deb\"";
const std::string kRemove =
    "\"/usr\\System32\\msiexec.exe\" /x \"/media/cd/tarnkeeper_1.0_amd64.deb\"";
const std::string kDir = "SETUPEXEDIR=\"/media/cd/\"";
const std::string kDeb = "/media/cd/tarnkeeper_1.0_amd64.deb";

struct MapCase {
  const char* name;
  std::string command;
  bool root;
  InstallState state;
  Argv argv;  // empty: refused
  std::string language;
  std::string ignored;
};

class MapInstallerCommandTest : public testing::TestWithParam<MapCase> {};

TEST_P(MapInstallerCommandTest, Maps) {
  const MapCase& c = GetParam();
  HostFacts host;
  host.root = c.root;
  host.state = c.state;
  std::string error;
  auto mapped = MapInstallerCommand(c.command, host, &error);
  if (c.argv.empty()) {
    EXPECT_FALSE(mapped);
    EXPECT_NE(error.find(c.command), std::string::npos) << error;
    return;
  }
  ASSERT_TRUE(mapped) << error;
  EXPECT_EQ(mapped->argv, c.argv);
  EXPECT_EQ(mapped->language, c.language);
  EXPECT_EQ(mapped->ignored_options, c.ignored);
}

const Argv kAptInstall = {"/usr/bin/apt-get", "install", "--reinstall", "-y", kDeb};
Argv With(Argv head, const Argv& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, MapInstallerCommandTest,
    testing::Values(
        // A transform records its language, installed or not.
        MapCase{"GermanAsRoot",
                kInstall + " " + kDir + " TRANSFORMS=\":1031.mst\"", true,
                InstallState::kUnknown,
                With({"/usr/bin/env", "ZELT_INSTALL_LANGUAGE=1031"}, kAptInstall),
                "1031", ""},
        MapCase{"GermanThroughPkexec",
                kInstall + " " + kDir + " TRANSFORMS=\":1031.mst\"", false,
                InstallState::kUnknown,
                With({"/usr/bin/pkexec", "/usr/bin/env",
                      "ZELT_INSTALL_LANGUAGE=1031"}, kAptInstall),
                "1031", ""},
        MapCase{"JapaneseOverInstalled",
                kInstall + " TRANSFORMS=\":1041.mst\" " + kDir, true,
                InstallState::kPresent,
                With({"/usr/bin/env", "ZELT_INSTALL_LANGUAGE=1041"}, kAptInstall),
                "1041", ""},
        // No transform: English on a first installation; the recorded
        // language stays when the package is there (maintenance).
        MapCase{"EnglishFirst", kInstall + " " + kDir, true,
                InstallState::kUnknown,
                With({"/usr/bin/env", "ZELT_INSTALL_LANGUAGE=1033"}, kAptInstall),
                "1033", ""},
        MapCase{"Maintenance", kInstall + " " + kDir, false,
                InstallState::kPresent, With({"/usr/bin/pkexec"}, kAptInstall),
                "", ""},
        // Options of the installer are logged, not passed on.
        MapCase{"OptionsIgnored",
                kInstall + " TRANSFORMS=\":1031.mst\"/qn REBOOT=\"R\" " + kDir,
                true, InstallState::kUnknown,
                With({"/usr/bin/env", "ZELT_INSTALL_LANGUAGE=1031"}, kAptInstall),
                "1031", "/qn REBOOT=\"R\""},
        // Removal by package name, whatever the options.
        MapCase{"Removal", kRemove + " TRANSFORMS=\":1031.mst\" /qn " + kDir,
                true, InstallState::kPresent,
                {"/usr/bin/apt-get", "remove", "-y", "tarnkeeper"}, "", "/qn"},
        MapCase{"RemovalThroughPkexec", kRemove + " " + kDir, false,
                InstallState::kPresent,
                {"/usr/bin/pkexec", "/usr/bin/apt-get", "remove", "-y",
                 "tarnkeeper"},
                "", ""},
        // A package path without a folder is made one that apt-get reads
        // as a file.
        MapCase{"BarePackageName",
                "\"C:\\Windows\\System32\\msiexec.exe\" /i \"p.deb\" " + kDir,
                true, InstallState::kPresent,
                {"/usr/bin/apt-get", "install", "--reinstall", "-y", "./p.deb"},
                "", ""},
        // Lines that are no installer command.
        MapCase{"Empty", "", true, InstallState::kUnknown, {}, "", ""},
        MapCase{"Unquoted", "msiexec /i \"x.deb\"", true,
                InstallState::kUnknown, {}, "", ""},
        MapCase{"NoSwitch", "\"m.exe\" /a \"x.deb\"", true,
                InstallState::kUnknown, {}, "", ""},
        MapCase{"NoPackage", "\"m.exe\" /i", true, InstallState::kUnknown,
                {}, "", ""},
        MapCase{"EmptyPackage", "\"m.exe\" /i \"\"", true,
                InstallState::kUnknown, {}, "", ""},
        MapCase{"BadTransform",
                kInstall + " TRANSFORMS=\":de;rm.mst\" " + kDir, true,
                InstallState::kUnknown, {}, "", ""}),
    [](const testing::TestParamInfo<MapCase>& i) {
      return std::string(i.param.name);
    });

TEST(InstallStateTest, FromDpkgQuery) {
  struct Case {
    const char* abbrev;
    int exit;
    InstallState state;
  } cases[] = {
      {"ii ", 0, InstallState::kPresent},  {"iU ", 0, InstallState::kPresent},
      {"iF ", 0, InstallState::kPresent},  {"iHR", 0, InstallState::kPresent},
      {"iW ", 0, InstallState::kPresent},  {"it ", 0, InstallState::kPresent},
      {"ri ", 0, InstallState::kPresent},  // marked for removal, still there
      {"rc ", 0, InstallState::kUnknown},  // removed, configuration left
      {"un ", 0, InstallState::kUnknown},  {"pn ", 0, InstallState::kUnknown},
      {"", 1, InstallState::kUnknown},     // not known to dpkg
      {"ii ", 1, InstallState::kUnknown},  {"i", 0, InstallState::kUnknown},
  };
  for (const Case& c : cases)
    EXPECT_EQ(StateFromDpkgQuery(c.abbrev, c.exit), c.state) << c.abbrev;
  EXPECT_EQ(DpkgQueryCommand("tarnkeeper"),
            (Argv{"dpkg-query", "--show", "--showformat=${db:Status-Abbrev}",
                  "tarnkeeper"}));
}

TEST(ShellQuotedTest, QuotesWhatAShellWouldSplitOrExpand) {
  EXPECT_EQ(ShellQuoted({"/usr/bin/apt-get", "install", "-y", "/a b/x.deb"}),
            "/usr/bin/apt-get install -y '/a b/x.deb'");
  EXPECT_EQ(ShellQuoted({"it's", "$HOME", ""}), "'it'\\''s' '$HOME' ''");
  EXPECT_EQ(ShellQuoted({"ZELT_INSTALL_LANGUAGE=1031"}),
            "ZELT_INSTALL_LANGUAGE=1031");
}

}  // namespace
}  // namespace setup
