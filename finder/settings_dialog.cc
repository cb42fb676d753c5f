#include "finder/settings_dialog.h"

#include <filesystem>

#include "finder/texts.h"

namespace finder {

int AuthProtocolOf(int index) { return index == 1 ? 2 : 1; }

int PrivProtocolOf(int index) {
  switch (index) {
    case 1: return 2;
    case 2: return 4;
    default: return 1;
  }
}

std::string AsciiOnly(const std::string& text) {
  std::string out;
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x80) out += c;
  return out;
}

SettingsDialogLogic::SettingsDialogLogic(int product_code, bool v3_allowed,
                                         bool declares_community,
                                         CSNMPRegistry store,
                                         IdFileLibrary id_files,
                                         const Texts& texts,
                                         SettingsWindow& window,
                                         desktop::Screen& screen)
    : product_code_(product_code), v3_allowed_(v3_allowed),
      declares_community_(declares_community), store_(std::move(store)),
      id_files_(std::move(id_files)), texts_(texts), window_(window),
      screen_(screen) {}

void SettingsDialogLogic::Error(uint32_t text_id, uint32_t caption_id) {
  screen_.Show({desktop::UiText::Id(text_id), desktop::UiText::Id(caption_id),
                desktop::Icon::kError});
}

void SettingsDialogLogic::ErrorText(const char* text, const char* caption) {
  screen_.Show({desktop::UiText::Of(text), desktop::UiText::Of(caption),
                desktop::Icon::kError});
}

bool SettingsDialogLogic::CommunityApplies() const {
  return declares_community_ && product_code_ == -1;
}

void SettingsDialogLogic::Init() {
  view_ = SettingsView();
  RestoreDefault();
  if (CommunityApplies())
    view_.community = ReadCommNameFromRegistry(store_.context())
                          .substr(0, kCommunityMaxChars);
  if (auto s = store_.Read()) {
    view_.version_index = VersionIndexOf(s->version, v3_allowed_);
    stored_id_file_ = s->id_file_path;
    if (s->version == kSnmpV1V3 && !v3_allowed_) stored_id_file_.clear();
    view_.option = stored_id_file_.empty() ? 0 : 1;
    view_.id_file = s->last_selected_path;
    id_file_chosen_ = !view_.id_file.empty();
  }
  if (!v3_allowed_) view_.version_index = 0;
  Recompute();
}

void SettingsDialogLogic::Recompute() {
  SettingsView& v = view_;
  v.v3_radios_enabled = v3_allowed_;
  const bool v3 = v.version_index == 1 || v.version_index == 2;
  v.options_enabled = v3;
  v.id_file_enabled = v3 && v.option == 0;
  v.credentials_enabled = v3 && v.option == 1;
  if (v.priv_index == 0) v.priv_password.clear();
  v.priv_password_enabled = v.credentials_enabled && v.priv_index != 0;
  v.community_enabled = !(CommunityApplies() && v.version_index == 1);
  if (!v3) {
    v.ok_enabled = true;
  } else if (v.option == 0) {
    v.ok_enabled = id_file_chosen_;
  } else {
    v.ok_enabled = !v.user.empty() && !v.auth_password.empty() &&
                   (v.priv_index == 0 || !v.priv_password.empty());
  }
  window_.Show(v);
}

void SettingsDialogLogic::SetVersionIndex(int index) {
  if (index < 0 || index > 2 || (index != 0 && !v3_allowed_)) return;
  view_.version_index = index;
  Recompute();
}

void SettingsDialogLogic::SetOption(int option) {
  if (option != 0 && option != 1) return;
  view_.option = option;
  Recompute();
}

void SettingsDialogLogic::EditUser(const std::string& text) {
  view_.user = AsciiOnly(text);
  Recompute();
}

void SettingsDialogLogic::EditAuthPassword(const std::string& text) {
  view_.auth_password = AsciiOnly(text);
  Recompute();
}

void SettingsDialogLogic::EditPrivPassword(const std::string& text) {
  view_.priv_password = AsciiOnly(text);
  Recompute();
}

void SettingsDialogLogic::EditCommunity(const std::string& text) {
  view_.community = AsciiOnly(text).substr(0, kCommunityMaxChars);
  Recompute();
}

void SettingsDialogLogic::SetAuthIndex(int index) {
  if (index < 0 || index > 1) return;
  view_.auth_index = index;
  Recompute();
}

void SettingsDialogLogic::SetPrivIndex(int index) {
  if (index < 0 || index > 2) return;
  view_.priv_index = index;
  Recompute();
}

void SettingsDialogLogic::Browse() {
  desktop::FileRequest request;
  request.title = desktop::UiText::Id(text::kSnmpSettingsCaption);
  request.folder = std::filesystem::path(view_.id_file).parent_path().string();
  request.file_name = std::filesystem::path(view_.id_file).filename().string();
  request.filter = texts_(kIdFileFilterText);
  request.default_suffix = kIdFileExtension;
  auto path = screen_.PickFile(request);
  if (!path) return;
  view_.id_file = *path;
  if (!id_files_.Decrypt(*path)) {
    id_file_chosen_ = false;
    Recompute();
    Error(text::kIdFileUnreadable, text::kErrorCaption);
    return;
  }
  id_file_chosen_ = true;
  Recompute();
  // With both versions the community name must be there too.
  if (view_.version_index == 2 && view_.community.empty()) {
    view_.ok_enabled = false;
    window_.Show(view_);
  }
}

void SettingsDialogLogic::RestoreDefault() {
  view_.version_index = 0;
  view_.option = 0;
  view_.auth_index = 0;
  view_.priv_index = 0;
  view_.user.clear();
  view_.auth_password.clear();
  view_.priv_password.clear();
  view_.id_file.clear();
  id_file_chosen_ = false;
  if (CommunityApplies()) view_.community = kDefaultCommunity;
  Recompute();
}

bool SettingsDialogLogic::Ok() {
  if (view_.version_index != 1 && !view_.community.empty() &&
      view_.community.front() == ' ') {
    Error(text::kCommunitySpace, text::kCommunitySpaceCaption);
    window_.FocusCommunity();
    return false;
  }
  SnmpSettings s;
  s.version = StoredVersionOf(view_.version_index);
  s.id_file_path = stored_id_file_;
  s.last_selected_path = view_.id_file;
  if (!store_.Write(s)) {
    Error(text::kRegistryError, text::kErrorCaption);
    return false;
  }
  if (CommunityApplies() && view_.version_index != 1 &&
      !WriteCommNameToRegistry(view_.community, store_.context())) {
    Error(text::kRegistryError, text::kErrorCaption);
    return false;
  }
  if (view_.version_index == 0) return true;

  const std::string& active = store_.active_id_file();
  std::error_code ec;
  std::filesystem::create_directories(
      std::filesystem::path(active).parent_path(), ec);
  if (view_.option == 1) {
    V3Credentials c;
    c.context = kIdFileContext;
    c.user = view_.user;
    c.auth_password = view_.auth_password;
    c.priv_password = view_.priv_index == 0 ? "" : view_.priv_password;
    c.auth_protocol = AuthProtocolOf(view_.auth_index);
    c.priv_protocol = PrivProtocolOf(view_.priv_index);
    if (!id_files_.Encrypt(active, c)) {
      ErrorText(kEncryptFailedText, kEncryptFailedCaption);
      return false;
    }
  } else {
    // The chosen file becomes the active one. A copy that fails must not
    // leave the settings pointing at an old or missing file.
    if (!CopyIdFile(view_.id_file, active)) {
      ErrorText(kEncryptFailedText, kEncryptFailedCaption);
      return false;
    }
  }
  s.id_file_path = active;
  stored_id_file_ = active;
  if (!store_.Write(s)) {
    Error(text::kRegistryError, text::kErrorCaption);
    return false;
  }
  store_.BackupStep(CSNMPRegistry::Backup::kSaveOnce);
  return true;
}

}  // namespace finder
