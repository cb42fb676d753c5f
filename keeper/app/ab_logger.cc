#include "keeper/app/ab_logger.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "desktop/format.h"
#include "desktop/language.h"
#include "keeper/app/br_error.h"
#include "platform/env.h"

namespace keeper {
namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";
// The literal message when the texts themselves are missing.
constexpr char kNoLanguage[] = "Could not Load Language Library";

const std::string kStarLine(53, '*');
const std::string kRunRule = "\n" + std::string(53, '-');
const std::string kBoxRule = "\t" + std::string(26, '-');

std::string S(const desktop::Texts& t, uint32_t id) {
  return std::string(t.Text(id));
}

std::string Number3(uint32_t n) {
  return desktop::FormatText("%.3d", {int64_t{n}});
}

uint32_t IntervalText(uint32_t interval) {
  switch (interval) {
    case kIntervalOnce: return 143;
    case kIntervalDaily: return 144;
    case kIntervalWeekly: return 145;
    case kIntervalMonthly: return 146;
    default: return 0;
  }
}

// Text 171 up to its last line break, or else its last comma.
std::string CutAtLastBreak(const std::string& text) {
  size_t at = text.rfind('\n');
  if (at == std::string::npos) at = text.rfind(',');
  return at == std::string::npos ? text : text.substr(0, at);
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

CABLogger::CABLogger(std::string path, TextsLoader texts,
                     desktop::Screen& screen, const DateTimeFormat& format)
    : path_(std::move(path)),
      loader_(std::move(texts)),
      screen_(screen),
      format_(format) {}

CABLogger::~CABLogger() = default;

std::string CABLogger::DefaultPath() {
  return platform::Env::Current()->TempDir() + "/" + kResultLogName;
}

CABLogger::TextsLoader CABLogger::KeeperLanguage() {
  return []() -> std::unique_ptr<desktop::Texts> {
    std::string error;
    return desktop::LanguageLibrary::Load("keeperlang", "", &error);
  };
}

std::unique_ptr<desktop::Texts> CABLogger::LoadTexts() {
  std::unique_ptr<desktop::Texts> texts = loader_ ? loader_() : nullptr;
  if (!texts)
    screen_.Show({desktop::UiText::Of(kNoLanguage), {}, desktop::Icon::kNone});
  return texts;
}

bool CABLogger::Write(const std::vector<std::string>& lines, bool truncate) {
  // The log lies in a shared folder: never follow a link planted there,
  // and keep it to its owner.
  int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC |
              (truncate ? O_TRUNC : O_APPEND);
  int fd = ::open(path_.c_str(), flags, 0600);
  if (fd < 0) return false;  // the schedule goes on without its log
  std::string data;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size == 0) data = kBom;
  for (const std::string& line : lines) {
    data += line;
    data += '\n';
  }
  bool ok = WriteAll(fd, data);
  ::close(fd);
  return ok;
}

std::string CABLogger::Now() const {
  return DateTimeText(format_, platform::LocalNow());
}

std::string CABLogger::ArchiveName(const ScheduleLogState& state,
                                   uint32_t number) const {
  size_t dot = state.target.rfind('.');
  std::string stem =
      dot == std::string::npos ? state.target : state.target.substr(0, dot);
  return stem + "_" + Number3(number) + ".zip";
}

void CABLogger::AppendBoxList(std::vector<std::string>* lines,
                              const desktop::Texts& t,
                              const ScheduleLogState& state) {
  lines->push_back("\t" + S(t, 157) + " " + S(t, 158));
  lines->push_back(kBoxRule);
  size_t next = 0;
  for (const LoggedBox& box : state.device_boxes) {
    if (next >= state.selection.size()) break;
    if (box.number != state.selection[next]) continue;
    ++next;
    lines->push_back("\t" + Number3(box.number) + " " + box.name);
  }
}

void CABLogger::StartSchedule(ScheduleLogState& state, bool all_boxes) {
  state.run_number = 0;
  state.success_number = 0;
  state.total_kb = 0;
  state.outcome_written = false;
  Write({}, true);
  auto t = LoadTexts();
  if (!t) return;
  std::vector<std::string> lines = {
      kStarLine,
      S(*t, 151),
      kStarLine,
      S(*t, 152),
      S(*t, 153) + " " + state.device_name,
      S(*t, 154) + " " + state.device_address,
      S(*t, 21) + " " + state.target,
      S(*t, 41) + " " + S(*t, IntervalText(state.interval)),
      S(*t, 40) + " " + DateTimeText(format_, state.start),
      S(*t, 190) + " " + S(*t, state.backup_type == 0 ? 182 : 183),
      S(*t, 155) + " " + S(*t, state.continue_if_deleted ? 148 : 149),
  };
  if (all_boxes) {
    lines.push_back(S(*t, 192) + " " + S(*t, 191));
  } else {
    lines.push_back(S(*t, 192));
    AppendBoxList(&lines, *t, state);
  }
  lines.push_back(kStarLine);
  Write(lines, false);
}

void CABLogger::WriteRunStart(ScheduleLogState& state) {
  ++state.run_number;
  auto t = LoadTexts();
  if (!t) return;
  std::vector<std::string> lines;
  if (state.run_number > 1) lines.push_back(kRunRule);
  lines.push_back(desktop::FormatText(
      "%s %d", {S(*t, 159), int64_t{state.run_number}}));
  Write(lines, false);
}

void CABLogger::WriteRunReport(const ScheduleLogState& state,
                               const std::vector<LoggedBox>& deleted,
                               const platform::SystemTime& run_start) {
  auto t = LoadTexts();
  if (!t) return;
  std::vector<std::string> lines = {
      S(*t, 160) + " " + DateTimeText(format_, run_start), S(*t, 161)};
  AppendBoxList(&lines, *t, state);
  if (!deleted.empty()) {
    lines.push_back("");
    lines.push_back(S(*t, 162));
    lines.push_back("\t" + S(*t, 157) + " " + S(*t, 158));
    lines.push_back(kBoxRule);
    for (const LoggedBox& box : deleted)
      lines.push_back("\t" + Number3(box.number) + " " + box.name);
  }
  lines.push_back(S(*t, 21) + " " +
                  ArchiveName(state, state.success_number + 1));
  Write(lines, false);
}

void CABLogger::WriteRunResult(ScheduleLogState& state,
                               const RunResult& result) {
  auto t = LoadTexts();
  if (!t) return;
  std::vector<std::string> lines;
  const bool us_english = t->LanguageId() == desktop::kLangEnglishUS;
  auto error_text = [&] {
    return cZBBoxBRError(result.error, result.storage_type)
        .Text(state.device_address, *t);
  };
  switch (result.kind) {
    case RunResult::kDone: {
      ++state.success_number;
      std::error_code ec;
      uintmax_t bytes = std::filesystem::file_size(
          ArchiveName(state, state.success_number), ec);
      double kb = ec ? 0.0 : static_cast<double>(bytes) / 1024.0;
      if (kb > 1024)
        lines.push_back(desktop::FormatText(
            "%s %d MB", {S(*t, 163), static_cast<int64_t>(kb / 1024)}));
      else
        lines.push_back(desktop::FormatText(
            "%s %d KB", {S(*t, 163), static_cast<int64_t>(kb)}));
      state.total_kb += kb;
      lines.push_back(S(*t, 164));
      break;
    }
    case RunResult::kCancelled:
      lines.push_back(S(*t, us_english ? 10012 : 53));
      break;
    case RunResult::kFailedWillRetry:
      lines.push_back(desktop::FormatText(t->Text(167), {error_text()}));
      break;
    case RunResult::kFailedLastRetry:
      lines.push_back(S(*t, 166) + "\n" + S(*t, 173));
      break;
    case RunResult::kFailed:
      lines.push_back(S(*t, 166) + "\n" + error_text());
      break;
  }
  Write(lines, false);
}

void CABLogger::WriteStopForDeletedBoxes(ScheduleLogState& state) {
  if (auto t = LoadTexts())
    Write({S(*t, 166) + "\n" + CutAtLastBreak(S(*t, 171))}, false);
  WriteOutcome(state, ScheduleOutcome::kStoppedForDeletedBoxes);
}

void CABLogger::WriteOutcome(ScheduleLogState& state,
                             ScheduleOutcome outcome) {
  if (state.outcome_written) return;
  auto t = LoadTexts();
  if (!t) return;
  state.outcome_written = true;
  std::string status;
  switch (outcome) {
    case ScheduleOutcome::kRanOut: status = S(*t, 164); break;
    case ScheduleOutcome::kRanOutAfterDeletedBoxes:
      status = S(*t, 164) + "\n" + CutAtLastBreak(S(*t, 171));
      break;
    case ScheduleOutcome::kFailed: status = S(*t, 166); break;
    case ScheduleOutcome::kStoppedByUser:
      status = S(*t, t->LanguageId() == desktop::kLangEnglishUS ? 10014 : 165);
      break;
    case ScheduleOutcome::kStoppedForDeletedBoxes:
      status = S(*t, 166) + "\n" + CutAtLastBreak(S(*t, 171));
      break;
  }
  const int64_t kb = static_cast<int64_t>(state.total_kb);
  std::string size =
      state.total_kb > 1024
          ? desktop::FormatText("%s %d MB(s)", {S(*t, 170), kb / 1024})
          : desktop::FormatText("%s %d KB(s)", {S(*t, 170), kb});
  Write({kStarLine, S(*t, 168) + " " + status, S(*t, 169) + " " + Now(), size,
         kStarLine},
        false);
}

}  // namespace keeper
