// The port and name probes. They never fail: a device that does not answer
// SNMP is taken to serve HTTP on 8080 and FTP on 21, both without TLS.
#include "boxlink/client/http_transport.h"
#include "boxlink/base/logger.h"
#include "boxlink/client/snmp_query.h"
#include "platform/last_error.h"

namespace boxlink {

namespace {

// A port the device names; a text that is no port (0, negative, beyond
// 65535, not a number) counts as no answer rather than as port 0.
std::optional<uint32_t> ReadPort(const char* host, const char* oid,
                                 const ZBSNMPSETTINGS* settings) {
  auto text = SnmpGetTextEx(host, oid, settings, nullptr);
  if (!text) return std::nullopt;
  long n = TextToNumber(*text);
  if (n < 1 || n > 65535) return std::nullopt;
  return static_cast<uint32_t>(n);
}

bool FlagIsOne(const char* host, const char* oid,
               const ZBSNMPSETTINGS* settings) {
  auto text = SnmpGetTextEx(host, oid, settings, nullptr);
  return text && TextToNumber(*text) == 1;
}

}  // namespace

uint32_t QueryWebPort(ZBSESSION* session, const ZBSNMPSETTINGS* settings) {
  const std::string scoped = ScopedHost(*session);
  const char* host = scoped.c_str();
  if (auto port = ReadPort(host, snmp_oid::kWebPort, settings)) {
    session->WebPort = *port;
    session->WebSecure = 0;
    if (FlagIsOne(host, snmp_oid::kWebTls, settings)) {
      if (auto tls = ReadPort(host, snmp_oid::kWebTlsPort, settings)) {
        session->WebSecure = 1;
        session->WebPort = *tls;
      }
    }
  } else {
    session->WebPort = 8080;
    session->WebSecure = 0;
  }
  session->Port = session->WebPort;
  return 0;
}

uint32_t QueryFtpPort(ZBSESSION* session, const ZBSNMPSETTINGS* settings) {
  const std::string scoped = ScopedHost(*session);
  const char* host = scoped.c_str();
  auto port = ReadPort(host, snmp_oid::kFtpPort, settings);
  if (!port) {
    session->FtpPort = 21;
    session->FtpSecure = 0;
    return 0;
  }
  session->FtpPort = *port;
  session->FtpSecure = 0;
  if (!FlagIsOne(host, snmp_oid::kFtpTls, settings)) return 0;
  if (auto tls = ReadPort(host, snmp_oid::kFtpTlsPort, settings)) {
    session->FtpSecure = 1;
    session->FtpPort = *tls;
  }
  return 0;
}

void QueryDeviceName(std::string* name, const char* host,
                     const ZBSNMPSETTINGS* settings) {
  if (auto text = SnmpGetTextEx(host, snmp_oid::kDeviceName, settings, nullptr)) {
    *name = std::move(*text);
    return;
  }
  *name = host ? host : "";
  CLogger::LogError("zbBoxBackup", platform::GetLastError());
}

}  // namespace boxlink
