#include "boxlink/transfer/plain_ftp.h"

#include <cstdio>
#include <cstring>

#include "boxlink/base/box_error.h"
#include "boxlink/base/logger.h"
#include "boxlink/transfer/folder_ops.h"
#include "boxlink/transfer/list_parse.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "platform/last_error.h"

namespace FTP {
namespace {

using boxlink::BoxError;
using boxlink::CLogger;
using boxlink::FindDataList;
using boxlink::Raise;
namespace tr = boxlink::transfer;

constexpr uint32_t kTimeoutMs = 10000;
// The longest command line the devices take.
constexpr size_t kMaxCommand = 600;

const boxlink::CBaseFtp::FolderPolicy kPolicy = {
    "DownloadFolderByFTP",     "DownloadFolderByFTP",
    "FTP::CFtp::UploadFolder", "FTP::CFtp::UploadFolder Unknown",
    "SetCurrentDirectory",     false,
    nullptr,
    // A local folder that cannot be listed would otherwise be "uploaded"
    // as empty and the restore reported as a success.
    true};

void SetTimeouts(inet::FtpConnection& c) {
  inet::Timeouts t;
  t.connect_ms = kTimeoutMs;
  t.receive_ms = kTimeoutMs;
  t.data_receive_ms = kTimeoutMs;
  c.SetTimeouts(t);
}

// The reply code at the start of the server's last reply (0 when none).
uint32_t ResponseNumber(const std::string& text) {
  if (text.size() < 3) return 0;
  uint32_t n = 0;
  for (int i = 0; i < 3; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    n = n * 10 + static_cast<uint32_t>(text[i] - '0');
  }
  return n;
}

std::string Str(std::string_view s) { return std::string(s); }

}  // namespace

CFtp::CFtp() = default;

CFtp::~CFtp() { FtpCloseConnection(); }

inet::FtpConnection& CFtp::Conn() {
  if (!connection_) Raise(ZB_ERR_HTTP_INTERNAL);
  return *connection_;
}

bool CFtp::SendCommand(std::string_view word, std::string_view argument) {
  return Conn().Command(tr::CommandLine(word, argument), false, false, nullptr);
}

void CFtp::SleepDelay() {
  if (tuning_.delay) platform::Env::Current()->clock().SleepMillis(tuning_.delay);
}

void CFtp::TestCancel() { CheckCancelEvent(); }

void CFtp::LogResponse() {
  // Fetching the reply is all: the diagnostic level decides whether anyone
  // would look at it, and nothing lasting comes of it.
  if (connection_ && tuning_.ftp_log >= 2) (void)connection_->LastResponse();
}

void CFtp::FtpOpenConnection(ZBSESSION* session, std::string_view user,
                             std::string_view password) {
  FtpCloseConnection();
  if (!session) Raise(ZB_ERR_HTTP_INTERNAL);
  auto* internet = static_cast<inet::Session*>(session->InternetHandle);
  if (!internet) {
    if (!own_session_) own_session_ = std::make_unique<inet::Session>("zbBoxFTPAcs");
    internet = own_session_.get();
  }
  connection_ = inet::FtpConnection::Open(*internet, session->Host, kPort,
                                          Str(user), Str(password),
                                          /*passive=*/false, session->ScopeId);
  if (connection_) {
    SetTimeouts(*connection_);
    return;
  }
  uint32_t e = platform::GetLastError();
  CLogger::LogError("InternetConnect", e);
  switch (e) {
    case inet::kErrIncorrectPassword:
      CLogger::LogError("InternetConnect (Wrong Ftp Password)", e);
      Raise(ZB_ERR_INVALID_PASSWORD_FORMAT);
    case inet::kErrCannotConnect:
      CLogger::LogError("Ftp InternetConnect Looks Disbaled or Port No Prob", e);
      Raise(ZB_ERR_SERVICE_NOT_ACTIVE);
    case ZB_ERR_INVALID_PARAMETER:
      CLogger::LogError("Ftp InternetConnect", e);
      Raise(ZB_ERR_HTTP_INTERNAL);
    default:
      Raise(ZB_ERR_HTTP_INTERNAL);
  }
}

void CFtp::FtpCloseConnection() {
  if (!connection_) return;
  SetTimeouts(*connection_);
  connection_.reset();
}

bool CFtp::FtpGetFile(std::string_view remote, std::string_view local) {
  SleepDelay();
  if (!Conn().GetFile(Str(remote), Str(local), /*fail_if_exists=*/false)) {
    uint32_t e = tr::LastErrorOr1359();
    CLogger::LogError("FtpGetFile", e);
    Raise(e);
  }
  if (tuning_.performance) ++files_down_;
  LogResponse();
  return true;
}

bool CFtp::FtpPutFile(std::string_view remote, std::string_view local) {
  SleepDelay();
  auto& c = Conn();
  if (c.PutFile(Str(local), Str(remote))) {
    if (tuning_.performance) ++files_up_;
    LogResponse();
    return true;
  }
  uint32_t own_error = c.last_error();
  std::string response = c.LastResponse().substr(0, 512);
  if (response.find("451 Requested action aborted") != std::string::npos)
    Raise(ZB_ERR_BOX_LIMITS);
  if (response.find("552 Requested file action aborted") != std::string::npos) {
    CLogger::LogText("\n***********************************\n\n ");
    CLogger::LogText("\n ERROR ---> 552 Requested file action aborted \n");
    CLogger::LogText("\n RETRYING TO PUT FILE AGAIN \n");
    platform::Env::Current()->clock().SleepMillis(100);
    CLogger::LogText("\n Just for Safety Deleting the File.. \n ");
    FtpDeleteFile(remote, false);
    if (!c.PutFile(Str(local), Str(remote))) {
      uint32_t e = tr::LastErrorOr1359();
      CLogger::LogText("\n Retying After 552 Error also Failed ...!! \n ");
      CLogger::LogText("\n\n***********************************\n");
      Raise(e);
    }
    CLogger::LogText("\n After 552 Error, PUT Operation recovered ...!! \n ");
    CLogger::LogText("\n\n***********************************\n");
    if (tuning_.performance) ++files_up_;
    return true;
  }
  if (own_error == inet::kErrConnectionReset) {
    CLogger::LogError("FTP::CFtp::PutFile", own_error);
    Raise(ZB_ERR_CONNECTION_RESET);
  }
  // The server's number only when the server refused this upload; after a
  // failure on our side its last reply is an older one (the 226 of the
  // previous file, the 150 of a transfer that then stalled, the 550 of an
  // earlier command).
  uint32_t code = own_error == inet::kErrExtendedError ? ResponseNumber(response)
                  : own_error                          ? own_error
                                                       : uint32_t(ZB_ERR_INTERNAL_ERROR);
  CLogger::LogError("FTP::CFtp::PutFile", code);
  Raise(code);
}

uint32_t CFtp::FtpStreamPutFile(std::string_view remote,
                                std::string_view local) {
  // Kept for the interface; copies the file through an opened remote file.
  std::FILE* in = std::fopen(Str(local).c_str(), "rb");
  if (!in) Raise(ZB_ERR_FILE_NOT_FOUND);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(in, std::fclose);
  auto out = Conn().OpenFile(Str(remote), /*write=*/true);
  if (!out) Raise(tr::LastErrorOr1359());
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, in)) > 0)
    if (!out->Write(buf, n)) Raise(tr::LastErrorOr1359());
  if (!out->Close()) Raise(tr::LastErrorOr1359());
  return 0;
}

bool CFtp::FtpDeleteElement(std::string_view, std::string_view,
                            uint32_t document) {
  SendCommand("DELE", tr::DocumentXmlName(document));
  return SendCommand("RMD", tr::DocumentFolderName(document));
}

uint32_t CFtp::FtpCreateFile(std::string_view remote) {
  auto f = Conn().OpenFile(Str(remote), /*write=*/true);
  if (!f || !f->Close()) Raise(ZB_ERR_HTTP_INTERNAL);
  return 0;
}

uint32_t CFtp::DownloadFolder(std::string_view local, std::string_view remote) {
  return DownloadFolderWith(kPolicy, local, remote);
}

uint32_t CFtp::UploadFolder(std::string_view local, std::string_view remote) {
  return UploadFolderWith(kPolicy, local, remote);
}

// ---------------------------------------------------------------- Oriel

COrielFtp::COrielFtp() { SetCommandWords(boxlink::kOrielCommandWords); }

bool COrielFtp::FtpCreateFolder(std::string_view remote) {
  return Conn().CreateDirectory(Str(remote));
}

bool COrielFtp::FtpChangeDirectory(std::string_view remote) {
  return tr::Guarded("FtpChangeDirectory", "FtpChangeDirectory", [&] {
    SleepDelay();
    if (!Conn().SetCurrentDirectory(Str(remote))) Raise(tr::LastErrorOr1359());
    return true;
  });
}

bool COrielFtp::FtpListDirectory(std::string_view remote, FindDataList* folders,
                                 FindDataList* files) {
  return tr::Guarded("FtpListDirectory", "FtpListDirectory", [&] {
    tr::ClearLists(folders, files);
    SleepDelay();
    auto& c = Conn();
    inet::FtpFindData d;
    if (!c.FindFirstFile(Str(remote), &d)) {
      // An empty folder is a good listing.
      return c.last_error() == inet::kErrNoMoreFiles;
    }
    do {
      // Only the folder's own entries are dropped: a device file whose name
      // starts with a dot is data like any other.
      if (std::strcmp(d.name, ".") == 0 || std::strcmp(d.name, "..") == 0)
        continue;
      tr::AddEntry(d, folders, files);
    } while (c.FindNextFile(&d));
    if (c.last_error() != inet::kErrNoMoreFiles) {
      CLogger::LogError("InternetFindNextFile", c.last_error());
      return false;
    }
    return true;
  });
}

bool COrielFtp::FtpDeleteFile(std::string_view remote, bool is_folder) {
  return is_folder ? Conn().RemoveDirectory(Str(remote))
                   : Conn().DeleteFile(Str(remote));
}

uint32_t COrielFtp::FtpReplaceStatusFile(std::string_view folder) {
  std::string old_name = tr::JoinRemote(folder, boxlink::kCreateStatusFile);
  std::string new_name = tr::JoinRemote(folder, boxlink::kUnlockStatusFile);
  if (!Conn().RenameFile(old_name, new_name)) Raise(ZB_ERR_HTTP_INTERNAL);
  return 0;
}

// ---------------------------------------------------------------- Brisk

CBriskFtp::CBriskFtp() { SetCommandWords(boxlink::kBriskCommandWords); }

bool CBriskFtp::FtpCreateFolder(std::string_view remote) {
  return tr::Guarded("FTP::CBriskFtp::FtpCreateFolder",
                     "FTP::CBriskFtp::FtpCreateFolder",
                     [&] { return SendCommand(make_folder_command_, remote); });
}

bool CBriskFtp::FtpChangeDirectory(std::string_view remote) {
  return tr::Guarded("FtpChangeDirectory", "FtpChangeDirectory", [&] {
    if (!SendCommand(change_folder_command_, remote)) Raise(tr::LastErrorOr1359());
    return true;
  });
}

bool CBriskFtp::FtpListDirectory(std::string_view remote, FindDataList* folders,
                                 FindDataList* files) {
  return tr::Guarded("FtpListDirectory", "FtpListDirectory", [&] {
    tr::ClearLists(folders, files);
    std::unique_ptr<inet::FtpTransfer> data;
    std::string cmd = tr::CommandLine(list_command_, remote);
    // Refused whole rather than cut to a path that may name another folder.
    if (cmd.size() > kMaxCommand) {
      CLogger::LogError("FtpListDirectory - command too long", ZB_ERR_FILENAME_EXCED_RANGE);
      Raise(ZB_ERR_FILENAME_EXCED_RANGE);
    }
    if (!Conn().Command(cmd, true, false, &data)) {
      uint32_t e = tr::LastErrorOr1359();
      CLogger::LogError("FtpListDirectory", e);
      Raise(e);
    }
    std::string text;
    char buf[4096];
    for (;;) {
      size_t got = 0;
      if (!data->Read(buf, sizeof buf, &got)) {
        uint32_t e = tr::LastErrorOr1359();
        CLogger::LogError("InternetReadFile ", e);
        Raise(e);
      }
      if (got == 0) break;
      if (got > inet::kMaxListingBytes - text.size()) {
        data.reset();  // ends the transfer and reads the server's verdict
        CLogger::LogError("InternetReadFile ", inet::kErrListingTooLong);
        Raise(inet::kErrListingTooLong);
      }
      text.append(buf, got);
    }
    // A listing cut short must not pass for a short folder.
    if (!data->Close()) {
      uint32_t e = tr::LastErrorOr1359();
      CLogger::LogError("InternetReadFile ", e);
      Raise(e);
    }
    tr::ParseBriskListAnswer(text, folders, files);
    return true;
  });
}

bool CBriskFtp::FtpDeleteFile(std::string_view remote, bool is_folder) {
  return SendCommand(is_folder ? remove_folder_command_ : delete_command_, remote);
}

uint32_t CBriskFtp::FtpReplaceStatusFile(std::string_view folder) {
  FtpCreateFile(tr::JoinRemote(folder, boxlink::kUnlockStatusFile));
  if (!SendCommand(delete_command_,
                   tr::JoinRemote(folder, boxlink::kCreateStatusFile)))
    CLogger::LogError("FtpDeleteFile", 1359, true);
  return 0;
}

}  // namespace FTP
