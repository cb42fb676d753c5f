#include "keeper/cli/convert_command.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "boxlink.h"
#include "keeper/app/br_error.h"
#include "keeper/app/device_link.h"
#include "keeper/app/job_frame.h"
#include "keeper/cli/output.h"
#include "platform/env.h"

namespace keeper::cli {

namespace {

namespace fs = std::filesystem;

using SummaryFn = uint32_t (*)(const char*, const char*, uint32_t*);
using LegacyInfoFn = uint32_t (*)(const char*, const char*, BackupIndexInfo*, uint32_t*,
                                  BackupIndexBox**, ZBBLOCK*);
using FilterFn = uint32_t (*)(const char*, const char*, const char*, const char*, const char*,
                              ZBEVENT, ZBEVENT, BoxJobProgress*);
using FormatFn = uint32_t (*)(const char*, const char*, const char*, ZBEVENT, ZBEVENT,
                              uint32_t*, uint32_t*, uint32_t*, const char*, const char*);
using TypeFn = uint32_t (*)(const char*);

constexpr uint32_t kErrAllDropped = 259;
constexpr uint32_t kErrNarrowPaper = 1462;

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted.store(true); }

void Fail(const std::string& text) { std::fprintf(stderr, "boxkeeper: %s\n", text.c_str()); }

std::string ProgramFile(const char* name) {
  return platform::Env::Current()->ProgramDir() + "/" + name;
}

// A folder of this run beside the output, for the unpacked legacy trees.
std::string MakeWorkFolder(const std::string& output) {
  fs::path dir = fs::absolute(output).parent_path();
  std::string path = (dir / ".boxkeeper-convert-XXXXXX").string();
  return ::mkdtemp(path.data()) ? path : std::string();
}

// The source's index version as the legacy reader sees it; empty when it
// is no legacy index. *legacy_ok tells whether it is a legacy version.
std::string LegacyVersion(const std::string& source, const std::string& work, bool* legacy_ok) {
  *legacy_ok = false;
  auto info_fn = reinterpret_cast<LegacyInfoFn>(BoxlinkExport("zbzbBoxGetXMLInfo"));
  if (!info_fn) return {};
  BackupIndexInfo info{};
  uint32_t count = 0;
  BackupIndexBox* boxes = nullptr;
  ZBBLOCK block = nullptr;
  uint32_t rc = info_fn(source.c_str(), work.c_str(), &info, &count, &boxes, &block);
  if (block) zbBoxFreeBlock(block);
  *legacy_ok = rc == 0;
  return info.Version;
}

std::string StandardVersion(const std::string& source) {
  ArchiveInfo info;
  return ReadArchiveInfo(source, &info) == 0 ? info.engine_version : std::string();
}

std::unique_ptr<ProgressPrinter> MakePrinter(ProgressMode mode) {
  bool tty = isatty(fileno(stderr));
  bool bar;
  switch (mode) {
    case ProgressMode::kNone: return nullptr;
    case ProgressMode::kBar: bar = true; break;
    case ProgressMode::kLines: bar = false; break;
    default: bar = tty; break;
  }
  size_t width = 80;
  winsize ws{};
  if (tty && ioctl(fileno(stderr), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 20) width = ws.ws_col - 1;
  return std::make_unique<ProgressPrinter>(stderr, bar, width);
}

// Runs the conversion on a worker thread, showing its progress and
// turning Ctrl-C into its cancel event.
struct Run {
  ZBEVENT cancel = zbBoxCreateEvent(1, 0, nullptr);
  ZBEVENT status = zbBoxCreateEvent(0, 0, nullptr);
  BoxJobProgress progress{};
  uint32_t percent = 0, done = 0, total = 0;
  ~Run() {
    zbBoxCloseEvent(cancel);
    zbBoxCloseEvent(status);
  }

  uint32_t Go(ConvertKind kind, const std::function<uint32_t()>& job, ProgressPrinter* printer) {
    std::atomic<bool> finished{false};
    uint32_t rc = 0;
    std::thread worker([&] {
      rc = job();
      finished = true;
      zbBoxSetEvent(status);
    });
    bool cancelled = false;
    while (!finished) {
      zbBoxWaitEvent(status, 200);
      if (g_interrupted && !cancelled) {
        cancelled = true;
        zbBoxSetEvent(cancel);
      }
      if (printer && !finished) printer->OnProgress(View(kind));
    }
    worker.join();
    if (printer) {
      if (rc == 0) {
        ProgressView v = View(kind);
        v.percent = 100;
        printer->OnProgress(v);
      }
      printer->Finish();
    }
    return rc;
  }

  ProgressView View(ConvertKind kind) const {
    ProgressView v;
    if (kind == ConvertKind::kFormat) {
      v.percent = percent;
      v.phase_string = 1;
      v.phase = "Converting";
      v.counts = "Items: " + std::to_string(done) + " / " + std::to_string(total);
      return v;
    }
    v.percent = progress.Percent;
    const bool packing = progress.State == 1;
    v.phase_string = packing ? 2 : 1;
    v.phase = packing ? "Packing" : "Filtering";
    if (progress.Dropped) {
      v.phase += progress.DropReason == ZB_DROP_COLOUR ? " (dropping a colour document)"
                 : progress.DropReason == ZB_DROP_WIDE_PAPER
                     ? " (dropping a document on wide paper)"
                     : " (dropping a compound copy)";
    }
    v.record.percent = progress.Percent;
    v.record.box_name = progress.BoxName;
    v.record.folder_name = progress.FolderName;
    v.record.doc_name = progress.DocName;
    return v;
  }
};

// Ctrl-C and SIGTERM only raise a flag while a conversion is prepared or
// runs; the run turns it into the conversion's cancel event.
class InterruptGuard {
 public:
  InterruptGuard() {
    g_interrupted = false;
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &old_int_);
    sigaction(SIGTERM, &sa, &old_term_);
  }
  ~InterruptGuard() {
    sigaction(SIGINT, &old_int_, nullptr);
    sigaction(SIGTERM, &old_term_, nullptr);
  }

 private:
  struct sigaction old_int_ {}, old_term_ {};
};

}  // namespace

std::optional<ConvertOptions> ParseConvertArgs(const std::vector<std::string>& args,
                                               std::string* error) {
  ConvertOptions o;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        *error = a + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    if (a == "--help" || a == "-h") {
      error->clear();
      return std::nullopt;
    } else if (a == "--from") {
      if (!value(&o.from)) return std::nullopt;
    } else if (a == "--to") {
      if (!value(&o.to)) return std::nullopt;
    } else if (a == "--summary") {
      o.summary = true;
    } else if (a == "--force" || a == "-f") {
      o.force = true;
    } else if (a == "--progress") {
      std::string v;
      if (!value(&v)) return std::nullopt;
      if (v == "auto") o.progress = ProgressMode::kAuto;
      else if (v == "bar") o.progress = ProgressMode::kBar;
      else if (v == "lines") o.progress = ProgressMode::kLines;
      else if (v == "none") o.progress = ProgressMode::kNone;
      else {
        *error = "--progress takes auto, bar, lines or none";
        return std::nullopt;
      }
    } else if (!a.empty() && a[0] == '-') {
      *error = "unknown option '" + a + "'";
      return std::nullopt;
    } else {
      positional.push_back(a);
    }
  }
  if (o.from.empty() || o.to.empty()) {
    *error = "name the source model with --from and the target model with --to";
    return std::nullopt;
  }
  if (o.from == o.to) {
    *error = "--from and --to name the same model; there is nothing to convert";
    return std::nullopt;
  }
  if (o.summary && positional.empty()) return o;
  if (positional.size() != 2) {
    *error = positional.size() < 2 ? "name the source archive and the output archive"
                                   : "unexpected argument '" + positional.back() + "'";
    return std::nullopt;
  }
  o.source = positional[0];
  o.output = positional[1];
  return o;
}

std::string SummaryText(uint32_t bits, const ConvertOptions& o) {
  std::vector<std::string> kinds;
  if (bits & ZB_DROP_COLOUR) kinds.push_back("colour documents");
  if (bits & ZB_DROP_WIDE_PAPER) kinds.push_back("documents on wide paper");
  if (bits & ZB_DROP_COPY_COMPOUND) kinds.push_back("compound copies");
  std::string head = "Converting from " + o.from + " to " + o.to;
  if (kinds.empty()) return head + " drops no documents.";
  std::string list = kinds[0];
  for (size_t i = 1; i < kinds.size(); ++i)
    list += (i + 1 == kinds.size() ? " and " : ", ") + kinds[i];
  return head + " drops " + list + ": " + o.to + " cannot hold them.";
}

std::string ConvertErrorText(uint32_t code, ConvertKind kind, const ConvertOptions& o) {
  switch (code) {
    case ZB_ERR_NOT_SUPPORTED:
      if (kind == ConvertKind::kFormat)
        return "archives of this model cannot be converted for " + o.to +
               " (the conversion tables pair them with other models), or the archive lacks "
               "its box index";
      return "there are no conversion rules for " + o.from + " (" + o.from +
             ".ini, with '/' as '_', in the program's folder, the current folder or the PATH), "
             "or the archive comes from a retired engine";
    case ZB_ERR_INVALID_PARAMETER:
      if (kind == ConvertKind::kFormat)
        return "the archive holds documents on wide paper, which " + o.to + " cannot hold";
      return "source and output are the same file, or --from and --to the same model";
    case kErrNarrowPaper:
      return "the archive holds SRA3 or 320x460mm documents, which " + o.to + " cannot hold";
    case kErrAllDropped:
      return "every document of the archive would be dropped; no output was written";
    case ZB_ERR_INVALID_DATA:
      return "the archive is not of the kind this conversion takes, or cannot be unpacked";
    case ZB_ERR_FILE_CORRUPT:
      return "the archive has no box index this system knows";
    case ZB_ERR_UNKNOWN_PRODUCT:
      return "the archive comes from an engine version this system does not know";
    case 126:
    case 127:
      return "the byte-order library boxendian (libboxendian.so) is missing or incomplete";
    default:
      return cZBBoxBRError(code).Text("");
  }
}

std::string ConvertHelpText() {
  return R"(usage:
  boxkeeper convert --from MODEL --to MODEL [--summary] [--force]
                    [--progress MODE] SOURCE.zip OUTPUT.zip

Converts an archive written by an older or another device model so that a
device of the target model accepts it. Only local files are read and
written; no device is contacted.

  --from MODEL       the model that wrote the archive (e.g. Varda720/740)
  --to MODEL         the model to convert for (e.g. "Varda 5730C Series V3.0"
                     or Varda 8000)
  --summary          only tell which documents the conversion would drop
  -f, --force        replace an existing OUTPUT.zip
  --progress MODE    auto, bar, lines or none

Legacy document archives, and legacy backups for whose model a rule file
exists, are filtered: documents the target cannot hold are dropped. Other
backup archives are converted as the model tables say (classic layouts into
the storage layout, storage archives relabelled). Ctrl-C cancels; the output
is written only when the conversion succeeds.
)";
}

int RunConvert(const std::vector<std::string>& args) {
  std::string error;
  std::optional<ConvertOptions> parsed = ParseConvertArgs(args, &error);
  if (!parsed) {
    if (error.empty()) {
      std::fputs(ConvertHelpText().c_str(), stdout);
      return kExitOk;
    }
    std::fprintf(stderr, "boxkeeper: %s (see boxkeeper convert --help)\n", error.c_str());
    return kExitUsage;
  }
  const ConvertOptions& o = *parsed;
  auto summary_fn = reinterpret_cast<SummaryFn>(BoxlinkExport("zbBoxGetConvertSummary"));
  auto backup_fn = reinterpret_cast<FilterFn>(BoxlinkExport("zbBoxConvertBackupData"));
  auto archive_fn = reinterpret_cast<FilterFn>(BoxlinkExport("zbBoxConvertArchiveData"));
  auto format_fn = reinterpret_cast<FormatFn>(BoxlinkExport("zbBoxConvert"));
  auto type_fn = reinterpret_cast<TypeFn>(BoxlinkExport("GetZipFileType"));
  if (!summary_fn || !backup_fn || !archive_fn || !format_fn || !type_fn) {
    Fail("this build of libboxlink cannot convert archives (zbBoxConvert) yet");
    return kExitUnavailable;
  }

  uint32_t bits = 0;
  uint32_t summary_rc = summary_fn(o.from.c_str(), o.to.c_str(), &bits);
  if (o.summary) {
    if (summary_rc == ZB_ERR_NOT_SUPPORTED) {
      std::printf("There are no conversion rules for %s: a legacy archive of it is not "
                  "filtered; other archives follow the model tables and drop no documents.\n",
                  o.from.c_str());
    } else if (summary_rc) {
      Fail(cZBBoxBRError(summary_rc).Text("") + " (error " + std::to_string(summary_rc) + ")");
      return kExitFailed;
    } else {
      std::printf("%s\n", SummaryText(bits, o).c_str());
    }
    return kExitOk;
  }

  std::error_code ec;
  if (!fs::is_regular_file(o.source, ec)) {
    Fail(o.source + ": no such archive");
    return kExitArchive;
  }
  if (fs::exists(o.output, ec) && !o.force) {
    Fail(o.output + " exists; add --force to replace it");
    return kExitUsage;
  }
  const std::string source = fs::absolute(o.source).string();
  const std::string output = fs::absolute(o.output).string();
  InterruptGuard interrupts;
  const std::string work = MakeWorkFolder(output);
  if (work.empty()) {
    Fail("cannot make a work folder beside " + output);
    return kExitFailed;
  }
  struct Cleanup {
    std::string path;
    ~Cleanup() {
      std::error_code e;
      fs::remove_all(path, e);
    }
  } cleanup{work};

  // Which conversion the archive takes, and whether it comes from --from.
  ConvertKind kind = ConvertKind::kFormat;
  bool legacy = false;
  std::string version;
  if (type_fn(source.c_str()) == ZB_INDEX_ARCHIVE_XML) {
    kind = ConvertKind::kArchiveData;
    version = LegacyVersion(source, work, &legacy);
  } else {
    version = LegacyVersion(source, work, &legacy);
    if (legacy && summary_rc == ZB_ERR_NOT_SUPPORTED) {
      Fail("cannot convert " + o.source + ": " +
           ConvertErrorText(summary_rc, ConvertKind::kBackupData, o));
      return kExitArchive;
    }
    if (legacy) kind = ConvertKind::kBackupData;
    else version = StandardVersion(source);
  }
  if (!version.empty() && version.find(o.from) == std::string::npos) {
    Fail(o.source + " was written by \"" + version + "\", not by " + o.from);
    return kExitArchive;
  }
  if (kind != ConvertKind::kFormat) std::fprintf(stderr, "%s\n", SummaryText(bits, o).c_str());

  Run run;
  auto printer = MakePrinter(o.progress);
  uint32_t rc = run.Go(kind, [&]() -> uint32_t {
    switch (kind) {
      case ConvertKind::kArchiveData:
        return archive_fn(source.c_str(), output.c_str(), work.c_str(), o.from.c_str(),
                          o.to.c_str(), run.cancel, run.status, &run.progress);
      case ConvertKind::kBackupData:
        return backup_fn(source.c_str(), output.c_str(), work.c_str(), o.from.c_str(),
                         o.to.c_str(), run.cancel, run.status, &run.progress);
      case ConvertKind::kFormat:
        return format_fn(source.c_str(), output.c_str(), ProgramFile("libdigestlib.so").c_str(),
                         run.cancel, run.status, &run.percent, &run.done, &run.total,
                         ProgramFile("libcipherlib.so").c_str(), o.to.c_str());
    }
    return ZB_ERR_INTERNAL_ERROR;
  }, printer.get());

  if (rc == ZB_ERR_CANCELLED) {
    Fail("the conversion was cancelled; " + o.output + " was not written");
    return kExitCancelled;
  }
  if (rc) {
    Fail("cannot convert " + o.source + ": " + ConvertErrorText(rc, kind, o) + " (error " +
         std::to_string(rc) + ")");
    return rc == ZB_ERR_NOT_SUPPORTED || rc == ZB_ERR_INVALID_DATA ||
                   rc == ZB_ERR_FILE_CORRUPT || rc == ZB_ERR_UNKNOWN_PRODUCT ||
                   rc == kErrNarrowPaper || rc == kErrAllDropped ||
                   (rc == ZB_ERR_INVALID_PARAMETER && kind == ConvertKind::kFormat)
               ? kExitArchive
               : kExitFailed;
  }
  std::printf("%s converted for %s into %s\n", o.source.c_str(), o.to.c_str(), o.output.c_str());
  return kExitOk;
}

}  // namespace keeper::cli
