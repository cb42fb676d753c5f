// From the authentication CGIs' replies to the caller's values.
//
// Like the other reply parsers these read a reply that passed its Result
// check; a missing element raises BoxError(11), a value outside the range
// the library knows raises BoxError(13).
#pragma once

#include <cstdint>

#include "boxlink.h"
#include "boxlink/client/reply.h"

namespace boxlink {

// The device's authentication method number as the application counts it;
// raises 13 above 3.
uint32_t MapAuthenticationMethod(int32_t device_value);

// Fills the device fields of *security; the credential fields stay.
void ParseSecuritySettings(const ReplyDocument& doc, ZBSECURITY* security);

// True when authorised; the new web session id then goes to *session_id.
bool ParseAuthorization(const ReplyDocument& doc, uint32_t* session_id);

// The service status number (0: the box service is off for us).
int32_t ParseServiceStatus(const ReplyDocument& doc);

}  // namespace boxlink
