// Plain FTP over the system's internet layer: port 21, active data
// connections, the device's replies read back for the 451 and 552 cases.
#pragma once

#include <memory>

#include "boxlink/transfer/base_ftp.h"
#include "standins/inet/ftp.h"
#include "standins/inet/session.h"

namespace FTP {

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

  // Slots of this family: a streamed single-file upload nothing calls, the
  // cancel test and the response logger.
  virtual uint32_t FtpStreamPutFile(std::string_view remote,
                                    std::string_view local);
  virtual void TestCancel();
  virtual void LogResponse();

  // The port plain FTP uses; devices always listen on 21.
  static constexpr uint16_t kPort = 21;
  inet::FtpConnection* connection() { return connection_.get(); }

 protected:
  CFtp();
  void SleepDelay();
  // A raw command without a data connection: word, a space and argument.
  bool SendCommand(std::string_view word, std::string_view argument);
  // Raises 12004 when not connected.
  inet::FtpConnection& Conn();

  std::unique_ptr<inet::FtpConnection> connection_;
  // Used when the caller's session has no internet session of its own.
  std::unique_ptr<inet::Session> own_session_;
};

class COrielFtp final : public CFtp {
 public:
  COrielFtp();
  bool FtpCreateFolder(std::string_view remote) override;
  bool FtpChangeDirectory(std::string_view remote) override;
  bool FtpListDirectory(std::string_view remote, boxlink::FindDataList* folders,
                        boxlink::FindDataList* files) override;
  bool FtpDeleteFile(std::string_view remote, bool is_folder) override;
  uint32_t FtpReplaceStatusFile(std::string_view folder) override;
};

class CBriskFtp final : public CFtp {
 public:
  CBriskFtp();
  bool FtpCreateFolder(std::string_view remote) override;
  bool FtpChangeDirectory(std::string_view remote) override;
  bool FtpListDirectory(std::string_view remote, boxlink::FindDataList* folders,
                        boxlink::FindDataList* files) override;
  bool FtpDeleteFile(std::string_view remote, bool is_folder) override;
  uint32_t FtpReplaceStatusFile(std::string_view folder) override;
};

}  // namespace FTP
