// CProgressDlg: the window inside which a backup or restore runs. Its
// logic (keeper/app/progress_dialog.h) starts the run when the window is
// first shown and carries the cancel protocol; this class draws what the
// logic says, from whichever thread it says it.
#pragma once

#include <QDialog>
#include <memory>

#include "desktop/qt/qt_screen.h"
#include "desktop/screen.h"
#include "keeper/app/progress_dialog.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace desktop {
class LanguageLibrary;
class StripAnimation;
}  // namespace desktop

namespace keeper {

class CProgressDlg : public QDialog, public desktop::ProgressDisplay {
  Q_OBJECT

 public:
  // `lang` supplies the texts and the animation; the run starts when the
  // window is first shown. With `screen` null, questions are Qt boxes.
  CProgressDlg(const desktop::LanguageLibrary& lang, JobKind kind,
               JobBackend& backend, JobRequest request,
               desktop::Screen* screen = nullptr, QWidget* parent = nullptr);
  ~CProgressDlg() override;

  ProgressDialogLogic& logic() { return *logic_; }
  QPushButton* cancel_button() const { return cancel_; }
  QProgressBar* bar() const { return bar_; }
  desktop::StripAnimation* animation() const { return animation_; }
  QLabel* phase_label() const { return phase_; }
  QLabel* name_label() const { return names_; }
  QLabel* count_label() const { return counts_; }
  // For the gallery: does not start the run when shown.
  void SetAutoStart(bool on) { auto_start_ = on; }

  // desktop::ProgressDisplay, callable from any thread.
  void SetPercent(uint32_t percent) override;
  void SetPhase(const desktop::UiText& text) override;
  void SetNames(const std::string& box, const std::string& folder,
                const std::string& document) override;
  void SetCounts(const std::string& line) override;
  void EnableCancel(bool enabled) override;
  void Animate(bool running) override;
  void ShowBusy(bool busy) override;
  void Close() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;

 private:
  template <typename Fn>
  void OnGuiThread(Fn&& fn);
  void ShowNames();

  const desktop::LanguageLibrary& lang_;
  JobRequest request_;
  std::unique_ptr<desktop::QtScreen> own_screen_;
  std::unique_ptr<ProgressDialogLogic> logic_;
  desktop::StripAnimation* animation_;
  QLabel* phase_;
  QLabel* names_;
  QProgressBar* bar_;
  QLabel* counts_;
  QPushButton* cancel_;
  bool started_ = false;
  bool auto_start_ = true;
  bool busy_ = false;
  std::string box_, folder_, document_;
};

}  // namespace keeper
