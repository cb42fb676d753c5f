// CBRFileDialog: the file dialog of Browse on the Backup and Restore pages,
// with a line under the file list that tells the free space of the
// folder's file system, and a check of the typed file name.
#pragma once

#include <QFileDialog>
#include <memory>

#include "desktop/qt/qt_screen.h"
#include "desktop/texts.h"

class QLabel;

namespace keeper {

class CBRFileDialog : public QFileDialog {
  Q_OBJECT

 public:
  // save: the Backup page's target; else the Restore page's archive.
  CBRFileDialog(const desktop::Texts& texts, bool save,
                const QString& folder, desktop::Screen* screen = nullptr,
                QWidget* parent = nullptr);

  QLabel* free_space_label() const { return free_space_; }
  void ShowFreeSpace(const QString& folder);

 public slots:
  void accept() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Puts the line under the file list once the dialog's own widgets exist.
  void PlaceFreeSpaceLine();

  const desktop::Texts& texts_;
  std::unique_ptr<desktop::QtScreen> own_screen_;
  desktop::Screen* screen_;
  QLabel* free_space_;
};

}  // namespace keeper
