// The application state of the desktop program that lives for the whole
// run: the selected device, the credential, the connection to the device
// (CDeviceLink), the authentication request (CAuthRequest) and the
// process-wide flags. Only the window thread changes them, and only while
// no job runs; a job's threads read them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "boxlink.h"
#include "keeper/app/device_link.h"
#include "keeper/app/keeper_settings.h"

namespace keeper {

// Where the session record points at first, before the device's own ports
// are known.
inline constexpr uint32_t kDevicePort = 8080;
inline constexpr uint32_t kSessionTimeoutMs = 10000;

// The credential keeps at most this many characters; its UTF-8 form at
// most this many bytes.
inline constexpr size_t kCredentialChars = 511;
inline constexpr size_t kCredentialBytes = 511;

// Engine versions of the older generation: only full backups.
bool IsOldGeneration(std::string_view engine_version);

// OpenResult and box-list errors that mean the device cannot be reached.
bool IsNetworkError(uint32_t code);

// The connection to the device. Created with the application object and
// kept until the main window has closed; the session it opened is closed
// then (MainWindowLogic::CloseConnection).
struct CDeviceLink {
  CDeviceLink() = default;
  CDeviceLink(const CDeviceLink&) = delete;
  CDeviceLink& operator=(const CDeviceLink&) = delete;

  bool connected = false;     // a box list was read
  bool session_open = false;  // OpenConnection was called
  uint32_t open_result = 0;
  uint32_t service_status = 0;
  ZBENGINEINFO engine{};
  uint32_t engine_result = 0;
  bool old_generation = false;
  uint32_t auth_dialog_handle = 0;
  ZBSNMPSETTINGS snmp{};
  ZBSESSION session{};
  std::vector<BoxEntry> boxes;
  std::string credential_copy;  // UTF-8
  // The user-interface job this program locked and has not released yet
  // (its mode), so that the end of the desktop session can release it.
  bool ui_locked = false;
  uint32_t ui_lock_mode = 0;
};

// The authentication request: the session it belongs to and the security
// record that GetSecuritySettings fills and Authenticate reads. Its
// address is also the security argument of the backup and restore jobs.
struct CAuthRequest {
  ZBSESSION* session = nullptr;
  ZBSECURITY security{};
};

// Flags shared by the connection, the authentication and the automatic
// backup.
struct ProcessFlags {
  bool authenticated = false;
  bool security_read = false;
  bool network_error_shown = false;
  bool skip_refresh = false;   // Refresh and Device Discovery reuse the credential
  bool skip_backup = false;    // a backup starts on a restricted session
  bool skip_schedule = false;  // the automatic backup reconnects
  bool main_dialog_launched = false;

  bool AnySkip() const { return skip_refresh || skip_backup || skip_schedule; }
};

// Everything else the application object keeps.
struct AppState {
  SelectedDevice device;       // LastSelected... and the model
  std::string start_folder;
  std::string credential;      // UTF-8, from the password prompt
  std::string ftp_account;
  uint32_t language_id = 0;
  bool automatic_mode = false; // a schedule is set
};

}  // namespace keeper
