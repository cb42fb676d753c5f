// The command line of boxkeeper.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace keeper::cli {

enum class Command { kHelp, kVersion, kBoxes, kBackup, kShow, kRestore };
enum class ProgressMode { kAuto, kBar, kLines, kNone };

struct Options {
  Command command = Command::kHelp;
  std::string address;
  uint32_t port = 8080;
  std::string community;
  std::string v3_id_file;
  std::string password_env = "BOXKEEPER_PASSWORD";
  bool ask_password = false;
  std::vector<uint32_t> boxes;   // empty: every box
  bool incremental = false;
  uint32_t restore_mode = 1;     // 1 overwrite, 2 append
  bool force = false;            // replace an existing archive
  std::string archive;
  ProgressMode progress = ProgressMode::kAuto;
};

// Exit codes, also listed in --help.
enum Exit : int {
  kExitOk = 0,
  kExitFailed = 1,       // the device or the job reported an error
  kExitUsage = 2,
  kExitConnect = 3,      // no session with the device
  kExitCancelled = 4,
  kExitArchive = 5,      // archive missing, unreadable or unsuitable
  kExitUnavailable = 6,  // this build cannot do it yet
};

// Parses argv[1..]. nullopt and *error on bad input.
std::optional<Options> ParseArgs(const std::vector<std::string>& args,
                                 std::string* error);

// "1,2,5" or "1-3,7"; numbers 0..999. nullopt on bad input.
std::optional<std::vector<uint32_t>> ParseBoxList(const std::string& text);

std::string HelpText();

}  // namespace keeper::cli
