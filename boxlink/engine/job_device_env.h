// What the job tests against the simulated device share: the administrator
// password the device's profile expects, port probes that skip SNMP (the
// tests start only the web and FTP services), and a device profile per
// layout.
#pragma once

#include <cstdint>

#include "boxlink.h"
#include "devsim/core/profile.h"

namespace boxlink::enginetest {

inline constexpr char kAdmin[] = "admin00";

inline void FixedWebProbe(ZBSESSION* s, const void*) {
  s->WebPort = 8080;
  s->WebSecure = 0;
  s->Port = 8080;
}

inline void FixedFtpProbe(ZBSESSION* s, const void*) {
  s->FtpPort = 21;
  s->FtpSecure = 0;
}

// The layout's default device. The storage default ("Varda 8000 Series V1.0
// build 12") is known to the client only through the model file that
// EngineTestEnv ships, which is how such a device is met in the field.
inline devsim::Profile ProfileFor(devsim::Layout layout) {
  return devsim::Profile::Defaults(layout);
}

}  // namespace boxlink::enginetest
