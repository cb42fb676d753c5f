// CRetryDlg: the result window of an automatic backup run (modeless, over
// the main window), and CTNAlertBox, the confirmation box.
#pragma once

#include <QDialog>
#include <memory>

#include "desktop/qt/qt_screen.h"
#include "keeper/app/retry_dialog.h"

class QLabel;
class QPushButton;

namespace keeper {

class CRetryDlg : public QDialog {
  Q_OBJECT

 public:
  CRetryDlg(const desktop::Texts& texts, RetryMode mode, uint32_t error,
            uint32_t storage_type, const std::string& address,
            std::string log_path, desktop::Screen* screen = nullptr,
            QWidget* parent = nullptr);

  QLabel* line1() const { return line1_; }
  QLabel* line2() const { return line2_; }
  QPushButton* ok_button() const { return ok_; }
  QPushButton* view_log_button() const { return view_log_; }

 signals:
  // OK or closed: the main window enables itself again.
  void closedByUser();

 protected:
  void done(int result) override;

 private:
  RetryDialogLogic logic_;
  std::string log_path_;
  std::unique_ptr<desktop::QtScreen> own_screen_;
  desktop::Screen* screen_;
  QLabel* icon_;
  QLabel* line1_;
  QLabel* line2_;
  QPushButton* view_log_;
  QPushButton* ok_;
};

class CTNAlertBox : public QDialog {
  Q_OBJECT

 public:
  CTNAlertBox(const desktop::Texts& texts, const std::string& text,
              const std::string& caption, uint32_t mode,
              QWidget* parent = nullptr);
  QPushButton* ok_button() const { return ok_; }
  QPushButton* cancel_button() const { return cancel_; }
  bool close_allowed() const { return content_.close_allowed; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  AlertBoxContent content_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace keeper
