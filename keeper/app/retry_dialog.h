// CRetryDlg's logic: the result window of an automatic backup run, in six
// modes, with "View Log File"; and CTNAlertBox's, the confirmation box.
#pragma once

#include <cstdint>
#include <string>

#include "desktop/screen.h"
#include "desktop/texts.h"

namespace keeper {

enum class RetryMode : uint32_t {
  kDone = 1,
  kCancelled = 2,
  kFailed = 3,
  kRetriesExhausted = 4,
  kRetryPending = 5,
  kStoppedForDeletedBoxes = 6,
};

struct RetryDialogContent {
  uint32_t title = 0;  // string number
  std::string line1;
  std::string line2;   // empty in the compact modes
  desktop::Icon icon = desktop::Icon::kNone;
  bool compact = false;  // line 2 collapsed, buttons beside line 1
};

inline constexpr uint32_t kTextViewLogFile = 150;
inline constexpr uint32_t kTextOk = 15;

RetryDialogContent RetryContent(RetryMode mode, uint32_t error,
                                uint32_t storage_type,
                                const std::string& address,
                                const desktop::Texts& texts);

class RetryDialogLogic {
 public:
  // Opening: counts the dialog as open.
  RetryDialogLogic(RetryMode mode, uint32_t error, uint32_t storage_type,
                   std::string address, const desktop::Texts& texts);
  // Closing without OnOk still lowers the count once.
  ~RetryDialogLogic();
  RetryDialogLogic(const RetryDialogLogic&) = delete;
  RetryDialogLogic& operator=(const RetryDialogLogic&) = delete;

  const RetryDialogContent& content() const { return content_; }
  // Opens the result log in the desktop's text viewer; nothing is shown
  // when no viewer can be started. The dialog stays open.
  void OnViewLogFile(desktop::Screen& screen, const std::string& log_path);
  // OK or closing: lowers the count of open result dialogs (once).
  void OnOk();

  // Result dialogs open in this process; the main window stays disabled
  // while any is.
  static int OpenCount();

 private:
  RetryDialogContent content_;
  bool counted_ = true;
};

// CTNAlertBox: mode 1 asks with the question icon and OK/Cancel texts 207
// and 208; other modes warn, with texts 15 and 26, and cannot be closed
// from the window's Close command.
struct AlertBoxContent {
  desktop::Icon icon = desktop::Icon::kNone;
  uint32_t ok_text = 0;
  uint32_t cancel_text = 0;
  bool close_allowed = true;
};
AlertBoxContent AlertContent(uint32_t mode);

}  // namespace keeper
