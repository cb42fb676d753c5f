#include "devsim/web/box_cgi_util.h"

#include "devsim/core/device.h"
#include "devsim/web/web_service.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "standins/cryptocore/crypto_core.h"

namespace devsim::web {

std::optional<uint32_t> FieldNumber(std::string_view text, char prefix) {
  if (prefix && !text.empty() && text.front() == prefix) text.remove_prefix(1);
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<uint64_t>(c - '0');
  }
  if (n > UINT32_MAX) return std::nullopt;
  return static_cast<uint32_t>(n);
}

std::string Tag(std::string_view name, std::string_view value) {
  std::string n(name);
  return "<" + n + ">" + XmlEscape(value) + "</" + n + ">";
}

std::string Tag(std::string_view name, uint64_t value) {
  return Tag(name, std::to_string(value));
}

std::string Extra(const CgiContext& ctx, const std::string& key,
                  std::string fallback) {
  const auto& extra = ctx.device.profile().extra;
  auto it = extra.find(key);
  return it == extra.end() ? std::move(fallback) : it->second;
}

bool Restricted(const CgiContext& ctx) { return ctx.web.IsRestrictedSession(ctx.Sid()); }

bool AdminPasswordOk(const CgiContext& ctx) {
  const std::string& admin = ctx.device.profile().admin_password;
  if (Restricted(ctx) || admin.empty()) return true;
  std::string pwd = ctx.Param("PWD");
  return pwd == admin || pwd == "rPLANAR604" ||
         pwd == zelt::crypto::EncodeCredentialMode2(admin);
}

namespace {

// A full session opens protected boxes with the administrator password in
// any form the device takes for it.
bool AdminOpensBoxes(const CgiContext& ctx) {
  return !ctx.device.profile().admin_password.empty() && AdminPasswordOk(ctx);
}

// The restricted session passes on the password its user signed in with:
// the administrator's opens every box, as typed or in the digest form.
bool AuthenticatedAdmin(const CgiContext& ctx) {
  const std::string& admin = ctx.device.profile().admin_password;
  std::string pwd = ctx.Param("PWD");
  return !admin.empty() &&
         (pwd == admin || pwd == zelt::crypto::EncodeCredentialMode2(admin));
}

}  // namespace

std::optional<BoxInfo> RequestedBox(const CgiContext& ctx, int* result) {
  std::optional<uint32_t> n = FieldNumber(ctx.Param("BNO"));
  if (!n) {
    *result = kResultBadRequest;
    return std::nullopt;
  }
  std::optional<BoxInfo> box = ctx.device.store().GetBox(*n);
  if (!box) {
    *result = kResultNoSuchPath;
    return std::nullopt;
  }
  if (!box->password.empty() && ctx.Param("PWD") != box->password &&
      !(Restricted(ctx) ? AuthenticatedAdmin(ctx) : AdminOpensBoxes(ctx))) {
    *result = kResultBadPassword;
    return std::nullopt;
  }
  return box;
}

std::optional<uint32_t> FolderOf(BoxStore& store, uint32_t box,
                                 std::string_view text) {
  if (text.empty()) return 0u;
  if (auto n = FieldNumber(text, 'F')) return *n;
  for (const ItemInfo& item : store.ListItems(box, 0))
    if (item.kind == ItemKind::kFolder && item.name == text) return item.number;
  return std::nullopt;
}

std::optional<uint32_t> DocumentOf(BoxStore& store, uint32_t box,
                                   uint32_t folder, std::string_view text) {
  if (auto n = FieldNumber(text, 'D')) return *n;
  for (const ItemInfo& item : store.ListItems(box, folder))
    if (item.kind == ItemKind::kDocument && item.name == text)
      return item.number;
  return std::nullopt;
}

uint32_t DeviceNow() {
  return static_cast<uint32_t>(platform::Env::Current()->clock().UnixTime());
}

bool ReportsLastBackupDate(const Profile& profile) {
  return profile.layout == Layout::kStorage ||
         profile.engine_version.find("Series") != std::string::npos;
}

}  // namespace devsim::web
