// The logic of the SNMP settings dialog, apart from its window: what each
// control holds and whether it is enabled, the typing filter, Browse,
// Restore Default and OK. The window draws a SettingsView and forwards the
// user's commands; tests drive the logic through a scripted screen.
#pragma once

#include <optional>
#include <string>

#include "finder/id_file.h"
#include "finder/snmp_settings.h"

namespace finder {

class Texts;

inline constexpr size_t kCommunityMaxChars = 31;
inline constexpr char kIdFileFilter[] = "ID Files (*.id)";
inline constexpr char kIdFileExtension[] = "id";
inline constexpr char kEncryptFailed[] = "Unable to Generate IDFIle";
inline constexpr char kEncryptFailedCaption[] = "Error";

// Protocol codes of the combo indexes (the ID-file library's codes).
int AuthProtocolOf(int index);  // 0 -> 1 (HMAC-MD5), 1 -> 2 (HMAC-SHA)
int PrivProtocolOf(int index);  // 0 -> 1 (none), 1 -> 2 (DES), 2 -> 4 (AES)

struct SettingsView {
  int version_index = 0;  // 0 "V1,V2", 1 "V3", 2 "V1,V2 /V3"
  int option = 0;         // 0 ID file, 1 typed credentials
  std::string community;
  std::string user, auth_password, priv_password;
  std::string id_file;    // the last chosen ID file (read-only edit)
  int auth_index = 0, priv_index = 0;

  bool v3_radios_enabled = false;  // "V3" and "V1,V2 /V3"
  bool options_enabled = false;
  bool id_file_enabled = false;    // edit and Browse
  bool credentials_enabled = false;  // user, protocols, auth password
  bool priv_password_enabled = false;
  bool community_enabled = true;
  bool ok_enabled = true;
};

class SettingsScreen {
 public:
  virtual ~SettingsScreen() = default;
  virtual void Show(const SettingsView& view) = 0;
  // An error box of two language texts.
  virtual void Error(int text_id, int caption_id) = 0;
  // An error box of texts the library holds itself.
  virtual void ErrorText(const std::string& text, const std::string& caption) = 0;
  // The file-open dialog (kIdFileFilter, kIdFileExtension); nullopt when
  // the user cancels.
  virtual std::optional<std::string> ChooseIdFile(const std::string& start) = 0;
  virtual void FocusCommunity() = 0;
};

class SettingsDialogLogic {
 public:
  // product_code -1 takes everything from the product definition;
  // declares_community: its "SNMPCOMMNAME" is 1.
  SettingsDialogLogic(int product_code, bool v3_allowed, bool declares_community,
                      CSNMPRegistry store, IdFileLibrary id_files,
                      SettingsScreen& screen);

  // OnInitDialog: defaults, stored community and settings.
  void Init();

  void SetVersionIndex(int index);
  void SetOption(int option);
  // Typing: the text as the edit now holds it; characters above 127 are
  // removed at once (and the community cut to 31 characters).
  void EditUser(const std::string& text);
  void EditAuthPassword(const std::string& text);
  void EditPrivPassword(const std::string& text);
  void EditCommunity(const std::string& text);
  void SetAuthIndex(int index);
  void SetPrivIndex(int index);
  void Browse();
  void RestoreDefault();
  // True when the dialog closes with OK.
  bool Ok();

  const SettingsView& view() const { return view_; }

 private:
  void Recompute();
  bool CommunityApplies() const;

  const int product_code_;
  const bool v3_allowed_;
  const bool declares_community_;
  CSNMPRegistry store_;
  IdFileLibrary id_files_;
  SettingsScreen& screen_;
  SettingsView view_;
  std::string stored_id_file_;  // "IDFilePath" as read
  bool id_file_chosen_ = false;
};

// Removes every character above code 127.
std::string AsciiOnly(const std::string& text);

}  // namespace finder
