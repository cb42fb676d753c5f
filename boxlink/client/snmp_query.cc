#include "boxlink/client/snmp_query.h"

#include <cctype>
#include <climits>
#include <cstring>

#include "boxlink/client/session_hooks.h"
#include "snmpcore/cco_snmp.h"
#include "snmpcore/snmp.h"

namespace boxlink {

namespace {

// Each text is used up to 255 characters, and never read beyond its field
// even when the caller left it unterminated.
std::string Field(const char* text, size_t field_size = 512) {
  if (!text) return {};
  return std::string(text, strnlen(text, std::min<size_t>(field_size, 255)));
}

std::optional<std::string> ByWrapper(const std::string& host, const char* oid,
                                     const SnmpCredentials& c, bool v3,
                                     int* error) {
  snmpcore::CCoSnmp snmp;
  snmp.FormPduWithOid(oid);
  snmp.SetTimeOut(3);
  snmp.SetIPOrIPXAddress(host.c_str());
  if (!v3) {
    snmp.SetSnmpVersion(1);
    snmp.SetCommunityName(c.community.c_str());
  } else {
    snmp.SetSnmpVersion(3);
    int level = c.priv_protocol == 1 ? 2 : 3;
    snmp.PopulateV3Parameters("", c.priv_password.c_str(), c.user.c_str(),
                              c.auth_password.c_str(), c.context.c_str(), "",
                              3, level, 1, c.auth_protocol, c.priv_protocol);
  }
  const char* text = snmp.SnmpGetPtrToStringValue();
  if (!text) {
    *error = snmp.SnmpGetErrorCode();
    return std::nullopt;
  }
  return std::string(text);
}

std::optional<std::string> ByDefaults(const std::string& host, const char* oid,
                                      int* error) {
  using namespace snmpcore;
  bool ipv6 = host.find(':') != std::string::npos;
  Oid id(oid);
  int status = 0;
  Snmp snmp(status, 0, ipv6);
  if (status != SNMP_CLASS_SUCCESS) {
    *error = status;
    return std::nullopt;
  }
  Pdu pdu;
  IpAddress address(host.c_str());
  CTarget target(address);
  Vb vb(id);
  pdu.trim(1);
  pdu += vb;
  int result = snmp.get(pdu, target);
  if (result != SNMP_CLASS_SUCCESS) {
    *error = result;
    return std::nullopt;
  }
  pdu.get_vb(vb, 0);
  const char* text = vb.get_printable_value();
  if (!text) {
    *error = SNMP_CLASS_NO_SUCH_OBJECT;
    return std::nullopt;
  }
  return std::string(text);
}

}  // namespace

SnmpCredentials CredentialsFrom(const ZBSNMPSETTINGS* s) {
  SnmpCredentials c;
  if (!s) return c;
  c.user = Field(s->UserName);
  c.auth_password = Field(s->AuthPassword);
  c.priv_password = Field(s->PrivPassword);
  c.context = Field(s->Context);
  c.community = Field(s->Community);
  c.auth_protocol = s->AuthProtocol;
  c.priv_protocol = s->PrivProtocol;
  return c;
}

SnmpAccess ChooseAccess(const SnmpCredentials& c) {
  if (!c.community.empty()) return SnmpAccess::kCommunity;
  if (c.user.empty()) return SnmpAccess::kDefaults;
  if (!c.context.empty() && !c.auth_password.empty())
    return SnmpAccess::kUserBased;
  return SnmpAccess::kDefaults;
}

static std::optional<std::string> Get(const char* host, const char* oid,
                                      const SnmpCredentials& c, int* error) {
  int ignored = 0;
  int* code = error ? error : &ignored;
  *code = 0;
  if (!host || !oid) {
    *code = snmpcore::SNMP_CLASS_INVALID_ADDRESS;
    return std::nullopt;
  }
  std::string h = Field(host);
  // A link-local address cannot be reached without its interface: one
  // given without a scope gets the interface the session open takes.
  if (IsLinkLocalHost(h.c_str()) && h.find('%') == std::string::npos) {
    int64_t scope = LinkLocalScopeId();
    if (scope > 0) h += "%" + std::to_string(scope);
  }
  try {
    switch (ChooseAccess(c)) {
      case SnmpAccess::kCommunity:
        return ByWrapper(h, oid, c, false, code);
      case SnmpAccess::kUserBased:
        return ByWrapper(h, oid, c, true, code);
      case SnmpAccess::kDefaults:
        return ByDefaults(h, oid, code);
    }
  } catch (const std::bad_alloc&) {
    // An allocation that fails counts as no value.
    *code = snmpcore::SNMP_CLASS_RESOURCE_UNAVAIL;
  }
  return std::nullopt;
}

std::optional<std::string> SnmpGetText(const char* host, const char* oid,
                                       const char* user_name,
                                       uint32_t auth_protocol,
                                       const char* auth_password,
                                       uint32_t priv_protocol,
                                       const char* priv_password,
                                       const char* context,
                                       const char* community, int* error) {
  SnmpCredentials c;
  c.user = Field(user_name);
  c.auth_password = Field(auth_password);
  c.priv_password = Field(priv_password);
  c.context = Field(context);
  c.community = Field(community);
  c.auth_protocol = auth_protocol;
  c.priv_protocol = priv_protocol;
  return Get(host, oid, c, error);
}

std::optional<std::string> SnmpGetTextEx(const char* host, const char* oid,
                                         const ZBSNMPSETTINGS* settings,
                                         int* error) {
  return Get(host, oid, CredentialsFrom(settings), error);
}

long TextToNumber(const std::string& text) {
  const char* p = text.c_str();
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  long long v = 0;
  while (*p >= '0' && *p <= '9') {
    v = v * 10 + (*p++ - '0');
    if (v > INT_MAX) return 0;  // no port or flag is that large
  }
  return static_cast<long>(negative ? -v : v);
}

}  // namespace boxlink
