// The message a front end shows when a run has ended.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "keeper/app/job_frame.h"

namespace keeper {

enum class Severity { kInformation, kWarning, kError };

struct ResultMessage {
  std::string text;
  Severity severity = Severity::kInformation;
  // The error means the connection is gone: show the disconnected state.
  bool disconnected = false;
};

ResultMessage BackupResultMessage(const JobResult& result,
                                  std::string_view address);

// storage_type answers the device's storage type for a disk-full failure;
// false when it cannot be asked.
using StorageTypeQuery = std::function<bool(uint32_t* type)>;
ResultMessage RestoreResultMessage(const JobResult& result,
                                   std::string_view address,
                                   const StorageTypeQuery& storage_type);

}  // namespace keeper
