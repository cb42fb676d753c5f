// CBackupPage's logic: the device's boxes with their last-backup times, the
// kind of backup, the archive to write and its checks while typing, Browse,
// and the start of a backup with its checks, its run in the progress dialog
// and its result.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "desktop/screen.h"
#include "desktop/texts.h"
#include "keeper/app/date_text.h"
#include "keeper/app/device_link.h"
#include "keeper/app/page_host.h"
#include "platform/calendar.h"

namespace keeper {

// One row of a box list, as the page draws it.
struct BoxListRow {
  uint32_t number = 0;
  std::string name;            // UTF-8
  std::string label;           // "%.3d" and the name
  bool is_protected = false;   // image 1 of the box pictures, else 0
  std::vector<std::string> columns;
};

// "%.3d name".
std::string BoxLabel(uint32_t number, const std::string& name);

// The last-backup text of a box: the date and the time in the user's
// formats, joined by two blanks; either one that cannot be formatted is
// "-- -- --", and a record without a date is "-- -- --  -- -- --".
std::string LastBackupText(const DateTimeFormat& format,
                           const ZBSYSTEMTIME& t);

// The controls of the page, as the logic sees them.
class BackupPageView {
 public:
  virtual ~BackupPageView() = default;
  virtual std::string TargetText() const = 0;
  // Sets the field (the caret goes to its end); a change made here does
  // not come back as a typing change.
  virtual void SetTargetText(const std::string& text) = 0;
  virtual void FocusTarget() = 0;
  virtual bool PageShown() const = 0;
  // Rows 1 to N: the device's row first, every row checked.
  virtual void FillRows(const std::string& device_row,
                        const std::vector<BoxListRow>& rows) = 0;
  virtual void ClearRows() = 0;
  // The numbers of the checked box rows, in row order.
  virtual std::vector<uint32_t> CheckedBoxes() const = 0;
  virtual bool FullChecked() const = 0;
  virtual void CheckFull() = 0;
  // The backup type's prompt, frame and radio buttons.
  virtual void EnableSettings(bool enabled) = 0;
  // The main window's action button.
  virtual void SetActionText(uint32_t text) = 0;
  virtual void EnableAction(bool enabled) = 0;
  // The archive file dialog (save).
  virtual std::optional<std::string> PickTarget(
      const desktop::FileRequest& request) = 0;
};

struct BackupPageContext {
  const desktop::Texts& texts;
  desktop::Screen& screen;
  BackupPageView& view;
  PageHost& host;
  const DateTimeFormat& format;
  // The user's documents folder, where Browse proposes the archive.
  std::string documents_folder;
};

class BackupPageLogic {
 public:
  explicit BackupPageLogic(BackupPageContext context);

  // AddBoxes: the list from the connection's box list, every row checked.
  void AddBoxes();
  // Message 1025: emptied, the target cleared (not while an automatic
  // backup waits), filled again.
  void OnRefresh();
  void OnSetActive();
  // A check changed in the list, or the target: the action's rule.
  void OnItemchangedBoxList();
  void OnChangeBackupSetting();
  void OnBtnBrowseFolder();
  // The target field changed by typing.
  void OnChangeEditZipfldr();
  // The action button on this page.
  void OnStart();

  // At least one box checked, a target ending in ".zip", connected.
  bool ActionAllowed() const;
  uint32_t backup_type() const { return backup_type_; }
  // The boxes of the last collection (fnStoreSelectedBoxes).
  const std::vector<uint32_t>& selected() const { return selected_; }
  // The page's copy of the device's box list.
  const std::vector<BoxEntry>& page_boxes() const { return page_boxes_; }
  bool overwrite_confirmed() const { return overwrite_confirmed_; }
  bool name_from_dialog() const { return name_from_dialog_; }

  // The proposed name for a backup at `local` time: "YYYYMMDD_hhmmss".
  static std::string ProposedName(const platform::SystemTime& local);

 private:
  void StoreSelectedBoxes();
  void Refuse(uint32_t text, desktop::Icon icon = desktop::Icon::kError);
  void ShowResult(const JobResult& result);

  BackupPageContext ctx_;
  uint32_t backup_type_ = 0;
  std::vector<uint32_t> selected_;
  std::vector<BoxEntry> page_boxes_;
  bool overwrite_confirmed_ = false;
  bool name_from_dialog_ = false;
};

}  // namespace keeper
