#include "authdlg/prompt_logic.h"

#include "desktop/reg_path.h"
#include "platform/env.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace authdlg {
namespace {

constexpr size_t kTitleBuffer = 100;  // characters, with the terminator

std::string KeyPath(const desktop::Texts& texts) {
  return desktop::CollapseBackslashes(texts.Text(kTextRunningKey));
}

}  // namespace

bool RegisterPrompt(const desktop::Texts& texts) {
  platform::Registry& reg = platform::Env::Current()->registry();
  std::string path = KeyPath(texts);
  if (path.empty()) return false;
  auto key = platform::RegKey::Create(reg, platform::RegRoot::kCurrentUser,
                                      path);
  if (!key) return false;
  // Write results are not checked: the key exists, which is what a second
  // start looks for.
  key->SetString("CLSID", "ZELT");
  key->SetString("WndTitle", std::string(texts.Text(kTextTitle)));
  return true;
}

void UnregisterPrompt(const desktop::Texts& texts, bool main_dialog_launched) {
  platform::Registry& reg = platform::Env::Current()->registry();
  std::string path = KeyPath(texts);
  auto key = platform::RegKey::Open(reg, platform::RegRoot::kCurrentUser,
                                    path, platform::RegKey::kReadWrite);
  if (!key) return;
  if (main_dialog_launched) {
    // The main window's title, as read into a buffer of 100 characters.
    std::u16string title = platform::Utf8ToUtf16(texts.Text(kTextMainTitle));
    if (title.size() > kTitleBuffer - 1) title.resize(kTitleBuffer - 1);
    key->SetString("WndTitle", platform::Utf16ToUtf8(title));
    return;
  }
  key->DeleteValue("CLSID");
  key->DeleteValue("WndTitle");
  reg.DeleteKeyTree(platform::RegRoot::kCurrentUser, path);
}

bool StartPrompt(const desktop::Texts& texts, desktop::Screen& screen,
                 const std::function<void()>& end_process) {
  if (RegisterPrompt(texts)) return true;
  screen.Show({desktop::UiText::Id(kTextInternalError),
               desktop::UiText::Id(kTextErrorCaption),
               desktop::Icon::kWarning});
  end_process();
  return false;
}

}  // namespace authdlg
