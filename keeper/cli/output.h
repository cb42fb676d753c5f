// What boxkeeper prints: the progress display and the tables.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "keeper/app/archive_info.h"
#include "keeper/app/device_link.h"
#include "keeper/app/job_frame.h"

namespace keeper::cli {

// One redrawn line for a terminal: bar, percent, phase, counts, names,
// cut to `width` characters.
std::string BarLine(const ProgressView& view, size_t width);
// One line for a log or a pipe.
std::string PlainLine(const ProgressView& view);

// "2026-01-05 14:03:09", or "-- -- --" for a zero time.
std::string TimeText(const ZBSYSTEMTIME& t);

std::string BoxTable(const std::vector<BoxEntry>& boxes);
std::string ArchiveText(const ArchiveInfo& info);

// Progress on a stream: a redrawn bar, or a plain line whenever the phase
// changes or the percent passes a tenth.
class ProgressPrinter final : public ProgressSink {
 public:
  ProgressPrinter(std::FILE* out, bool bar, size_t width)
      : out_(out), bar_(bar), width_(width) {}
  void OnProgress(const ProgressView& view) override;
  // Ends a bar line so that the next output starts on a fresh line.
  void Finish();

 private:
  std::FILE* out_;
  bool bar_;
  size_t width_;
  bool drawn_ = false;
  uint32_t last_phase_ = 0;
  int last_tenth_ = -1;
};

}  // namespace keeper::cli
