// The installer bootstrapper's run: which mode, which strings, which
// command, and what to tell the administrator.
//
// setup lies beside the package. It picks one of three modes:
//
//   unattended         "/w /LNNNN [/S /v"OPTIONS"] [DELETEMESS]": the
//                      language (and installer options) come from the
//                      command line; no window;
//   first installation the package is not there: the language dialog;
//   maintenance        the package is there: it is installed again, the
//                      recorded language stays.
//
// It composes the installer command line, logs it, maps it onto the
// package tools (package_command.h), runs that and waits. Windows and
// machine are reached through LanguageDialog and SetupHost, so that tests
// drive every mode with fakes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "setup/languages.h"
#include "setup/package_command.h"
#include "setup/strings_file.h"

namespace setup {

// What setup works out at start.
struct SetupFacts {
  std::string windows_dir;   // the folder the installer bases name
  uint16_t system_language = 0x0409;
  std::string setup_folder;  // setup's own folder, with trailing "/"
  std::string package_file;  // the package's file name beside setup
};

struct RunResult {
  bool started = false;
  int exit_status = 0;
  std::string error;  // why it did not start
};

// The machine, as setup needs it.
class SetupHost {
 public:
  virtual ~SetupHost() = default;
  virtual InstallState QueryState() = 0;
  virtual bool IsRoot() = 0;
  // A file's bytes, or nullopt when it cannot be read.
  virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
  // Runs a program and waits for it without time limit.
  virtual RunResult Run(const std::vector<std::string>& argv) = 0;
  // A line for the setup log (and, unattended, the terminal).
  virtual void Log(std::string_view line) = 0;
  // Where the log is, for messages that point to it.
  virtual std::string LogPlace() { return {}; }
  // The folder of apt-get, env, pkexec and dpkg-query.
  virtual std::string ToolsDir() { return "/usr/bin"; }
};

// What the language dialog shows.
struct DialogModel {
  std::string title;
  std::string prompt;
  std::string ok;
  std::string cancel;
  std::vector<std::string> items;  // sorted, as the list shows them
  int preselected = -1;            // index into items, -1 for none
};

class LanguageDialog {
 public:
  virtual ~LanguageDialog() = default;
  // Shows the dialog until OK (the selected item's text, empty when none
  // is selected) or Cancel and closing (nullopt).
  virtual std::optional<std::string> Choose(const DialogModel& model) = 0;
  // Tells the user that the installation did not succeed.
  virtual void ShowFailure(const std::string& title,
                           const std::string& text) = 0;
};

// The strings setup shows: the file of the system language's folder;
// where there is none, the English folder's. `display` tells whose names
// the list holds.
struct DialogStrings {
  SetupStrings strings;
  Family display = Family::kEnglish;
  std::string path;  // the file read, or the first one tried
};
DialogStrings LoadDialogStrings(const SetupFacts& facts, SetupHost& host);

// The dialog of a system language with the strings of `display`.
DialogModel BuildDialogModel(uint16_t system_language,
                             const DialogStrings& strings);

// The transform of the chosen list entry, compared exactly with the names
// of `display`'s table; nullopt for English or no match.
std::optional<uint16_t> TransformOfChoice(std::string_view chosen,
                                          Family display);

// Sorts list texts as the list shows them: letters with accents beside
// their base letters, without regard to case.
void SortListTexts(std::vector<std::string>& items);

// The command line as setup searches it: the arguments after the program
// name joined by blanks. A "/v" argument whose quotation marks the shell
// took away gets them back ("/v/qn" -> "/v\"/qn\"").
std::string CommandLineOf(const std::vector<std::string>& args);

// Runs setup; returns its exit status: 0 when the installer succeeded or
// nothing was to be done (Cancel), the package tool's status when it
// failed, 1 when it could not be started, 2 for a command line that is
// refused.
int RunSetup(std::string_view command_line, const SetupFacts& facts,
             SetupHost& host, LanguageDialog* dialog);

}  // namespace setup
