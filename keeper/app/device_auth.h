// CDeviceAuth: what stands between an open device session and a usable
// one. It reads the device's security settings, asks for the device
// password through the password prompt library (loaded by path for each
// prompt), authenticates with the password in its mode-1 form, and checks
// that the box service is on for this program. It also gives the password
// in the forms the other calls take.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "desktop/screen.h"
#include "desktop/texts.h"
#include "keeper/app/box_service.h"
#include "keeper/app/connection.h"
#include "keeper/app/outside_libraries.h"

namespace keeper {

// The buffer handed to the prompt: 511 characters and a terminator.
inline constexpr size_t kPromptBufferBytes = 1022;
// The value the prompt is given with the language library's path.
inline constexpr int32_t kPromptLanguageValue = 11000;
// Results of the prompt library's OpenUserAuthDlg.
inline constexpr int32_t kPromptAccepted = 1;
inline constexpr int32_t kPromptCancelled = 2;
inline constexpr int32_t kPromptLanguageUnloadable = -101;

inline constexpr uint32_t kServiceOff = 1260;

// Trace texts (shown only when "EnableLog" is set).
inline constexpr char kTraceMissingEntry[] =
    "GetProcAddress Failed from Password Dialog Dll";

struct DeviceAuthContext {
  const desktop::Texts& texts;
  desktop::Screen& screen;
  BoxService& service;
  CDeviceLink& link;
  CAuthRequest& request;
  AppState& app;
  ProcessFlags& flags;
  AuthDialogLibrary& prompt_library;
  std::string program_dir;
  std::string language_path;  // the full path of keeper's language library
  std::function<void(std::string_view)> trace;
};

class CDeviceAuth {
 public:
  explicit CDeviceAuth(DeviceAuthContext context);

  // How the security and authentication sequence ended.
  enum class SequenceEnd {
    kAuthenticated,
    kNoSecuritySettings,  // the device did not tell them (code kept)
    kPromptCancelled,
    kPromptUnavailable,
    kRefused,             // the device did not accept the password
    kServiceOff,          // the service status was not 0
  };

  // After an OpenResult of 1: security settings, the prompt unless a skip
  // flag is set, authentication, service status. Sets or clears the
  // authenticated flag.
  SequenceEnd RunSequence(ZBSESSION* session);
  // The error of the last failed security settings request.
  uint32_t security_error() const { return security_error_; }

  // The password prompt; true when the user gave a password. With the
  // security settings not read yet, `reopen_and_read` runs after it.
  bool RunDialog();

  // Fills the authentication record and authenticates; a refusal is shown.
  bool Authenticate();

  // zbBoxGetServiceStatus, kept in the connection too.
  uint32_t ReadServiceStatus();

  // Tells the prompt library whether the main window is up.
  void ReportMainWindow(bool launched);

  // The user cancelled the last prompt.
  bool cancelled() const { return cancelled_; }
  // The last prompt could not be shown: the library is missing or lacks
  // an entry point, or refused the language library (a message said so).
  bool prompt_unavailable() const { return prompt_unavailable_; }

  // The password for the user-interface lock, the FTP account calls, the
  // engine information and the jobs: mode 2 on a session that opened with
  // OpenResult 1 (when the digest library loads), else plain.
  std::string Mode2Password() const;
  // The credential as it is (zbBoxDeleteAllBox).
  const std::string& PlainPassword() const { return ctx_.app.credential; }

  std::string LibraryPath(uint32_t text_id) const;

  // Runs after a password was given while the security settings were not
  // read (a session that opened with OpenResult 0).
  std::function<void()> reopen_and_read;

 private:
  void Trace(std::string_view text) const {
    if (ctx_.trace) ctx_.trace(text);
  }
  // A non-zero service status: 1260 is shown; the authenticated flag is
  // cleared.
  void OnServiceStatus(uint32_t status);

  bool PromptUnavailable();

  DeviceAuthContext ctx_;
  bool cancelled_ = false;
  bool prompt_unavailable_ = false;
  uint32_t security_error_ = 0;
};

}  // namespace keeper
