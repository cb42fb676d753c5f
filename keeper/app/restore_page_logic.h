// CRestorePg's logic: the archive to restore and its checks while the field
// changes, what the archive's index says (type, time, boxes and sizes),
// whether it suits the connected device, the restore mode question, the
// start of a restore, its run in the progress dialog and its result.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "desktop/screen.h"
#include "desktop/texts.h"
#include "keeper/app/archive_info.h"
#include "keeper/app/backup_page_logic.h"
#include "keeper/app/page_host.h"

namespace keeper {

// The answers of CRestoreModeSettings.
inline constexpr uint32_t kRestoreModeOverwrite = 51;
inline constexpr uint32_t kRestoreModeAppend = 52;

// The size line under the list: text 107 and the total, in MB when the
// total divided by 1024 is above 1, else in KB (at least 1).
std::string SelectionSizeText(const desktop::Texts& texts, uint32_t total_kb);

// What the page shows about an archive's suitability, and whether it may
// be restored.
struct Suitability {
  bool loaded = false;    // the action may be taken
  uint32_t message = 0;   // text to show (200), or 0
};
// Not connected: the archive is shown, nothing said, nothing possible.
Suitability JudgeArchive(std::string_view archive_version,
                         std::string_view device_version, bool connected);

class RestorePageView {
 public:
  virtual ~RestorePageView() = default;
  virtual std::string ArchiveText() const = 0;
  // Sets the field; a change made here does not come back as a change.
  virtual void SetArchiveText(const std::string& text) = 0;
  virtual void FocusArchive() = 0;
  // The "Type:" and "Time :" lines.
  virtual void SetTypeLine(const std::string& text) = 0;
  virtual void SetTimeLine(const std::string& text) = 0;
  // The archive's rows, every one checked; `title` heads the list.
  virtual void FillRows(const std::string& title,
                        const std::vector<BoxListRow>& rows) = 0;
  virtual void ClearRows() = 0;
  virtual size_t RowCount() const = 0;
  // Indexes (into the rows of the last fill) of the checked rows.
  virtual std::vector<size_t> CheckedRows() const = 0;
  // Control 1055: the size of the selection.
  virtual void SetSizeLine(const std::string& text) = 0;
  virtual void SetActionText(uint32_t text) = 0;
  virtual void EnableAction(bool enabled) = 0;
  // The archive file dialog (open).
  virtual std::optional<std::string> PickArchive(
      const desktop::FileRequest& request) = 0;
  // CRestoreModeSettings: 51, 52, or nothing when it was not ended with OK.
  virtual std::optional<uint32_t> AskRestoreMode() = 0;
};

struct RestorePageContext {
  const desktop::Texts& texts;
  desktop::Screen& screen;
  RestorePageView& view;
  PageHost& host;
  const DateTimeFormat& format;
  std::string documents_folder;
  // Reads an archive's index; the box service library's by default.
  std::function<uint32_t(const std::string&, ArchiveInfo*)> read_archive =
      ReadArchiveInfo;
};

class RestorePageLogic {
 public:
  explicit RestorePageLogic(RestorePageContext context);

  void OnSetActive();
  // A check changed in the list: sizes, size line, action.
  void OnItemChanged();
  // Message 1025: field, list, size line and the index lines cleared.
  void OnRefresh();
  void OnBrowse();
  // The archive field changed (typed, or put there by Browse).
  void OnArchiveChanged();
  // The action button on this page.
  void OnStart();

  bool ActionAllowed() const;
  // Another reader of archives' indexes (for pictures of the page).
  void SetArchiveReader(
      std::function<uint32_t(const std::string&, ArchiveInfo*)> reader) {
    ctx_.read_archive = std::move(reader);
  }
  bool loaded() const { return loaded_; }
  const ArchiveInfo& info() const { return info_; }
  const std::vector<uint32_t>& selected() const { return selected_; }
  uint32_t restore_mode() const { return restore_mode_; }
  uint32_t total_kb() const { return total_kb_; }
  uint32_t largest_kb() const { return largest_kb_; }

 private:
  // A failed check: the message, and the page emptied.
  void Refuse(uint32_t text, bool focus = false);
  void ResetLines();
  void ReadArchive(const std::string& path);
  void CollectSelection();
  void ShowResult(const JobResult& result);

  RestorePageContext ctx_;
  ArchiveInfo info_;
  bool loaded_ = false;
  std::vector<uint32_t> selected_;
  uint32_t restore_mode_ = 1;
  uint32_t total_kb_ = 0;
  uint32_t largest_kb_ = 0;
};

}  // namespace keeper
