// Packing, extracting and encrypting at archive sizes, each next to the
// standard tool doing the same work on the same data:
//   pack     CZipUtls::Zip at level 9     vs  zip -9 -r      (goal <= 1.1x)
//   extract  CZipUtls::ExtractZipFile     vs  unzip          (goal <= 1.1x)
//   encrypt  CEncrypt::fnEncryptFile      vs  openssl enc -aes-128-cbc
//                                                            (goal >= 80 %)
// peak_rss_MB is the peak resident memory of the process (ours) or of the
// tool. ZELT_BENCH_ZIP_MB sets the data size (default 200).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "boxlink/engine/encrypt.h"
#include "boxlink/zip/zip_utls.h"

namespace {

namespace fs = std::filesystem;

size_t DataBytes() {
  const char* mb = std::getenv("ZELT_BENCH_ZIP_MB");
  return size_t(mb ? std::atoi(mb) : 200) << 20;
}

struct Data {
  fs::path root;
  fs::path tree;     // root/BOX
  fs::path archive;  // made by zip -9 -r
  fs::path big;      // one file of DataBytes()
  size_t tree_bytes = 0;
};

void WriteFile(const fs::path& p, const std::string& s) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary).write(s.data(), std::streamsize(s.size()));
}

// A box tree like a device's: property files of text, page images that do
// not compress, and a few large documents of both kinds.
const Data& TheData() {
  static Data d = [] {
    Data d;
    d.root = fs::temp_directory_path() /
             ("zelt-zip-bench-" + std::to_string(::getpid()));
    d.tree = d.root / "BOX";
    std::mt19937_64 gen(42);
    size_t target = DataBytes(), made = 0;
    for (int i = 0; made < target; ++i) {
      fs::path doc = d.tree / ("B0000" + std::to_string(100 + i % 20)) /
                     ("D" + std::to_string(i));
      std::string xml;
      while (xml.size() < 4000 + gen() % 20000)
        xml += "<Page No=\"" + std::to_string(gen() % 500) +
               "\"><Size>" + std::to_string(gen()) + "</Size></Page>\r\n";
      WriteFile(doc.string() + ".XML", xml);
      size_t n = i % 10 == 0 ? (1 << 20) * (1 + gen() % 4) : 20000 + gen() % 400000;
      std::string page(n, '\0');
      if (i % 3 == 0) {
        for (size_t k = 0; k < n; ++k)
          page[k] = "abcdefgh \n"[gen() % 10];  // compressible
      } else {
        for (size_t k = 0; k + 8 <= n; k += 8) {
          uint64_t v = gen();
          std::memcpy(&page[k], &v, 8);
        }
      }
      WriteFile(doc / "page.bin", page);
      made += n + xml.size();
    }
    d.tree_bytes = made;
    d.archive = d.root / "info.zip";
    std::string cmd = "cd '" + d.root.string() + "' && zip -q -9 -r info.zip BOX";
    if (std::system(cmd.c_str()) != 0) std::abort();
    d.big = d.root / "big.bin";
    std::string chunk(1 << 20, '\0');
    std::ofstream out(d.big, std::ios::binary);
    for (size_t k = 0; k < target; k += chunk.size()) {
      for (auto& c : chunk) c = char(gen());
      out.write(chunk.data(), std::streamsize(chunk.size()));
    }
    return d;
  }();
  return d;
}

struct Cleanup {
  ~Cleanup() {
    std::error_code ec;
    fs::remove_all(fs::temp_directory_path() /
                       ("zelt-zip-bench-" + std::to_string(::getpid())),
                   ec);
  }
} cleanup;

// Peak resident memory of this process since the last reset, in MB.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }
double PeakMb() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024;
  return 0;
}

double Seconds(const struct timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; }

// CPU seconds (user + system) this process has used so far. On a shared
// machine this compares better than wall time.
double SelfCpu() {
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  return Seconds(ru.ru_utime) + Seconds(ru.ru_stime);
}

double tool_cpu = 0;  // CPU seconds of the last tool run

// Runs a shell command; returns the peak memory of the tool, in MB.
double RunTool(const std::string& cmd) {
  pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", cmd.c_str(), nullptr);
    _exit(127);
  }
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
  tool_cpu = Seconds(ru.ru_utime) + Seconds(ru.ru_stime);
  return double(ru.ru_maxrss) / 1024;
}

void BM_PackOurs(benchmark::State& state) {
  const Data& d = TheData();
  fs::path out = d.root / "ours.zip";
  ResetPeak();
  double cpu0 = SelfCpu();
  for (auto _ : state) {
    boxlink::CZipUtls z;
    if (!z.Zip(d.tree.string(), out.string())) state.SkipWithError("zip failed");
  }
  state.counters["cpu_s"] = (SelfCpu() - cpu0) / double(state.iterations());
  state.counters["peak_rss_MB"] = PeakMb();
  state.SetBytesProcessed(int64_t(state.iterations() * d.tree_bytes));
}

void BM_PackInfoZip(benchmark::State& state) {
  const Data& d = TheData();
  double peak = 0, cpu = 0;
  for (auto _ : state) {
    fs::remove(d.root / "tool.zip");
    peak = RunTool("cd '" + d.root.string() + "' && zip -q -9 -r tool.zip BOX");
    cpu += tool_cpu;
  }
  state.counters["cpu_s"] = cpu / double(state.iterations());
  state.counters["peak_rss_MB"] = peak;
  state.SetBytesProcessed(int64_t(state.iterations() * d.tree_bytes));
}

void BM_ExtractOurs(benchmark::State& state) {
  const Data& d = TheData();
  fs::path out = d.root / "x-ours";
  ResetPeak();
  double cpu0 = SelfCpu();
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(out);
    state.ResumeTiming();
    boxlink::CZipUtls z;
    z.OpenFile(d.archive.string(), 1);
    z.ExtractZipFile(out.string());
  }
  state.counters["cpu_s"] = (SelfCpu() - cpu0) / double(state.iterations());
  state.counters["peak_rss_MB"] = PeakMb();
  state.SetBytesProcessed(int64_t(state.iterations() * d.tree_bytes));
}

void BM_ExtractUnzip(benchmark::State& state) {
  const Data& d = TheData();
  fs::path out = d.root / "x-tool";
  double peak = 0, cpu = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(out);
    state.ResumeTiming();
    peak = RunTool("unzip -q '" + d.archive.string() + "' -d '" +
                   out.string() + "'");
    cpu += tool_cpu;
  }
  state.counters["cpu_s"] = cpu / double(state.iterations());
  state.counters["peak_rss_MB"] = peak;
  state.SetBytesProcessed(int64_t(state.iterations() * d.tree_bytes));
}

void BM_EncryptOurs(benchmark::State& state) {
  const Data& d = TheData();
  boxlink::CEncrypt e;
  e.SetEncryptDllName(CIPHERLIB_SO);
  e.SetHashDllName(DIGESTLIB_SO);
  std::string out = (d.root / "big.enc").string();
  ResetPeak();
  double cpu0 = SelfCpu();
  for (auto _ : state) {
    if (e.fnEncryptFile(d.big.c_str(), out.c_str(), boxlink::kArchivePassword))
      state.SkipWithError("encryption failed");
  }
  state.counters["cpu_s"] = (SelfCpu() - cpu0) / double(state.iterations());
  state.counters["peak_rss_MB"] = PeakMb();
  state.SetBytesProcessed(int64_t(state.iterations() * fs::file_size(d.big)));
}

void BM_EncryptOpenssl(benchmark::State& state) {
  const Data& d = TheData();
  double peak = 0, cpu = 0;
  for (auto _ : state) {
    peak = RunTool("openssl enc -aes-128-cbc -K 000102030405060708090a0b0c0d0e0f"
                   " -iv 00000000000000000000000000000000 -in '" +
                   d.big.string() + "' -out '" + (d.root / "big.ossl").string() +
                   "'");
    cpu += tool_cpu;
  }
  state.counters["cpu_s"] = cpu / double(state.iterations());
  state.counters["peak_rss_MB"] = peak;
  state.SetBytesProcessed(int64_t(state.iterations() * fs::file_size(d.big)));
}

BENCHMARK(BM_PackOurs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_PackInfoZip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_ExtractOurs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExtractUnzip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_EncryptOurs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_EncryptOpenssl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
