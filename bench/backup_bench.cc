// One whole backup of a simulated device of 1,000 documents, next to the
// same work done by standard tools: curl fetching every file of the boxes
// over FTP and zip -9 -r packing the tree (goal: the job within 1.5x).
// The device runs as its own process (devsim serve), so peak_rss_MB is the
// memory of the job alone (goal: independent of the archive size); for the
// baseline it is the larger of the two tools. cpu_s is user + system time
// of the job's process or of the tools, which a shared machine disturbs
// less than wall time; the device's own time is in neither.
// ZELT_BENCH_BACKUP_MB sets the data size (default 200).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "boxlink.h"
#include "boxlink/client/session_hooks.h"

namespace {

namespace fs = std::filesystem;

constexpr char kAdmin[] = "admin00";
constexpr int kBoxes = 10, kDocuments = 50, kPages = 2;  // 10 x (50 + 50) docs

size_t DataBytes() {
  const char* mb = std::getenv("ZELT_BENCH_BACKUP_MB");
  return size_t(mb ? std::atoi(mb) : 200) << 20;
}

void FixedWebProbe(ZBSESSION* s, const void*) {
  s->WebPort = 8080;
  s->WebSecure = 0;
  s->Port = 8080;
}
void FixedFtpProbe(ZBSESSION* s, const void*) {
  s->FtpPort = 21;
  s->FtpSecure = 0;
}

double Seconds(const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; }

// What one run of a tool cost: wall seconds, CPU seconds (user + system)
// and peak resident memory.
struct ToolRun {
  bool ok = false;  // exited with 0
  double wall_s = 0, cpu_s = 0, peak_mb = 0;
};

ToolRun RunTool(const std::string& cmd) {
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  ToolRun run;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  run.wall_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpu_s = Seconds(ru.ru_utime) + Seconds(ru.ru_stime);
  run.peak_mb = double(ru.ru_maxrss) / 1024;
  return run;
}

double PeakMb() {
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  return double(ru.ru_maxrss) / 1024;
}

// User + system seconds of every thread of this process so far.
double CpuSeconds() {
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  return Seconds(ru.ru_utime) + Seconds(ru.ru_stime);
}

struct Device {
  fs::path root, store;
  std::string address;
  pid_t pid = -1;
  size_t bytes = 0;

  Device() {
    root = fs::temp_directory_path() / ("zelt_backup_bench_" + std::to_string(getpid()));
    fs::remove_all(root);
    store = root / "store";
    fs::create_directories(store);
    size_t page = DataBytes() / (kBoxes * kDocuments * 2 * kPages);
    std::string populate = std::string(DEVSIM_BIN) + " populate --store '" + store.string() +
                           "' --layout classic --boxes " + std::to_string(kBoxes) +
                           " --folders 1 --documents " + std::to_string(kDocuments) +
                           " --pages " + std::to_string(kPages) + " --page-bytes " +
                           std::to_string(page) + " > /dev/null";
    if (std::system(populate.c_str()) != 0) std::abort();
    for (const auto& e : fs::recursive_directory_iterator(store))
      if (e.is_regular_file()) bytes += e.file_size();
    address = "127.91." + std::to_string(getpid() % 250) + ".7";
    int out[2];
    if (pipe(out) != 0) std::abort();
    pid = fork();
    if (pid == 0) {
      dup2(out[1], 1);
      execl(DEVSIM_BIN, DEVSIM_BIN, "serve", "--layout", "classic", "--address",
            address.c_str(), "--store", store.c_str(), "--services", "web,ftp,snmp",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    FILE* f = fdopen(out[0], "r");
    char line[256] = {};
    if (!fgets(line, sizeof line, f) || std::strncmp(line, "ready", 5) != 0) std::abort();
  }
  ~Device() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
    fs::remove_all(root);
  }
};

Device& TheDevice() {
  static Device d;
  return d;
}

void BM_BackupJob(benchmark::State& state) {
  Device& d = TheDevice();
  boxlink::ScopedPortProbes probes({&FixedWebProbe, &FixedFtpProbe});
  fs::path work = d.root / "work";
  fs::create_directories(work);
  std::string archive = (d.root / "job.zip").string();
  uint32_t boxes[kBoxes];
  for (int i = 0; i < kBoxes; ++i) boxes[i] = uint32_t(i + 1);
  double cpu = 0;
  for (auto _ : state) {
    double cpu_start = CpuSeconds();
    ZBSESSION s{};
    std::strncpy(s.Host, d.address.c_str(), sizeof s.Host - 1);
    s.Port = 8080;
    if (zbBoxOpenConnection(&s, nullptr) != 0) std::abort();
    char login[256] = {};
    if (zbBoxCreateFTPAccount(&s, kAdmin, login) != 0) std::abort();
    BoxJobProgress progress{};
    ZBEVENT status = zbBoxCreateEvent(0, 0, nullptr);
    uint32_t mode = 1;
    uint32_t rc = zbBoxBackup(&s, kAdmin, login, work.c_str(), archive.c_str(), 0, kBoxes,
                              boxes, nullptr, status, &progress, nullptr, &mode, "", "", "");
    zbBoxCloseEvent(status);
    zbBoxDeleteFTPAccount(&s, kAdmin);
    zbBoxCloseConnection(&s);
    cpu += CpuSeconds() - cpu_start;
    if (rc != 0) {
      state.SkipWithError(("zbBoxBackup failed: " + std::to_string(rc)).c_str());
      break;
    }
  }
  state.counters["data_MB"] = double(d.bytes) / (1 << 20);
  state.counters["archive_MB"] = double(fs::file_size(archive)) / (1 << 20);
  state.counters["cpu_s"] = cpu / double(state.iterations());
  state.counters["peak_rss_MB"] = PeakMb();
}

void BM_CurlAndZipBaseline(benchmark::State& state) {
  Device& d = TheDevice();
  fs::path base = d.root / "base";
  fs::path config = d.root / "curl.cfg";
  {
    std::ofstream cfg(config);
    fs::path data = d.store / "BOX" / "DATA";
    for (const auto& e : fs::recursive_directory_iterator(data)) {
      if (!e.is_regular_file()) continue;
      std::string rel = fs::relative(e.path(), d.store).string();
      cfg << "url = \"ftp://" << d.address << "/" << rel << "\"\n"
          << "output = \"" << (base / rel).string() << "\"\n";
    }
  }
  ToolRun curl, zip;
  double peak = 0;
  for (auto _ : state) {
    fs::remove_all(base);
    // Active mode: curl 7.88 stalls a passive transfer on a reused
    // connection for its 1 s poll interval whenever the reply to the
    // transfer's first command (EPSV without a CWD before it) is already
    // there when it looks, which a loopback server nearly always manages.
    ToolRun c = RunTool("curl -sS --create-dirs --ftp-port - -u boxuser:boxpass -K '" +
                        config.string() + "'");
    if (!c.ok) {
      state.SkipWithError("curl failed");
      break;
    }
    ToolRun z = RunTool("cd '" + base.string() + "' && zip -q -9 -r ../base.zip BOX");
    fs::remove(d.root / "base.zip");
    if (!z.ok) {
      state.SkipWithError("zip failed");
      break;
    }
    curl.wall_s += c.wall_s;
    curl.cpu_s += c.cpu_s;
    zip.wall_s += z.wall_s;
    zip.cpu_s += z.cpu_s;
    peak = std::max({peak, c.peak_mb, z.peak_mb});
  }
  const double n = double(state.iterations());
  state.counters["curl_s"] = curl.wall_s / n;
  state.counters["zip_s"] = zip.wall_s / n;
  state.counters["cpu_s"] = (curl.cpu_s + zip.cpu_s) / n;
  state.counters["peak_rss_MB"] = peak;
}

BENCHMARK(BM_BackupJob)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_CurlAndZipBaseline)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
