// Security settings, authentication and service status: the CGIs a client
// asks before it has a web session of its own.
#include <optional>
#include <string>

#include "devsim/core/device.h"
#include "devsim/web/box_cgi_util.h"
#include "devsim/web/cgi_table.h"
#include "devsim/web/web_service.h"
#include "standins/cryptocore/crypto_core.h"

namespace devsim::web {
namespace {

CgiAnswer GetSecuritySetting(CgiContext& ctx) {
  return ctx.Reply(
      kResultOk,
      "<SecuritySetting>" + Tag("SecurityMode", Extra(ctx, "security.mode", "1")) +
          Tag("AuthenticationEnable", Extra(ctx, "security.auth_enable", "1")) +
          Tag("AuthenticationMethod", Extra(ctx, "security.auth_method", "0")) +
          Tag("HashAlgorithm", Extra(ctx, "security.hash_algorithm", "1")) +
          Tag("AuthenticationDomainName", Extra(ctx, "security.domain_name")) +
          "</SecuritySetting>");
}

CgiAnswer Authenticate(CgiContext& ctx) {
  if (ctx.Param("UID") != "Admin" || !ctx.Has("PWD"))
    return ctx.Reply(kResultBadRequest);
  const std::string& admin = ctx.device.profile().admin_password;
  std::string pwd = ctx.Param("PWD");
  bool ok;
  if (ctx.Param("ENC") == "1") {
    std::optional<std::string> plain = zelt::crypto::DecodeCredentialMode1(pwd);
    ok = plain && *plain == admin;
  } else {
    ok = pwd == admin;
  }
  if (!ok) return ctx.Reply(kResultOk, "<AuthenticateResult>" +
                                           Tag("Authorize", 2) +
                                           "</AuthenticateResult>");
  uint32_t sid = ctx.web.OpenSignedInSession();
  return ctx.Reply(kResultOk, "<AuthenticateResult>" + Tag("Authorize", 1) +
                                  Tag("WebSessionID", sid) +
                                  "</AuthenticateResult>");
}

CgiAnswer GetServiceStatus(CgiContext& ctx) {
  return ctx.Reply(kResultOk, "<AccessMode>" +
                                  Tag("Status", Extra(ctx, "service.status", "1")) +
                                  "</AccessMode>");
}

}  // namespace

DEVSIM_WEB_CGI(boxnwGetSecuritySetting, "/TarnBox/boxnwGetSecuritySetting",
               GetSecuritySetting);
DEVSIM_WEB_CGI(boxnwAuthenticate, "/TarnBox/boxnwAuthenticate", Authenticate);
DEVSIM_WEB_CGI(boxnwGetServiceStatus, "/TarnBox/boxnwGetServiceStatus",
               GetServiceStatus);

}  // namespace devsim::web
