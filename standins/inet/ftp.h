// FTP connections over an internet Session: the FTP half of the layer, on
// our FTP client (standins/ftplibpp). One connection is one logged-in
// control connection; every call blocks and is bounded by the connection's
// time-outs (milliseconds of the platform Clock).
//
// Failures return false (or null) and leave the code as the thread's last
// error and in last_error(): kErrIncorrectPassword for a refused login,
// kErrCannotConnect, kErrConnectionReset, kErrTimeout, kErrExtendedError
// when the server refused (its reply is in LastResponse()), kErrNoMoreFiles
// at the end of a search.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "standins/inet/errors.h"
#include "standins/inet/session.h"

class ftplib;
struct ftphandle;

namespace inet {

inline constexpr uint32_t kErrNoMoreFiles = 18;
inline constexpr uint32_t kErrExtendedError = 12003;
inline constexpr uint32_t kErrIncorrectUserName = 12013;
inline constexpr uint32_t kErrIncorrectPassword = 12014;
inline constexpr uint32_t kErrLoginFailure = 12015;

// Listings are read into memory whole; one longer than this (as long as
// the largest web reply the client takes) fails with kErrListingTooLong.
inline constexpr size_t kMaxListingBytes = 3'670'000;
inline constexpr uint32_t kErrListingTooLong = 234;

inline constexpr uint32_t kFileAttributeDirectory = 0x10;
inline constexpr uint32_t kFileAttributeNormal = 0x80;

// A directory entry in the layout of the system's find-data record.
struct FtpFindData {
  uint32_t attributes = 0;
  uint64_t creation_time = 0;     // 100 ns units since 1601, 0 unknown
  uint64_t last_access_time = 0;
  uint64_t last_write_time = 0;
  uint32_t size_high = 0;
  uint32_t size_low = 0;
  char name[260] = {};
  char short_name[14] = {};

  bool is_folder() const { return attributes & kFileAttributeDirectory; }
  uint64_t size() const { return (uint64_t{size_high} << 32) | size_low; }
};

// One line of a long listing ("drwxr-xr-x 2 u g 4096 Jan 01 12:00 name")
// into an entry; false for lines that are no entry ("total 12", blanks).
bool ParseLongListLine(std::string_view line, int64_t now_unix,
                       FtpFindData* out);

class FtpConnection;

// A remote file opened for reading or writing, or the data connection of a
// command. Closing it ends the transfer and reads the server's verdict.
class FtpTransfer {
 public:
  ~FtpTransfer();  // Close()
  FtpTransfer(const FtpTransfer&) = delete;
  FtpTransfer& operator=(const FtpTransfer&) = delete;

  // *got = 0 with true at the end of the data.
  bool Read(void* buf, size_t want, size_t* got);
  bool Write(const void* buf, size_t len);
  // True when the server confirmed the whole transfer.
  bool Close();

 private:
  friend class FtpConnection;
  FtpTransfer(FtpConnection* c, ftphandle* h) : conn_(c), handle_(h) {}
  FtpConnection* conn_;
  ftphandle* handle_;
};

class FtpConnection {
 public:
  // Connects and logs in; null with the last error set. Transfers use
  // active data connections unless `passive`.
  static std::unique_ptr<FtpConnection> Open(Session& session,
                                             const std::string& host,
                                             uint16_t port,
                                             const std::string& user,
                                             const std::string& password,
                                             bool passive = false,
                                             uint32_t scope_id = 0);
  ~FtpConnection();  // quits politely
  FtpConnection(const FtpConnection&) = delete;
  FtpConnection& operator=(const FtpConnection&) = delete;

  Timeouts timeouts() const { return timeouts_; }
  void SetTimeouts(const Timeouts& t);

  // Binary (image) or ASCII transfers of whole files. A failed download
  // leaves no local file behind.
  bool GetFile(const std::string& remote, const std::string& local,
               bool fail_if_exists, bool binary = true);
  bool PutFile(const std::string& local, const std::string& remote,
               bool binary = true);
  std::unique_ptr<FtpTransfer> OpenFile(const std::string& remote, bool write,
                                        bool binary = true);

  bool RenameFile(const std::string& from, const std::string& to);
  bool CreateDirectory(const std::string& path);
  bool RemoveDirectory(const std::string& path);
  bool DeleteFile(const std::string& path);
  bool SetCurrentDirectory(const std::string& path);

  // Lists `pattern` (a folder or a name). The first entry, or false with
  // kErrNoMoreFiles when there is none; the rest come from FindNext.
  bool FindFirstFile(const std::string& pattern, FtpFindData* out);
  bool FindNextFile(FtpFindData* out);

  // One command. Without a data connection the reply is all; with one,
  // *data receives the transfer to read and close.
  bool Command(const std::string& command, bool expect_data, bool binary,
               std::unique_ptr<FtpTransfer>* data);

  // The server's last reply, all its lines.
  std::string LastResponse() const;
  uint32_t last_error() const { return last_error_; }

 private:
  friend class FtpTransfer;
  explicit FtpConnection(std::unique_ptr<ftplib> ftp);
  bool Fail(uint32_t error);
  bool FailFromClient();

  std::unique_ptr<ftplib> ftp_;
  Timeouts timeouts_;
  uint32_t last_error_ = 0;
  std::vector<FtpFindData> found_;
  size_t next_found_ = 0;
};

}  // namespace inet
