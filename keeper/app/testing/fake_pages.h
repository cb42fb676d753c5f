// Scripted stand-ins for the pages' surroundings: the main window
// (FakePageHost), the Backup page's and the Restore page's controls, and
// date formats that can be told to fail.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "keeper/app/backup_page_logic.h"
#include "keeper/app/restore_page_logic.h"

namespace keeper {

class FakePageHost final : public PageHost {
 public:
  bool is_connected = true;
  bool is_old_generation = false;
  uint32_t open_result_value = 0;
  std::vector<BoxEntry> box_list;
  std::string device_row = "Device";
  std::string engine = "Varda 540 Series V1.0";
  std::string device_address = "192.0.2.10";
  bool pending = false;
  // The run of a job; the default ends done.
  std::function<JobResult(const JobRequest&)> run = [](const JobRequest&) {
    JobResult r;
    r.outcome = kOutcomeDone;
    return r;
  };
  std::optional<uint32_t> storage_type;  // nothing: cannot be asked
  int32_t restore_time = 1750000000;

  // What happened, in order: "SkipBackup", "Run", "Status 34", "Refresh",
  // "Disconnected", "ReadBoxList", "Wait on", "Wait off", "StorageType",
  // "StopAutomatic".
  std::vector<std::string> calls;
  std::vector<JobRequest> requests;

  bool connected() const override { return is_connected; }
  bool old_generation() const override { return is_old_generation; }
  uint32_t open_result() const override { return open_result_value; }
  std::vector<BoxEntry> boxes() const override { return box_list; }
  std::string device_row_text() const override { return device_row; }
  std::string engine_version() const override {
    return is_connected ? engine : std::string();
  }
  std::string address() const override { return device_address; }
  bool automatic_pending() const override { return pending; }
  void StopAutomaticBackup() override { calls.push_back("StopAutomatic"); }
  void SetSkipBackup() override { calls.push_back("SkipBackup"); }
  JobResult RunJob(const JobRequest& request) override {
    calls.push_back("Run");
    requests.push_back(request);
    return run(request);
  }
  void SetStatusText(const desktop::UiText& text) override {
    calls.push_back("Status " + std::to_string(text.id));
  }
  void SetWaitCursor(bool on) override {
    calls.push_back(on ? "Wait on" : "Wait off");
  }
  void Refresh() override { calls.push_back("Refresh"); }
  void EnterDisconnected() override {
    calls.push_back("Disconnected");
    is_connected = false;
  }
  void ReadBoxListAgain() override { calls.push_back("ReadBoxList"); }
  bool StorageType(uint32_t* type) override {
    calls.push_back("StorageType");
    if (!storage_type) return false;
    *type = *storage_type;
    return true;
  }
  int32_t RestoreTime() override { return restore_time; }
};

// Formats with fixed, recognisable texts; a date or time of year 1999 (date)
// or of hour 25 (time) cannot be formatted.
class FakeDateFormat final : public DateTimeFormat {
 public:
  std::optional<std::string> LongDate(
      const platform::SystemTime& t) const override {
    if (t.year == 1999) return std::nullopt;
    return std::to_string(t.year) + "-" + std::to_string(t.month) + "-" +
           std::to_string(t.day);
  }
  std::optional<std::string> Time(const platform::SystemTime& t) const override {
    if (t.hour == 25) return std::nullopt;
    return std::to_string(t.hour) + ":" + std::to_string(t.minute);
  }
};

class FakeBackupView final : public BackupPageView {
 public:
  std::string target;
  bool shown = true;
  std::string device_row;
  std::vector<BoxListRow> rows;
  std::set<uint32_t> unchecked;  // box numbers the user unchecked
  bool full = true;
  bool settings_enabled = true;
  uint32_t action_text = 0;
  bool action_enabled = false;
  int focus_count = 0;
  std::vector<desktop::FileRequest> file_requests;
  std::optional<std::string> picked;

  std::string TargetText() const override { return target; }
  void SetTargetText(const std::string& text) override { target = text; }
  void FocusTarget() override { ++focus_count; }
  bool PageShown() const override { return shown; }
  void FillRows(const std::string& device,
                const std::vector<BoxListRow>& r) override {
    device_row = device;
    rows = r;
    unchecked.clear();
  }
  void ClearRows() override {
    device_row.clear();
    rows.clear();
  }
  std::vector<uint32_t> CheckedBoxes() const override {
    std::vector<uint32_t> out;
    for (const BoxListRow& r : rows)
      if (!unchecked.count(r.number)) out.push_back(r.number);
    return out;
  }
  bool FullChecked() const override { return full; }
  void CheckFull() override { full = true; }
  void EnableSettings(bool enabled) override { settings_enabled = enabled; }
  void SetActionText(uint32_t text) override { action_text = text; }
  void EnableAction(bool enabled) override { action_enabled = enabled; }
  std::optional<std::string> PickTarget(
      const desktop::FileRequest& request) override {
    file_requests.push_back(request);
    return picked;
  }
};

class FakeRestoreView final : public RestorePageView {
 public:
  std::string archive;
  std::string type_line, time_line, size_line;
  std::string title;
  std::vector<BoxListRow> rows;
  std::set<size_t> unchecked;
  uint32_t action_text = 0;
  bool action_enabled = false;
  int focus_count = 0;
  std::optional<std::string> picked;
  std::vector<desktop::FileRequest> file_requests;
  std::optional<uint32_t> mode = kRestoreModeOverwrite;
  int mode_questions = 0;

  std::string ArchiveText() const override { return archive; }
  void SetArchiveText(const std::string& text) override { archive = text; }
  void FocusArchive() override { ++focus_count; }
  void SetTypeLine(const std::string& text) override { type_line = text; }
  void SetTimeLine(const std::string& text) override { time_line = text; }
  void FillRows(const std::string& t,
                const std::vector<BoxListRow>& r) override {
    title = t;
    rows = r;
    unchecked.clear();
  }
  void ClearRows() override {
    title.clear();
    rows.clear();
  }
  size_t RowCount() const override { return rows.size(); }
  std::vector<size_t> CheckedRows() const override {
    std::vector<size_t> out;
    for (size_t i = 0; i < rows.size(); ++i)
      if (!unchecked.count(i)) out.push_back(i);
    return out;
  }
  void SetSizeLine(const std::string& text) override { size_line = text; }
  void SetActionText(uint32_t text) override { action_text = text; }
  void EnableAction(bool enabled) override { action_enabled = enabled; }
  std::optional<std::string> PickArchive(
      const desktop::FileRequest& request) override {
    file_requests.push_back(request);
    return picked;
  }
  std::optional<uint32_t> AskRestoreMode() override {
    ++mode_questions;
    return mode;
  }
};

}  // namespace keeper
