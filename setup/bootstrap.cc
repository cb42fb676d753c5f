#include "setup/bootstrap.h"

#include <algorithm>
#include <cctype>

#include "setup/installer_command.h"

namespace setup {
namespace {

constexpr int kExitRefused = 2;
constexpr int kExitNotStarted = 1;

// Decodes one UTF-8 character; a byte that starts no valid sequence is
// taken as itself.
char32_t NextChar(std::string_view s, size_t* i) {
  auto b = static_cast<unsigned char>(s[*i]);
  int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3
        : (b >> 3) == 30 ? 4 : 1;
  if (*i + n > s.size()) n = 1;
  char32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
  for (int k = 1; k < n; ++k) {
    auto cont = static_cast<unsigned char>(s[*i + k]);
    if ((cont & 0xC0) != 0x80) {
      n = 1;
      c = b;
      break;
    }
    c = (c << 6) | (cont & 0x3F);
  }
  *i += n;
  return c;
}

// The letter a Latin letter with a mark sorts with, lower case.
char32_t SortKey(char32_t c) {
  struct Fold {
    char32_t from, to;
    char base;
  };
  static constexpr Fold kFolds[] = {
      {0xC0, 0xC5, 'a'}, {0xE0, 0xE5, 'a'}, {0xC7, 0xC7, 'c'},
      {0xE7, 0xE7, 'c'}, {0xC8, 0xCB, 'e'}, {0xE8, 0xEB, 'e'},
      {0xCC, 0xCF, 'i'}, {0xEC, 0xEF, 'i'}, {0xD1, 0xD1, 'n'},
      {0xF1, 0xF1, 'n'}, {0xD2, 0xD6, 'o'}, {0xF2, 0xF6, 'o'},
      {0xD8, 0xD8, 'o'}, {0xF8, 0xF8, 'o'}, {0xD9, 0xDC, 'u'},
      {0xF9, 0xFC, 'u'}, {0xDD, 0xDD, 'y'}, {0xFD, 0xFD, 'y'},
      {0x011E, 0x011F, 'g'}, {0x0130, 0x0131, 'i'}, {0x0141, 0x0142, 'l'},
      {0x015A, 0x015B, 's'}, {0x015E, 0x015F, 's'}, {0x0179, 0x017C, 'z'},
      {0x0143, 0x0144, 'n'}, {0x0106, 0x0107, 'c'}, {0x0118, 0x0119, 'e'},
      {0x0104, 0x0105, 'a'},
  };
  if (c < 0x80) return static_cast<char32_t>(std::tolower(static_cast<int>(c)));
  for (const Fold& f : kFolds)
    if (c >= f.from && c <= f.to) return static_cast<char32_t>(f.base);
  return c;
}

std::u32string SortKeyOf(std::string_view s) {
  std::u32string key;
  for (size_t i = 0; i < s.size();) key += SortKey(NextChar(s, &i));
  return key;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (prefix.size() > text.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), text.begin(),
                    [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                    });
}

// The system family's own language as `display` writes it.
std::string_view PreselectionIn(Family system, Family display) {
  if (system == display) return PreselectionPrefix(system);
  if (system == Family::kEnglish) return EnglishNameIn(display);
  uint16_t own = FamilyLanguage(system);
  for (const NamedLanguage& n : NameTableOf(display))
    if (n.transform == own) return n.name;
  return PreselectionPrefix(system);
}

Places PlacesOf(const SetupFacts& facts) {
  return Places{facts.windows_dir, facts.setup_folder,
                facts.setup_folder + facts.package_file};
}

// Logs the installer command, maps it onto the package tools and runs
// them. *detail gets a sentence for the user when it did not succeed.
int Execute(const std::string& command, InstallState state, SetupHost& host,
            std::string* detail) {
  host.Log("installer command: " + command);
  HostFacts facts;
  facts.root = host.IsRoot();
  facts.state = state;
  std::string tools = host.ToolsDir();
  facts.apt_get = tools + "/apt-get";
  facts.pkexec = tools + "/pkexec";
  facts.env = tools + "/env";
  std::string error;
  auto mapped = MapInstallerCommand(command, facts, &error);
  if (!mapped) {
    host.Log(error);
    *detail = error;
    return kExitNotStarted;
  }
  if (!mapped->ignored_options.empty())
    host.Log("installer options the package tools have no use for (not "
             "passed on): " + mapped->ignored_options);
  if (!mapped->language.empty())
    host.Log("language recorded for the installed programs: " +
             mapped->language);
  host.Log("runs: " + ShellQuoted(mapped->argv));
  RunResult r = host.Run(mapped->argv);
  if (!r.started) {
    *detail = "Cannot start " + mapped->argv.front() + ": " + r.error + ".";
    if (!facts.root)
      *detail += " Run setup as root (sudo), or install pkexec so that "
                 "setup can ask for administrator rights.";
    host.Log(*detail);
    return kExitNotStarted;
  }
  host.Log("exit status: " + std::to_string(r.exit_status));
  if (r.exit_status != 0)
    *detail = "apt-get ended with exit status " +
              std::to_string(r.exit_status) + ".";
  if (!detail->empty() && !host.LogPlace().empty())
    *detail += " The log is " + host.LogPlace() + ".";
  return r.exit_status;
}

int Unattended(std::string_view line, const SetupFacts& facts,
               InstallState state, SetupHost& host) {
  std::string error;
  auto request = ReadUnattended(line, &error);
  std::optional<std::string> command;
  if (request) command = UnattendedCommand(PlacesOf(facts), *request, &error);
  if (!command) {
    host.Log("setup: " + error);
    return kExitRefused;
  }
  std::string detail;
  return Execute(*command, state, host, &detail);
}

int Maintenance(const SetupFacts& facts, InstallState state, SetupHost& host,
                LanguageDialog* dialog) {
  std::string error;
  auto command = MaintenanceCommand(PlacesOf(facts), &error);
  if (!command) {
    host.Log("setup: " + error);
    return kExitRefused;
  }
  std::string detail;
  int status = Execute(*command, state, host, &detail);
  if (status != 0 && dialog) {
    DialogStrings s = LoadDialogStrings(facts, host);
    dialog->ShowFailure(s.strings.title,
                        s.strings.failed.empty() ? detail
                                                 : s.strings.failed + "\n\n" + detail);
  }
  return status;
}

int FirstInstallation(const SetupFacts& facts, InstallState state,
                      SetupHost& host, LanguageDialog& dialog) {
  DialogStrings strings = LoadDialogStrings(facts, host);
  if (!strings.strings.file_read)
    host.Log("setup: cannot read " + strings.path + "; the dialog shows no texts");
  DialogModel model = BuildDialogModel(facts.system_language, strings);
  std::optional<std::string> chosen = dialog.Choose(model);
  if (!chosen) {
    host.Log("cancelled; nothing installed");
    return 0;
  }
  std::string error;
  auto command = ChosenLanguageCommand(
      PlacesOf(facts), TransformOfChoice(*chosen, strings.display), &error);
  std::string detail;
  int status = kExitRefused;
  if (command) {
    status = Execute(*command, state, host, &detail);
  } else {
    host.Log("setup: " + error);
    detail = error;
  }
  if (status != 0)
    dialog.ShowFailure(model.title, strings.strings.failed.empty()
                                        ? detail
                                        : strings.strings.failed + "\n\n" + detail);
  return status;
}

}  // namespace

DialogStrings LoadDialogStrings(const SetupFacts& facts, SetupHost& host) {
  std::string_view folder = FolderText(LanguageCode(facts.system_language));
  Family family = FamilyOf(facts.system_language);
  // A system language of a family without a folder of its own in the
  // table (Swiss German, Belgian French) reads its family's strings, so
  // that the names in the list are those of its name table.
  if (FamilyOfFolder(folder) == Family::kEnglish && family != Family::kEnglish)
    folder = FolderTextOf(family);
  std::vector<std::string_view> folders = {folder};
  // Languages whose strings are not shipped read the English ones.
  if (FamilyOfFolder(folder) != Family::kEnglish)
    folders.push_back(FolderTextOf(Family::kEnglish));

  DialogStrings out;
  out.display = family;
  out.path = StringsFilePath(facts.setup_folder, folders.front());
  for (std::string_view f : folders) {
    std::string path = StringsFilePath(facts.setup_folder, f);
    if (auto bytes = host.ReadFile(path)) {
      out.strings = ReadSetupStrings(ProfileText::Parse(*bytes));
      out.display = FamilyOfFolder(f);
      out.path = path;
      return out;
    }
  }
  return out;
}

void SortListTexts(std::vector<std::string>& items) {
  std::stable_sort(items.begin(), items.end(),
                   [](const std::string& a, const std::string& b) {
                     std::u32string ka = SortKeyOf(a), kb = SortKeyOf(b);
                     return ka != kb ? ka < kb : a < b;
                   });
}

DialogModel BuildDialogModel(uint16_t system_language,
                             const DialogStrings& s) {
  DialogModel m;
  m.title = s.strings.title;
  m.prompt = s.strings.prompt;
  m.ok = s.strings.ok;
  m.cancel = s.strings.cancel;
  m.items.assign(s.strings.languages.begin(), s.strings.languages.end());
  SortListTexts(m.items);
  std::string_view prefix = PreselectionIn(FamilyOf(system_language), s.display);
  for (size_t i = 0; i < m.items.size(); ++i) {
    if (!m.items[i].empty() && StartsWithIgnoringCase(m.items[i], prefix)) {
      m.preselected = static_cast<int>(i);
      break;
    }
  }
  return m;
}

std::optional<uint16_t> TransformOfChoice(std::string_view chosen,
                                          Family display) {
  for (const NamedLanguage& n : NameTableOf(display))
    if (n.name == chosen) return n.transform;
  return std::nullopt;
}

std::string CommandLineOf(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& a : args) {
    if (!line.empty()) line += ' ';
    if (a.starts_with("/v") && (a.size() < 3 || a[2] != '"'))
      line += "/v\"" + a.substr(2) + "\"";
    else
      line += a;
  }
  return line;
}

int RunSetup(std::string_view command_line, const SetupFacts& facts,
             SetupHost& host, LanguageDialog* dialog) {
  InstallState state = host.QueryState();
  if (IsUnattended(command_line))
    return Unattended(command_line, facts, state, host);
  if (state != InstallState::kUnknown)
    return Maintenance(facts, state, host, dialog);
  if (!dialog) {
    host.Log("setup: the language dialog cannot be shown here; name the "
             "language instead: setup /w /L1033 (English) or /w /L1031 "
             "(German)");
    return kExitRefused;
  }
  return FirstInstallation(facts, state, host, *dialog);
}

}  // namespace setup
