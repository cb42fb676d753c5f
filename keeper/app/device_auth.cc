#include "keeper/app/device_auth.h"

#include <cstring>
#include <vector>

#include "keeper/app/br_error.h"
#include "keeper/app/password_form.h"
#include "platform/text.h"

namespace keeper {
namespace {

constexpr uint32_t kTextErrorCaption = 88;
constexpr uint32_t kTextPasswordInvalid = 68;
constexpr uint32_t kTextServiceOff = 195;
constexpr uint32_t kTextCipherLibrary = 12000;
constexpr uint32_t kTextDigestLibrary = 12002;
constexpr uint32_t kTextPromptLibrary = 12010;
constexpr uint32_t kTextPromptUnavailable = 13012;

constexpr uint32_t kErrNotAuthorised = 1244;
constexpr uint32_t kErrInternal = 1359;

std::string Utf8Bounded(const std::string& text, size_t max_bytes) {
  std::string buf(max_bytes + 1, '\0');
  buf.resize(platform::CopyBounded(buf.data(), buf.size(), text));
  return buf;
}

}  // namespace

CDeviceAuth::CDeviceAuth(DeviceAuthContext context)
    : ctx_(std::move(context)) {}

std::string CDeviceAuth::LibraryPath(uint32_t text_id) const {
  return ctx_.program_dir + "/" + std::string(ctx_.texts.Text(text_id));
}

CDeviceAuth::SequenceEnd CDeviceAuth::RunSequence(ZBSESSION* session) {
  ProcessFlags& flags = ctx_.flags;
  ctx_.request.session = session;
  security_error_ =
      ctx_.service.GetSecuritySettings(session, &ctx_.request.security);
  if (security_error_) {
    flags.authenticated = false;
    Trace("Getting Security Settings failed");
    return SequenceEnd::kNoSecuritySettings;
  }
  flags.security_read = true;
  if (!flags.AnySkip()) {
    if (!RunDialog()) {
      flags.authenticated = false;
      return cancelled_ ? SequenceEnd::kPromptCancelled
                        : SequenceEnd::kPromptUnavailable;
    }
    if (!Authenticate()) {
      flags.authenticated = false;
      return SequenceEnd::kRefused;
    }
  } else {
    // The credential of the running session is reused. The schedule's flag
    // stays for the rest of its reconnection.
    flags.skip_refresh = false;
    flags.skip_backup = false;
    Authenticate();  // a refusal is shown; the service status decides
  }
  flags.authenticated = true;
  uint32_t status = ReadServiceStatus();
  if (status == 0) return SequenceEnd::kAuthenticated;
  OnServiceStatus(status);
  return SequenceEnd::kServiceOff;
}

void CDeviceAuth::OnServiceStatus(uint32_t status) {
  if (ctx_.app.automatic_mode) {
    ctx_.flags.authenticated = false;
    return;
  }
  if (status == kServiceOff)
    ctx_.screen.Show({desktop::UiText::Id(kTextServiceOff),
                      desktop::UiText::Id(kTextErrorCaption),
                      desktop::Icon::kError});
  else
    Trace("Getting Service status failed");
  ctx_.flags.authenticated = false;
}

// Without a usable prompt library no password can be asked: the user is
// told, since the connection cannot go on and nothing else would say why.
bool CDeviceAuth::PromptUnavailable() {
  prompt_unavailable_ = true;
  ctx_.screen.Show({desktop::UiText::Id(kTextPromptUnavailable),
                    desktop::UiText::Id(kTextErrorCaption),
                    desktop::Icon::kError});
  return false;
}

bool CDeviceAuth::RunDialog() {
  cancelled_ = false;
  prompt_unavailable_ = false;
  std::optional<AuthDialogEntries> lib =
      ctx_.prompt_library.Load(LibraryPath(kTextPromptLibrary));
  if (!lib || !lib->set_lang_dll_path) return PromptUnavailable();
  if (!lib->open_user_auth_dlg || !lib->set_network_error_status ||
      !lib->set_controller_type || !lib->get_user_auth_dlg_handle) {
    lib.reset();
    Trace(kTraceMissingEntry);
    return PromptUnavailable();
  }
  std::u16string language = platform::Utf8ToUtf16(ctx_.language_path);
  if (lib->set_lang_dll_path(language.c_str(), kPromptLanguageValue) != 0)
    return PromptUnavailable();
  lib->set_network_error_status(ctx_.flags.network_error_shown ? 1 : 0);
  lib->set_controller_type(ctx_.flags.security_read ? 1 : 0);
  std::vector<unsigned char> buffer(kPromptBufferBytes, 0);
  int32_t result = lib->open_user_auth_dlg(buffer.data());
  if (result == kPromptCancelled) {
    cancelled_ = true;
    return false;
  }
  if (result == kPromptLanguageUnloadable) {  // the library said so
    prompt_unavailable_ = true;
    return false;
  }
  if (result != kPromptAccepted) return PromptUnavailable();

  std::u16string typed(kPromptBufferBytes / 2, u'\0');
  std::memcpy(typed.data(), buffer.data(), kPromptBufferBytes);
  typed.resize(std::min(platform::U16Length(typed.c_str(), typed.size()),
                        kCredentialChars));
  ctx_.app.credential = platform::Utf16ToUtf8(typed);
  ctx_.link.credential_copy = ctx_.app.credential;
  ctx_.link.auth_dialog_handle = lib->get_user_auth_dlg_handle();
  lib.reset();
  if (!ctx_.flags.security_read && reopen_and_read) reopen_and_read();
  ctx_.flags.main_dialog_launched = true;
  ReportMainWindow(true);
  return true;
}

void CDeviceAuth::ReportMainWindow(bool launched) {
  std::optional<AuthDialogEntries> lib =
      ctx_.prompt_library.Load(LibraryPath(kTextPromptLibrary));
  if (lib && lib->set_main_dlg_launch_status)
    lib->set_main_dlg_launch_status(launched ? 1 : 0);
}

bool CDeviceAuth::Authenticate() {
  ZBSECURITY& record = ctx_.request.security;
  std::memset(record.AppText, 0, sizeof record.AppText);
  const std::string plain = Utf8Bounded(ctx_.app.credential, kCredentialBytes);
  const CryptoLibraries libraries{LibraryPath(kTextCipherLibrary),
                                  LibraryPath(kTextDigestLibrary)};
  Mode1Form form = EncodeMode1(plain, libraries);
  record.PasswordEncoded = form.encoded ? 1 : 0;
  platform::CopyBounded(record.Password, sizeof record.Password, form.value);

  ZBSESSION* session = ctx_.request.session ? ctx_.request.session
                                            : &ctx_.link.session;
  uint32_t code = ctx_.service.Authenticate(session, &record);
  if (code == 0) {
    Trace("Authentication successfull");
    return true;
  }
  const std::string address = ctx_.app.device.address;
  // A refused password says so: the device's "not authorised" and the
  // library's missing-password answer both mean the password was wrong.
  std::string text =
      code == kErrInternal || code == kErrNotAuthorised
          ? std::string(ctx_.texts.Text(kTextPasswordInvalid))
          : cZBBoxBRError(code).Text(address, ctx_.texts);
  if (!address.empty() && text.find(address) == std::string::npos)
    text = address + "\n" + text;
  ctx_.screen.Show({desktop::UiText::Of(text),
                    desktop::UiText::Id(kTextErrorCaption),
                    desktop::Icon::kError});
  Trace("Authentication failed");
  return false;
}

uint32_t CDeviceAuth::ReadServiceStatus() {
  ZBSESSION* session = ctx_.request.session ? ctx_.request.session
                                            : &ctx_.link.session;
  ctx_.link.service_status = ctx_.service.GetServiceStatus(session);
  return ctx_.link.service_status;
}

std::string CDeviceAuth::Mode2Password() const {
  const std::string plain = Utf8Bounded(ctx_.app.credential, kCredentialBytes);
  if (ctx_.link.open_result != 1) return plain;
  return EncodeMode2(plain, LibraryPath(kTextDigestLibrary));
}

}  // namespace keeper
