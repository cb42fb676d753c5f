// The message a front end shows when a run has ended.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "desktop/texts.h"
#include "keeper/app/job_frame.h"

namespace keeper {

enum class Severity { kInformation, kWarning, kError };

struct ResultMessage {
  std::string text;
  Severity severity = Severity::kInformation;
  // The error means the connection is gone: show the disconnected state.
  bool disconnected = false;
};

// The texts come from the process's keeper texts, or from `texts`. A
// cancelled run says that the user cancelled it in U.S. English, and the
// plainer text of the language otherwise.
ResultMessage BackupResultMessage(const JobResult& result,
                                  std::string_view address);
ResultMessage BackupResultMessage(const JobResult& result,
                                  std::string_view address,
                                  const desktop::Texts& texts);

// storage_type answers the device's storage type for a disk-full failure;
// false when it cannot be asked.
using StorageTypeQuery = std::function<bool(uint32_t* type)>;
ResultMessage RestoreResultMessage(const JobResult& result,
                                   std::string_view address,
                                   const StorageTypeQuery& storage_type);
ResultMessage RestoreResultMessage(const JobResult& result,
                                   std::string_view address,
                                   const StorageTypeQuery& storage_type,
                                   const desktop::Texts& texts);

}  // namespace keeper
