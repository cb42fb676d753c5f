#include "boxlink/client/security_replies.h"

#include "boxlink/base/box_error.h"

namespace boxlink {
namespace {

constexpr char kSettings[] = "BoxNwLib/Message/SecuritySetting";
constexpr char kAuthResult[] = "BoxNwLib/Message/AuthenticateResult";

}  // namespace

uint32_t MapAuthenticationMethod(int32_t v) {
  switch (v) {
    case 0: return 2;
    case 1: return 4;
    case 2: return 3;
    case 3: return 0;
    default: Raise(ZB_ERR_INVALID_DATA);
  }
}

void ParseSecuritySettings(const ReplyDocument& doc, ZBSECURITY* s) {
  const int32_t mode = GetChildNumber(doc, kSettings, "SecurityMode");
  if (mode != 1 && mode != 2) Raise(ZB_ERR_INVALID_DATA);
  s->SecurityMode = static_cast<uint32_t>(mode);

  const int32_t enable = GetChildNumber(doc, kSettings, "AuthenticationEnable");
  if (enable != 0 && enable != 1) Raise(ZB_ERR_INVALID_DATA);
  s->AuthenticationEnable = static_cast<uint32_t>(enable);

  const uint32_t method = MapAuthenticationMethod(
      GetChildNumber(doc, kSettings, "AuthenticationMethod"));
  s->AuthenticationMethod = enable == 0 ? 0 : method;

  const int32_t hash = GetChildNumber(doc, kSettings, "HashAlgorithm");
  if (hash < 1 || hash > 3) Raise(ZB_ERR_INVALID_DATA);
  s->HashAlgorithm = static_cast<uint32_t>(hash);

  if (uint32_t r = GetChildText(doc, kSettings, "AuthenticationDomainName",
                                s->AuthenticationDomainName,
                                sizeof s->AuthenticationDomainName))
    Raise(r);
}

bool ParseAuthorization(const ReplyDocument& doc, uint32_t* session_id) {
  if (GetChildNumber(doc, kAuthResult, "Authorize") != 1) {
    *session_id = 0;
    return false;
  }
  *session_id =
      static_cast<uint32_t>(GetChildNumber(doc, kAuthResult, "WebSessionID"));
  return true;
}

int32_t ParseServiceStatus(const ReplyDocument& doc) {
  return GetChildNumber(doc, "BoxNwLib/Message/AccessMode", "Status");
}

}  // namespace boxlink
