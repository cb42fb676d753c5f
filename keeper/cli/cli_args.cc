#include "keeper/cli/cli_args.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace keeper::cli {
namespace {

std::optional<uint32_t> Number(std::string_view s, uint32_t max) {
  uint32_t v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size() || s.empty() || v > max)
    return std::nullopt;
  return v;
}

}  // namespace

std::optional<std::vector<uint32_t>> ParseBoxList(const std::string& text) {
  std::vector<uint32_t> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    std::string_view part(text.data() + start,
                          (comma == std::string::npos ? text.size() : comma) -
                              start);
    size_t dash = part.find('-');
    if (dash == std::string_view::npos) {
      auto n = Number(part, 999);
      if (!n) return std::nullopt;
      out.push_back(*n);
    } else {
      auto a = Number(part.substr(0, dash), 999);
      auto b = Number(part.substr(dash + 1), 999);
      if (!a || !b || *a > *b) return std::nullopt;
      for (uint32_t i = *a; i <= *b; ++i) out.push_back(i);
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  // Keep the order given, drop repeats: a box is backed up once.
  std::vector<uint32_t> unique;
  for (uint32_t n : out)
    if (std::find(unique.begin(), unique.end(), n) == unique.end())
      unique.push_back(n);
  if (unique.size() > 100) return std::nullopt;
  return unique;
}

std::optional<Options> ParseArgs(const std::vector<std::string>& args,
                                 std::string* error) {
  Options o;
  static const std::map<std::string, Command> kCommands = {
      {"boxes", Command::kBoxes},     {"backup", Command::kBackup},
      {"show", Command::kShow},       {"restore", Command::kRestore},
      {"help", Command::kHelp},       {"--help", Command::kHelp},
      {"-h", Command::kHelp},         {"--version", Command::kVersion}};
  if (args.empty()) return o;
  auto cmd = kCommands.find(args[0]);
  if (cmd == kCommands.end()) {
    *error = "unknown command '" + args[0] + "'";
    return std::nullopt;
  }
  o.command = cmd->second;
  if (o.command == Command::kHelp || o.command == Command::kVersion) return o;

  std::vector<std::string> positional;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        *error = a + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      o.command = Command::kHelp;
      return o;
    } else if (a == "--address" || a == "-a") {
      if (!value(&o.address)) return std::nullopt;
    } else if (a == "--port") {
      if (!value(&v)) return std::nullopt;
      auto n = Number(v, 65535);
      if (!n || *n == 0) {
        *error = "--port takes 1 to 65535";
        return std::nullopt;
      }
      o.port = *n;
    } else if (a == "--community") {
      if (!value(&o.community)) return std::nullopt;
    } else if (a == "--snmpv3-id") {
      if (!value(&o.v3_id_file)) return std::nullopt;
    } else if (a == "--password-env") {
      if (!value(&o.password_env)) return std::nullopt;
    } else if (a == "--ask-password") {
      o.ask_password = true;
    } else if (a == "--boxes" || a == "-b") {
      if (!value(&v)) return std::nullopt;
      auto list = ParseBoxList(v);
      if (!list) {
        *error = "--boxes takes numbers 0-999 like 1,2,5 or 1-3 (at most 100)";
        return std::nullopt;
      }
      o.boxes = *list;
    } else if (a == "--incremental") {
      o.incremental = true;
    } else if (a == "--full") {
      o.incremental = false;
    } else if (a == "--append") {
      o.restore_mode = 2;
    } else if (a == "--overwrite") {
      o.restore_mode = 1;
    } else if (a == "--force" || a == "-f") {
      o.force = true;
    } else if (a == "--progress") {
      if (!value(&v)) return std::nullopt;
      static const std::map<std::string, ProgressMode> kModes = {
          {"auto", ProgressMode::kAuto}, {"bar", ProgressMode::kBar},
          {"lines", ProgressMode::kLines}, {"none", ProgressMode::kNone}};
      auto m = kModes.find(v);
      if (m == kModes.end()) {
        *error = "--progress takes auto, bar, lines or none";
        return std::nullopt;
      }
      o.progress = m->second;
    } else if (a == "--password" || a.rfind("--password=", 0) == 0) {
      *error = "passwords are not read from the command line; use "
               "--password-env NAME or --ask-password";
      return std::nullopt;
    } else if (!a.empty() && a[0] == '-') {
      *error = "unknown option '" + a + "'";
      return std::nullopt;
    } else {
      positional.push_back(a);
    }
  }

  const bool wants_archive = o.command != Command::kBoxes;
  if (positional.size() > (wants_archive ? 1u : 0u)) {
    *error = "unexpected argument '" + positional.back() + "'";
    return std::nullopt;
  }
  if (wants_archive) {
    if (positional.empty()) {
      *error = "name the archive file";
      return std::nullopt;
    }
    o.archive = positional[0];
    if (o.command == Command::kBackup) {
      std::string lower = o.archive;
      for (char& c : lower) c = static_cast<char>(std::tolower(c));
      if (lower.size() < 5 || lower.substr(lower.size() - 4) != ".zip" ||
          lower[lower.size() - 5] == '/' || lower[lower.size() - 5] == '.') {
        *error = "the archive must be a file name ending in .zip";
        return std::nullopt;
      }
    }
  }
  if (o.command != Command::kShow && o.address.empty()) {
    *error = "--address is required";
    return std::nullopt;
  }
  if (o.incremental && o.command != Command::kBackup) {
    *error = "--incremental applies to backup only";
    return std::nullopt;
  }
  return o;
}

std::string HelpText() {
  return R"(boxkeeper - back up and restore the document boxes of a device

usage:
  boxkeeper boxes   --address ADDR [connection options]
  boxkeeper backup  --address ADDR [--boxes LIST] [--incremental] [--force]
                    ARCHIVE.zip
  boxkeeper show    ARCHIVE.zip
  boxkeeper discover [--mode 1|3|13] [--community NAME | --snmpv3-id FILE]
                    [--range FROM-TO] [--timeout S] [--json]
  boxkeeper restore --address ADDR [--boxes LIST] [--overwrite | --append]
                    ARCHIVE.zip
  boxkeeper convert --from MODEL --to MODEL [--summary] [--force]
                    SOURCE.zip OUTPUT.zip   (see boxkeeper convert --help)

connection options:
  -a, --address ADDR     the device (IPv4, IPv6 or host name)
      --port N           web port of the device (default 8080)
      --community NAME   SNMPv1/v2 community (default public)
      --snmpv3-id FILE   SNMPv3 ID file instead of a community
      --password-env VAR read the device password from VAR
                         (default BOXKEEPER_PASSWORD; unset: no password)
      --ask-password     prompt for the password on the terminal

other options:
  -b, --boxes LIST       box numbers, e.g. 1,2,5 or 1-3 (default: all)
      --incremental      back up only what changed since the last backup
      --overwrite        restore: replace documents of the same name
                         (the default)
      --append           restore: add them as NAME-001, NAME-002, ...
  -f, --force            backup: replace an existing archive
      --progress MODE    auto (bar on a terminal, lines otherwise), bar,
                         lines or none
  -h, --help             this text

boxkeeper discover --help describes the device search, boxkeeper convert
--help the conversion of archives for another model.

Ctrl-C cancels a running backup, restore or conversion; the device is
unlocked and its temporary FTP account removed before the program ends.

exit codes:
  0 done   1 failed   2 usage   3 no connection   4 cancelled
  5 archive missing, unreadable or not suitable   6 not available in this build
)";
}

}  // namespace keeper::cli
