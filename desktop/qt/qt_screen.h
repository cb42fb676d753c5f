// The Screen on Qt: message boxes, questions, file dialogs and notices of
// Qt Widgets, texts resolved through a language library.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "desktop/screen.h"

namespace desktop {

// The string numbers of the standard buttons in a program's language
// library.
struct ButtonTextIds {
  uint32_t ok, cancel, yes, no;
};
inline constexpr ButtonTextIds kKeeperButtons = {15, 26, 13009, 13010};
inline constexpr ButtonTextIds kFinderButtons = {4, 3, 13017, 13018};

class QtScreen final : public Screen {
 public:
  // Boxes are shown over `parent` (may be null: then over the active
  // window, task-modal).
  QtScreen(const Texts& texts, QWidget* parent = nullptr,
           ButtonTextIds buttons = kKeeperButtons)
      : texts_(texts), parent_(parent), buttons_(buttons) {}

  void Show(const Message& message) override;
  Answer Ask(const Message& message, Buttons buttons,
             Answer default_answer) override;
  std::optional<std::string> PickFile(const FileRequest& request) override;
  std::unique_ptr<Notice> OpenNotice(const Message& message) override;
  bool OpenUrl(const std::string& url) override;

  const Texts& texts() const { return texts_; }

 private:
  const Texts& texts_;
  QPointer<QWidget> parent_;
  ButtonTextIds buttons_;
};

// Makes a message box as QtScreen shows it, without running it (for the
// screenshot gallery and tests).
QMessageBox* MakeMessageBox(const Texts& texts, const Message& message,
                            Buttons buttons, Answer default_answer,
                            QWidget* parent,
                            ButtonTextIds ids = kKeeperButtons);

}  // namespace desktop
