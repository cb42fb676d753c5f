// Messages that code deep inside a library wants a person to see.
//
// A few failures are worth telling the user about at the moment they
// happen (a data file that ends too early, a helper object that cannot be
// made). Library code must not open windows itself, so it hands the text to
// the installed Notifier: the desktop program installs one that shows a
// message box; with none installed the text goes to the diagnostic log
// (see boxlink/base/notice.h), and tests install a RecordingNotifier
// (platform/testing/recording_notifier.h).
#pragma once

#include <string_view>

namespace platform {

enum class NoticeKind {
  kError,        // error icon, the user must acknowledge it
  kInformation,
};

class Notifier {
 public:
  virtual ~Notifier() = default;
  virtual void Notify(std::string_view text, std::string_view caption,
                      NoticeKind kind) = 0;

  // The notifier installed for the process, or null when there is none.
  static Notifier* Installed();
  // Installs `notifier` (null removes it) and returns the one it replaces.
  // Meant to be called at start-up, before other threads use it.
  static Notifier* Install(Notifier* notifier);
};

// Installs a notifier for the lifetime of this object (tests).
class ScopedNotifier {
 public:
  explicit ScopedNotifier(Notifier* notifier)
      : previous_(Notifier::Install(notifier)) {}
  ~ScopedNotifier() { Notifier::Install(previous_); }
  ScopedNotifier(const ScopedNotifier&) = delete;
  ScopedNotifier& operator=(const ScopedNotifier&) = delete;

 private:
  Notifier* previous_;
};

}  // namespace platform
