// The password prompt's logic, apart from its window: the library state
// that the exports set, the results of a run, and the running-instance key
// that names the window in front while the prompt is up.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "desktop/screen.h"
#include "desktop/texts.h"

namespace authdlg {

// Results of OpenUserAuthDlg.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultNoBuffer = -100;
inline constexpr int kResultLanguageUnloadable = -101;
inline constexpr int kResultNoLanguage = -102;
inline constexpr int kResultNoDialog = -1;
// Result of SetLangDllPath for a missing path.
inline constexpr int kResultBadPath = -100;

// Text numbers of the prompt.
inline constexpr uint32_t kTextOk = 15;
inline constexpr uint32_t kTextMainTitle = 19;
inline constexpr uint32_t kTextCancel = 26;
inline constexpr uint32_t kTextPrompt = 32;
inline constexpr uint32_t kTextTitle = 33;
inline constexpr uint32_t kTextErrorCaption = 88;
inline constexpr uint32_t kTextInternalError = 114;
inline constexpr uint32_t kTextRunningKey = 10005;

// The longest language library path kept, in characters.
inline constexpr size_t kMaxLanguagePath = 259;

// What one load of the library remembers between calls.
struct LibraryState {
  std::u16string language_path;
  int32_t language_value = 0;
  uint8_t main_dialog_launched = 0;
  uint8_t network_error = 0;
  uint8_t controller_type = 0;
  uint32_t accepted_token = 0;
  uint32_t dialogs_made = 0;  // for the tokens
};

// The running-instance key while the prompt is up: created at the start
// with "CLSID" = "ZELT" and "WndTitle" = the prompt's title. False when it
// cannot be created.
bool RegisterPrompt(const desktop::Texts& texts);

// At the end of the prompt: with the main window up (or the prompt
// confirmed), the key names the main window; otherwise the key goes.
void UnregisterPrompt(const desktop::Texts& texts, bool main_dialog_launched);

// The start of a prompt: registers it; when that fails, shows the internal
// error and ends the process through `end_process` (which does not return
// in the library; a test's may).
bool StartPrompt(const desktop::Texts& texts, desktop::Screen& screen,
                 const std::function<void()>& end_process);

}  // namespace authdlg
