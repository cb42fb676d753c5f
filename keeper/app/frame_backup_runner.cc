#include "keeper/app/frame_backup_runner.h"

#include "keeper/app/job_frame.h"

namespace keeper {

JobResult FrameBackupRunner::RunBackup(const JobRequest& request) {
  JobFrame frame(backend_);
  return frame.Run(request);
}

}  // namespace keeper
