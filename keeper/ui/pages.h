// The two pages of the main window's property sheet. The Backup page lists
// the connected device's boxes and takes the archive to write; the Restore
// page reads an archive and lists its boxes. What they check, show and run
// is decided by their logic (keeper/app/backup_page_logic.h,
// keeper/app/restore_page_logic.h); the pages draw and forward.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "desktop/language.h"
#include "keeper/app/backup_page_logic.h"
#include "keeper/app/restore_page_logic.h"
#include "keeper/ui/widgets.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace keeper {

// CBackupPage: target file, the kind of backup, and the device's boxes.
class CBackupPage : public QWidget, public BackupPageView {
  Q_OBJECT

 public:
  explicit CBackupPage(const desktop::LanguageLibrary& lang,
                       QWidget* parent = nullptr);
  ~CBackupPage() override;

  // The page's logic gets its surroundings.
  void Attach(desktop::Screen& screen, PageHost& host);
  BackupPageLogic* logic() const { return logic_.get(); }

  void AddBoxes();
  // Message 1025: the list emptied and filled again, the target cleared.
  void OnRefresh();
  // The page's settings follow the connection and the device's generation.
  void OnSetActive();
  // The disconnected state: no rows, Full Backup, settings disabled.
  void Clear();
  bool ActionAllowed() const;
  // Select All / Clear All.
  void SetAllChecked(bool checked);
  // The action button on this page.
  void OnStart();

  CBoxTreeList* box_list() const { return list_; }
  QLineEdit* target() const { return target_; }
  QPushButton* browse_button() const { return browse_; }
  QRadioButton* full_button() const { return full_; }
  QRadioButton* incremental_button() const { return incremental_; }
  QGroupBox* setting_group() const { return setting_; }

  // BackupPageView.
  std::string TargetText() const override;
  void SetTargetText(const std::string& text) override;
  void FocusTarget() override;
  bool PageShown() const override;
  void FillRows(const std::string& device_row,
                const std::vector<BoxListRow>& rows) override;
  void ClearRows() override;
  std::vector<uint32_t> CheckedBoxes() const override;
  bool FullChecked() const override;
  void CheckFull() override;
  void EnableSettings(bool enabled) override;
  void SetActionText(uint32_t) override {}  // the main window's
  void EnableAction(bool enabled) override;
  std::optional<std::string> PickTarget(
      const desktop::FileRequest& request) override;

 signals:
  // A check or the target changed: the action button is looked at again.
  void selectionChanged();

 private:
  const desktop::LanguageLibrary& lang_;
  QtDateTimeFormat format_;
  std::unique_ptr<BackupPageLogic> logic_;
  QLineEdit* target_;
  QPushButton* browse_;
  QGroupBox* setting_;
  QLabel* prompt_;
  QRadioButton* full_;
  QRadioButton* incremental_;
  CBoxTreeList* list_;
  bool setting_text_ = false;
};

// CRestorePg: the archive, what its index says, and its boxes.
class CRestorePg : public QWidget, public RestorePageView {
  Q_OBJECT

 public:
  explicit CRestorePg(const desktop::LanguageLibrary& lang,
                      QWidget* parent = nullptr);
  ~CRestorePg() override;

  void Attach(desktop::Screen& screen, PageHost& host);
  RestorePageLogic* logic() const { return logic_.get(); }

  // Message 1025: field, list and the index lines cleared.
  void Clear();
  void OnSetActive();
  bool ActionAllowed() const;
  void SetAllChecked(bool checked);
  void OnStart();

  CBoxTreeList* box_list() const { return list_; }
  QLineEdit* archive() const { return archive_; }
  QPushButton* browse_button() const { return browse_; }
  QLabel* type_line() const { return type_; }
  QLabel* time_line() const { return time_; }
  QLabel* size_line() const { return size_; }

  // RestorePageView.
  std::string ArchiveText() const override;
  void SetArchiveText(const std::string& text) override;
  void FocusArchive() override;
  void SetTypeLine(const std::string& text) override;
  void SetTimeLine(const std::string& text) override;
  void FillRows(const std::string& title,
                const std::vector<BoxListRow>& rows) override;
  void ClearRows() override;
  size_t RowCount() const override;
  std::vector<size_t> CheckedRows() const override;
  void SetSizeLine(const std::string& text) override;
  void SetActionText(uint32_t) override {}  // the main window's
  void EnableAction(bool enabled) override;
  std::optional<std::string> PickArchive(
      const desktop::FileRequest& request) override;
  std::optional<uint32_t> AskRestoreMode() override;

 signals:
  void selectionChanged();

 private:
  const desktop::LanguageLibrary& lang_;
  QtDateTimeFormat format_;
  std::unique_ptr<RestorePageLogic> logic_;
  QLineEdit* archive_;
  QPushButton* browse_;
  QLabel* type_;
  QLabel* time_;
  QLabel* size_;
  CBoxTreeList* list_;
  bool setting_text_ = false;
};

// The user's documents folder (the home folder when there is none).
std::string DocumentsFolder();

}  // namespace keeper
