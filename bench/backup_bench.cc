// One whole backup of a simulated device of 1,000 documents, side by side
// with the same work done by the tools an administrator would script: curl
// fetching every file of the boxes over FTP, then zip -9 -r packing the
// tree. Each iteration runs the job and then the baseline, so both meet the
// same machine; the ratio of the two is printed with each run (goal: the
// job's wall time at most 0.6 of the baseline's, its CPU time no more).
//
// Counters: job_s and base_s wall seconds (the Time column is the job's),
// wall_ratio, job_cpu_s and base_cpu_s (user + system of the job's process
// or of the tools; the device's own time is in neither), cpu_ratio, curl_s
// and zip_s, job_peak_MB (the job's process: the device runs in its own)
// and base_peak_MB (the larger tool's), load (one-minute load average as
// the run ended), job_device_cpu_s and base_device_cpu_s (what the device's
// process spent serving each side). Each archive the job writes is then tested, untimed, by
// unzip -t, Python's zipfile and the system's own index reader.
//
// ZELT_BENCH_BACKUP_MB sets the data size (default 200). Runs of several
// repetitions: --benchmark_repetitions=3.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_session.h"
#include "bench/side_by_side.h"
#include "bench/sim_device.h"
#include "boxlink.h"

namespace {

namespace fs = std::filesystem;

constexpr int kBoxes = 10, kDocuments = 50, kPages = 2;  // 10 x (50 + 50) docs

size_t DataBytes() {
  const char* mb = std::getenv("ZELT_BENCH_BACKUP_MB");
  return size_t(mb ? std::atoi(mb) : 200) << 20;
}

struct Setup {
  bench::BenchFolder folder{"backup_bench"};
  fs::path store = folder.path() / "store";
  std::string address = bench::LoopbackAddress(1);
  bench::SimDevice device;
  size_t bytes = 0;

  bool Start(std::string* error) {
    bench::PopulateSpec spec;
    spec.boxes = kBoxes;
    spec.documents = kDocuments;
    spec.pages = kPages;
    spec.page_bytes = DataBytes() / (kBoxes * kDocuments * 2 * kPages);
    if (!bench::Populate(store, spec, error)) return false;
    bytes = bench::TreeBytes(store);
    return device.Start(store, "classic", address, error);
  }
};

struct JobRun {
  double wall_s = 0, cpu_s = 0, device_cpu_s = 0;
  uint32_t rc = 0;
};

JobRun RunJob(const Setup& s, const fs::path& work, const std::string& archive) {
  uint32_t boxes[kBoxes];
  for (int i = 0; i < kBoxes; ++i) boxes[i] = uint32_t(i + 1);
  JobRun run;
  const double device_start = s.device.CpuSeconds();
  const double cpu_start = bench::CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  {
    bench::JobSession session(s.address);
    if ((run.rc = session.rc()) != 0) return run;
    BoxJobProgress progress{};
    ZBEVENT status = zbBoxCreateEvent(0, 0, nullptr);
    uint32_t mode = 1;
    run.rc = zbBoxBackup(session.session(), bench::kAdminPassword, session.login(),
                         work.c_str(), archive.c_str(), 0, kBoxes, boxes, nullptr, status,
                         &progress, nullptr, &mode, "", "", "");
    zbBoxCloseEvent(status);
  }
  run.wall_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpu_s = bench::CpuSeconds() - cpu_start;
  run.device_cpu_s = s.device.CpuSeconds() - device_start;
  return run;
}

// The archive the job wrote, read by the tools and by our own index
// reader; untimed. Empty, or what is wrong.
std::string CheckArchive(const std::string& archive, const fs::path& scratch) {
  bench::ToolRun unzip = bench::RunTool("unzip -tq '" + archive + "'");
  if (!unzip.ok) return unzip.error;
  bench::ToolRun python = bench::RunTool(
      "/usr/bin/python3 -c \"import zipfile,sys; "
      "sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)\" '" + archive + "'");
  if (!python.ok) return "Python's zipfile finds the archive damaged: " + python.error;
  fs::create_directories(scratch);
  BackupIndexInfo info{};
  BackupIndexBox* list = nullptr;
  uint32_t rc = zbBoxGetXMLInfo(archive.c_str(), scratch.c_str(), &info, &list, "", "");
  zbBoxFreeIndexBoxes(list);
  if (rc != 0) return "zbBoxGetXMLInfo failed: " + std::to_string(rc);
  if (info.Count != kBoxes) return "the archive's index lists " + std::to_string(info.Count) + " boxes";
  return {};
}

// curl's list of every file of the boxes, as an administrator's script
// would fetch them.
void WriteCurlConfig(const Setup& s, const fs::path& config, const fs::path& base) {
  std::ofstream cfg(config);
  for (const auto& e : fs::recursive_directory_iterator(s.store / "BOX" / "DATA")) {
    if (!e.is_regular_file()) continue;
    std::string rel = fs::relative(e.path(), s.store).string();
    cfg << "url = \"ftp://" << s.address << "/" << rel << "\"\n"
        << "output = \"" << (base / rel).string() << "\"\n";
  }
}

void BackupSideBySide(benchmark::State& state, const Setup& s,
                      std::vector<bench::RunFigures>* runs) {
  const fs::path root = s.folder.path();
  const fs::path work = root / "work", base = root / "base", config = root / "curl.cfg";
  const std::string archive = (root / "job.zip").string();
  const std::string base_zip = (root / "base.zip").string();
  fs::create_directories(work);
  WriteCurlConfig(s, config, base);
  double job_s = 0, base_s = 0, job_cpu = 0, base_cpu = 0, curl_s = 0, zip_s = 0;
  double base_peak = 0, archive_mb = 0, base_archive_mb = 0;
  double job_device_cpu = 0, base_device_cpu = 0;
  for (auto _ : state) {
    JobRun job = RunJob(s, work, archive);
    if (job.rc != 0) {
      state.SkipWithError(("zbBoxBackup failed: " + std::to_string(job.rc)).c_str());
      return;
    }
    archive_mb = double(fs::file_size(archive)) / (1 << 20);
    if (std::string bad = CheckArchive(archive, root / "check"); !bad.empty()) {
      state.SkipWithError(bad.c_str());
      return;
    }

    fs::remove_all(base);
    fs::remove(base_zip);
    // Active mode: curl 7.88 stalls a passive transfer on a reused
    // connection for its 1 s poll interval whenever the reply to the
    // transfer's first command (EPSV without a CWD before it) is already
    // there when it looks, which a loopback server nearly always manages.
    const double device_start = s.device.CpuSeconds();
    bench::ToolRun curl = bench::RunTool(
        "curl -sS --create-dirs --ftp-port - -u boxuser:boxpass -K '" + config.string() + "'");
    if (!curl.ok) {
      state.SkipWithError(curl.error.c_str());
      return;
    }
    base_device_cpu += s.device.CpuSeconds() - device_start;
    bench::ToolRun zip =
        bench::RunTool("cd '" + base.string() + "' && zip -q -9 -r '" + base_zip + "' BOX");
    if (!zip.ok) {
      state.SkipWithError(zip.error.c_str());
      return;
    }
    base_archive_mb = double(fs::file_size(base_zip)) / (1 << 20);
    state.SetIterationTime(job.wall_s);

    bench::RunFigures f;
    f.job_s = job.wall_s;
    f.job_cpu_s = job.cpu_s;
    f.base_s = curl.wall_s + zip.wall_s;
    f.base_cpu_s = curl.cpu_s + zip.cpu_s;
    f.load = bench::LoadAverage();
    runs->push_back(f);
    job_s += f.job_s;
    base_s += f.base_s;
    job_cpu += f.job_cpu_s;
    base_cpu += f.base_cpu_s;
    job_device_cpu += job.device_cpu_s;
    curl_s += curl.wall_s;
    zip_s += zip.wall_s;
    base_peak = std::max({base_peak, curl.peak_mb, zip.peak_mb});
  }
  const double n = double(state.iterations());
  state.counters["data_MB"] = double(s.bytes) / (1 << 20);
  state.counters["archive_MB"] = archive_mb;
  state.counters["base_archive_MB"] = base_archive_mb;
  state.counters["job_s"] = job_s / n;
  state.counters["base_s"] = base_s / n;
  state.counters["wall_ratio"] = base_s > 0 ? job_s / base_s : 0;
  state.counters["job_cpu_s"] = job_cpu / n;
  state.counters["base_cpu_s"] = base_cpu / n;
  state.counters["cpu_ratio"] = base_cpu > 0 ? job_cpu / base_cpu : 0;
  state.counters["job_device_cpu_s"] = job_device_cpu / n;
  state.counters["base_device_cpu_s"] = base_device_cpu / n;
  state.counters["curl_s"] = curl_s / n;
  state.counters["zip_s"] = zip_s / n;
  state.counters["job_peak_MB"] = bench::PeakMb();
  state.counters["base_peak_MB"] = base_peak;
  state.counters["load"] = bench::LoadAverage();
}

}  // namespace

int main(int argc, char** argv) {
  return bench::RunSideBySide<Setup>(argc, argv, "backup_bench", "BM_BackupJobVsCurlAndZip",
                                     "backup job / curl + zip -9", BackupSideBySide);
}
