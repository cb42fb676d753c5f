// boxkeeper: the command-line front end of the job frame, for administrators
// who script their backups.
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "keeper/app/archive_info.h"
#include "keeper/app/br_error.h"
#include "keeper/app/device_link.h"
#include "keeper/app/job_frame.h"
#include "keeper/app/result_text.h"
#include "keeper/cli/cli_args.h"
#include "keeper/cli/convert_command.h"
#include "keeper/cli/discover.h"
#include "keeper/cli/output.h"
#include "platform/clock.h"
#include "platform/env.h"

namespace keeper::cli {
namespace {

std::atomic<JobFrame*> g_frame{nullptr};

void OnInterrupt(int) {
  // Only an atomic store: the monitor sets the cancel event and cleans up.
  if (JobFrame* f = g_frame.load()) f->RequestCancel();
}

void Fail(const std::string& text) {
  std::fprintf(stderr, "boxkeeper: %s\n", text.c_str());
}

std::string ReadPassword(const Options& o, bool* ok) {
  *ok = true;
  if (o.ask_password) {
    std::FILE* tty = std::fopen("/dev/tty", "r+");
    if (!tty) {
      *ok = false;
      return {};
    }
    std::fputs("device password: ", tty);
    std::fflush(tty);
    termios old {};
    bool restore = tcgetattr(fileno(tty), &old) == 0;
    if (restore) {
      termios quiet = old;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      tcsetattr(fileno(tty), TCSAFLUSH, &quiet);
    }
    char buf[512] = {};
    bool got = std::fgets(buf, sizeof buf, tty) != nullptr;
    if (restore) tcsetattr(fileno(tty), TCSAFLUSH, &old);
    std::fputc('\n', tty);
    std::fclose(tty);
    std::string pwd = got ? buf : "";
    while (!pwd.empty() && (pwd.back() == '\n' || pwd.back() == '\r'))
      pwd.pop_back();
    return pwd;
  }
  const char* v = std::getenv(o.password_env.c_str());
  return v ? v : "";
}

int Connect(const Options& o, DeviceLink* link) {
  bool ok = false;
  ConnectOptions c;
  c.address = o.address;
  c.port = o.port;
  c.community = o.community;
  c.v3_id_file = o.v3_id_file;
  c.password = ReadPassword(o, &ok);
  if (!ok) {
    Fail("cannot prompt for the password: no terminal");
    return kExitUsage;
  }
  uint32_t code = link->Connect(c);
  if (code) {
    // Many texts begin with the device's address on a line of its own,
    // which the first line here already names.
    std::string text = cZBBoxBRError(code).Text(o.address);
    if (text.rfind(o.address + "\n", 0) == 0) text.erase(0, o.address.size() + 1);
    Fail("cannot connect to " + o.address + ": " + text + " (error " +
         std::to_string(code) + ")");
    return kExitConnect;
  }
  return kExitOk;
}

std::unique_ptr<ProgressPrinter> MakePrinter(const Options& o) {
  bool tty = isatty(fileno(stderr));
  bool bar;
  switch (o.progress) {
    case ProgressMode::kNone: return nullptr;
    case ProgressMode::kBar: bar = true; break;
    case ProgressMode::kLines: bar = false; break;
    default: bar = tty; break;
  }
  size_t width = 80;
  winsize ws {};
  if (tty && ioctl(fileno(stderr), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 20)
    width = ws.ws_col - 1;
  return std::make_unique<ProgressPrinter>(stderr, bar, width);
}

// Runs one job with Ctrl-C wired to its cancel.
JobResult RunJob(JobBackend& backend, ProgressPrinter* printer,
                 const JobRequest& request) {
  JobFrame frame(backend, printer);
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  struct sigaction old_int {}, old_term {};
  g_frame.store(&frame);
  sigaction(SIGINT, &sa, &old_int);
  sigaction(SIGTERM, &sa, &old_term);
  JobResult r = frame.Run(request);
  g_frame.store(nullptr);
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGTERM, &old_term, nullptr);
  if (printer) printer->Finish();
  if (frame.worker_running()) {
    // The job ignored the cancel for minutes; the device was released.
    // Do not wait for it any longer.
    std::fflush(nullptr);
    std::_Exit(r.outcome == kOutcomeCancelled ? kExitCancelled : kExitFailed);
  }
  return r;
}

int Report(const ResultMessage& m, const JobResult& r) {
  std::FILE* out = r.outcome == kOutcomeDone && r.error == 0 ? stdout : stderr;
  std::fprintf(out, "%s\n", m.text.c_str());
  if (r.error) std::fprintf(out, "(error %u)\n", r.error);
  if (r.outcome == kOutcomeDone) return r.error ? kExitFailed : kExitOk;
  if (r.outcome == kOutcomeCancelled) return kExitCancelled;
  return kExitFailed;
}

int Boxes(const Options& o) {
  DeviceLink link;
  if (int rc = Connect(o, &link)) return rc;
  std::vector<BoxEntry> boxes;
  if (uint32_t code = link.ListBoxes(&boxes)) {
    Fail(cZBBoxBRError(code).Text(o.address) + " (error " +
         std::to_string(code) + ")");
    return kExitFailed;
  }
  std::fputs(BoxTable(boxes).c_str(), stdout);
  return kExitOk;
}

int Backup(const Options& o) {
  std::error_code ec;
  if (std::filesystem::exists(o.archive, ec) && !o.force) {
    Fail(o.archive + " exists; add --force to replace it");
    return kExitUsage;
  }
  if (!BoxlinkJobBackend::HasJob(JobKind::kBackup)) {
    Fail("this build of libboxlink has no backup job (zbBoxBackup) yet");
    return kExitUnavailable;
  }
  DeviceLink link;
  if (int rc = Connect(o, &link)) return rc;
  JobRequest req;
  req.kind = JobKind::kBackup;
  req.archive_path = std::filesystem::absolute(o.archive, ec).string();
  req.backup_type = o.incremental ? 1 : 0;
  req.boxes = o.boxes;
  if (req.boxes.empty()) {
    std::vector<BoxEntry> boxes;
    if (uint32_t code = link.ListBoxes(&boxes)) {
      Fail(cZBBoxBRError(code).Text(o.address) + " (error " +
           std::to_string(code) + ")");
      return kExitFailed;
    }
    for (const BoxEntry& b : boxes) req.boxes.push_back(b.number);
  }
  if (req.boxes.empty()) {
    Fail("the device has no boxes to back up");
    return kExitFailed;
  }
  BoxlinkJobBackend backend(link);
  auto printer = MakePrinter(o);
  JobResult r = RunJob(backend, printer.get(), req);
  return Report(BackupResultMessage(r, o.address), r);
}

// Reads what the archive holds; 0, or the exit code after saying why not.
int ReadArchive(const Options& o, ArchiveInfo* info) {
  uint32_t code = ReadArchiveInfo(o.archive, info);
  if (code == kErrProcNotFound) {
    Fail("this build of libboxlink cannot read archives (zbBoxGetXMLInfo) yet");
    return kExitUnavailable;
  }
  if (code) {
    Fail(o.archive + ": not a readable archive: " +
         cZBBoxBRError(code).Text("") + " (error " + std::to_string(code) +
         ")");
    return kExitArchive;
  }
  return 0;
}

int Show(const Options& o) {
  ArchiveInfo info;
  if (int rc = ReadArchive(o, &info)) return rc;
  std::fputs(ArchiveText(info).c_str(), stdout);
  return kExitOk;
}

int Restore(const Options& o) {
  if (!BoxlinkJobBackend::HasJob(JobKind::kRestore)) {
    Fail("this build of libboxlink has no restore job (zbBoxRestore) yet");
    return kExitUnavailable;
  }
  ArchiveInfo info;
  if (int rc = ReadArchive(o, &info)) return rc;
  DeviceLink link;
  if (int rc = Connect(o, &link)) return rc;
  ZBENGINEINFO engine{};
  if (uint32_t e = link.EngineInfo(&engine)) {
    Fail(cZBBoxBRError(e).Text(o.address) + " (error " + std::to_string(e) +
         ")");
    return kExitFailed;
  }
  if (!ArchiveSuitsDevice(info.engine_version, engine.EngineVersion)) {
    Fail("the archive was written by \"" + info.engine_version +
         "\" and cannot be restored onto \"" + engine.EngineVersion + "\"");
    return kExitArchive;
  }
  JobRequest req;
  req.kind = JobKind::kRestore;
  std::error_code ec;
  req.archive_path = std::filesystem::absolute(o.archive, ec).string();
  req.restore_mode = o.restore_mode;
  req.restore_time =
      static_cast<int32_t>(platform::Env::Current()->clock().UnixTime());
  for (const ArchiveBox& b : info.boxes) {
    bool chosen = o.boxes.empty() ||
                  std::find(o.boxes.begin(), o.boxes.end(), b.number) !=
                      o.boxes.end();
    if (!chosen) continue;
    req.boxes.push_back(b.number);
    req.total_size_kb += b.size_kb;
    req.largest_size_kb = std::max(req.largest_size_kb, b.size_kb);
  }
  if (req.boxes.empty()) {
    Fail("none of the chosen boxes is in the archive");
    return kExitArchive;
  }
  BoxlinkJobBackend backend(link);
  auto printer = MakePrinter(o);
  JobResult r = RunJob(backend, printer.get(), req);
  return Report(RestoreResultMessage(r, o.address,
                                     [&](uint32_t* t) {
                                       return link.StorageType(t);
                                     }),
                r);
}

}  // namespace
}  // namespace keeper::cli

int main(int argc, char** argv) {
  using namespace keeper::cli;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "discover")
    return RunDiscover(std::vector<std::string>(args.begin() + 1, args.end()));
  // convert works on local files only and has options of its own.
  if (!args.empty() && args[0] == "convert")
    return RunConvert(std::vector<std::string>(args.begin() + 1, args.end()));
  std::string error;
  std::optional<Options> o = ParseArgs(args, &error);
  if (!o) {
    std::fprintf(stderr, "boxkeeper: %s (see boxkeeper --help)\n",
                 error.c_str());
    return kExitUsage;
  }
  switch (o->command) {
    case Command::kHelp: std::fputs(HelpText().c_str(), stdout); return 0;
    case Command::kVersion: std::puts("boxkeeper 0.1.0"); return 0;
    case Command::kBoxes: return Boxes(*o);
    case Command::kBackup: return Backup(*o);
    case Command::kShow: return Show(*o);
    case Command::kRestore: return Restore(*o);
  }
  return kExitUsage;
}
