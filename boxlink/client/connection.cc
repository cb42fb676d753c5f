#include "boxlink/client/connection.h"

#include <cstring>
#include <memory>

#include "boxlink/client/cgi.h"
#include "boxlink/client/engine_cache.h"
#include "boxlink/base/engine_versions.h"
#include "boxlink/client/http_transport.h"
#include "boxlink/base/logger.h"
#include "boxlink/base/marker_file.h"
#include "boxlink/client/session_hooks.h"
#include "platform/last_error.h"
#include "platform/text.h"
#include "standins/inet/http.h"
#include "standins/inet/net_state.h"

namespace boxlink {
namespace {

constexpr char kUserAgent[] = "zbBoxFTPAcs";
constexpr uint32_t kSessionTimeoutMs = 75'000;

// The open's own steps after the connect reply arrived; failures raise.
void ReadConnectReply(ZBSESSION* session, platform::UniqueBlock block) {
  if (!HasMarkerFile(kMarkerNewTimeout)) {
    auto* internet = static_cast<inet::Session*>(session->InternetHandle);
    internet->SetTimeouts({kSessionTimeoutMs, kSessionTimeoutMs, kSessionTimeoutMs});
  }
  ClearEngineInfoCache();
  CgiReply reply = LoadCgiReply(std::move(block), /*check_result=*/false);
  ReplyDocument& doc = reply.doc();
  std::optional<std::string> version = doc.Text("BoxNwLib/Header/Version");
  std::optional<std::string> result = doc.Text("BoxNwLib/Message/Result");
  if (!version || !result) Raise(ZB_ERR_BAD_FORMAT);
  platform::CopyBounded(EngineInfoCache().EngineVersion, sizeof EngineInfoCache().EngineVersion,
                        *version);
  CheckCgiResult(*result);

  std::optional<std::string> sid = doc.Text("BoxNwLib/Message/SessionInfo/WebSessionID");
  if (!sid) Raise(ZB_ERR_BAD_FORMAT);
  session->SessionId = static_cast<uint32_t>(ParseDecimal(*sid));

  // Devices known only through the model file open the restricted session
  // (connect result 4), which never gets here; a full session is for the
  // engines of the built-in list.
  if (!IsSupportedEngine(*version)) {
    if (IsRetiredEngine(*version)) Raise(ZB_ERR_NOT_SUPPORTED);
    zbBoxCloseConnection(session);
    Raise(ZB_ERR_UNKNOWN_PRODUCT);
  }
  session->AccessMode = ZB_ACCESS_NORMAL;
  if (std::optional<std::string> mode = doc.Text("BoxNwLib/Message/AccessMode")) {
    session->AccessMode = static_cast<uint32_t>(ParseDecimal(*mode));
    if (session->AccessMode == ZB_ACCESS_REFUSED) {
      zbBoxCloseConnection(session);
      Raise(ZB_ERR_ACCOUNT_RESTRICTION);
    }
  }
}

}  // namespace

void CloseSessionHandles(ZBSESSION* session) {
  // The connection refers to the internet session: close it first.
  std::unique_ptr<inet::HttpConnection> connection(
      static_cast<inet::HttpConnection*>(session->ConnectHandle));
  session->ConnectHandle = nullptr;
  connection.reset();
  std::unique_ptr<inet::Session> internet(static_cast<inet::Session*>(session->InternetHandle));
  session->InternetHandle = nullptr;
}

uint32_t _zbOpenSession(ZBSESSION* session, const void* snmp_settings) {
  bool online = true;
  if (!inet::NetworkState::Current().ConnectedState(&online)) {
    CLogger::LogError("_zbOpenSession - InternetGetConnectedState", platform::GetLastError());
    online = true;
  }
  if (!online) return ZB_ERR_NO_NETWORK;

  // A record opened before and never closed (error 1 and 50 leave it
  // open) would otherwise lose its handles here.
  if (session->ConnectHandle || session->InternetHandle) CloseSessionHandles(session);
  auto internet = std::make_unique<inet::Session>(kUserAgent);
  session->InternetHandle = internet.release();

  std::string url = Format("http://%s:%04u/Halvo", UrlHost(*session).c_str(),
                           static_cast<unsigned>(session->Port));
  SetProxySettings(session, url);

  PortProbes probes = GetPortProbes();
  (probes.web ? probes.web : &DefaultWebPortProbe)(session, snmp_settings);
  (probes.ftp ? probes.ftp : &DefaultFtpPortProbe)(session, snmp_settings);
  session->Port = session->WebPort;

  std::string host(session->Host, strnlen(session->Host, sizeof session->Host));
  session->ConnectHandle = new inet::HttpConnection(
      *static_cast<inet::Session*>(session->InternetHandle), host,
      static_cast<uint16_t>(session->Port & 0xFFFF), session->ScopeId);
  return 0;
}

void MarkSessionLostOn(ZBSESSION* session, uint32_t code) {
  if (session && (code == ZB_ERR_INVALID_HANDLE || code == ZB_ERR_HTTP_TIMEOUT))
    session->Alive = 0;
}

}  // namespace boxlink

using boxlink::CLogger;

ZB_API uint32_t zbBoxOpenConnection(ZBSESSION* session, void* snmpSettings) {
  if (!session) return ZB_ERR_INVALID_PARAMETER;
  try {
    CLogger::StartLog();
    session->SessionId = 1;
    session->Alive = 1;
    session->ScopeId = 0;
  } catch (...) {
    return ZB_ERR_INTERNAL_ERROR;
  }
  // Connect steps whose failures are logged under the export's name.
  auto guarded = [&](const std::function<void()>& body) {
    uint32_t code = boxlink::RunGuarded("zbBoxOpenConnection", body);
    if (code == ZB_ERR_INVALID_FUNCTION) session->AccessMode = ZB_ACCESS_RESTRICTED;
    if (code != 0) CLogger::StopLog();
    return code;
  };

  uint32_t code = guarded([&] {
    if (!boxlink::IsLinkLocalHost(session->Host)) return;
    int64_t scope = boxlink::LinkLocalScopeId();
    if (scope < 0) {
      CLogger::LogText("Scope ID information for the client machine is not available");
      boxlink::Raise(ZB_ERR_INVALID_PARAMETER);
    }
    session->ScopeId = static_cast<uint32_t>(scope);
  });
  if (code != 0) return code;

  try {
    code = boxlink::_zbOpenSession(session, snmpSettings);
  } catch (...) {
    code = ZB_ERR_INTERNAL_ERROR;
  }
  if (code != 0) {
    CLogger::LogError("zbBoxOpenConnection - _zbOpenSession", code);
    CLogger::StopLog();
    return code;
  }

  platform::BlockHandle block = nullptr;
  try {
    block = boxlink::_zbBoxProcGet(session, "/TarnBox/boxnwConnect", false);
  } catch (...) {
    platform::SetLastError(ZB_ERR_INTERNAL_ERROR);
  }
  if (!block) {
    uint32_t error = platform::GetLastError();
    CLogger::LogError("zbBoxOpenConnection - _zbBoxProcGet", error);
    boxlink::CloseSessionHandles(session);
    session->SessionId = 0;
    CLogger::StopLog();
    return error == ZB_ERR_HTTP_TIMEOUT ? static_cast<uint32_t>(ZB_ERR_DEVICE_NOT_AVAILABLE) : error;
  }
  platform::UniqueBlock owned(block);
  code = guarded([&] { boxlink::ReadConnectReply(session, std::move(owned)); });
  if (code != 0) return code;
  platform::SetLastError(0);
  return 0;
}

ZB_API uint32_t zbBoxCloseConnection(ZBSESSION* session) {
  if (!boxlink::SessionIsOpen(session)) {
    CLogger::StopLog();
    return ZB_ERR_INVALID_PARAMETER;
  }
  uint32_t code = boxlink::RunGuarded("zbBoxCloseConnection", [&] {
    boxlink::EnsureEngineInfo(session);
    boxlink::CgiCall call(session);
    call.Send("/TarnBox/boxnwDisconnect", boxlink::Format("SID=%08lu", call.sid()));
  });
  try {
    boxlink::CloseSessionHandles(session);
  } catch (...) {
  }
  session->SessionId = 0;
  CLogger::StopLog();
  if (code == 0) platform::SetLastError(0);
  return code;
}
