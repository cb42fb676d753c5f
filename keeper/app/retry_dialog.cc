#include "keeper/app/retry_dialog.h"

#include <atomic>

#include "keeper/app/br_error.h"

namespace keeper {
namespace {

// The one process-wide count of open result dialogs.
std::atomic<int> g_open_result_dialogs{0};

constexpr uint32_t kTextBackup = 43;
constexpr uint32_t kTextError = 88;

}  // namespace

RetryDialogContent RetryContent(RetryMode mode, uint32_t error,
                                uint32_t storage_type,
                                const std::string& address,
                                const desktop::Texts& texts) {
  RetryDialogContent c;
  auto error_text = [&] {
    return cZBBoxBRError(error, storage_type).Text(address, texts);
  };
  switch (mode) {
    case RetryMode::kDone:
      c = {kTextBackup, texts(51), {}, desktop::Icon::kInformation, true};
      break;
    case RetryMode::kCancelled:
      c = {kTextBackup,
           texts(texts.LanguageId() == desktop::kLangEnglishUS ? 10012 : 53),
           {}, desktop::Icon::kWarning, true};
      break;
    case RetryMode::kFailed:
      c = {kTextError, texts(52), error_text(), desktop::Icon::kError, false};
      break;
    case RetryMode::kRetriesExhausted:
      c = {kTextError, texts(52), texts(173), desktop::Icon::kError, false};
      break;
    case RetryMode::kRetryPending:
      c = {kTextError, texts(52), error_text() + "\n" + texts(172),
           desktop::Icon::kError, false};
      break;
    case RetryMode::kStoppedForDeletedBoxes:
      c = {kTextError, texts(52), texts(171), desktop::Icon::kError, false};
      break;
  }
  return c;
}

RetryDialogLogic::RetryDialogLogic(RetryMode mode, uint32_t error,
                                   uint32_t storage_type, std::string address,
                                   const desktop::Texts& texts)
    : content_(RetryContent(mode, error, storage_type, address, texts)) {
  ++g_open_result_dialogs;
}

RetryDialogLogic::~RetryDialogLogic() { OnOk(); }

void RetryDialogLogic::OnViewLogFile(desktop::Screen& screen,
                                     const std::string& log_path) {
  // A failure to start the viewer shows nothing, as before.
  screen.OpenUrl(log_path);
}

void RetryDialogLogic::OnOk() {
  if (!counted_) return;
  counted_ = false;
  --g_open_result_dialogs;
}

int RetryDialogLogic::OpenCount() { return g_open_result_dialogs.load(); }

AlertBoxContent AlertContent(uint32_t mode) {
  if (mode == 1) return {desktop::Icon::kQuestion, 207, 208, true};
  return {desktop::Icon::kWarning, 15, 26, false};
}

}  // namespace keeper
