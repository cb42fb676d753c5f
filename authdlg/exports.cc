// The six exports of the password prompt library.
#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "authdlg/auth_dialog.h"
#include "authdlg/include/authdlg.h"
#include "authdlg/prompt_logic.h"
#include "desktop/language.h"
#include "desktop/qt/qt_screen.h"
#include "platform/text.h"

namespace authdlg {
namespace {

// One set per load of the library: everything starts empty and nothing
// survives an unload.
LibraryState& State() {
  static LibraryState state;
  return state;
}

constexpr size_t kInitialTextMax = 260;  // bytes, with the terminator

// The texts of the failure that has no language library to take them from.
constexpr const char* kNoLanguage = "Unable to load Language dll";
constexpr const char* kErrorCaption = "Error";

class LiteralTexts final : public desktop::Texts {
 public:
  std::string_view Text(uint32_t) const override { return {}; }
  uint32_t LanguageId() const override { return desktop::kLangEnglishUS; }
};

// A program without Qt of its own gets an application object for the time
// of the library's load.
bool EnsureApplication() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) return true;
  if (QCoreApplication::instance()) return false;  // not a widget program
  static int argc = 1;
  static char name[] = "authdlg";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return app != nullptr;
}

// The program's window in front, over which the prompt stands.
QWidget* MainWindow() {
  if (QWidget* w = QApplication::activeWindow()) return w;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && !w->isModal()) return w;
  return nullptr;
}

[[noreturn]] void EndProcess() {
  std::fflush(nullptr);
  std::_Exit(0);
}

}  // namespace
}  // namespace authdlg

using namespace authdlg;

extern "C" {

AUTHDLG_API int32_t SetLangDllPath(const char16_t* path, int32_t value) {
  if (!path || !*path) return kResultBadPath;
  size_t n = platform::U16Length(path, kMaxLanguagePath + 1);
  // A path that does not fit would name another file: refuse it.
  if (n > kMaxLanguagePath) return kResultBadPath;
  State().language_path.assign(path, n);
  State().language_value = value;
  return 0;
}

AUTHDLG_API int32_t OpenUserAuthDlg(unsigned char* buffer) {
  if (!buffer) return kResultNoBuffer;
  LibraryState& state = State();
  const char* narrow = reinterpret_cast<const char*>(buffer);
  std::u16string initial = platform::CodePageToUtf16(
      std::string_view(narrow, strnlen(narrow, kInitialTextMax - 1)));
  if (state.language_path.empty()) return kResultNoLanguage;
  if (!EnsureApplication()) return kResultNoDialog;

  std::string error;
  std::unique_ptr<desktop::LanguageLibrary> lang =
      desktop::LanguageLibrary::LoadPath(
          platform::Utf16ToUtf8(state.language_path), &error);
  if (!lang) {
    LiteralTexts none;
    desktop::QtScreen screen(none, nullptr);
    screen.Show({desktop::UiText::Of(kNoLanguage),
                 desktop::UiText::Of(kErrorCaption), desktop::Icon::kError});
    return kResultLanguageUnloadable;
  }

  int result = kResultCancel;
  std::u16string password;
  {
    // With keeper's main window up the prompt belongs to it (no taskbar
    // entry of its own); before that it stands alone.
    QWidget* owner = state.main_dialog_launched ? MainWindow() : nullptr;
    CUserAuthenticationDlg dialog(*lang, state.language_value,
                                  state.controller_type, initial, owner);
    desktop::QtScreen screen(*lang, nullptr);
    StartPrompt(*lang, screen, [] { EndProcess(); });
    const uint32_t token = ++state.dialogs_made;
    if (dialog.exec() == QDialog::Accepted) {
      state.main_dialog_launched = 1;
      result = kResultOk;
      password = dialog.password();
      state.accepted_token = token;
    }
    UnregisterPrompt(*lang, state.main_dialog_launched != 0);
  }
  lang.reset();
  if (result != kResultOk) return result;
  std::memcpy(buffer, password.c_str(),
              (password.size() + 1) * sizeof(char16_t));
  return kResultOk;
}

AUTHDLG_API uint8_t SetNetWorkErrorStatus(uint8_t status) {
  State().network_error = status;
  return status;
}

AUTHDLG_API uint8_t SetControllerType(uint8_t type) {
  State().controller_type = type;
  return type;
}

AUTHDLG_API uint8_t SetMainDlgLaunchStatus(uint8_t status) {
  State().main_dialog_launched = status;
  return status;
}

AUTHDLG_API uint32_t GetUserAuthDlgHandle(void) {
  return State().accepted_token;
}

}  // extern "C"
