// The machine as setup meets it: dpkg-query for the package's state, the
// strings files, the package tools run as child processes, the setup log,
// and the language dialog in its library.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "setup/bootstrap.h"

namespace platform {
class Library;
}

namespace setup {

// Runs a program and waits for it. Its output goes to output_fd (-1: this
// process's own), or into *captured when that is given.
RunResult RunProgram(const std::vector<std::string>& argv, int output_fd,
                     std::string* captured);

// The system language as a Windows language number: LC_ALL, LC_MESSAGES,
// LANG, else the machine's default locale (/etc/default/locale).
uint16_t SystemLanguage();

class SystemHost final : public SetupHost {
 public:
  // Appends to the log at log_path (created for this user only); echo
  // also writes each line to stderr, and lets the package tools write to
  // the terminal instead of the log.
  SystemHost(const std::string& log_path, bool echo);
  ~SystemHost() override;

  InstallState QueryState() override;
  bool IsRoot() override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  RunResult Run(const std::vector<std::string>& argv) override;
  void Log(std::string_view line) override;
  std::string LogPlace() override { return log_path_; }
  // /usr/bin, or ZELT_SETUP_TOOLS_DIR when set (tests put stand-ins of
  // the package tools there).
  std::string ToolsDir() override;

 private:
  std::string log_path_;
  int log_fd_ = -1;
  bool echo_;
};

// Whether there is a display to show windows on.
bool HaveDisplay();

// The language dialog of libsetupdialog.so.
class LibraryDialog final : public LanguageDialog {
 public:
  // Null and the reason when the library cannot be loaded.
  static std::unique_ptr<LibraryDialog> Load(std::string* error);
  ~LibraryDialog() override;

  std::optional<std::string> Choose(const DialogModel& model) override;
  void ShowFailure(const std::string& title, const std::string& text) override;

 private:
  LibraryDialog() = default;
  std::unique_ptr<platform::Library> lib_;
  void* choose_ = nullptr;
  void* show_failure_ = nullptr;
};

}  // namespace setup
