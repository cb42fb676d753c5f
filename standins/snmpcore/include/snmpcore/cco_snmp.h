// CCoSnmp: one GET of one OID, configured call by call, with an SNMPv1
// community or SNMPv3 user credentials. One object per request.
#pragma once

#include <cstddef>
#include <string>

#include "snmpcore/export.h"

namespace snmpcore {

class SNMPCORE_API CCoSnmp {
 public:
  // SNMP version 1, community "public", time-out 3, no OID, no address.
  CCoSnmp();
  CCoSnmp(const char* oid, int timeout, const char* address, int version);

  void FormPduWithOid(const char* oid);
  // Seconds for the whole request; it is sent up to that many times, one
  // second apart (at least once). SNMPv3 first discovers the agent's
  // engine with the same budget, so a silent agent costs it twice that.
  void SetTimeOut(int seconds);
  // IPv4, IPv6 (optionally with "%scope") or a host name, optionally with
  // a port; or an IPX address, which no request can reach.
  void SetIPOrIPXAddress(const char* address);
  void SetSnmpVersion(int version);  // 1 (or 2 for v2c) or 3
  void SetCommunityName(const char* community);
  void SetReadCommunity(const char* community);
  // SNMPv3 user-based security. engine_id: the agent's engine id in
  // hexadecimal, empty to discover it; context_engine_id likewise.
  // security_model must be 3 (user-based); security_level 1 none,
  // 2 authentication, 3 authentication and privacy; discover is kept for
  // callers (engine discovery always runs when no engine id is given).
  // auth_protocol 1 HMAC-MD5, 2 HMAC-SHA; priv_protocol 1 none, 2 DES,
  // 4 AES-128.
  void PopulateV3Parameters(const char* engine_id, const char* priv_password,
                            const char* user_name, const char* auth_password,
                            const char* context_name,
                            const char* context_engine_id, int security_model,
                            int security_level, int discover,
                            long auth_protocol, long priv_protocol);
  void SetPduAndTimeoutAndAddress(const char* oid, int timeout,
                                  const char* address);

  // Performs the GET. The value as printable text (owned by this object,
  // valid until the next request or its destruction), or null when there
  // is no usable answer; SnmpGetErrorCode() then says why.
  const char* SnmpGetPtrToStringValue();
  // Performs the GET and copies the text, cut to size - 1 bytes and always
  // terminated, into buffer. 0 on success, else the error code (buffer
  // then holds an empty text).
  int SnmpGetStringValue(char* buffer, size_t size = 256);
  // 0, or the code of the last failure (see snmpcore/snmp.h).
  int SnmpGetErrorCode() const { return error_; }

 private:
  std::string oid_;
  std::string address_;
  int timeout_ = 3;
  int version_ = 1;
  std::string community_ = "public";
  std::string engine_id_, priv_password_, user_, auth_password_, context_,
      context_engine_id_;
  int security_model_ = 3, security_level_ = 1;
  long auth_protocol_ = 0, priv_protocol_ = 1;
  std::string value_;
  int error_ = 0;
};

}  // namespace snmpcore
