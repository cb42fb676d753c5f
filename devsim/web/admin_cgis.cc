// The exclusive box job mode and the transfer's FTP account.
//
// The FTP service accepts exactly the accounts of the profile, so creating
// and deleting an account here is what lets a client in and out.
#include <string>

#include "devsim/core/device.h"
#include "devsim/web/box_cgi_state.h"
#include "devsim/web/box_cgi_util.h"
#include "devsim/web/cgi_table.h"

namespace devsim::web {
namespace {

CgiAnswer BoxExModeIn(CgiContext& ctx) {
  if (!ctx.SessionValid()) return ctx.Reply(kResultBadSession);
  if (!AdminPasswordOk(ctx)) return ctx.Reply(kResultBadPassword);
  std::optional<uint32_t> mode = FieldNumber(ctx.Param("MOD"));
  if (!mode) return ctx.Reply(kResultBadRequest);
  // One job at a time: a second lock, from any session, finds the panel
  // busy until the first is released.
  if (!BoxCgiStateOf(ctx.device).EnterExclusive(ctx.Sid(), *mode))
    return ctx.Reply(kResultBusy);
  return ctx.Reply(kResultOk, Tag("CurrentTime", DeviceNow()));
}

CgiAnswer BoxExModeOut(CgiContext& ctx) {
  if (!ctx.SessionValid()) return ctx.Reply(kResultBadSession);
  if (!AdminPasswordOk(ctx)) return ctx.Reply(kResultBadPassword);
  if (!FieldNumber(ctx.Param("MOD"))) return ctx.Reply(kResultBadRequest);
  // Leaving is harmless for a session that holds nothing: the answer is
  // the same, and another session's job keeps the panel.
  BoxCgiStateOf(ctx.device).LeaveExclusive(ctx.Sid());
  return ctx.Reply(kResultOk);
}

CgiAnswer CreateFTPAccount(CgiContext& ctx) {
  if (!ctx.SessionValid()) return ctx.Reply(kResultBadSession);
  if (!AdminPasswordOk(ctx)) return ctx.Reply(kResultBadPassword);
  const bool restricted = Restricted(ctx);
  uint32_t serial = 0;
  FtpAccount account;
  account.user = BoxCgiStateOf(ctx.device).NewFtpUser(ctx.Sid(), &serial);
  // Outside the restricted session the client logs in with the password it
  // sent here; the restricted session is told one.
  account.password = restricted
                         ? "ftp" + std::to_string(ctx.Sid() * 7919u + serial * 104729u)
                         : ctx.Param("PWD");
  auto& accounts = ctx.device.mutable_profile().ftp_accounts;
  std::erase_if(accounts,
                [&](const FtpAccount& a) { return a.user == account.user; });
  accounts.push_back(account);
  std::string xml = Tag("LoginName", account.user);
  if (restricted) xml += Tag("LoginPassword", account.password);
  return ctx.Reply(kResultOk, xml);
}

CgiAnswer DeleteFTPAccount(CgiContext& ctx) {
  if (!ctx.SessionValid()) return ctx.Reply(kResultBadSession);
  if (!AdminPasswordOk(ctx)) return ctx.Reply(kResultBadPassword);
  std::string user = BoxCgiStateOf(ctx.device).TakeFtpUser(ctx.Sid());
  if (!user.empty())
    std::erase_if(ctx.device.mutable_profile().ftp_accounts,
                  [&](const FtpAccount& a) { return a.user == user; });
  return ctx.Reply(kResultOk);
}

}  // namespace

DEVSIM_WEB_CGI(boxnwBoxExModeIn, "/TarnBox/Admin/boxnwBoxExModeIn", BoxExModeIn);
DEVSIM_WEB_CGI(boxnwBoxExModeOut, "/TarnBox/Admin/boxnwBoxExModeOut",
               BoxExModeOut);
DEVSIM_WEB_CGI(boxnwCreateFTPAccount, "/TarnBox/Admin/boxnwCreateFTPAccount",
               CreateFTPAccount);
DEVSIM_WEB_CGI(boxnwDeleteFTPAccount, "/TarnBox/Admin/boxnwDeleteFTPAccount",
               DeleteFTPAccount);

}  // namespace devsim::web
