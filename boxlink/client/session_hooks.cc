#include "boxlink/client/session_hooks.h"

#include <net/if.h>

#include <cstring>
#include <mutex>

#include "boxlink/client/snmp_query.h"
#include "platform/text.h"

namespace boxlink {
namespace {

std::mutex g_mu;
// The device is asked over SNMP; a device that does not answer gets the
// defaults below from the probes themselves.
void SnmpWebPortProbe(ZBSESSION* session, const void* settings) {
  QueryWebPort(session, static_cast<const ZBSNMPSETTINGS*>(settings));
}

void SnmpFtpPortProbe(ZBSESSION* session, const void* settings) {
  QueryFtpPort(session, static_cast<const ZBSNMPSETTINGS*>(settings));
}

PortProbes g_probes{&SnmpWebPortProbe, &SnmpFtpPortProbe};
ScopeIdSource g_scope_source;

}  // namespace

void DefaultWebPortProbe(ZBSESSION* session, const void*) {
  session->WebPort = 8080;
  session->WebSecure = 0;
  session->Port = session->WebPort;
}

void DefaultFtpPortProbe(ZBSESSION* session, const void*) {
  session->FtpPort = 21;
  session->FtpSecure = 0;
}

PortProbes GetPortProbes() {
  std::lock_guard<std::mutex> g(g_mu);
  return g_probes;
}

void SetPortProbes(PortProbes probes) {
  std::lock_guard<std::mutex> g(g_mu);
  g_probes = probes;
}

ScopedPortProbes::ScopedPortProbes(PortProbes probes) : previous_(GetPortProbes()) {
  SetPortProbes(probes);
}
ScopedPortProbes::~ScopedPortProbes() { SetPortProbes(previous_); }

int64_t FirstInterfaceScopeId() {
  struct if_nameindex* list = if_nameindex();
  if (!list) return -1;
  int64_t result = 0;
  for (struct if_nameindex* i = list; i->if_index != 0; ++i) {
    if (std::strcmp(i->if_name, "lo") == 0) continue;
    result = i->if_index;
    break;
  }
  if_freenameindex(list);
  return result;
}

ScopedScopeIdSource::ScopedScopeIdSource(ScopeIdSource source) {
  std::lock_guard<std::mutex> g(g_mu);
  previous_ = std::move(g_scope_source);
  g_scope_source = std::move(source);
}
ScopedScopeIdSource::~ScopedScopeIdSource() {
  std::lock_guard<std::mutex> g(g_mu);
  g_scope_source = std::move(previous_);
}

int64_t LinkLocalScopeId() {
  ScopeIdSource source;
  {
    std::lock_guard<std::mutex> g(g_mu);
    source = g_scope_source;
  }
  return source ? source() : FirstInterfaceScopeId();
}

bool IsLinkLocalHost(const char* host) {
  if (!host || !std::strchr(host, ':')) return false;
  return strnlen(host, 4) == 4 && platform::EqualsIgnoreCase(std::string_view(host, 4), "fe80");
}

}  // namespace boxlink
