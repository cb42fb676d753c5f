// CABLogger: the result log of the automatic backup ("ZELT_Log.txt" in
// the user's temporary folder). It records what a schedule was set to do
// and what each run did, so that the user can read it later ("View Log
// File"). Manual backups and restores write nothing to it.
//
// Every block is written in one go and the file is closed after it, so a
// viewer that is open sees every finished block. The texts come from the
// language library, loaded for the time of a block; the separators, line
// layouts and number formats are fixed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/screen.h"
#include "desktop/texts.h"
#include "keeper/app/date_text.h"
#include "platform/calendar.h"

namespace keeper {

inline constexpr char kResultLogName[] = "ZELT_Log.txt";

// Repeat intervals of a schedule.
inline constexpr uint32_t kIntervalOnce = 555;
inline constexpr uint32_t kIntervalDaily = 556;
inline constexpr uint32_t kIntervalWeekly = 557;
inline constexpr uint32_t kIntervalMonthly = 558;

// How a schedule ended (block D).
enum class ScheduleOutcome : uint32_t {
  kRanOut = 1,                 // its last run finished
  kRanOutAfterDeletedBoxes = 2,
  kFailed = 3,
  kStoppedByUser = 4,
  kStoppedForDeletedBoxes = 5,
};

struct LoggedBox {
  uint32_t number = 0;
  std::string name;  // UTF-8
};

// What the log reads of the schedule, the main window and the program's
// state. The counters and the accumulated size change as runs end.
struct ScheduleLogState {
  std::string device_name;     // the last selected device
  std::string device_address;
  std::string target;          // the Backup page's target field
  uint32_t interval = kIntervalOnce;
  platform::SystemTime start{};
  uint32_t backup_type = 0;    // 0 full, 1 incremental
  bool continue_if_deleted = true;
  std::vector<LoggedBox> device_boxes;  // the device's box list, in order
  std::vector<uint32_t> selection;      // chosen box numbers, in list order
  uint32_t run_number = 0;     // scheduled runs started, from 1
  uint32_t success_number = 0; // runs that finished
  double total_kb = 0;         // size of the archives written
  bool outcome_written = false;
};

// How a run ended, for its result lines.
struct RunResult {
  enum Kind { kDone, kCancelled, kFailedWillRetry, kFailedLastRetry, kFailed };
  Kind kind = kDone;
  uint32_t error = 0;         // for the failures
  uint32_t storage_type = 0;  // for error 39
};

class CABLogger {
 public:
  using TextsLoader = std::function<std::unique_ptr<desktop::Texts>()>;

  // `texts` loads the language library for one block (null on failure);
  // `screen` tells the user when that fails.
  CABLogger(std::string path, TextsLoader texts, desktop::Screen& screen,
            const DateTimeFormat& format);
  virtual ~CABLogger();

  // The log's place: the temporary folder and kResultLogName.
  static std::string DefaultPath();
  // Loads keeperlang in the chosen language.
  static TextsLoader KeeperLanguage();

  // A schedule was set: empties the log, resets the counters, the size and
  // the outcome flag, and writes the schedule header (block A).
  void StartSchedule(ScheduleLogState& state, bool all_boxes);
  // Before a scheduled run that is not a retry: the run number grows and
  // the run-start line is written (after a separator from the second run).
  void WriteRunStart(ScheduleLogState& state);
  // After a run that finished or was cancelled (block C).
  void WriteRunReport(const ScheduleLogState& state,
                      const std::vector<LoggedBox>& deleted,
                      const platform::SystemTime& run_start);
  // After every run: its result lines. A finished run counts, and its
  // archive's size is added.
  void WriteRunResult(ScheduleLogState& state, const RunResult& result);
  // Selected boxes were deleted and the schedule stops for it.
  void WriteStopForDeletedBoxes(ScheduleLogState& state);
  // The end of the schedule (block D), at most once per schedule.
  void WriteOutcome(ScheduleLogState& state, ScheduleOutcome outcome);

  const std::string& path() const { return path_; }

 private:
  class Block;
  std::unique_ptr<desktop::Texts> LoadTexts();
  void AppendBoxList(std::vector<std::string>* lines,
                     const desktop::Texts& texts,
                     const ScheduleLogState& state);
  std::string ArchiveName(const ScheduleLogState& state,
                          uint32_t number) const;
  std::string Now() const;
  bool Write(const std::vector<std::string>& lines, bool truncate);

  std::string path_;
  TextsLoader loader_;
  desktop::Screen& screen_;
  const DateTimeFormat& format_;
};

}  // namespace keeper
