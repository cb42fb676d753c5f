#include "boxlink/transfer/ssl_ftp.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

#include "boxlink/base/box_error.h"
#include "boxlink/base/logger.h"
#include "boxlink/base/marker_file.h"
#include "boxlink/transfer/folder_ops.h"
#include "boxlink/transfer/list_parse.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "platform/last_error.h"

namespace SSLFTP {
namespace {

using boxlink::BoxError;
using boxlink::CLogger;
using boxlink::FindDataList;
using boxlink::Raise;
namespace tr = boxlink::transfer;

constexpr int kImage = 2;
constexpr int kActive = 2;
constexpr int kFileWrite = 4;

const boxlink::CBaseFtp::FolderPolicy kPolicy = {
    "DownloadFolderByFTP",
    "DownloadFolderbyFTP",
    "SSLFTP::CFtp::UploadFolderByFTP",
    "SSLFTP::CFtp::UploadFolderByFTP Unknown",
    "DownloadFolderByFTP - SetCurrentDirectory",
    true,
    "DownloadFolderByFTP- FtpListDirectory",
    true};

std::string Str(std::string_view s) { return std::string(s); }

// The last system error after a failed wrapper call, as a raised code.
// The wrapper reports a failure only by its result; what it leaves in the
// last error is whatever the FTP library set, which may be nothing. Ftp()
// clears the error before each call, so an unset one is an unknown failure
// and never an older, unrelated code.
[[noreturn]] void RaiseLastError() { Raise(tr::LastErrorOr1359()); }

}  // namespace

CFtp::CFtp(platform::Library* wrapper, uint32_t family_flag)
    : wrapper_module_(wrapper), family_flag_(family_flag) {}

CFtp::~CFtp() { FtpCloseConnection(); }

IFtp& CFtp::Ftp() {
  if (!ftp_handle_) Raise(ZB_ERR_HTTP_CANNOT_CONNECT);
  ftp_handle_->IFtpSetConnmode(kActive);
  platform::SetLastError(0);
  return *ftp_handle_;
}

bool CFtp::Raw(std::string_view word, std::string_view argument) {
  return Ftp().IFtpRaw(tr::CommandLine(word, argument).c_str()) != 0;
}

void CFtp::TestCancel() { CheckCancelEvent(); }
void CFtp::LogResponse() {}

void CFtp::FtpOpenConnection(ZBSESSION* session, std::string_view user,
                             std::string_view password) {
  tr::Guarded("FtpOpenConnection", "FtpOpenConnection - Exception", [&] {
    FtpCloseConnection();
    if (!session) Raise(ZB_ERR_HTTP_CANNOT_CONNECT);
    const uint32_t ipv6 = std::string_view(session->Host).find(':') !=
                                  std::string_view::npos
                              ? 1
                              : 0;
    auto create = wrapper_module_
                      ? wrapper_module_->Function<CreateFtpHandleFn>("CreateFtpHandle")
                      : nullptr;
    if (create) ftp_handle_ = create(family_flag_, ipv6);
    // Without the wrapper there is no FTP object to talk through.
    if (!ftp_handle_) Raise(ZB_ERR_HTTP_CANNOT_CONNECT);

    if (!ftp_handle_->IFtpConnect(session->Host,
                                  static_cast<int>(session->FtpPort),
                                  session->ScopeId)) {
      CLogger::LogError("FtpOpenConnection - ftp - Connect",
                        platform::GetLastError());
      Raise(ZB_ERR_HTTP_CANNOT_CONNECT);
    }
    if (session->FtpSecure && !ftp_handle_->IFtpNegotiateEncryption()) {
      CLogger::LogError("FtpOpenConnection - ftp - NegotiateEncryption",
                        platform::GetLastError());
      Raise(ZB_ERR_HTTP_CANNOT_CONNECT);
    }
    if (!ftp_handle_->IFtpLogin(Str(user).c_str(), Str(password).c_str())) {
      CLogger::LogError("FtpOpenConnection - ftp - Login",
                        platform::GetLastError());
      Raise(ZB_ERR_INVALID_PASSWORD_FORMAT);
    }
    if (session->FtpSecure && !ftp_handle_->IFtpSetDataEncryption(1))
      CLogger::LogError("FtpOpenConnection - ftp - IFtpSetDataEncryption ",
                        platform::GetLastError());
  });
}

void CFtp::FtpCloseConnection() {
  if (!ftp_handle_) return;
  ftp_handle_->IFtpQuit();
  auto release = wrapper_module_
                     ? wrapper_module_->Function<ReleaseFtpHandleFn>("ReleaseFtpHandle")
                     : nullptr;
  if (release) release(ftp_handle_);
  ftp_handle_ = nullptr;
}

bool CFtp::FtpGetFile(std::string_view remote, std::string_view local) {
  try {
    if (!Ftp().IFtpGet(Str(local).c_str(), Str(remote).c_str(), kImage, 0))
      RaiseLastError();
  } catch (const BoxError& e) {
    if (e.code() == 0) Raise(ZB_ERR_INTERNAL_ERROR);
    CLogger::LogError("FtpGetFile", e.code());
    throw;
  } catch (...) {
    CLogger::LogError("FtpGetFile", 1359, true);
    Raise(ZB_ERR_INTERNAL_ERROR);
  }
  if (tuning_.performance) ++files_down_;
  return true;
}

bool CFtp::FtpPutFile(std::string_view remote, std::string_view local) {
  return tr::Guarded("FtpPutFile", "FtpPutFile", [&] {
    // The wrapper answers 1 for success, 0 for a failure, or a code the
    // library threw.
    int rc = Ftp().IFtpPut(Str(local).c_str(), Str(remote).c_str(), kImage, 0);
    if (rc != 1) Raise(rc == 0 ? tr::LastErrorOr1359() : static_cast<uint32_t>(rc));
    if (tuning_.performance) ++files_up_;
    return true;
  });
}

uint32_t CFtp::FtpCreateFile(std::string_view remote) {
  return tr::Guarded("FtpCreateFile", "FtpCreateFile", [&] {
    void* h = Ftp().IFtpRawOpen(Str(remote).c_str(), kFileWrite, kImage);
    if (!h) RaiseLastError();
    int rc = ftp_handle_->IFtpRawClose(h);
    if (rc == 0) RaiseLastError();
    if (rc != 1) Raise(static_cast<uint32_t>(rc));
    return 0u;
  });
}

bool CFtp::FtpDeleteElement(std::string_view, std::string_view,
                            uint32_t document) {
  return tr::Guarded("FtpDeleteElement", "FtpDeleteElement", [&] {
    if (!Ftp().IFtpDelete(tr::DocumentXmlName(document).c_str())) RaiseLastError();
    if (!Ftp().IFtpRmdir(tr::DocumentFolderName(document).c_str()))
      RaiseLastError();
    return true;
  });
}

uint32_t CFtp::DownloadFolder(std::string_view local, std::string_view remote) {
  return DownloadFolderWith(kPolicy, local, remote);
}

uint32_t CFtp::UploadFolder(std::string_view local, std::string_view remote) {
  return UploadFolderWith(kPolicy, local, remote);
}

std::vector<std::string> CFtp::NameList(std::string_view path) {
  std::string temp = platform::Env::Current()->TempDir() + "/~zbXXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) Raise(ZB_ERR_INTERNAL_ERROR);
  ::close(fd);
  if (!Ftp().IFtpNlst(temp.c_str(), Str(path).c_str())) {
    // The temporary file is removed here too; nothing reads it later.
    ::unlink(temp.c_str());
    CLogger::LogError("IFtpNlst Failed with %d", 0);
    Raise(ZB_ERR_INTERNAL_ERROR);
  }
  std::vector<std::string> lines;
  std::FILE* f = std::fopen(temp.c_str(), "rb");
  if (f) {
    char buf[520];
    while (std::fgets(buf, sizeof buf, f)) {
      std::string line(buf);
      bool whole = !line.empty() && line.back() == '\n';
      while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
      lines.push_back(std::move(line));
      // A line longer than the buffer: the rest is not a line of its own.
      if (!whole) {
        int c;
        while ((c = std::fgetc(f)) != EOF && c != '\n') {
        }
      }
    }
    std::fclose(f);
  }
  ::unlink(temp.c_str());
  return lines;
}

// ---------------------------------------------------------------- Oriel

COrielFtp::COrielFtp(platform::Library* wrapper) : CFtp(wrapper, 1) {
  SetCommandWords(boxlink::kOrielCommandWords);
}

bool COrielFtp::FtpCreateFolder(std::string_view remote) {
  return tr::Guarded("FtpCreateFolder", "FtpCreateFolder", [&] {
    Ftp().IFtpMkdir(Str(remote).c_str());
    return true;
  });
}

bool COrielFtp::FtpChangeDirectory(std::string_view remote) {
  return tr::Guarded("FtpChangeDirectory", "FtpChangeDirectory", [&] {
    if (!Ftp().IFtpChdir(Str(remote).c_str())) RaiseLastError();
    return true;
  });
}

bool COrielFtp::FtpListDirectory(std::string_view remote, FindDataList* folders,
                                 FindDataList* files) {
  return tr::Guarded("FtpListDirectory", "FtpListDirectory", [&] {
    tr::ClearLists(folders, files);
    const bool marker = boxlink::HasMarkerFile(boxlink::kMarkerDefaultListParser);
    for (const auto& line : NameList(remote)) {
      int kind = 0;
      std::string name;
      if (!tr::ParseOrielNameListLine(line, marker, &kind, &name)) {
        CLogger::LogError("FtpListDirectory", 1359, true);
        Raise(ZB_ERR_INTERNAL_ERROR);
      }
      if (kind != 0) tr::AddEntry(tr::NamedEntry(name, kind == 1), folders, files);
    }
    return true;
  });
}

bool COrielFtp::FtpDeleteFile(std::string_view remote, bool is_folder) {
  std::string p = Str(remote);
  return is_folder ? Ftp().IFtpRmdir(p.c_str()) != 0
                   : Ftp().IFtpDelete(p.c_str()) != 0;
}

uint32_t COrielFtp::FtpReplaceStatusFile(std::string_view folder) {
  const std::string old_name = tr::JoinRemote(folder, boxlink::kCreateStatusFile);
  const std::string new_name = tr::JoinRemote(folder, boxlink::kUnlockStatusFile);
  try {
    if (Ftp().IFtpRename(old_name.c_str(), new_name.c_str())) return 0;
    CLogger::LogText("FtpRenameFile fail check again - AES modules");
    FtpCreateFile(new_name);
    if (!Ftp().IFtpDelete(old_name.c_str())) Raise(ZB_ERR_HTTP_INTERNAL);
    return 0;
  } catch (...) {
    CLogger::LogError("FtpReplaceStatusFile", 1359, true);
    uint32_t e = platform::GetLastError();
    Raise(e ? e : uint32_t{ZB_ERR_INTERNAL_ERROR});
  }
}

// ---------------------------------------------------------------- Brisk

CBriskFtp::CBriskFtp(platform::Library* wrapper) : CFtp(wrapper, 0) {
  SetCommandWords(boxlink::kBriskCommandWords);
}

bool CBriskFtp::FtpCreateFolder(std::string_view remote) {
  return tr::Guarded("FtpCreateFolder", "FtpCreateFolder", [&] {
    if (!Raw(make_folder_command_, remote)) Raise(ZB_ERR_INTERNAL_ERROR);
    return true;
  });
}

bool CBriskFtp::FtpChangeDirectory(std::string_view remote) {
  return tr::Guarded("FtpChangeDirectory", "FtpChangeDirectory", [&] {
    if (!Raw(change_folder_command_, remote)) Raise(ZB_ERR_INTERNAL_ERROR);
    return true;
  });
}

bool CBriskFtp::FtpListDirectory(std::string_view remote, FindDataList* folders,
                                 FindDataList* files) {
  return tr::Guarded("FtpListDirectory", "FtpListDirectory", [&] {
    tr::ClearLists(folders, files);
    auto lines = NameList(Str(remote) + "/");
    for (size_t i = 2; i < lines.size(); ++i) {
      bool folder = false;
      std::string name;
      if (!tr::ParseBriskNameListLine(lines[i], &folder, &name)) break;
      tr::AddEntry(tr::NamedEntry(name, folder), folders, files);
    }
    return true;
  });
}

bool CBriskFtp::FtpDeleteFile(std::string_view remote, bool is_folder) {
  Raw(is_folder ? remove_folder_command_ : delete_command_, remote);
  return true;
}

uint32_t CBriskFtp::FtpReplaceStatusFile(std::string_view folder) {
  return tr::Guarded("FtpReplaceStatusFile", "FtpReplaceStatusFile", [&] {
    FtpCreateFile(tr::JoinRemote(folder, boxlink::kUnlockStatusFile));
    if (!Raw(delete_command_, tr::JoinRemote(folder, boxlink::kCreateStatusFile)))
      RaiseLastError();
    return 0u;
  });
}

}  // namespace SSLFTP
