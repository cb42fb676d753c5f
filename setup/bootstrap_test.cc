#include "setup/bootstrap.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace setup {
namespace {

using Argv = std::vector<std::string>;

const std::string kFolder = "/media/cd/";
const std::string kDeb = "/media/cd/tarnkeeper_1.0_amd64.deb";
const std::string kBase = "\"/usr\\System32\\msiexec.exe\" /i \"" + kDeb + "\"";
const std::string kDir = "SETUPEXEDIR=\"/media/cd/\"";

std::string Shipped(const std::string& folder) {
  std::ifstream in(std::string(ZELT_SOURCE_DIR) + "/setup/STRINGS/" + folder +
                       "/COMM_BR.ini",
                   std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A strings file written from a family's name table, for languages whose
// files are not shipped.
std::string StringsOf(Family family) {
  std::string out = "[Languages]\n";
  for (const LanguageKey& k : LanguageKeys()) {
    std::string_view name;
    if (k.family == Family::kEnglish) {
      name = EnglishNameIn(family);
    } else {
      for (const NamedLanguage& n : NameTableOf(family))
        if (n.transform == FamilyLanguage(k.family)) name = n.name;
    }
    out += std::string(k.key) + "=" + std::string(name) + "\n";
  }
  return out + "[Strings]\n1130=OK\n1131=X\n1132=P\nCOMPONENT_NAME=T\n";
}

class FakeHost final : public SetupHost {
 public:
  InstallState QueryState() override { return state; }
  bool IsRoot() override { return root; }
  std::optional<std::string> ReadFile(const std::string& path) override {
    tried.push_back(path);
    auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second;
  }
  RunResult Run(const Argv& argv) override {
    runs.push_back(argv);
    return result;
  }
  void Log(std::string_view line) override { log.emplace_back(line); }

  bool Logged(std::string_view text) const {
    for (const std::string& l : log)
      if (l.find(text) != std::string::npos) return true;
    return false;
  }

  InstallState state = InstallState::kUnknown;
  bool root = true;
  std::map<std::string, std::string> files;
  RunResult result{true, 0, {}};
  std::vector<std::string> tried;
  std::vector<Argv> runs;
  std::vector<std::string> log;
};

class FakeDialog final : public LanguageDialog {
 public:
  std::optional<std::string> Choose(const DialogModel& m) override {
    ++shown;
    model = m;
    if (cancel) return std::nullopt;
    if (choice) return *choice;
    return m.preselected >= 0 ? m.items[m.preselected] : std::string();
  }
  void ShowFailure(const std::string& title, const std::string& text) override {
    failures.push_back(title + ": " + text);
  }

  int shown = 0;
  DialogModel model;
  bool cancel = false;
  std::optional<std::string> choice;  // else OK on the preselected item
  std::vector<std::string> failures;
};

class BootstrapTest : public testing::Test {
 protected:
  BootstrapTest() {
    host_.files[kFolder + "STRINGS/ENG/COMM_BR.ini"] = Shipped("ENG");
    host_.files[kFolder + "STRINGS/GER/COMM_BR.ini"] = Shipped("GER");
  }
  int Run(std::string_view line, uint16_t system_language = 0x0409,
          bool with_dialog = true) {
    SetupFacts facts{"/usr", system_language, kFolder,
                     "tarnkeeper_1.0_amd64.deb"};
    return RunSetup(line, facts, host_, with_dialog ? &dialog_ : nullptr);
  }
  std::string Preselected() const {
    return dialog_.model.preselected >= 0
               ? dialog_.model.items[dialog_.model.preselected]
               : "";
  }
  Argv Install(const std::string& language) const {
    Argv argv;
    if (!language.empty())
      argv = {"/usr/bin/env", "ZELT_INSTALL_LANGUAGE=" + language};
    argv.insert(argv.end(),
                {"/usr/bin/apt-get", "install", "--reinstall", "-y", kDeb});
    return argv;
  }

  FakeHost host_;
  FakeDialog dialog_;
};

TEST_F(BootstrapTest, JapaneseSystemChoosesJapanese) {
  host_.files[kFolder + "STRINGS/JPN/COMM_BR.ini"] = StringsOf(Family::kJapanese);
  EXPECT_EQ(Run("", 0x0411), 0);
  EXPECT_EQ(host_.tried.front(), kFolder + "STRINGS/JPN/COMM_BR.ini");
  EXPECT_EQ(Preselected(), "日本語");
  EXPECT_TRUE(host_.Logged("installer command: " + kBase +
                           " TRANSFORMS=\":1041.mst\" " + kDir));
  ASSERT_EQ(host_.runs.size(), 1u);
  EXPECT_EQ(host_.runs[0], Install("1041"));
}

TEST_F(BootstrapTest, EnglishSystemInstallsWithoutTransform) {
  EXPECT_EQ(Run("", 0x0409), 0);
  EXPECT_EQ(host_.tried.front(), kFolder + "STRINGS/ENG/COMM_BR.ini");
  EXPECT_EQ(dialog_.model.title, "Tarn Box Keeper Setup");
  EXPECT_EQ(dialog_.model.cancel, "Cancel");
  EXPECT_EQ(dialog_.model.items.size(), 17u);
  EXPECT_EQ(Preselected(), "English");
  EXPECT_TRUE(host_.Logged("installer command: " + kBase + " " + kDir));
  ASSERT_EQ(host_.runs.size(), 1u);
  EXPECT_EQ(host_.runs[0], Install("1033"));  // English, recorded
}

TEST_F(BootstrapTest, GermanSystemChoosesGermanOrAnother) {
  EXPECT_EQ(Run("", 0x0407), 0);
  EXPECT_EQ(dialog_.model.cancel, "Abbrechen");
  EXPECT_EQ(Preselected(), "Deutsch");
  EXPECT_EQ(host_.runs.back(), Install("1031"));
  // The German names of other languages give their transforms; the
  // German name of English installs without one.
  for (auto [name, language] : {std::pair{"Französisch", "1036"},
                                std::pair{"Englisch", "1033"},
                                std::pair{"Türkisch", "1055"}}) {
    dialog_.choice = name;
    EXPECT_EQ(Run("", 0x0407), 0);
    EXPECT_EQ(host_.runs.back(), Install(language)) << name;
  }
}

TEST_F(BootstrapTest, TheListIsSortedAsItShows) {
  Run("", 0x0407);
  const auto& items = dialog_.model.items;
  // "Dänisch" sorts with "Da", before "Deutsch".
  auto at = [&](const std::string& s) {
    return std::find(items.begin(), items.end(), s) - items.begin();
  };
  EXPECT_LT(at("Dänisch"), at("Deutsch"));
  EXPECT_LT(at("Chinesisch(Vereinfacht)"), at("Dänisch"));
  EXPECT_LT(at("Spanisch"), at("Türkisch"));
  EXPECT_EQ(items.front(), "Chinesisch(Traditionell)");
  EXPECT_EQ(items.back(), "Türkisch");
}

TEST_F(BootstrapTest, PortugueseAndSpanishVariantsReadTheirFamilysFolder) {
  Run("", 0x0816);
  EXPECT_EQ(host_.tried.front(), kFolder + "STRINGS/PTB/COMM_BR.ini");
  host_.tried.clear();
  Run("", 0x0C0A);
  EXPECT_EQ(host_.tried.front(), kFolder + "STRINGS/SPA/COMM_BR.ini");
}

TEST_F(BootstrapTest, LanguagesWithoutShippedStringsShowEnglishNames) {
  // No Portuguese file: the English one, with Portuguese preselected by
  // its English name, and choosing it installs Portuguese.
  EXPECT_EQ(Run("", 0x0816), 0);
  EXPECT_EQ(host_.tried,
            (std::vector<std::string>{kFolder + "STRINGS/PTB/COMM_BR.ini",
                                      kFolder + "STRINGS/ENG/COMM_BR.ini"}));
  EXPECT_EQ(Preselected(), "Portuguese");
  EXPECT_EQ(host_.runs.back(), Install("1046"));
  EXPECT_EQ(Run("", 0x0411), 0);
  EXPECT_EQ(Preselected(), "Japanese");
  EXPECT_EQ(host_.runs.back(), Install("1041"));
}

TEST_F(BootstrapTest, SwissGermanReadsTheGermanStrings) {
  EXPECT_EQ(Run("", 0x0807), 0);
  EXPECT_EQ(host_.tried.front(), kFolder + "STRINGS/GER/COMM_BR.ini");
  EXPECT_EQ(Preselected(), "Deutsch");
  EXPECT_EQ(host_.runs.back(), Install("1031"));
}

TEST_F(BootstrapTest, MissingStringsGiveAnEmptyListAndEnglish) {
  host_.files.clear();
  EXPECT_EQ(Run("", 0x0407), 0);
  EXPECT_EQ(dialog_.model.items, std::vector<std::string>(17));
  EXPECT_EQ(dialog_.model.preselected, -1);
  EXPECT_EQ(dialog_.model.ok, "");
  EXPECT_TRUE(host_.Logged("cannot read " + kFolder + "STRINGS/GER/COMM_BR.ini"));
  EXPECT_EQ(host_.runs.back(), Install("1033"));
}

TEST_F(BootstrapTest, IncompleteStringsReadEmpty) {
  host_.files[kFolder + "STRINGS/ENG/COMM_BR.ini"] =
      "[Languages]\n0x0409=English\n0x0407=German\n";
  dialog_.choice = "German";
  EXPECT_EQ(Run(""), 0);
  EXPECT_EQ(dialog_.model.title, "");
  EXPECT_EQ(Preselected(), "English");
  EXPECT_EQ(host_.runs.back(), Install("1031"));
}

TEST_F(BootstrapTest, CancelStartsNothing) {
  dialog_.cancel = true;
  EXPECT_EQ(Run("", 0x0407), 0);
  EXPECT_EQ(dialog_.shown, 1);
  EXPECT_TRUE(host_.runs.empty());
  EXPECT_TRUE(dialog_.failures.empty());
}

TEST_F(BootstrapTest, InstalledPackageIsInstalledAgainWithoutDialog) {
  host_.state = InstallState::kPresent;
  EXPECT_EQ(Run("", 0x0407), 0);
  EXPECT_EQ(dialog_.shown, 0);
  EXPECT_TRUE(host_.Logged("installer command: " + kBase + " " + kDir));
  ASSERT_EQ(host_.runs.size(), 1u);
  EXPECT_EQ(host_.runs[0], Install(""));  // the recorded language stays
}

TEST_F(BootstrapTest, UnattendedRunsWithoutDialog) {
  EXPECT_EQ(Run("/w /L1031", 0x0409), 0);
  EXPECT_EQ(dialog_.shown, 0);
  EXPECT_TRUE(host_.Logged("installer command: " + kBase + " " + kDir +
                           " TRANSFORMS=\":1031.mst\""));
  EXPECT_EQ(host_.runs.back(), Install("1031"));

  host_.state = InstallState::kPresent;
  EXPECT_EQ(Run("/w /L1033 /S /v\" /qn\" ", 0x0407), 2);  // not last
  EXPECT_EQ(Run("/w /L1033 DELETEMESS /S /v\" /qn\"", 0x0407), 0);
  EXPECT_TRUE(host_.Logged("/x"));
  EXPECT_TRUE(host_.Logged("not passed on): /qn"));
  EXPECT_EQ(host_.runs.back(),
            (Argv{"/usr/bin/apt-get", "remove", "-y", "tarnkeeper"}));
  EXPECT_EQ(dialog_.shown, 0);
}

TEST_F(BootstrapTest, RefusedCommandLinesSayWhyAndRunNothing) {
  for (const char* line : {"/w", "/w /L1099", "/w /L1031 /S"}) {
    host_.log.clear();
    EXPECT_EQ(Run(line), 2) << line;
    ASSERT_FALSE(host_.log.empty()) << line;
    EXPECT_EQ(host_.log.back().rfind("setup: ", 0), 0u) << host_.log.back();
  }
  EXPECT_TRUE(host_.runs.empty());
}

TEST_F(BootstrapTest, WithoutADisplayTheLanguageMustBeNamed) {
  EXPECT_EQ(Run("", 0x0407, /*with_dialog=*/false), 2);
  EXPECT_TRUE(host_.Logged("/w /L1031"));
  EXPECT_TRUE(host_.runs.empty());
}

TEST_F(BootstrapTest, WithoutRootThePackageToolsRunThroughPkexec) {
  host_.root = false;
  EXPECT_EQ(Run("/w /L1031"), 0);
  Argv want = Install("1031");
  want.insert(want.begin(), "/usr/bin/pkexec");
  EXPECT_EQ(host_.runs.back(), want);
}

TEST_F(BootstrapTest, AFailedInstallationIsReported) {
  host_.result = RunResult{true, 100, {}};
  EXPECT_EQ(Run("/w /L1031"), 100);
  EXPECT_TRUE(host_.Logged("exit status: 100"));
  EXPECT_TRUE(dialog_.failures.empty());  // unattended: no window

  EXPECT_EQ(Run("", 0x0407), 100);
  ASSERT_EQ(dialog_.failures.size(), 1u);
  EXPECT_NE(dialog_.failures[0].find("konnte nicht installiert werden"),
            std::string::npos) << dialog_.failures[0];
  EXPECT_NE(dialog_.failures[0].find("100"), std::string::npos);
}

TEST_F(BootstrapTest, PackageToolsThatCannotStartAreReported) {
  host_.root = false;
  host_.result = RunResult{false, 0, "No such file or directory"};
  EXPECT_EQ(Run("/w /L1031"), 1);
  EXPECT_TRUE(host_.Logged("Cannot start /usr/bin/pkexec: No such file"));
  EXPECT_TRUE(host_.Logged("Run setup as root"));
}

TEST(CommandLineOfTest, JoinsArgumentsAndRestoresTheQuotesOfV) {
  EXPECT_EQ(CommandLineOf({}), "");
  EXPECT_EQ(CommandLineOf({"/w", "/L1031"}), "/w /L1031");
  // The shell took the quotation marks of /v"/qn X=1" away.
  EXPECT_EQ(CommandLineOf({"/w", "/L1033", "/S", "/v/qn X=1"}),
            "/w /L1033 /S /v\"/qn X=1\"");
  // Quoted for the shell, they stay as written.
  EXPECT_EQ(CommandLineOf({"/S", "/v\"A=\\\"x\\\"\""}), "/S /v\"A=\\\"x\\\"\"");
  EXPECT_EQ(CommandLineOf({"/v"}), "/v\"\"");
}

}  // namespace
}  // namespace setup
