// What the job tests against the simulated device share: the administrator
// password the device's profile expects, port probes that skip SNMP (the
// tests start only the web and FTP services), and a device profile per
// layout that the session opener accepts.
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

inline devsim::Profile ProfileFor(devsim::Layout layout) {
  devsim::Profile p = devsim::Profile::Defaults(layout);
  // The session opener knows only the fixed engine list; the storage model
  // ("Varda 8000", from the model file) is named beside a listed engine so
  // that the session opens and the job still classifies it by the model.
  if (layout == devsim::Layout::kStorage)
    p.engine_version = "Varda 8000 Series V1.0 build 12 / Varda 560 Series V4.0.0.0";
  return p;
}

}  // namespace boxlink::enginetest
