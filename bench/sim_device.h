// What the job benchmarks share: a simulated device served by "devsim serve"
// in a process of its own, the outside tools of the baseline run as child
// processes, and the figures both sides are measured by.
//
// A device is stopped on every way out of a benchmark: by its destructor,
// by a handler of the signals that end a program (SIGABRT of a failed check
// included), and by the kernel when the benchmark dies any other way (the
// device asks for SIGTERM at its parent's death). The bench folder of a
// benchmark that died is swept by the next run.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

// What one run of an outside tool cost.
struct ToolRun {
  bool ok = false;  // exited with 0
  double wall_s = 0, cpu_s = 0, peak_mb = 0;
  std::string error;  // the tool's stderr when it failed
};

// Runs `command` through /bin/sh, stdout discarded.
ToolRun RunTool(const std::string& command);

// Peak resident memory of this process so far, MB.
double PeakMb();
// User + system seconds of every thread of this process so far.
double CpuSeconds();
// The one-minute load average, or -1.
double LoadAverage();

// A fresh folder /tmp/zelt_<name>_<pid>, removed by the destructor. Folders
// of the same name whose process is gone are removed first.
class BenchFolder {
 public:
  explicit BenchFolder(const std::string& name);
  ~BenchFolder();
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Bytes of all files below `folder`.
size_t TreeBytes(const std::filesystem::path& folder);

struct PopulateSpec {
  std::string layout = "classic";
  int boxes = 10, folders = 1, documents = 50, pages = 2;
  size_t page_bytes = 0;
};

// `devsim populate` into `store`; false with the reason.
bool Populate(const std::filesystem::path& store, const PopulateSpec& spec,
              std::string* error);

class SimDevice {
 public:
  SimDevice() = default;
  ~SimDevice() { Stop(); }
  SimDevice(const SimDevice&) = delete;
  SimDevice& operator=(const SimDevice&) = delete;

  // Serves `store` (web, FTP and SNMP) at `address` once the device says it
  // is ready; false with the reason.
  bool Start(const std::filesystem::path& store, const std::string& layout,
             const std::string& address, std::string* error);
  // SIGTERM and wait; nothing when not running.
  void Stop();
  bool running() const { return pid_ > 0; }
  // User + system seconds the device's process has used so far.
  double CpuSeconds() const;

 private:
  pid_t pid_ = -1;
  FILE* output_ = nullptr;  // the device's stdout
};

// A loopback address of its own for this process (127.9x.y.z).
std::string LoopbackAddress(int which);

// The figures of one side-by-side run, printed after the benchmarks as
// "<what>: job x.xx s, baseline y.yy s, ratio r.rr (cpu ...), load l".
struct RunFigures {
  double job_s = 0, base_s = 0, job_cpu_s = 0, base_cpu_s = 0, load = 0;
};
void PrintSummary(const char* what, const std::vector<RunFigures>& runs);

}  // namespace bench
