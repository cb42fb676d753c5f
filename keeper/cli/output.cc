#include "keeper/cli/output.h"

#include <cstdio>

#include "keeper/app/progress_text.h"

namespace keeper::cli {
namespace {

size_t CodePoints(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string Cut(const std::string& s, size_t chars) {
  size_t seen = 0;
  for (size_t i = 0; i < s.size(); ++i)
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && seen++ == chars)
      return s.substr(0, i);
  return s;
}

std::string Percent(uint32_t p) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%3u%%", p > 100 ? 100u : p);
  return buf;
}

}  // namespace

std::string BarLine(const ProgressView& view, size_t width) {
  constexpr size_t kBar = 20;
  size_t filled = std::min<uint32_t>(view.percent, 100) * kBar / 100;
  std::string line = "[" + std::string(filled, '#') +
                     std::string(kBar - filled, '-') + "] " +
                     Percent(view.percent) + "  " + view.phase + "  " +
                     view.counts;
  size_t used = CodePoints(line);
  const JobProgress& r = view.record;
  if (used + 2 < width && !r.box_name.empty())
    line += "  " + NameLine(r.box_name, r.folder_name, r.doc_name,
                            width - used - 2);
  return Cut(line, width);
}

std::string PlainLine(const ProgressView& view) {
  std::string line = Percent(view.percent) + " " + view.phase + ", " +
                     view.counts;
  if (!view.record.box_name.empty()) line += ", " + view.record.box_name;
  return line;
}

std::string TimeText(const ZBSYSTEMTIME& t) {
  if (t.wYear == 0 && t.wMonth == 0 && t.wDay == 0) return "-- -- --";
  // Devices report 0 seconds for a box that was never backed up.
  if (t.wYear == 1970 && t.wMonth == 1 && t.wDay == 1 && t.wHour == 0 &&
      t.wMinute == 0 && t.wSecond == 0)
    return "never";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear,
                t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  return buf;
}

std::string BoxTable(const std::vector<BoxEntry>& boxes) {
  std::string out = "box  protected  last backup          name\n";
  char buf[96];
  for (const BoxEntry& b : boxes) {
    std::snprintf(buf, sizeof buf, "%03u  %-9s  %-19s  ", b.number,
                  b.is_protected ? "yes" : "no",
                  TimeText(b.last_backup).c_str());
    out += buf + b.name + "\n";
  }
  return out;
}

std::string ArchiveText(const ArchiveInfo& info) {
  std::string out;
  out += "type:    " + std::string(info.backup_type ? "incremental" : "full") +
         "\n";
  out += "time:    " + TimeText(info.date) + "\n";
  out += "device:  " + info.engine_version;
  if (!info.network_name.empty()) out += " (" + info.network_name + ")";
  out += "\nbox  folders  documents  size      name\n";
  char buf[96];
  for (const ArchiveBox& b : info.boxes) {
    std::snprintf(buf, sizeof buf, "%03u  %7u  %9u  %-8s  ", b.number,
                  b.folders, b.documents, SizeText(b.size_kb).c_str());
    out += buf + b.name + "\n";
  }
  return out;
}

void ProgressPrinter::OnProgress(const ProgressView& view) {
  if (bar_) {
    std::fprintf(out_, "\r%s\x1b[K", BarLine(view, width_).c_str());
    drawn_ = true;
  } else {
    int tenth = static_cast<int>(std::min<uint32_t>(view.percent, 100) / 10);
    if (view.phase_string == last_phase_ && tenth == last_tenth_) return;
    last_phase_ = view.phase_string;
    last_tenth_ = tenth;
    std::fprintf(out_, "%s\n", PlainLine(view).c_str());
  }
  std::fflush(out_);
}

void ProgressPrinter::Finish() {
  if (bar_ && drawn_) std::fputc('\n', out_);
  drawn_ = false;
  std::fflush(out_);
}

}  // namespace keeper::cli
