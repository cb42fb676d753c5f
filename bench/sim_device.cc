#include "bench/sim_device.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>

namespace bench {

namespace fs = std::filesystem;

namespace {

// The devices this process runs, for the signal handler and the exit hook:
// a benchmark that aborts must not leave a device serving. Slots hold pids
// (0 free); async-signal-safe to read and to kill.
constexpr int kMaxDevices = 8;
std::atomic<pid_t> g_devices[kMaxDevices];

void StopAllDevices() {
  for (auto& slot : g_devices) {
    pid_t pid = slot.exchange(0);
    if (pid > 0) kill(pid, SIGTERM);
  }
}

void OnFatalSignal(int sig) {
  StopAllDevices();
  signal(sig, SIG_DFL);
  raise(sig);
}

void InstallStopHooks() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int sig : {SIGABRT, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV, SIGBUS, SIGFPE}) {
      struct sigaction sa {};
      sa.sa_handler = &OnFatalSignal;
      sigemptyset(&sa.sa_mask);
      sigaction(sig, &sa, nullptr);
    }
    std::atexit(&StopAllDevices);
  });
}

void Register(pid_t pid) {
  for (auto& slot : g_devices) {
    pid_t free = 0;
    if (slot.compare_exchange_strong(free, pid)) return;
  }
}

void Unregister(pid_t pid) {
  for (auto& slot : g_devices) {
    pid_t mine = pid;
    if (slot.compare_exchange_strong(mine, 0)) return;
  }
}

double Seconds(const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; }

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

ToolRun RunTool(const std::string& command) {
  ToolRun run;
  char err_path[] = "/tmp/zelt_bench_tool_XXXXXX";
  int err_fd = mkstemp(err_path);
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, 1);
    if (err_fd >= 0) dup2(err_fd, 2);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage ru {};
  if (pid < 0 || wait4(pid, &status, 0, &ru) < 0) {
    run.error = std::string("cannot run the tool: ") + std::strerror(errno);
  } else {
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.wall_s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpu_s = Seconds(ru.ru_utime) + Seconds(ru.ru_stime);
    run.peak_mb = double(ru.ru_maxrss) / 1024;
    if (!run.ok) run.error = command.substr(0, command.find(' ')) + ": " + Slurp(err_path);
  }
  if (err_fd >= 0) {
    close(err_fd);
    unlink(err_path);
  }
  return run;
}

double PeakMb() {
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  return double(ru.ru_maxrss) / 1024;
}

double CpuSeconds() {
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  return Seconds(ru.ru_utime) + Seconds(ru.ru_stime);
}

double LoadAverage() {
  double load[1];
  return getloadavg(load, 1) == 1 ? load[0] : -1;
}

BenchFolder::BenchFolder(const std::string& name) {
  const fs::path tmp = fs::temp_directory_path();
  const std::string prefix = "zelt_" + name + "_";
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(tmp, ec)) {
    std::string n = e.path().filename().string();
    if (n.rfind(prefix, 0) != 0) continue;
    pid_t pid = pid_t(std::atol(n.c_str() + prefix.size()));
    if (pid > 0 && kill(pid, 0) != 0 && errno == ESRCH) fs::remove_all(e.path(), ec);
  }
  path_ = tmp / (prefix + std::to_string(getpid()));
  fs::remove_all(path_, ec);
  fs::create_directories(path_);
}

BenchFolder::~BenchFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

size_t TreeBytes(const fs::path& folder) {
  size_t bytes = 0;
  std::error_code ec;
  for (const auto& e : fs::recursive_directory_iterator(folder, ec))
    if (e.is_regular_file()) bytes += e.file_size();
  return bytes;
}

bool Populate(const fs::path& store, const PopulateSpec& s, std::string* error) {
  std::ostringstream cmd;
  cmd << DEVSIM_BIN << " populate --store '" << store.string() << "' --layout " << s.layout
      << " --boxes " << s.boxes << " --folders " << s.folders << " --documents "
      << s.documents << " --pages " << s.pages << " --page-bytes " << s.page_bytes;
  ToolRun run = RunTool(cmd.str());
  if (!run.ok) *error = "devsim populate failed: " + run.error;
  return run.ok;
}

bool SimDevice::Start(const fs::path& store, const std::string& layout,
                      const std::string& address, std::string* error) {
  InstallStopHooks();
  int out[2];
  if (pipe(out) != 0) {
    *error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  const pid_t parent = getpid();
  pid_t pid = fork();
  if (pid == 0) {
    // Whatever ends the benchmark ends the device too.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    execl(DEVSIM_BIN, DEVSIM_BIN, "serve", "--layout", layout.c_str(), "--address",
          address.c_str(), "--store", store.c_str(), "--services", "web,ftp,snmp",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  if (pid < 0) {
    close(out[0]);
    *error = std::string("fork: ") + std::strerror(errno);
    return false;
  }
  pid_ = pid;
  Register(pid);
  // The device says "ready <address>" once every service listens. The pipe
  // stays open until the device has gone, so that its last line ("stopped")
  // does not meet a closed pipe.
  output_ = fdopen(out[0], "r");
  if (!output_) close(out[0]);
  char line[256] = {};
  bool ready = output_ && fgets(line, sizeof line, output_) &&
               std::strncmp(line, "ready", 5) == 0;
  if (!ready) {
    Stop();
    *error = "devsim serve did not start (see its message above)";
    return false;
  }
  return true;
}

void SimDevice::Stop() {
  if (pid_ <= 0) return;
  Unregister(pid_);
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
  if (output_) fclose(output_);
  output_ = nullptr;
}

double SimDevice::CpuSeconds() const {
  if (pid_ <= 0) return 0;
  std::string stat = Slurp("/proc/" + std::to_string(pid_) + "/stat");
  // Fields after the command name, which is in parentheses: utime and
  // stime are the 12th and 13th of them.
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream in(stat.substr(close + 2));
  std::string field;
  double ticks = 0;
  for (int i = 1; i <= 13 && in >> field; ++i)
    if (i >= 12) ticks += std::atof(field.c_str());
  return ticks / double(sysconf(_SC_CLK_TCK));
}

std::string LoopbackAddress(int which) {
  const pid_t pid = getpid();
  return "127." + std::to_string(90 + which) + "." + std::to_string((pid / 250) % 250) + "." +
         std::to_string(pid % 250 + 2);
}

void PrintSummary(const char* what, const std::vector<RunFigures>& runs) {
  double job = 0, base = 0, job_cpu = 0, base_cpu = 0;
  for (const RunFigures& r : runs) {
    std::fprintf(stderr,
                 "%s: job %.2f s, baseline %.2f s, wall ratio %.2f; cpu %.2f s / %.2f s, "
                 "ratio %.2f; load %.2f\n",
                 what, r.job_s, r.base_s, r.base_s > 0 ? r.job_s / r.base_s : 0, r.job_cpu_s,
                 r.base_cpu_s, r.base_cpu_s > 0 ? r.job_cpu_s / r.base_cpu_s : 0, r.load);
    job += r.job_s;
    base += r.base_s;
    job_cpu += r.job_cpu_s;
    base_cpu += r.base_cpu_s;
  }
  if (runs.size() > 1 && base > 0 && base_cpu > 0)
    std::fprintf(stderr, "%s, %zu runs: wall ratio %.2f, cpu ratio %.2f\n", what, runs.size(),
                 job / base, job_cpu / base_cpu);
}

}  // namespace bench
