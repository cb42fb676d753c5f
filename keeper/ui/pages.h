// The two pages of the main window's property sheet. The Backup page lists
// the connected device's boxes; the Restore page lists the boxes of an
// archive. What their action runs, and the checks of their fields, belong
// to the backup and restore runs.
#pragma once

#include <QWidget>
#include <string>

#include "desktop/language.h"
#include "keeper/app/connection.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace keeper {

class CBoxTreeList;

// The text of a box record's last-backup time: "-- -- --  -- -- --" for
// a record without one.
std::string LastBackupText(const ZBSYSTEMTIME& t);

// CBackupPage: target file, the kind of backup, and the device's boxes.
class CBackupPage : public QWidget {
  Q_OBJECT

 public:
  explicit CBackupPage(const desktop::LanguageLibrary& lang,
                       QWidget* parent = nullptr);

  // AddBoxes: the list again from the connection, every row checked.
  void AddBoxes(const CDeviceLink& link, const AppState& app);
  // Message 1025: the list emptied and filled again, the target cleared.
  void OnRefresh(const CDeviceLink& link, const AppState& app);
  // The page's settings follow the connection and the device's generation.
  void OnSetActive(const CDeviceLink& link);
  void Clear();
  // At least one box checked, a target ending in ".zip", connected.
  bool ActionAllowed(bool connected) const;
  // Select All / Clear All.
  void SetAllChecked(bool checked);

  CBoxTreeList* box_list() const { return list_; }
  QLineEdit* target() const { return target_; }
  QPushButton* browse_button() const { return browse_; }
  QRadioButton* full_button() const { return full_; }
  QRadioButton* incremental_button() const { return incremental_; }
  QGroupBox* setting_group() const { return setting_; }

 signals:
  // A check or the target changed: the action button is looked at again.
  void selectionChanged();

 private:
  void OnBrowse();

  const desktop::LanguageLibrary& lang_;
  QLineEdit* target_;
  QPushButton* browse_;
  QGroupBox* setting_;
  QLabel* prompt_;
  QRadioButton* full_;
  QRadioButton* incremental_;
  CBoxTreeList* list_;
};

// CRestorePg: the archive, what its index says, and its boxes.
class CRestorePg : public QWidget {
  Q_OBJECT

 public:
  explicit CRestorePg(const desktop::LanguageLibrary& lang,
                      QWidget* parent = nullptr);

  // Message 1025: field, list and the index lines cleared.
  void Clear();
  // Reads an archive's index into the page; false (and the page cleared)
  // when it cannot be read.
  bool LoadArchive(const std::string& path);
  void SetAllChecked(bool checked);

  CBoxTreeList* box_list() const { return list_; }
  QLineEdit* archive() const { return archive_; }
  QPushButton* browse_button() const { return browse_; }
  QLabel* type_line() const { return type_; }
  QLabel* time_line() const { return time_; }

 signals:
  void selectionChanged();

 private:
  void OnBrowse();

  const desktop::LanguageLibrary& lang_;
  QLineEdit* archive_;
  QPushButton* browse_;
  QLabel* type_;
  QLabel* time_;
  CBoxTreeList* list_;
};

}  // namespace keeper
