// The frame the job exports (backup, restore) share: the job runs inside
// it, whatever it throws becomes the export's code, a device that stopped
// answering marks the session lost, and the code goes to the diagnostic log
// under the export's name.
#ifndef BOXLINK_ENGINE_JOB_EXPORT_H_
#define BOXLINK_ENGINE_JOB_EXPORT_H_

#include <cstdint>
#include <string>

#include "boxlink.h"
#include "boxlink/base/box_error.h"
#include "boxlink/client/connection.h"
#include "boxlink/base/logger.h"

namespace boxlink {

// How a job's failure code is reported by its export; the identity unless
// a job says otherwise.
using ExportCodeMap = uint32_t (*)(uint32_t code);

template <typename Job>
uint32_t RunJobExport(const char* name, ZBSESSION* session, Job&& job,
                      ExportCodeMap map = nullptr) {
  uint32_t code = 0;
  try {
    job();
    return 0;
  } catch (const BoxError& e) {
    code = e.code() ? e.code() : uint32_t(ZB_ERR_INTERNAL_ERROR);
  } catch (...) {
    CLogger::LogError(std::string(name) + " Unknown", ZB_ERR_INTERNAL_ERROR, true);
    return ZB_ERR_INTERNAL_ERROR;
  }
  MarkSessionLostOn(session, code);
  if (map) code = map(code);
  CLogger::LogError(name, code);
  return code;
}

}  // namespace boxlink

#endif  // BOXLINK_ENGINE_JOB_EXPORT_H_
