#include "standins/inet/ftp.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/clock.h"
#include "platform/env.h"
#include "platform/last_error.h"
#include "standins/ftplibpp/ftplib.h"

namespace inet {
namespace {

constexpr uint64_t kUnixToFileTime = 11644473600ULL;

uint64_t ToFileTime(int64_t unix_seconds) {
  if (unix_seconds <= 0) return 0;
  return (static_cast<uint64_t>(unix_seconds) + kUnixToFileTime) * 10000000ULL;
}

int MonthIndex(std::string_view m) {
  static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int i = 0; i < 12; ++i)
    if (m == kMonths[i]) return i;
  return -1;
}

// Receive time-outs of the session bound every wait of the client; "no
// limit" still gets one, since the FTP client never waits for ever.
uint32_t ClientTimeout(const Timeouts& t) {
  uint32_t ms = t.receive_ms;
  if (ms == kNoTimeout || ms == 0) ms = 10 * 60 * 1000;
  return ms;
}

}  // namespace

bool ParseLongListLine(std::string_view line, int64_t now_unix,
                       FtpFindData* out) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
    line.remove_suffix(1);
  if (line.empty() || (line[0] != 'd' && line[0] != '-' && line[0] != 'l'))
    return false;
  // Fields are separated by runs of spaces; the name is everything from
  // the ninth field on, spaces included.
  std::string_view fields[8];
  size_t pos = 0;
  for (int i = 0; i < 8; ++i) {
    while (pos < line.size() && line[pos] == ' ') ++pos;
    size_t end = line.find(' ', pos);
    if (end == std::string_view::npos) return false;
    fields[i] = line.substr(pos, end - pos);
    pos = end;
  }
  while (pos < line.size() && line[pos] == ' ') ++pos;
  std::string_view name = line.substr(pos);
  if (line[0] == 'l') {
    size_t arrow = name.find(" -> ");
    if (arrow != std::string_view::npos) name = name.substr(0, arrow);
  }
  if (name.empty()) return false;

  *out = FtpFindData();
  out->attributes =
      line[0] == 'd' ? kFileAttributeDirectory : kFileAttributeNormal;
  uint64_t size = 0;
  for (char c : fields[4]) {
    if (c < '0' || c > '9') {
      size = 0;
      break;
    }
    size = size * 10 + static_cast<uint64_t>(c - '0');
  }
  out->size_high = static_cast<uint32_t>(size >> 32);
  out->size_low = static_cast<uint32_t>(size);

  int month = MonthIndex(fields[5]);
  int day = std::atoi(std::string(fields[6]).c_str());
  std::string when(fields[7]);
  if (month >= 0 && day > 0) {
    tm t{};
    time_t now = static_cast<time_t>(now_unix);
    tm now_tm{};
    gmtime_r(&now, &now_tm);
    t.tm_mon = month;
    t.tm_mday = day;
    int hh = 0, mm = 0, year = 0;
    if (std::sscanf(when.c_str(), "%d:%d", &hh, &mm) == 2) {
      // "Mon DD HH:MM" means within the last half year.
      t.tm_year = now_tm.tm_year;
      t.tm_hour = hh;
      t.tm_min = mm;
      if (timegm(&t) > now + 86400) t.tm_year -= 1;
    } else if (std::sscanf(when.c_str(), "%d", &year) == 1) {
      t.tm_year = year - 1900;
    }
    out->last_write_time = ToFileTime(timegm(&t));
  }
  size_t n = std::min(name.size(), sizeof out->name - 1);
  std::memcpy(out->name, name.data(), n);
  out->name[n] = '\0';
  return true;
}

FtpTransfer::~FtpTransfer() { Close(); }

bool FtpTransfer::Read(void* buf, size_t want, size_t* got) {
  *got = 0;
  if (!handle_) return conn_->Fail(kErrIncorrectHandleState);
  if (want == 0) return true;
  int n = conn_->ftp_->RawRead(buf, static_cast<int>(std::min<size_t>(want, 1 << 30)),
                               handle_);
  if (n < 0) return conn_->FailFromClient();
  *got = static_cast<size_t>(n);
  return true;
}

bool FtpTransfer::Write(const void* buf, size_t len) {
  if (!handle_) return conn_->Fail(kErrIncorrectHandleState);
  if (conn_->ftp_->RawWrite(buf, static_cast<int>(len), handle_) < 0)
    return conn_->FailFromClient();
  return true;
}

bool FtpTransfer::Close() {
  if (!handle_) return true;
  ftphandle* h = handle_;
  handle_ = nullptr;
  return conn_->ftp_->RawClose(h) == 1 || conn_->FailFromClient();
}

FtpConnection::FtpConnection(std::unique_ptr<ftplib> ftp)
    : ftp_(std::move(ftp)) {}

FtpConnection::~FtpConnection() {
  if (ftp_ && ftp_->Connected()) ftp_->Quit();
}

bool FtpConnection::Fail(uint32_t error) {
  last_error_ = error;
  platform::SetLastError(error);
  return false;
}

bool FtpConnection::FailFromClient() {
  uint32_t e = ftp_->LastError();
  return Fail(e ? e : kErrInternal);
}

std::unique_ptr<FtpConnection> FtpConnection::Open(
    Session& session, const std::string& host, uint16_t port,
    const std::string& user, const std::string& password, bool passive,
    uint32_t scope_id) {
  const bool v6 = host.find(':') != std::string::npos;
  std::unique_ptr<FtpConnection> c(
      new FtpConnection(std::make_unique<ftplib>(0, v6 ? 1 : 0)));
  c->timeouts_ = session.timeouts();
  uint32_t connect_ms = c->timeouts_.connect_ms;
  c->ftp_->SetTimeout(connect_ms == kNoTimeout ? ClientTimeout(c->timeouts_)
                                               : connect_ms);
  c->ftp_->SetConnmode(passive ? ftplib::pasv : ftplib::port);
  if (!c->ftp_->Connect(host.c_str(), port, scope_id)) {
    c->FailFromClient();
    return nullptr;
  }
  c->ftp_->SetTimeout(ClientTimeout(c->timeouts_));
  if (!c->ftp_->Login(user.c_str(), password.c_str())) {
    c->FailFromClient();
    return nullptr;
  }
  return c;
}

void FtpConnection::SetTimeouts(const Timeouts& t) {
  timeouts_ = t;
  ftp_->SetTimeout(ClientTimeout(t));
}

bool FtpConnection::GetFile(const std::string& remote, const std::string& local,
                            bool fail_if_exists, bool binary) {
  std::error_code ec;
  if (fail_if_exists && std::filesystem::exists(local, ec))
    return Fail(80);  // the file exists
  return ftp_->Get(local.c_str(), remote.c_str(),
                   binary ? ftplib::image : ftplib::ascii) == 1 ||
         FailFromClient();
}

bool FtpConnection::PutFile(const std::string& local, const std::string& remote,
                            bool binary) {
  return ftp_->Put(local.c_str(), remote.c_str(),
                   binary ? ftplib::image : ftplib::ascii) == 1 ||
         FailFromClient();
}

std::unique_ptr<FtpTransfer> FtpConnection::OpenFile(const std::string& remote,
                                                     bool write, bool binary) {
  ftphandle* h = ftp_->RawOpen(remote.c_str(),
                               write ? ftplib::filewrite : ftplib::fileread,
                               binary ? ftplib::image : ftplib::ascii);
  if (!h) {
    FailFromClient();
    return nullptr;
  }
  return std::unique_ptr<FtpTransfer>(new FtpTransfer(this, h));
}

bool FtpConnection::RenameFile(const std::string& from, const std::string& to) {
  return ftp_->Rename(from.c_str(), to.c_str()) == 1 || FailFromClient();
}
bool FtpConnection::CreateDirectory(const std::string& path) {
  return ftp_->Mkdir(path.c_str()) == 1 || FailFromClient();
}
bool FtpConnection::RemoveDirectory(const std::string& path) {
  return ftp_->Rmdir(path.c_str()) == 1 || FailFromClient();
}
bool FtpConnection::DeleteFile(const std::string& path) {
  return ftp_->Delete(path.c_str()) == 1 || FailFromClient();
}
bool FtpConnection::SetCurrentDirectory(const std::string& path) {
  return ftp_->Chdir(path.c_str()) == 1 || FailFromClient();
}

bool FtpConnection::FindFirstFile(const std::string& pattern,
                                  FtpFindData* out) {
  found_.clear();
  next_found_ = 0;
  std::unique_ptr<FtpTransfer> data;
  std::string cmd = pattern.empty() ? "LIST" : "LIST " + pattern;
  if (!Command(cmd, true, false, &data)) return false;
  std::string text;
  char buf[4096];
  for (;;) {
    size_t got = 0;
    if (!data->Read(buf, sizeof buf, &got)) return false;
    if (got == 0) break;
    if (got > kMaxListingBytes - text.size()) {
      data.reset();  // ends the transfer; the verdict no longer matters
      return Fail(kErrListingTooLong);
    }
    text.append(buf, got);
  }
  if (!data->Close()) return false;
  int64_t now = platform::Env::Current()->clock().UnixTime();
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    std::string_view line(text.data() + start,
                          (nl == std::string::npos ? text.size() : nl) - start);
    FtpFindData e;
    if (ParseLongListLine(line, now, &e)) found_.push_back(e);
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  return FindNextFile(out);
}

bool FtpConnection::FindNextFile(FtpFindData* out) {
  if (next_found_ >= found_.size()) return Fail(kErrNoMoreFiles);
  *out = found_[next_found_++];
  return true;
}

bool FtpConnection::Command(const std::string& command, bool expect_data,
                            bool binary, std::unique_ptr<FtpTransfer>* data) {
  if (!expect_data) return ftp_->Raw(command.c_str()) == 1 || FailFromClient();
  ftphandle* h = ftp_->RawOpenCommand(command.c_str(), false,
                                      binary ? ftplib::image : ftplib::ascii);
  if (!h) return FailFromClient();
  auto t = std::unique_ptr<FtpTransfer>(new FtpTransfer(this, h));
  if (data)
    *data = std::move(t);
  else
    return t->Close();
  return true;
}

std::string FtpConnection::LastResponse() const { return ftp_->LastResponse(); }

}  // namespace inet
