#include "setup/system_host.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "platform/env.h"
#include "platform/library.h"
#include "setup/dialog_abi.h"

extern char** environ;

namespace setup {
namespace {

constexpr int kSignalBase = 128;  // exit status of a child ended by a signal

std::string Now() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

// The LANG of /etc/default/locale, the machine's default.
std::string MachineLocale() {
  std::ifstream in("/etc/default/locale");
  std::string line;
  while (std::getline(in, line)) {
    if (!line.starts_with("LANG=")) continue;
    std::string v = line.substr(5);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
      v = v.substr(1, v.size() - 2);
    return v;
  }
  return {};
}

}  // namespace

RunResult RunProgram(const std::vector<std::string>& argv, int output_fd,
                     std::string* captured) {
  RunResult r;
  if (argv.empty()) {
    r.error = "nothing to run";
    return r;
  }
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  int pipe_fds[2] = {-1, -1};
  if (captured && ::pipe2(pipe_fds, O_CLOEXEC) != 0) {
    r.error = std::strerror(errno);
    return r;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (captured) {
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  } else if (output_fd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, output_fd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output_fd, STDERR_FILENO);
  }
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (captured) ::close(pipe_fds[1]);
  if (rc != 0) {
    if (captured) ::close(pipe_fds[0]);
    r.error = std::strerror(rc);
    return r;
  }
  if (captured) {
    char buf[4096];
    ssize_t n;
    while ((n = ::read(pipe_fds[0], buf, sizeof buf)) > 0 ||
           (n < 0 && errno == EINTR))
      if (n > 0) captured->append(buf, static_cast<size_t>(n));
    ::close(pipe_fds[0]);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  r.started = true;
  r.exit_status = WIFEXITED(status)     ? WEXITSTATUS(status)
                  : WIFSIGNALED(status) ? kSignalBase + WTERMSIG(status)
                                        : 1;
  return r;
}

bool HaveDisplay() {
  for (const char* var : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* v = std::getenv(var);
    if (v && *v) return true;
  }
  return false;
}

uint16_t SystemLanguage() {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return LanguageOfLocale(v);
  }
  return LanguageOfLocale(MachineLocale());
}

SystemHost::SystemHost(const std::string& log_path, bool echo)
    : log_path_(log_path), echo_(echo) {
  log_fd_ = ::open(log_path.c_str(),
                   O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
}

SystemHost::~SystemHost() {
  if (log_fd_ >= 0) ::close(log_fd_);
}

std::string SystemHost::ToolsDir() {
  const char* v = std::getenv("ZELT_SETUP_TOOLS_DIR");
  return v && *v ? v : "/usr/bin";
}

InstallState SystemHost::QueryState() {
  std::string out;
  std::vector<std::string> argv = DpkgQueryCommand(kPackageName);
  argv[0] = ToolsDir() + "/" + argv[0];
  RunResult r = RunProgram(argv, -1, &out);
  if (!r.started) {
    Log("cannot ask dpkg-query for the package's state: " + r.error);
    return InstallState::kUnknown;
  }
  return StateFromDpkgQuery(out, r.exit_status);
}

bool SystemHost::IsRoot() { return ::geteuid() == 0; }

std::optional<std::string> SystemHost::ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

RunResult SystemHost::Run(const std::vector<std::string>& argv) {
  return RunProgram(argv, echo_ ? -1 : log_fd_, nullptr);
}

void SystemHost::Log(std::string_view line) {
  std::string text = Now() + " " + std::string(line) + "\n";
  if (log_fd_ >= 0) {
    ssize_t ignored = ::write(log_fd_, text.data(), text.size());
    (void)ignored;
  }
  if (echo_) {
    std::string shown = std::string(line) + "\n";
    ssize_t ignored = ::write(STDERR_FILENO, shown.data(), shown.size());
    (void)ignored;
  }
}

std::unique_ptr<LibraryDialog> LibraryDialog::Load(std::string* error) {
  auto lib = platform::Env::Current()->LoadLibrary("setupdialog", error);
  if (!lib) return nullptr;
  std::unique_ptr<LibraryDialog> d(new LibraryDialog);
  d->choose_ = lib->Symbol(ZELT_SETUP_CHOOSE_LANGUAGE_SYMBOL);
  d->show_failure_ = lib->Symbol(ZELT_SETUP_SHOW_FAILURE_SYMBOL);
  if (!d->choose_ || !d->show_failure_) {
    *error = lib->path() + " lacks the dialog's entry points";
    return nullptr;
  }
  d->lib_ = std::move(lib);
  return d;
}

LibraryDialog::~LibraryDialog() = default;

std::optional<std::string> LibraryDialog::Choose(const DialogModel& model) {
  std::vector<const char*> items;
  for (const std::string& s : model.items) items.push_back(s.c_str());
  ZeltSetupDialog d{model.title.c_str(),  model.prompt.c_str(),
                    model.ok.c_str(),     model.cancel.c_str(),
                    items.data(),         static_cast<uint32_t>(items.size()),
                    model.preselected};
  char chosen[1040] = {};
  int rc = reinterpret_cast<ZeltSetupChooseLanguageFn>(choose_)(&d, chosen,
                                                                sizeof chosen);
  if (rc != 1) return std::nullopt;
  return std::string(chosen);
}

void LibraryDialog::ShowFailure(const std::string& title,
                                const std::string& text) {
  reinterpret_cast<ZeltSetupShowFailureFn>(show_failure_)(title.c_str(),
                                                          text.c_str());
}

}  // namespace setup
