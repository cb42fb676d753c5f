#include "snmpcore/cco_snmp.h"

#include <cstring>

#include "request.h"

namespace snmpcore {

namespace {
std::string Text(const char* s) { return s ? s : ""; }
}  // namespace

CCoSnmp::CCoSnmp() = default;

CCoSnmp::CCoSnmp(const char* oid, int timeout, const char* address,
                 int version)
    : oid_(Text(oid)), address_(Text(address)), timeout_(timeout),
      version_(version) {}

void CCoSnmp::FormPduWithOid(const char* oid) { oid_ = Text(oid); }
void CCoSnmp::SetTimeOut(int seconds) { timeout_ = seconds; }
void CCoSnmp::SetIPOrIPXAddress(const char* address) { address_ = Text(address); }
void CCoSnmp::SetSnmpVersion(int version) { version_ = version; }
void CCoSnmp::SetCommunityName(const char* community) { community_ = Text(community); }
void CCoSnmp::SetReadCommunity(const char* community) { community_ = Text(community); }

void CCoSnmp::PopulateV3Parameters(const char* engine_id,
                                   const char* priv_password,
                                   const char* user_name,
                                   const char* auth_password,
                                   const char* context_name,
                                   const char* context_engine_id,
                                   int security_model, int security_level,
                                   int /*discover*/, long auth_protocol,
                                   long priv_protocol) {
  engine_id_ = Text(engine_id);
  priv_password_ = Text(priv_password);
  user_ = Text(user_name);
  auth_password_ = Text(auth_password);
  context_ = Text(context_name);
  context_engine_id_ = Text(context_engine_id);
  security_model_ = security_model;
  security_level_ = security_level;
  auth_protocol_ = auth_protocol;
  priv_protocol_ = priv_protocol;
}

void CCoSnmp::SetPduAndTimeoutAndAddress(const char* oid, int timeout,
                                         const char* address) {
  FormPduWithOid(oid);
  SetTimeOut(timeout);
  SetIPOrIPXAddress(address);
}

const char* CCoSnmp::SnmpGetPtrToStringValue() {
  value_.clear();
  Oid oid(oid_.c_str());
  if (!oid.valid()) {
    error_ = SNMP_CLASS_INVALID_OID;
    return nullptr;
  }
  detail::Request r;
  r.address = GenAddress(address_.c_str());
  if (version_ == 3) {
    if (security_model_ != 3) {
      error_ = SNMP_CLASS_AUTH_FAILED;
      return nullptr;
    }
    r.version = version3;
    r.user = user_;
    r.auth_password = auth_password_;
    r.priv_password = priv_password_;
    r.context = context_;
    r.engine_id = engine_id_;
    r.security_level = security_level_;
    r.auth_protocol = auth_protocol_;
    r.priv_protocol = priv_protocol_;
  } else {
    r.version = version_ == 2 ? version2c : version1;
    r.community = community_;
  }
  // The time-out covers the whole request: that many tries of a second.
  int tries = timeout_ > 0 ? timeout_ : 1;
  r.timeout = std::chrono::seconds(1);
  r.retries = tries - 1;

  Pdu pdu;
  pdu += Vb(oid);
  error_ = detail::Get(r, pdu);
  if (error_ != SNMP_CLASS_SUCCESS) return nullptr;
  Vb vb;
  const char* text = pdu.get_vb(vb, 0) ? vb.get_printable_value() : nullptr;
  if (!text) {
    error_ = SNMP_CLASS_NO_SUCH_OBJECT;
    return nullptr;
  }
  value_ = text;
  return value_.c_str();
}

int CCoSnmp::SnmpGetStringValue(char* buffer, size_t size) {
  const char* text = SnmpGetPtrToStringValue();
  if (buffer && size) {
    size_t n = text ? std::min(std::strlen(text), size - 1) : 0;
    if (n) std::memcpy(buffer, text, n);
    buffer[n] = '\0';
  }
  return text ? 0 : (error_ ? error_ : SNMP_CLASS_ERROR);
}

}  // namespace snmpcore
