// A backup job for device tests that lets the test act at the job's own
// cancel check points, from the job's thread: set the cancel event, arm a
// device fault, take the model checker away. Each check point is recorded
// with what the job had reached, so a test can pick "the first check of the
// box transfer" without racing the job.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "boxlink/engine/backup.h"

namespace boxlink::backuptest {

struct CheckPoint {
  uint32_t state = 0;
  uint32_t percent = 0;
  uint32_t done_docs = 0;
  std::string box, folder, doc;  // the progress names
  bool box_tree = false;         // BOX exists under the work folder
  bool index_file = false;       // BOX/Backup.XML exists
  size_t boxes_known = 0;        // box property records collected
  bool transfer_open = false;    // an FTP session of the job is open
};

class ScriptedBackup : public CBackup {
 public:
  // Called at every check point before the check itself.
  std::function<void(size_t index, const CheckPoint&)> at_check;
  // Called once the box properties are collected.
  std::function<void()> after_prepare;

  const std::vector<CheckPoint>& seen() const { return seen_; }

  void CheckCancel() override {
    if (progress_) {
      namespace fs = std::filesystem;
      CheckPoint p;
      p.state = progress_->State;
      p.percent = progress_->Percent;
      p.done_docs = progress_->DoneDocs;
      p.box = progress_->BoxName;
      p.folder = progress_->FolderName;
      p.doc = progress_->DocName;
      std::error_code ec;
      p.box_tree = fs::exists(work_folder_ + "/BOX", ec);
      p.index_file = fs::exists(work_folder_ + "/BOX/Backup.XML", ec);
      p.boxes_known = box_properties_.size();
      p.transfer_open = transfer_ != nullptr;
      seen_.push_back(p);
      if (at_check) at_check(seen_.size() - 1, p);
    }
    CBackup::CheckCancel();
  }

  void PrepareBoxes() override {
    CBackup::PrepareBoxes();
    if (after_prepare) after_prepare();
  }

 private:
  std::vector<CheckPoint> seen_;
};

}  // namespace boxlink::backuptest
