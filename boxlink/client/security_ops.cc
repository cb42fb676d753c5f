// Security settings, authentication and service status. These always go
// by GET and have session checks and results of their own: the application
// calls them right after opening, before it knows whether it may go on.
#include <cstring>
#include <string>

#include "boxlink.h"
#include "boxlink/base/box_error.h"
#include "boxlink/client/cgi.h"
#include "boxlink/client/connection.h"
#include "boxlink/base/engine_versions.h"
#include "boxlink/client/http_transport.h"
#include "boxlink/base/logger.h"
#include "boxlink/client/query_texts.h"
#include "boxlink/client/security_replies.h"
#include "boxlink/base/model_addition_check.h"
#include "platform/last_error.h"

namespace boxlink {
namespace {

CgiOptions GetOptions(bool no_encoding) {
  CgiOptions o;
  o.method = CgiMethod::kGet;
  o.no_encoding = no_encoding;
  return o;
}

// The error convention of the two quiet exports: no log, the code as
// result and as last error, 1359 for anything unexpected.
template <typename Fn>
uint32_t Quietly(Fn&& fn) {
  uint32_t code;
  try {
    code = fn();
  } catch (const BoxError& e) {
    code = e.code();
  } catch (...) {
    code = ZB_ERR_INTERNAL_ERROR;
  }
  platform::SetLastError(code);
  return code;
}

}  // namespace
}  // namespace boxlink

using namespace boxlink;

ZB_API uint32_t zbBoxGetSecuritySettings(ZBSESSION* session,
                                         ZBSECURITY* security) {
  if (!session || !security) return ZB_ERR_INVALID_PARAMETER;
  platform::UniqueBlock block;
  try {
    block = platform::UniqueBlock(
        _zbBoxProcGet(session, kCgiSecuritySetting, /*no_encoding=*/false));
  } catch (...) {
    // Nothing may reach the caller: an unexpected failure under the
    // request is an internal error like anywhere else in the export.
    CLogger::LogError("zbBoxGetSecuritySettings", ZB_ERR_INTERNAL_ERROR, true);
    CLogger::StopLog();
    return ZB_ERR_INTERNAL_ERROR;
  }
  if (!block) {
    uint32_t err = platform::GetLastError();
    CLogger::LogError("zbBoxGetSecuritySettings - _zbBoxProcGetEx", err);
    CloseSessionHandles(session);
    CLogger::StopLog();
    return err == ZB_ERR_HTTP_TIMEOUT
               ? static_cast<uint32_t>(ZB_ERR_DEVICE_NOT_AVAILABLE)
               : err;
  }
  bool close_session = false;
  uint32_t code = RunGuarded("zbBoxGetSecuritySettings", [&] {
    CgiReply reply = LoadCgiReply(std::move(block), /*check_result=*/false);
    char version[512];
    if (uint32_t r = GetNodeText(reply.doc(), "BoxNwLib/Header/Version",
                                 version, sizeof version))
      Raise(r);
    std::optional<std::string> result = reply.doc().Text("BoxNwLib/Message/Result");
    if (!result) Raise(ZB_ERR_BAD_FORMAT);
    CheckCgiResult(*result);
    ParseSecuritySettings(reply.doc(), security);
    if (IsSupportedEngine(version) || IsSupportedModel(version)) return;
    if (IsRetiredEngine(version)) Raise(ZB_ERR_NOT_SUPPORTED);
    close_session = true;
    Raise(ZB_ERR_UNKNOWN_PRODUCT);
  });
  if (close_session) zbBoxCloseConnection(session);
  if (code != 0) CLogger::StopLog();
  return code;
}

ZB_API uint32_t zbBoxAuthenticate(ZBSESSION* session, ZBSECURITY* security) {
  platform::SetLastError(0);
  if (!session || !session->ConnectHandle || !security) {
    platform::SetLastError(ZB_ERR_INVALID_PARAMETER);
    return ZB_ERR_INTERNAL_ERROR;
  }
  std::string password(security->Password,
                       strnlen(security->Password, sizeof security->Password));
  if (security->AuthenticationMethod >= 2 && password.empty()) {
    platform::SetLastError(ZB_ERR_INVALID_PARAMETER);
    return ZB_ERR_INTERNAL_ERROR;
  }
  uint32_t code = Quietly([&]() -> uint32_t {
    try {
      CgiCall cgi(session);
      CgiReply reply = cgi.Send(
          kCgiAuthenticate,
          AuthenticateQuery(password, security->PasswordEncoded != 0),
          GetOptions(/*no_encoding=*/true));
      uint32_t sid = 0;
      bool authorised = ParseAuthorization(reply.doc(), &sid);
      session->SessionId = sid;
      return authorised ? 0 : ZB_ERR_NOT_AUTHENTICATED;
    } catch (...) {
      session->SessionId = 0;
      throw;
    }
  });
  if (code == 0 || code == ZB_ERR_NOT_AUTHENTICATED) platform::SetLastError(0);
  return code;
}

ZB_API uint32_t zbBoxGetServiceStatus(ZBSESSION* session) {
  platform::SetLastError(0);
  if (!session || !session->ConnectHandle) {
    platform::SetLastError(ZB_ERR_INVALID_PARAMETER);
    return ZB_ERR_INTERNAL_ERROR;
  }
  uint32_t code = Quietly([&]() -> uint32_t {
    CgiCall cgi(session);
    CgiReply reply = cgi.Send(kCgiServiceStatus, ServiceStatusQuery(),
                              GetOptions(/*no_encoding=*/false));
    return ParseServiceStatus(reply.doc()) != 0
               ? 0
               : ZB_ERR_ACCESS_DISABLED_BY_POLICY;
  });
  if (code == 0 || code == ZB_ERR_ACCESS_DISABLED_BY_POLICY)
    platform::SetLastError(0);
  return code;
}
