// Our FTP client library: one control connection to one server, plain or
// with explicit TLS (AUTH TLS, PBSZ 0, PROT P/C), data connections in
// passive (PASV/EPSV) or active (PORT/EPRT) mode, IPv4 and IPv6 with a
// scope id, binary and ASCII types.
//
// Every member that talks to the server returns 1 on success and 0 on
// failure. After a failure the reason is in LastError() and the thread's
// last error (the numbers of ftp_errors.h), and the server's last reply in
// LastResponse(). Every wait is bounded by Timeout() milliseconds of the
// platform clock.
#pragma once

#include <openssl/ssl.h>

#include <cstdint>
#include <memory>
#include <string>

#include "standins/ftplibpp/ftp_reply.h"
#include "standins/ftplibpp/ftp_socket.h"

struct ftphandle;  // an open data connection (RawOpen .. RawClose)

class ftplib {
 public:
  enum accesstype {
    dir = 1,          // NLST
    dirverbose,       // LIST
    fileread,         // RETR
    filewrite,        // STOR
    filereadappend,   // RETR (reading resumes where the caller says)
    filewriteappend,  // APPE
  };
  enum transfermode { ascii = 'A', image = 'I' };
  enum connmode { pasv = 1, port };
  enum dataencryption { unencrypted = 0, secure };

  // family_flag is kept for the caller (FamilyFlag()); the client behaves
  // the same for both families. ipv6 selects IPv6 for host names (numeric
  // IPv6 addresses are always used as such) and EPSV/EPRT for data.
  ftplib(int family_flag, int ipv6);
  ~ftplib();
  ftplib(const ftplib&) = delete;
  ftplib& operator=(const ftplib&) = delete;

  int Connect(const char* host, int port, uint32_t scope_id);
  int NegotiateEncryption();
  int Login(const char* user, const char* pass);
  int SetDataEncryption(dataencryption enc);
  void SetConnmode(connmode mode);

  int Nlst(const char* outputfile, const char* path);
  int Dir(const char* outputfile, const char* path);
  int Chdir(const char* path);
  int Mkdir(const char* path);
  int Rmdir(const char* path);
  int Rename(const char* src, const char* dst);
  int Delete(const char* path);
  // One command line without a data connection; success for a positive
  // (2xx) or intermediate (3xx) reply.
  int Raw(const char* command);
  int Quit();
  int Get(const char* outputfile, const char* path, transfermode mode,
          int64_t offset = 0);
  int Put(const char* inputfile, const char* path, transfermode mode,
          int64_t offset = 0);

  ftphandle* RawOpen(const char* path, accesstype type, transfermode mode);
  // Any command that answers over a data connection ("LIST /x", "RETR y").
  ftphandle* RawOpenCommand(const char* command, bool upload,
                            transfermode mode, int64_t offset = 0);
  // Bytes read, 0 at the end of the data, -1 on failure.
  int RawRead(void* buf, int max, ftphandle* handle);
  int RawWrite(const void* buf, int len, ftphandle* handle);
  // Ends the data connection and reads the transfer's final reply: 1 only
  // when the server confirms the transfer as complete.
  int RawClose(ftphandle* handle);

  const char* LastResponse() const { return last_response_.c_str(); }
  int LastReplyCode() const { return last_code_; }
  uint32_t LastError() const { return last_error_; }
  int FamilyFlag() const { return family_flag_; }
  bool Connected() const { return control_.valid(); }
  bool Secure() const { return control_.ssl() != nullptr; }
  void SetTimeout(uint32_t ms) { timeout_ms_ = ms; }
  uint32_t Timeout() const { return timeout_ms_; }

 private:
  int Fail(uint32_t error);
  // Sends one command line and reads its reply; 0 when no reply came.
  int Command(const std::string& line);
  int ReadReply();
  bool Expect(const std::string& line, int reply_class);
  bool SetType(transfermode mode);
  ftphandle* OpenData(const std::string& command, bool upload,
                      transfermode mode, int64_t offset);
  int Transfer(const char* file, const std::string& command, bool upload,
               transfermode mode, int64_t offset);
  int ListTo(const char* outputfile, const char* verb, const char* path);

  const int family_flag_;
  const bool ipv6_;
  uint32_t timeout_ms_ = 30000;
  connmode mode_ = pasv;
  bool data_secure_ = false;
  char type_ = 0;  // current TYPE on the server, 0 unknown
  ftpc::FtpSocket control_;
  ftpc::ReplyAssembler replies_;
  std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> tls_{nullptr, SSL_CTX_free};
  std::string last_response_;
  int last_code_ = 0;
  uint32_t last_error_ = 0;
};
