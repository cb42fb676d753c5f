// An AutoBackupRunner that runs the backup through the job frame on the
// calling thread, without a progress window: for front ends without one
// and for tests that want the real frame (lock, FTP account, work folder,
// clean-up) around a scheduled run. The desktop program runs the same
// frame inside its progress dialog instead.
#pragma once

#include "keeper/app/auto_backup_host.h"
#include "keeper/app/job_backend.h"

namespace keeper {

class FrameBackupRunner final : public AutoBackupRunner {
 public:
  explicit FrameBackupRunner(JobBackend& backend) : backend_(backend) {}
  JobResult RunBackup(const JobRequest& request) override;

 private:
  JobBackend& backend_;
};

}  // namespace keeper
