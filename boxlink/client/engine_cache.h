// The process-wide engine information: filled at every session open from
// the connect reply's version, and read by every CGI export (the version
// gate). One device is served at a time, so one record serves all sessions.
#pragma once

#include <cstdint>

#include "boxlink.h"

namespace boxlink {

// Laid out as ZBENGINEINFO, so the engine-information export can fill it
// directly.
struct EngineInfoRecord {
  char EngineVersion[512];
  char MACAddress[512];
  uint32_t CurrentTime;
};

EngineInfoRecord& EngineInfoCache();
void ClearEngineInfoCache();

// How the gate fills an empty cache: the engine-information export called
// with the session, a null password and the cache. Its translation unit
// installs it once at start-up; until then an empty cache fails the gate.
using EngineInfoFill = uint32_t (*)(ZBSESSION* session, const char* password,
                                    EngineInfoRecord* info);
void SetEngineInfoFill(EngineInfoFill fill);
EngineInfoFill GetEngineInfoFill();

}  // namespace boxlink
