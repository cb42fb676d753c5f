// How the logic of a window talks to the screen.
//
// The logic of every window (what to check, which text to show, which
// question to ask, what to do with the answer) is written against this
// interface and knows nothing of the toolkit. The desktop programs use the
// Qt implementation (desktop/qt/qt_screen.h); tests use FakeScreen
// (desktop/testing/fake_screen.h), which records what was shown and gives
// scripted answers.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desktop/texts.h"

namespace desktop {

// A text to show: a string number of the language library, or a text the
// logic has already put together (from numbered texts, an address, ...).
struct UiText {
  uint32_t id = 0;
  std::string text;

  static UiText Id(uint32_t id) { return UiText{id, {}}; }
  static UiText Of(std::string text) { return UiText{0, std::move(text)}; }
  std::string Resolve(const Texts& texts) const {
    return id ? std::string(texts.Text(id)) : text;
  }
  bool operator==(const UiText&) const = default;
};

enum class Icon { kNone, kInformation, kWarning, kError, kQuestion };
enum class Buttons { kOk, kOkCancel, kYesNo };
// The numbers a message box returns on the original platform.
enum class Answer : int { kOk = 1, kCancel = 2, kYes = 6, kNo = 7 };

struct Message {
  UiText text;
  UiText caption;
  Icon icon = Icon::kNone;
};

// A file chooser's request; the answer is the chosen path or nothing.
struct FileRequest {
  bool save = false;
  UiText title;
  std::string folder;         // where it opens
  std::string file_name;      // proposed name
  std::string filter;         // "Archives (*.zip)"
  std::string default_suffix; // "zip"
};

// The display of a long run: bar, phase text, current names, counts.
class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  virtual void SetPercent(uint32_t percent) = 0;
  virtual void SetPhase(const UiText& text) = 0;
  // The item being worked on: box, folder and document names (UTF-8); the
  // display shortens them to its width.
  virtual void SetNames(const std::string& box, const std::string& folder,
                        const std::string& document) = 0;
  virtual void SetCounts(const std::string& line) = 0;  // count line
  // Cancel button: enabled or not; when enabled, it gets the focus back.
  virtual void EnableCancel(bool enabled) = 0;
  virtual void Animate(bool running) = 0;
  // A wait cursor while the run winds down after a cancel.
  virtual void ShowBusy(bool busy) = 0;
  virtual void Close() = 0;
};

// A window that stays open beside the others until it is closed.
class Notice {
 public:
  virtual ~Notice() = default;
  virtual void Close() = 0;
  virtual bool open() const = 0;
};

class Screen {
 public:
  virtual ~Screen() = default;

  // A message box with an OK button; returns when it is closed.
  virtual void Show(const Message& message) = 0;
  // A question; returns the button pressed (the default one when the box
  // is closed without a choice, Cancel or No where there is one).
  virtual Answer Ask(const Message& message, Buttons buttons,
                     Answer default_answer) = 0;
  virtual std::optional<std::string> PickFile(const FileRequest& request) = 0;
  // A modeless notice (text and icon) that stays until closed.
  virtual std::unique_ptr<Notice> OpenNotice(const Message& message) = 0;
  // Opens a link or a file with the desktop's viewer for it; false when
  // no viewer could be started.
  virtual bool OpenUrl(const std::string& url) = 0;
};

}  // namespace desktop
