#include "boxlink/engine/zelt.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <system_error>

#include "boxlink/base/box_error.h"
#include "boxlink/client/cgi.h"
#include "boxlink/base/event_handle.h"
#include "boxlink/transfer/plain_ftp.h"
#include "boxlink/transfer/ssl_ftp.h"
#include "boxlink/transfer/transfer_library.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "platform/text.h"

namespace boxlink {

namespace {

// A relative path as seen from the current folder now; others unchanged.
std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.string();
}

}  // namespace

void SetProgressName(char (&field)[512], std::string_view text) {
  platform::CopyBounded(field, sizeof field, text);
}

CZelt::CZelt() { start_ticks_ = platform::Env::Current()->clock().TickCount(); }

CZelt::~CZelt() {
  // The keep-alive goes first: nothing may reach the device after the job.
  keep_alive_.Stop();
  transfer_.reset();
  transfer_library_.reset();
  if (begun_ && !work_folder_.empty()) {
    // Transfers move the process into the work tree; step out of it before
    // it goes, so the process is not left in a removed folder.
    if (::chdir(work_folder_.c_str()) != 0) {
      // Removing the tree does not need the current folder.
    }
    zip_.DeleteBox();
  }
  end_ticks_ = platform::Env::Current()->clock().TickCount();
}

void CZelt::CheckCancel() {
  if (cancel_event_ && cancel_event_->Wait(0) == platform::kWaitObject0)
    Raise(ZB_ERR_CANCELLED);
}

void CZelt::Begin(ZBSESSION* session, const char* password,
                  const char* ftp_user, const char* work_folder,
                  const char* archive_path, uint32_t box_count,
                  const uint32_t* box_numbers, ZBEVENT cancel_event,
                  ZBEVENT progress_event, BoxJobProgress* progress) {
  if (!session || !work_folder || !archive_path || !progress ||
      (box_count && !box_numbers))
    Raise(ZB_ERR_INVALID_PARAMETER);
  session_ = session;
  session_->Alive = 1;
  char chosen[256];
  ResolveBoxPassword(session, password, chosen);
  password_ = chosen;
  ftp_user_ = ftp_user ? ftp_user : "";
  work_folder_ = work_folder;
  while (work_folder_.size() > 1 &&
         (work_folder_.back() == '/' || work_folder_.back() == '\\'))
    work_folder_.pop_back();
  // Transfers change the process's current folder and boxes are packed on
  // a thread of their own: the job's paths must not depend on it.
  work_folder_ = AbsolutePath(work_folder_);
  archive_path_ = AbsolutePath(archive_path);
  archive_path_wide_ = platform::Utf8ToUtf16(archive_path_);
  box_numbers_.assign(box_numbers, box_numbers + box_count);
  cancel_event_ = EventOf(cancel_event);
  progress_event_ = EventOf(progress_event);
  progress_ = progress;

  std::memset(progress_, 0, sizeof *progress_);
  progress_->State = BOXJOB_STATE_PREPARING;
  Notify();

  zip_.SetArchivePath(archive_path_);
  zip_.SetWorkFolder(work_folder_);
  begun_ = true;

  if (!keep_alive_.Start(session_, keep_alive_touch_)) Raise(ZB_ERR_INTERNAL_ERROR);
  CheckCancel();
}

void CZelt::LoadTransferLibrary(const char* location) {
  if (!location || !*location) return;
  transfer_library_ = boxlink::LoadTransferLibrary(location);
}

void CZelt::ClassifyLayout() {
  layout_ = boxlink::ClassifyLayout(engine_info_.EngineVersion);
  zip_.SetLayout(layout_.layout == DeviceLayout::kShared,
                 layout_.layout == DeviceLayout::kStorage);
}

std::unique_ptr<CBaseFtp> CZelt::OpenTransfer(bool for_box_transfer) {
  TransferFamily family = ChooseFamily(engine_info_.EngineVersion, for_box_transfer);
  std::unique_ptr<CBaseFtp> ftp;
  try {
    platform::Library* wrapper = transfer_library_.get();
    if (wrapper) {
      if (family == TransferFamily::kOriel)
        ftp = std::make_unique<SSLFTP::COrielFtp>(wrapper);
      else
        ftp = std::make_unique<SSLFTP::CBriskFtp>(wrapper);
    } else if (family == TransferFamily::kOriel) {
      ftp = std::make_unique<FTP::COrielFtp>();
    } else {
      ftp = std::make_unique<FTP::CBriskFtp>();
    }
  } catch (const std::bad_alloc&) {
    Raise(ZB_ERR_NOT_ENOUGH_MEMORY);
  }
  ftp->SetCancelEvent(cancel_event_);
  // The index step always logs in with the box password; box transfers of
  // storage devices use the FTP account the caller created. Only the
  // restricted session is told that account's password; in a full session
  // the account takes the password it was created with, the box password.
  if (for_box_transfer && layout_.layout == DeviceLayout::kStorage) {
    const bool restricted = session_->AccessMode == ZB_ACCESS_RESTRICTED;
    std::string_view account_password(
        session_->FtpPassword, strnlen(session_->FtpPassword, sizeof session_->FtpPassword));
    ftp->FtpOpenConnection(session_, ftp_user_,
                           restricted ? account_password : std::string_view(password_));
    ftp->SetStorageLayout(1);
  } else {
    ftp->FtpOpenConnection(session_, ftp_user_, password_);
  }
  return ftp;
}

void CZelt::Notify() {
  if (progress_event_) progress_event_->Set();
}

void CZelt::SetState(uint32_t state) { progress_->State = state; }

void CZelt::SetPercentFromItems() {
  uint64_t total = items_total_ ? items_total_ : 1;
  uint64_t p = uint64_t(items_done_) * 90 / total + 5;
  // Counts can run ahead of the estimate; the transfer share ends at 95.
  progress_->Percent = uint32_t(p > 95 ? 95 : p);
}

void CZelt::ClearNames() {
  progress_->FolderName[0] = '\0';
  progress_->DocName[0] = '\0';
}

}  // namespace boxlink
