// The one implementation of IFtp: every operation is one call of the FTP
// library, with anything thrown turned into the operation's fixed failure
// value, so that no exception reaches the loader of this library.
#pragma once

#include <memory>

#include "ftpshim/ftpshim.h"
#include "standins/ftplibpp/ftplib.h"

namespace ftpshim {

// Goes to an attached debugger on the original platform; here to standard
// error when ZELT_DEBUG_OUTPUT is set, and nowhere otherwise.
void DebugOutput(const char* text);

class IFtpImplements final : public IFtp {
 public:
  explicit IFtpImplements(std::unique_ptr<ftplib> ftps)
      : m_pFtps(std::move(ftps)) {}
  ~IFtpImplements() = default;

  int IFtpConnect(const char* host, int port, uint32_t scope_id) override;
  int IFtpNegotiateEncryption() override;
  int IFtpLogin(const char* user, const char* password) override;
  int IFtpSetDataEncryption(int flag) override;
  void IFtpSetConnmode(int mode) override;
  int IFtpNlst(const char* local_file, const char* path) override;
  int IFtpChdir(const char* path) override;
  int IFtpMkdir(const char* path) override;
  int IFtpRmdir(const char* path) override;
  int IFtpRename(const char* from, const char* to) override;
  int IFtpDelete(const char* path) override;
  int IFtpRaw(const char* command) override;
  int IFtpQuit() override;
  int IFtpGet(const char* local_file, const char* path, int mode,
              int64_t offset) override;
  int IFtpPut(const char* local_file, const char* path, int mode,
              int64_t offset) override;
  void* IFtpRawOpen(const char* path, int access_type, int mode) override;
  int IFtpRawClose(void* handle) override;

  ftplib* library() const { return m_pFtps.get(); }

 private:
  std::unique_ptr<ftplib> m_pFtps;
};

}  // namespace ftpshim
