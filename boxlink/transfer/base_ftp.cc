#include "boxlink/transfer/base_ftp.h"

#include <cstdio>

#include "boxlink/base/tree_names.h"
#include "boxlink/transfer/folder_ops.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "platform/registry.h"

namespace boxlink {

FtpTuning FtpTuning::FromRegistry() {
  FtpTuning t;
  auto key = platform::RegKey::Open(platform::Env::Current()->registry(),
                                    platform::RegRoot::kCurrentUser,
                                    kBoxLinkKey);
  if (!key) return t;
  t.ftp_log = key->GetDword("FtpLog").value_or(0);
  t.delay = key->GetDword("Delay").value_or(0);
  t.performance = key->GetDword("Performance").value_or(0);
  return t;
}

CBaseFtp::CBaseFtp() : tuning_(FtpTuning::FromRegistry()) {
  if (tuning_.performance)
    start_tick_ = platform::Env::Current()->clock().TickCount();
}

// The families close their connections in their own destructors; what is
// left, the queue and the statistics, is the same for all.
CBaseFtp::~CBaseFtp() {
  work_queue_.clear();
  if (tuning_.performance) {
    end_tick_ = platform::Env::Current()->clock().TickCount();
    (void)PerformanceText(true);
    (void)PerformanceText(false);
  }
}

void CBaseFtp::SetCommandWords(const FtpCommandWords& words) {
  list_command_ = words.list;
  make_folder_command_ = words.make_folder;
  remove_folder_command_ = words.remove_folder;
  change_folder_command_ = words.change_folder;
  delete_command_ = words.del;
}

bool CBaseFtp::FindBoxFolder(std::string_view root, uint32_t box,
                             std::string* name) {
  FindDataList folders;
  FtpListDirectory(tree::Join(root, tree::BoxFolder(box)), &folders, nullptr);
  if (folders.empty()) return false;
  *name = folders.front().name;
  return true;
}

uint32_t CBaseFtp::DownloadTree(std::string_view local,
                                std::string_view remote) {
  QueuePair(local, remote);
  while (!IsQueueEmpty()) {
    std::string l, r;
    TakeNextPair(&l, &r);
    DownloadFolder(l, r);
  }
  return 0;
}

uint32_t CBaseFtp::UploadTree(std::string_view local, std::string_view remote) {
  QueuePair(local, remote);
  while (!IsQueueEmpty()) {
    std::string l, r;
    TakeNextPair(&l, &r);
    // The folder may exist already (the engine creates the top one before
    // it fills it). The secure second family raises where the others only
    // return false; either way the upload below tells whether the folder
    // is usable.
    try {
      FtpCreateFolder(r);
    } catch (const BoxError& e) {
      if (e.code() == ZB_ERR_CANCELLED) throw;
    }
    UploadFolder(l, r);
  }
  return 0;
}

void CBaseFtp::CheckCancelEvent() {
  if (cancel_event_ && cancel_event_->Wait(0) == platform::kWaitObject0)
    Raise(ZB_ERR_CANCELLED);
}

uint32_t CBaseFtp::DownloadFolderWith(const FolderPolicy& policy,
                                      std::string_view local_in,
                                      std::string_view remote_in) {
  const std::string local(local_in), remote(remote_in);
  return transfer::Guarded(policy.download_label, policy.download_unknown, [&] {
    transfer::CreateLocalFolder(local);
    if (uint32_t e = transfer::SetCurrentFolder(local)) {
      CLogger::LogError(policy.chdir_failure, e);
      if (policy.raise_chdir) Raise(e);
    }
    FindDataList folders, files;
    if (!FtpListDirectory(remote, &folders, &files)) {
      uint32_t e = transfer::LastErrorOr1359();
      if (policy.list_failure) CLogger::LogError(policy.list_failure, e);
      Raise(e);
    }
    CheckCancelEvent();
    int counter = 1;
    for (const auto& f : files) {
      std::string_view name = f.name;
      if (name == kUnlockStatusFile) continue;
      if (!transfer::IsSafeEntryName(name)) {
        CLogger::LogText("Skipping a listed name unfit for a local file: " +
                         std::string(name));
        continue;
      }
      if (name == tree::kDocumentProperties) counter = -1;
      FtpGetFile(transfer::JoinRemote(remote, name),
                 transfer::JoinLocal(local, name));
      if (tuning_.performance) bytes_down_ += static_cast<float>(f.size());
      CheckCancelEvent();
    }
    for (const auto& d : folders) {
      std::string_view name = d.name;
      if (!transfer::IsSafeEntryName(name)) continue;
      std::string target;
      if (storage_layout_ == 1 && counter > 0) {
        char numbered[16];
        std::snprintf(numbered, sizeof numbered, "%04d", counter++);
        target = transfer::JoinLocal(local, numbered);
      } else {
        target = transfer::JoinLocal(local, name);
      }
      QueuePair(target, transfer::JoinRemote(remote, name));
    }
    return 0u;
  });
}

uint32_t CBaseFtp::UploadFolderWith(const FolderPolicy& policy,
                                    std::string_view local_in,
                                    std::string_view remote_in) {
  const std::string local(local_in), remote(remote_in);
  return transfer::Guarded(policy.upload_label, policy.upload_unknown, [&] {
    FindDataList folders, files;
    uint32_t listed = transfer::ListLocalFolder(local, &folders, &files);
    if (listed != 0 && policy.raise_local_list_failure) Raise(listed);
    for (const auto& f : files) {
      FtpPutFile(transfer::JoinRemote(remote, f.name),
                 transfer::JoinLocal(local, f.name));
      if (tuning_.performance) bytes_up_ += static_cast<float>(f.size());
      CheckCancelEvent();
    }
    for (const auto& d : folders)
      QueuePair(transfer::JoinLocal(local, d.name),
                transfer::JoinRemote(remote, d.name));
    return 0u;
  });
}

void CBaseFtp::SetCancelEvent(platform::Event* event) { cancel_event_ = event; }

void CBaseFtp::TakeNextPair(std::string* local, std::string* remote) {
  if (work_queue_.empty()) return;
  auto first = work_queue_.begin();
  *local = first->first;
  *remote = first->second;
  work_queue_.erase(first);
}

void CBaseFtp::QueuePair(std::string_view local, std::string_view remote) {
  work_queue_[std::string(local)] = std::string(remote);
}

void CBaseFtp::ClearQueue() { work_queue_.clear(); }

bool CBaseFtp::IsQueueEmpty() { return work_queue_.empty(); }

std::string CBaseFtp::PerformanceText(bool download) const {
  uint32_t end = end_tick_ ? end_tick_
                           : platform::Env::Current()->clock().TickCount();
  double seconds = (end - start_tick_) / 1000.0;
  double kb = (download ? bytes_down_ : bytes_up_) / 1024.0;
  double rate = seconds > 0 ? kb / seconds : 0;
  char buf[256];
  std::snprintf(buf, sizeof buf,
                download ? "\n Download\n File = %d \n size = %.2f KB \n Time = "
                           "%.2f Sec \n Performance = %.2f KB/Sec"
                         : "\n Upload \n File = %d \n size = %.2f KB \n Time = "
                           "%.2f Sec \n Performance = %.2f KB/Sec",
                static_cast<int>(download ? files_down_ : files_up_), kb,
                seconds, rate);
  return buf;
}

}  // namespace boxlink
