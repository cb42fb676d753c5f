// Reading one OID of a device as text, the way every SNMP question of the
// library is asked, and the port and name probes built on it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "boxlink.h"

namespace boxlink {

// The device OIDs.
namespace snmp_oid {
inline constexpr const char kWebPort[] =
    "1.3.6.1.4.1.58231.2.3.50.1.6.1.4.11.1.1.6.1.1";
inline constexpr const char kWebTls[] =
    "1.3.6.1.4.1.58231.2.3.50.1.6.1.23.1.1.2.1.1";
inline constexpr const char kWebTlsPort[] =
    "1.3.6.1.4.1.58231.2.3.50.1.6.1.23.1.1.3.1.1";
inline constexpr const char kFtpPort[] =
    "1.3.6.1.4.1.58231.2.3.50.1.6.1.4.13.1.1.3.1.1";
inline constexpr const char kFtpTls[] =
    "1.3.6.1.4.1.58231.2.3.50.1.6.1.23.3.1.2.1.1";
inline constexpr const char kFtpTlsPort[] =
    "1.3.6.1.4.1.58231.2.3.50.1.6.1.23.3.1.3.1.1";
inline constexpr const char kDeviceName[] =
    "1.3.6.1.4.1.58231.2.3.50.1.2.3.1.2.1.1";
inline constexpr const char kAutoAuthMode[] =
    "1.3.6.1.4.1.58231.2.3.50.1.3.21.7.1.7.1.1";
inline constexpr const char kIfType[] = "1.3.6.1.2.1.2.2.1.3";
inline constexpr const char kIfPhysAddress[] = "1.3.6.1.2.1.2.2.1.6";
inline constexpr const char kStorageDescr2[] = "1.3.6.1.2.1.25.2.3.1.3.2";
}  // namespace snmp_oid

// How a request is sent, chosen from the settings.
enum class SnmpAccess { kCommunity, kUserBased, kDefaults };

struct SnmpCredentials {
  std::string user, auth_password, priv_password, context, community;
  uint32_t auth_protocol = 0, priv_protocol = 0;
};

SnmpCredentials CredentialsFrom(const ZBSNMPSETTINGS* settings);
SnmpAccess ChooseAccess(const SnmpCredentials& credentials);

// The value of oid at host as printable text, or nullopt on any failure,
// with the SNMP library's code for it in *error when error is not null.
std::optional<std::string> SnmpGetText(const char* host, const char* oid,
                                       const char* user_name,
                                       uint32_t auth_protocol,
                                       const char* auth_password,
                                       uint32_t priv_protocol,
                                       const char* priv_password,
                                       const char* context,
                                       const char* community,
                                       int* error = nullptr);
std::optional<std::string> SnmpGetTextEx(const char* host, const char* oid,
                                         const ZBSNMPSETTINGS* settings,
                                         int* error);

// Decimal text to a number: leading blanks and a sign, then digits; 0 for
// text that does not start with a number.
long TextToNumber(const std::string& text);

// Set WebPort, WebSecure and Port, then FtpPort and FtpSecure, from the
// device's answers, falling back to 8080 and 21 without TLS. Return 0.
uint32_t QueryWebPort(ZBSESSION* session, const ZBSNMPSETTINGS* settings);
uint32_t QueryFtpPort(ZBSESSION* session, const ZBSNMPSETTINGS* settings);

// The device's network name, or the host text when the device does not
// tell it (which is logged).
void QueryDeviceName(std::string* name, const char* host,
                     const ZBSNMPSETTINGS* settings);

}  // namespace boxlink
