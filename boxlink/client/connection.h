// Opening and closing the HTTP client session of a ZBSESSION. The exports
// zbBoxOpenConnection and zbBoxCloseConnection are declared in boxlink.h.
#pragma once

#include <cstdint>

#include "boxlink.h"

namespace boxlink {

// Creates InternetHandle and ConnectHandle after the port probes: 0, 2250
// (offline), 12029 or 12002.
uint32_t _zbOpenSession(ZBSESSION* session, const void* snmp_settings);
// Closes and nulls both handles.
void CloseSessionHandles(ZBSESSION* session);

// After a call failed with `code`: a device that stopped answering, or a
// session handle that went bad, clears the session's Alive flag, so that
// the caller connects again instead of waiting for a device that will not
// answer. Any other code leaves the flag alone. A null session is allowed.
void MarkSessionLostOn(ZBSESSION* session, uint32_t code);

}  // namespace boxlink
