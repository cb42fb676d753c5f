// The CGIs that open and close a web session and report the engine.
//
// Profile settings (extra keys) that shape the connect reply:
//   web.access_mode     0, 1 or 2: the reply carries <AccessMode>; absent
//                       or "none": it has no such element
//   web.connect_result  Result of the connect reply; 4 opens the restricted
//                       session, whose id is 1
#include <ctime>

#include "devsim/core/device.h"
#include "devsim/web/cgi_table.h"
#include "devsim/web/web_service.h"

namespace devsim::web {
namespace {

std::string Extra(const CgiContext& ctx, const std::string& key) {
  const auto& extra = ctx.device.profile().extra;
  auto it = extra.find(key);
  return it == extra.end() ? "" : it->second;
}

CgiAnswer Connect(CgiContext& ctx) {
  std::string result = Extra(ctx, "web.connect_result");
  if (!result.empty() && result != "0") {
    int code = std::atoi(result.c_str());
    if (code == 4) ctx.web.OpenRestrictedSession();
    return ctx.Reply(code);
  }
  uint32_t sid = ctx.web.OpenSession();
  std::string xml = "<SessionInfo><WebSessionID>" + std::to_string(sid) +
                    "</WebSessionID></SessionInfo>";
  std::string mode = Extra(ctx, "web.access_mode");
  if (!mode.empty() && mode != "none") xml += "<AccessMode>" + XmlEscape(mode) + "</AccessMode>";
  return ctx.Reply(0, xml);
}

CgiAnswer Disconnect(CgiContext& ctx) {
  if (!ctx.Has("SID") || !ctx.web.CloseSession(ctx.Sid())) return ctx.Reply(kResultBadSession);
  return ctx.Reply(0);
}

CgiAnswer EngineVersion(CgiContext& ctx) {
  if (!ctx.SessionValid()) return ctx.Reply(kResultBadSession);
  const Profile& p = ctx.device.profile();
  return ctx.Reply(0, "<VersionInfo><EngineVersion>" + XmlEscape(p.engine_version) +
                          "</EngineVersion></VersionInfo><MACAddress>" + p.MacText() +
                          "</MACAddress><CurrentTime>" +
                          std::to_string(static_cast<long long>(std::time(nullptr))) +
                          "</CurrentTime>");
}

}  // namespace

DEVSIM_WEB_CGI(boxnwConnect, "/TarnBox/boxnwConnect", Connect);
DEVSIM_WEB_CGI(boxnwDisconnect, "/TarnBox/boxnwDisconnect", Disconnect);
DEVSIM_WEB_CGI(boxnwGetEngineVersion, "/TarnBox/Admin/boxnwGetEngineVersion", EngineVersion);

}  // namespace devsim::web
