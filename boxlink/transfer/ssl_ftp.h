// FTP over the FTP wrapper library: explicit TLS when the device asks for
// it, the device's own FTP port, IPv6 hosts with a scope id.
#pragma once

#include "boxlink/transfer/base_ftp.h"
#include "ftpshim/ftpshim.h"
#include "platform/library.h"

namespace SSLFTP {

class CFtp : public boxlink::CBaseFtp {
 public:
  ~CFtp() override;

  void FtpOpenConnection(ZBSESSION* session, std::string_view user,
                         std::string_view password) override;
  void FtpCloseConnection() override;
  bool FtpDeleteElement(std::string_view, std::string_view,
                        uint32_t document) override;
  bool FtpGetFile(std::string_view remote, std::string_view local) override;
  bool FtpPutFile(std::string_view remote, std::string_view local) override;
  uint32_t DownloadFolder(std::string_view local,
                          std::string_view remote) override;
  uint32_t UploadFolder(std::string_view local,
                        std::string_view remote) override;
  uint32_t FtpCreateFile(std::string_view remote) override;

  virtual void TestCancel();
  virtual void LogResponse();  // nothing in this family

  IFtp* ftp_handle() const { return ftp_handle_; }
  uint32_t family_flag() const { return family_flag_; }

 protected:
  // `wrapper` is the loaded ftpshim (not owned; may be null).
  CFtp(platform::Library* wrapper, uint32_t family_flag);
  // Every call that talks to the server first selects active mode.
  IFtp& Ftp();
  // A raw command: word, a space and argument; true when the server took it.
  bool Raw(std::string_view word, std::string_view argument);
  // Lists `path` through a temporary name-list file into its lines.
  std::vector<std::string> NameList(std::string_view path);

  platform::Library* wrapper_module_ = nullptr;
  IFtp* ftp_handle_ = nullptr;
  uint32_t family_flag_ = 0;
};

class COrielFtp final : public CFtp {
 public:
  explicit COrielFtp(platform::Library* wrapper);
  bool FtpCreateFolder(std::string_view remote) override;
  bool FtpChangeDirectory(std::string_view remote) override;
  bool FtpListDirectory(std::string_view remote, boxlink::FindDataList* folders,
                        boxlink::FindDataList* files) override;
  bool FtpDeleteFile(std::string_view remote, bool is_folder) override;
  uint32_t FtpReplaceStatusFile(std::string_view folder) override;
};

class CBriskFtp final : public CFtp {
 public:
  explicit CBriskFtp(platform::Library* wrapper);
  bool FtpCreateFolder(std::string_view remote) override;
  bool FtpChangeDirectory(std::string_view remote) override;
  bool FtpListDirectory(std::string_view remote, boxlink::FindDataList* folders,
                        boxlink::FindDataList* files) override;
  bool FtpDeleteFile(std::string_view remote, bool is_folder) override;
  uint32_t FtpReplaceStatusFile(std::string_view folder) override;
};

}  // namespace SSLFTP
