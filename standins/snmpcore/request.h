// One GET over net-snmp's client sessions, shared by Snmp::get and
// CCoSnmp.
#pragma once

#include <chrono>
#include <string>

#include "snmpcore/snmp.h"

namespace snmpcore::detail {

struct Request {
  GenAddress address;
  snmp_version version = version1;
  std::string community = "public";
  // SNMPv3.
  std::string user, auth_password, priv_password, context, engine_id;
  int security_level = 1;  // 1 none, 2 auth, 3 auth and privacy
  long auth_protocol = 0;  // 1 HMAC-MD5, 2 HMAC-SHA
  long priv_protocol = 1;  // 1 none, 2 DES, 4 AES-128
  // Per attempt.
  std::chrono::milliseconds timeout{1000};
  int retries = 1;
};

// Fills the values of pdu's bindings. Result as Snmp::get.
int Get(const Request& request, Pdu& pdu);

// A time-out after the test divisor.
std::chrono::milliseconds Scaled(std::chrono::milliseconds real);

}  // namespace snmpcore::detail
