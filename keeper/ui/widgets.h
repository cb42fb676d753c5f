// Small controls the main window is built from: the second status bar,
// the property sheet that hosts the pages, and the tree-list of boxes.
#pragma once

#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "desktop/language.h"
#include "keeper/app/date_text.h"

class QLabel;

namespace keeper {

// ZBStatusBar: a plain status bar under the main one that shows the
// address of the selected device.
class ZBStatusBar : public QStatusBar {
  Q_OBJECT

 public:
  explicit ZBStatusBar(QWidget* parent = nullptr);
  void SetAddress(const QString& address);
  QString address() const;

 private:
  QLabel* address_;
};

// CTNPropertySheet: hosts the Backup and Restore pages. The main window
// sends it its new size (message 1135); it keeps 10 pixels to the right.
class CTNPropertySheet : public QTabWidget {
  Q_OBJECT

 public:
  static constexpr int kResizeMessage = 1135;
  explicit CTNPropertySheet(QWidget* parent = nullptr);
  void OnResizeMessage(int width, int height);
};

// One row of a box list.
struct BoxRow {
  uint32_t number = 0;
  std::string name;            // UTF-8
  bool is_protected = false;
  std::vector<std::string> columns;  // the further columns' texts
};

// The tree-list of boxes: a row per box under the device's row, with a
// check box, the box picture (image 0, or 1 for a protected box, of bitmap
// 132) and columns; greyed while an automatic backup is pending.
class CBoxTreeList : public QTreeWidget {
  Q_OBJECT

 public:
  // `headers` are string numbers of the column titles.
  CBoxTreeList(const desktop::LanguageLibrary& lang,
               const std::vector<uint32_t>& headers,
               QWidget* parent = nullptr);

  void Fill(const QString& device, const std::vector<BoxRow>& rows);
  // The checked boxes' numbers, in list order.
  std::vector<uint32_t> CheckedBoxes() const;
  void SetAllChecked(bool checked);
  // The scheduled look: greyed rows on a grey background, not editable.
  void SetGreyed(bool greyed);
  bool greyed() const { return greyed_; }
  QTreeWidgetItem* device_row() const { return topLevelItem(0); }

 private:
  void OnItemChanged(QTreeWidgetItem* item, int column);
  QList<QPixmap> images_;
  QPixmap device_icon_;
  bool greyed_ = false;
  bool updating_ = false;
};

// Dates and times in the user's locale, for the result log and the lists.
class QtDateTimeFormat final : public DateTimeFormat {
 public:
  std::optional<std::string> LongDate(
      const platform::SystemTime& t) const override;
  std::optional<std::string> Time(const platform::SystemTime& t) const override;
};

}  // namespace keeper
