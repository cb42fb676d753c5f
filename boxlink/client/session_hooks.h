// What opening a session asks of other parts of the system, behind small
// replaceable functions: the SNMP port probes (the SNMP area installs the
// real ones; tests install their own so that a TLS web server or an odd
// port needs no SNMP agent), and the scope id of the local interface for
// link-local IPv6 hosts.
#pragma once

#include <cstdint>
#include <functional>

#include "boxlink.h"

namespace boxlink {

// Sets WebPort and WebSecure (and Port := WebPort), or FtpPort and
// FtpSecure, from the device. Never fails.
using PortProbe = void (*)(ZBSESSION* session, const void* snmp_settings);

struct PortProbes {
  PortProbe web = nullptr;
  PortProbe ftp = nullptr;
};

// The probes in force: by default the device's SNMP answers
// (QueryWebPort, QueryFtpPort), which fall back to HTTP on 8080 and FTP on
// 21 without TLS for a device that does not answer. The Default* probes
// give those fallbacks without asking.
PortProbes GetPortProbes();
void SetPortProbes(PortProbes probes);
void DefaultWebPortProbe(ZBSESSION* session, const void* snmp_settings);
void DefaultFtpPortProbe(ZBSESSION* session, const void* snmp_settings);

class ScopedPortProbes {
 public:
  explicit ScopedPortProbes(PortProbes probes);
  ~ScopedPortProbes();
  ScopedPortProbes(const ScopedPortProbes&) = delete;
  ScopedPortProbes& operator=(const ScopedPortProbes&) = delete;

 private:
  PortProbes previous_;
};

// The scope id of the interface the system lists first (loopback aside):
// its index, 0 when there is none, -1 when the interfaces cannot be listed.
int64_t FirstInterfaceScopeId();

using ScopeIdSource = std::function<int64_t()>;
class ScopedScopeIdSource {
 public:
  explicit ScopedScopeIdSource(ScopeIdSource source);
  ~ScopedScopeIdSource();
  ScopedScopeIdSource(const ScopedScopeIdSource&) = delete;
  ScopedScopeIdSource& operator=(const ScopedScopeIdSource&) = delete;

 private:
  ScopeIdSource previous_;
};
// The installed source's answer, or FirstInterfaceScopeId().
int64_t LinkLocalScopeId();

// True for hosts that need a scope id: IPv6 ("...:...") starting "fe80".
bool IsLinkLocalHost(const char* host);

}  // namespace boxlink
