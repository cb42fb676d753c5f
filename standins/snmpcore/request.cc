#include "request.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "snmpcore/ber.h"

namespace snmpcore::detail {

namespace {

std::atomic<unsigned> g_divisor{1};

// net-snmp keeps the SNMPv3 users it has localized keys for in one list
// per process, and engine discovery adds to it; requests that use SNMPv3
// therefore take turns.
std::mutex& V3Mutex() {
  static std::mutex mu;
  return mu;
}

void InitOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    // A library must not pick up the machine's SNMP configuration or
    // persistent state, nor write any.
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID,
                           NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID,
                           NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID,
                           NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID,
                           NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID,
                           NETSNMP_DS_LIB_DONT_LOAD_HOST_FILES, 1);
    // Requests use numeric OIDs only: no MIB files to load or complain of.
    netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIBDIRS, "");
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_ERRORS, 0);
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_WARNINGS, 0);
    // Nothing of a library's may go to the caller's stderr.
    netsnmp_register_loghandler(NETSNMP_LOGHANDLER_NONE, LOG_EMERG);
    init_snmp("snmpcore");
  });
}

std::string ContentOf(const std::string& tlv) {
  ber::Reader r(tlv);
  uint8_t tag;
  std::string_view content;
  r.Next(&tag, &content);
  return std::string(content);
}

void StoreValue(const netsnmp_variable_list* v, Vb* vb) {
  switch (v->type) {
    case ASN_INTEGER:
      vb->set_value(static_cast<int64_t>(*v->val.integer));
      break;
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
      vb->set_raw(v->type, ContentOf(ber::Unsigned(
                               static_cast<uint32_t>(*v->val.integer), v->type)));
      break;
    case ASN_COUNTER64: {
      uint64_t n = (static_cast<uint64_t>(v->val.counter64->high) << 32) |
                   v->val.counter64->low;
      vb->set_raw(v->type, ContentOf(ber::Unsigned(n, v->type)));
      break;
    }
    case ASN_OCTET_STR:
    case ASN_OPAQUE:
    case ASN_IPADDRESS:
      vb->set_raw(v->type, std::string(reinterpret_cast<char*>(v->val.string),
                                       v->val_len));
      break;
    case ASN_OBJECT_ID: {
      std::vector<uint32_t> ids;
      for (size_t i = 0; i < v->val_len / sizeof(oid); ++i)
        ids.push_back(static_cast<uint32_t>(v->val.objid[i]));
      vb->set_raw(v->type, ContentOf(ber::ObjectId(ids)));
      break;
    }
    default:  // null and the exception values
      vb->set_raw(v->type, {});
      break;
  }
}

int MapSessionError(int liberr) {
  switch (liberr) {
    case SNMPERR_TIMEOUT:
      return SNMP_CLASS_TIMEOUT;
    case SNMPERR_AUTHENTICATION_FAILURE:
    case SNMPERR_UNKNOWN_USER_NAME:
    case SNMPERR_UNSUPPORTED_SEC_LEVEL:
    case SNMPERR_NOT_IN_TIME_WINDOW:
    case SNMPERR_DECRYPTION_ERR:
    case SNMPERR_USM_AUTHENTICATIONFAILURE:
    case SNMPERR_USM_UNKNOWNSECURITYNAME:
    case SNMPERR_USM_UNSUPPORTEDSECURITYLEVEL:
    case SNMPERR_USM_NOTINTIMEWINDOW:
    case SNMPERR_USM_DECRYPTIONERROR:
    case SNMPERR_USM_UNKNOWNENGINEID:
    case SNMPERR_KT_NOT_AVAILABLE:
      return SNMP_CLASS_AUTH_FAILED;
    default:
      return SNMP_CLASS_ERROR;
  }
}

bool HexToBytes(const std::string& hex, std::string* out) {
  std::string text = hex;
  if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) text = text.substr(2);
  if (text.empty() || text.size() % 2) return false;
  out->clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    char* end = nullptr;
    std::string pair = text.substr(i, 2);
    long v = std::strtol(pair.c_str(), &end, 16);
    if (*end) return false;
    out->push_back(static_cast<char>(v));
  }
  return true;
}

// Copies the SNMPv3 settings into the session; false when they cannot be
// used (unknown protocol codes, passwords the key derivation refuses).
bool SetUpV3(const Request& r, netsnmp_session* s, std::string* engine) {
  s->version = SNMP_VERSION_3;
  s->securityModel = USM_SEC_MODEL_NUMBER;
  s->securityName = const_cast<char*>(r.user.c_str());
  s->securityNameLen = r.user.size();
  if (!r.context.empty()) {
    s->contextName = const_cast<char*>(r.context.c_str());
    s->contextNameLen = r.context.size();
  }
  if (!r.engine_id.empty() && HexToBytes(r.engine_id, engine)) {
    s->securityEngineID = reinterpret_cast<u_char*>(engine->data());
    s->securityEngineIDLen = engine->size();
  }
  switch (r.security_level) {
    case 1:
      s->securityLevel = SNMP_SEC_LEVEL_NOAUTH;
      return true;
    case 2:
      s->securityLevel = SNMP_SEC_LEVEL_AUTHNOPRIV;
      break;
    case 3:
      s->securityLevel = SNMP_SEC_LEVEL_AUTHPRIV;
      break;
    default:
      return false;
  }
  if (r.auth_protocol == 1) {
    s->securityAuthProto = usmHMACMD5AuthProtocol;
    s->securityAuthProtoLen = OID_LENGTH(usmHMACMD5AuthProtocol);
  } else if (r.auth_protocol == 2) {
    s->securityAuthProto = usmHMACSHA1AuthProtocol;
    s->securityAuthProtoLen = OID_LENGTH(usmHMACSHA1AuthProtocol);
  } else {
    return false;
  }
  s->securityAuthKeyLen = USM_AUTH_KU_LEN;
  if (generate_Ku(s->securityAuthProto, s->securityAuthProtoLen,
                  reinterpret_cast<const u_char*>(r.auth_password.data()),
                  r.auth_password.size(), s->securityAuthKey,
                  &s->securityAuthKeyLen) != SNMPERR_SUCCESS)
    return false;
  if (r.security_level < 3) return true;
  if (r.priv_protocol == 2) {
    s->securityPrivProto = usmDESPrivProtocol;
    s->securityPrivProtoLen = OID_LENGTH(usmDESPrivProtocol);
  } else if (r.priv_protocol == 4) {
    s->securityPrivProto = usmAESPrivProtocol;
    s->securityPrivProtoLen = OID_LENGTH(usmAESPrivProtocol);
  } else {
    return false;
  }
  s->securityPrivKeyLen = USM_PRIV_KU_LEN;
  return generate_Ku(s->securityAuthProto, s->securityAuthProtoLen,
                     reinterpret_cast<const u_char*>(r.priv_password.data()),
                     r.priv_password.size(), s->securityPrivKey,
                     &s->securityPrivKeyLen) == SNMPERR_SUCCESS;
}

// Drops the user that engine discovery registered, so that a later request
// with other passwords is not answered from stale keys.
void ForgetUser(void* handle) {
  netsnmp_session* s = snmp_sess_session(handle);
  if (!s || !s->securityEngineID || !s->securityName) return;
  usmUser* user = usm_get_user(s->securityEngineID, s->securityEngineIDLen,
                               s->securityName);
  if (!user) return;
  usm_remove_user(user);  // returns the list's head, not the user
  usm_free_user(user);
}

}  // namespace

std::chrono::milliseconds Scaled(std::chrono::milliseconds real) {
  unsigned d = g_divisor.load();
  auto ms = real / (d ? d : 1);
  return ms.count() > 0 ? ms : std::chrono::milliseconds(1);
}

int Get(const Request& r, Pdu& pdu) {
  if (r.address.kind() == Address::kIpx) return SNMP_CLASS_TL_UNSUPPORTED;
  if (!r.address.valid()) return SNMP_CLASS_INVALID_ADDRESS;
  if (pdu.get_vb_count() == 0) return SNMP_CLASS_INVALID_PDU;
  for (const Vb& vb : pdu.vbs())
    if (!vb.get_oid().valid()) return SNMP_CLASS_INVALID_OID;
  InitOnce();

  std::string port = std::to_string(r.address.port() ? r.address.port() : 161);
  std::string peer = r.address.kind() == Address::kIpv6
                         ? "udp6:[" + r.address.host_text() + "]:" + port
                         : "udp:" + r.address.host_text() + ":" + port;
  netsnmp_session s;
  snmp_sess_init(&s);
  s.peername = peer.data();
  s.timeout = static_cast<long>(
      std::chrono::duration_cast<std::chrono::microseconds>(Scaled(r.timeout))
          .count());
  s.retries = r.retries;
  std::string engine;
  std::unique_lock<std::mutex> v3_lock;
  if (r.version == version3) {
    v3_lock = std::unique_lock<std::mutex>(V3Mutex());
    if (!SetUpV3(r, &s, &engine)) return SNMP_CLASS_AUTH_FAILED;
  } else {
    s.version = r.version == version2c ? SNMP_VERSION_2c : SNMP_VERSION_1;
    s.community = reinterpret_cast<u_char*>(const_cast<char*>(r.community.data()));
    s.community_len = r.community.size();
  }

  void* handle = snmp_sess_open(&s);
  if (!handle) {
    // For SNMPv3 the engine discovery runs while opening.
    return s.s_snmp_errno == SNMPERR_TIMEOUT || snmp_errno == SNMPERR_TIMEOUT
               ? SNMP_CLASS_TIMEOUT
               : r.version == version3 ? SNMP_CLASS_TIMEOUT : SNMP_CLASS_TL_FAILED;
  }
  std::unique_ptr<void, void (*)(void*)> closer(handle, [](void* h) {
    snmp_sess_close(h);
  });


  netsnmp_pdu* request = snmp_pdu_create(SNMP_MSG_GET);
  for (const Vb& vb : pdu.vbs()) {
    std::vector<oid> name(vb.get_oid().ids().begin(), vb.get_oid().ids().end());
    snmp_add_null_var(request, name.data(), name.size());
  }
  netsnmp_pdu* response = nullptr;
  int status = snmp_sess_synch_response(handle, request, &response);
  std::unique_ptr<netsnmp_pdu, void (*)(netsnmp_pdu*)> response_owner(
      response, [](netsnmp_pdu* p) {
        if (p) snmp_free_pdu(p);
      });
  int result = SNMP_CLASS_SUCCESS;
  if (status == STAT_TIMEOUT) {
    result = SNMP_CLASS_TIMEOUT;
  } else if (status != STAT_SUCCESS || !response) {
    int liberr = 0, syserr = 0;
    char* text = nullptr;
    snmp_sess_error(handle, &liberr, &syserr, &text);
    SNMP_FREE(text);
    if (liberr == 0) liberr = snmp_sess_session(handle)->s_snmp_errno;
    // A failed SNMPv3 engine discovery leaves no error code behind; it
    // fails only when the agent does not answer.
    result = liberr == 0 && r.version == version3 ? SNMP_CLASS_TIMEOUT
                                                  : MapSessionError(liberr);
  } else if (response->errstat != SNMP_ERR_NOERROR) {
    pdu.set_error(static_cast<int>(response->errstat),
                  static_cast<int>(response->errindex));
    result = static_cast<int>(response->errstat);
  } else {
    pdu.set_error(0, 0);
    size_t i = 0;
    for (netsnmp_variable_list* v = response->variables;
         v && i < pdu.vbs().size(); v = v->next_variable, ++i) {
      StoreValue(v, &pdu.vbs()[i]);
      if (pdu.vbs()[i].is_exception()) result = SNMP_CLASS_NO_SUCH_OBJECT;
    }
    if (i < pdu.vbs().size()) result = SNMP_CLASS_INVALID_PDU;
  }
  if (r.version == version3) ForgetUser(handle);
  return result;
}

}  // namespace snmpcore::detail

namespace snmpcore {

void SetTimeoutDivisor(unsigned divisor) {
  detail::g_divisor.store(divisor ? divisor : 1);
}

}  // namespace snmpcore
