// One whole restore of 1,000 documents into an emptied simulated device,
// side by side with the same work done by the tools an administrator would
// script: unzip of the archive that curl and zip -9 -r made of the device's
// box tree, then curl uploading every file of it. Each iteration empties
// the device and runs the job, empties it again and runs the baseline, so
// both meet the same machine (goal: the job's wall time at most 1.2 of the
// baseline's).
//
// The job restores the archive the backup job wrote of the same device; it
// re-creates each box and its documents through the device's CGIs and
// status files, where the baseline only copies files. After each run the
// device's page files are counted and weighed against the original, so a
// restore that lost anything cannot pass for a fast one.
//
// Counters as in backup_bench: job_s, base_s, wall_ratio, job_cpu_s,
// base_cpu_s, cpu_ratio, unzip_s, curl_s, job_peak_MB, base_peak_MB, load;
// and job_device_cpu_s, base_device_cpu_s, what the device's process spent
// serving each side.
// ZELT_BENCH_RESTORE_MB sets the data size (default 200).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
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
  const char* mb = std::getenv("ZELT_BENCH_RESTORE_MB");
  return size_t(mb ? std::atoi(mb) : 200) << 20;
}

// Number and bytes of the page images below a box tree.
struct Pages {
  size_t count = 0, bytes = 0;
  bool operator==(const Pages&) const = default;
};
Pages PagesOf(const fs::path& data) {
  Pages p;
  std::error_code ec;
  for (const auto& e : fs::recursive_directory_iterator(data, ec)) {
    if (!e.is_regular_file() || e.path().extension() != ".IMG") continue;
    ++p.count;
    p.bytes += e.file_size();
  }
  return p;
}

struct Setup {
  bench::BenchFolder folder{"restore_bench"};
  fs::path store = folder.path() / "store";
  std::string address = bench::LoopbackAddress(2);
  bench::SimDevice device;
  std::string job_archive = (folder.path() / "job.zip").string();
  std::string base_archive = (folder.path() / "base.zip").string();
  Pages pages;  // of the device as populated

  bool Start(std::string* error) {
    bench::PopulateSpec spec;
    spec.boxes = kBoxes;
    spec.documents = kDocuments;
    spec.pages = kPages;
    spec.page_bytes = DataBytes() / (kBoxes * kDocuments * 2 * kPages);
    if (!bench::Populate(store, spec, error)) return false;
    pages = PagesOf(store / "BOX" / "DATA");
    if (!device.Start(store, "classic", address, error)) return false;
    return MakeArchives(error);
  }

  // The two archives to restore from: the backup job's, and the one an
  // administrator's script makes (curl fetching the whole box tree, the
  // box descriptors included, then zip -9 -r).
  bool MakeArchives(std::string* error) {
    uint32_t boxes[kBoxes];
    for (int i = 0; i < kBoxes; ++i) boxes[i] = uint32_t(i + 1);
    fs::path work = folder.path() / "backup_work";
    fs::create_directories(work);
    {
      bench::JobSession session(address);
      uint32_t rc = session.rc();
      if (rc == 0) {
        BoxJobProgress progress{};
        ZBEVENT status = zbBoxCreateEvent(0, 0, nullptr);
        uint32_t mode = 1;
        rc = zbBoxBackup(session.session(), bench::kAdminPassword, session.login(),
                         work.c_str(), job_archive.c_str(), 0, kBoxes, boxes, nullptr, status,
                         &progress, nullptr, &mode, "", "", "");
        zbBoxCloseEvent(status);
      }
      if (rc != 0) {
        *error = "the backup that makes the job's archive failed: " + std::to_string(rc);
        return false;
      }
    }
    fs::path fetched = folder.path() / "fetched";
    fs::path config = folder.path() / "fetch.cfg";
    {
      std::ofstream cfg(config);
      for (const auto& e : fs::recursive_directory_iterator(store / "BOX")) {
        if (!e.is_regular_file()) continue;
        std::string rel = fs::relative(e.path(), store).string();
        cfg << "url = \"ftp://" << address << "/" << rel << "\"\n"
            << "output = \"" << (fetched / rel).string() << "\"\n";
      }
    }
    bench::ToolRun curl = bench::RunTool("curl -sS --create-dirs --ftp-port - -u boxuser:boxpass -K '" +
                                         config.string() + "'");
    if (!curl.ok) {
      *error = curl.error;
      return false;
    }
    bench::ToolRun zip = bench::RunTool("cd '" + fetched.string() + "' && zip -q -9 -r '" +
                                        base_archive + "' BOX");
    if (!zip.ok) {
      *error = zip.error;
      return false;
    }
    fs::remove_all(fetched);
    return true;
  }

  // The device without boxes, as after "delete all boxes".
  void Empty() const {
    for (const char* sub : {"BOX/DATA", "BOX/DATABASE"}) {
      std::error_code ec;
      for (const auto& e : fs::directory_iterator(store / sub, ec)) fs::remove_all(e.path());
    }
  }
};

struct JobRun {
  double wall_s = 0, cpu_s = 0, device_cpu_s = 0;
  uint32_t rc = 0;
};

JobRun RunJob(const Setup& s, const fs::path& work) {
  const double device_start = s.device.CpuSeconds();
  uint32_t boxes[kBoxes];
  for (int i = 0; i < kBoxes; ++i) boxes[i] = uint32_t(i + 1);
  JobRun run;
  const double cpu_start = bench::CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  {
    bench::JobSession session(s.address);
    if ((run.rc = session.rc()) != 0) return run;
    BoxJobProgress progress{};
    ZBEVENT status = zbBoxCreateEvent(0, 0, nullptr);
    uint32_t mode = 0;
    const uint32_t kAppend = 2;
    run.rc = zbBoxRestore(session.session(), bench::kAdminPassword, session.login(),
                          work.c_str(), s.job_archive.c_str(), kBoxes, boxes, kAppend,
                          int32_t(std::time(nullptr)), nullptr, status, &progress, 0, &mode,
                          "", "", "");
    zbBoxCloseEvent(status);
  }
  run.wall_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpu_s = bench::CpuSeconds() - cpu_start;
  run.device_cpu_s = s.device.CpuSeconds() - device_start;
  return run;
}

// curl's list of every file of the unzipped tree, each uploaded to its
// place on the device.
void WriteUploadConfig(const Setup& s, const fs::path& unzipped, const fs::path& config) {
  std::ofstream cfg(config);
  for (const auto& e : fs::recursive_directory_iterator(unzipped)) {
    if (!e.is_regular_file()) continue;
    std::string rel = fs::relative(e.path(), unzipped).string();
    cfg << "upload-file = \"" << e.path().string() << "\"\n"
        << "url = \"ftp://" << s.address << "/" << rel << "\"\n";
  }
}

void RestoreSideBySide(benchmark::State& state, const Setup& s,
                       std::vector<bench::RunFigures>* runs) {
  const fs::path root = s.folder.path();
  const fs::path work = root / "work", unzipped = root / "unzipped";
  const fs::path config = root / "upload.cfg";
  fs::create_directories(work);
  double job_s = 0, base_s = 0, job_cpu = 0, base_cpu = 0, unzip_s = 0, curl_s = 0;
  double base_peak = 0, job_device_cpu = 0, base_device_cpu = 0;
  for (auto _ : state) {
    s.Empty();
    JobRun job = RunJob(s, work);
    if (job.rc != 0) {
      state.SkipWithError(("zbBoxRestore failed: " + std::to_string(job.rc)).c_str());
      return;
    }
    if (PagesOf(s.store / "BOX" / "DATA") != s.pages) {
      state.SkipWithError("the job's restore does not hold every page of the device");
      return;
    }

    s.Empty();
    fs::remove_all(unzipped);
    bench::ToolRun unzip =
        bench::RunTool("unzip -q '" + s.base_archive + "' -d '" + unzipped.string() + "'");
    if (!unzip.ok) {
      state.SkipWithError(unzip.error.c_str());
      return;
    }
    // Writing the list is the script's own work, not the tools': untimed.
    WriteUploadConfig(s, unzipped, config);
    const double device_start = s.device.CpuSeconds();
    bench::ToolRun curl = bench::RunTool(
        "curl -sS --ftp-create-dirs --ftp-port - -u boxuser:boxpass -K '" + config.string() +
        "'");
    if (!curl.ok) {
      state.SkipWithError(curl.error.c_str());
      return;
    }
    base_device_cpu += s.device.CpuSeconds() - device_start;
    if (PagesOf(s.store / "BOX" / "DATA") != s.pages) {
      state.SkipWithError("the baseline's upload does not hold every page of the device");
      return;
    }
    state.SetIterationTime(job.wall_s);

    bench::RunFigures f;
    f.job_s = job.wall_s;
    f.job_cpu_s = job.cpu_s;
    f.base_s = unzip.wall_s + curl.wall_s;
    f.base_cpu_s = unzip.cpu_s + curl.cpu_s;
    f.load = bench::LoadAverage();
    runs->push_back(f);
    job_s += f.job_s;
    base_s += f.base_s;
    job_cpu += f.job_cpu_s;
    base_cpu += f.base_cpu_s;
    job_device_cpu += job.device_cpu_s;
    unzip_s += unzip.wall_s;
    curl_s += curl.wall_s;
    base_peak = std::max({base_peak, unzip.peak_mb, curl.peak_mb});
  }
  const double n = double(state.iterations());
  state.counters["data_MB"] = double(s.pages.bytes) / (1 << 20);
  state.counters["job_s"] = job_s / n;
  state.counters["base_s"] = base_s / n;
  state.counters["wall_ratio"] = base_s > 0 ? job_s / base_s : 0;
  state.counters["job_cpu_s"] = job_cpu / n;
  state.counters["base_cpu_s"] = base_cpu / n;
  state.counters["cpu_ratio"] = base_cpu > 0 ? job_cpu / base_cpu : 0;
  state.counters["job_device_cpu_s"] = job_device_cpu / n;
  state.counters["base_device_cpu_s"] = base_device_cpu / n;
  state.counters["unzip_s"] = unzip_s / n;
  state.counters["curl_s"] = curl_s / n;
  state.counters["job_peak_MB"] = bench::PeakMb();
  state.counters["base_peak_MB"] = base_peak;
  state.counters["load"] = bench::LoadAverage();
}

}  // namespace

int main(int argc, char** argv) {
  return bench::RunSideBySide<Setup>(argc, argv, "restore_bench", "BM_RestoreJobVsUnzipAndCurl",
                                     "restore job / unzip + curl", RestoreSideBySide);
}
