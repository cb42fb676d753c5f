// The logic of the SNMP settings dialog, apart from its window: what each
// control holds and whether it is enabled, the typing filter, Browse,
// Restore Default and OK. The window draws a SettingsView and forwards the
// user's commands; message boxes and the file dialog go through
// desktop::Screen, so tests drive the logic with a scripted screen.
#pragma once

#include <optional>
#include <string>

#include "desktop/screen.h"
#include "finder/id_file.h"
#include "finder/snmp_settings.h"
#include "finder/texts.h"

namespace finder {


inline constexpr size_t kCommunityMaxChars = 31;
inline constexpr char kIdFileExtension[] = "id";
inline constexpr uint32_t kIdFileFilterText = 13016;  // "ID Files (*.id)"

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

// What the window of the dialog does for its logic besides message boxes
// and the file dialog (those go through desktop::Screen).
class SettingsWindow {
 public:
  virtual ~SettingsWindow() = default;
  virtual void Show(const SettingsView& view) = 0;
  virtual void FocusCommunity() = 0;
};

class SettingsDialogLogic {
 public:
  // product_code -1 takes everything from the product definition;
  // declares_community: its "SNMPCOMMNAME" is 1.
  // texts, window and screen must outlive the logic.
  SettingsDialogLogic(int product_code, bool v3_allowed, bool declares_community,
                      CSNMPRegistry store, IdFileLibrary id_files,
                      const Texts& texts, SettingsWindow& window,
                      desktop::Screen& screen);

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
  void Error(uint32_t text_id, uint32_t caption_id);
  void ErrorText(const char* text, const char* caption);

  const int product_code_;
  const bool v3_allowed_;
  const bool declares_community_;
  CSNMPRegistry store_;
  IdFileLibrary id_files_;
  const Texts& texts_;
  SettingsWindow& window_;
  desktop::Screen& screen_;
  SettingsView view_;
  std::string stored_id_file_;  // "IDFilePath" as read
  bool id_file_chosen_ = false;
};

// Removes every character above code 127.
std::string AsciiOnly(const std::string& text);

}  // namespace finder
