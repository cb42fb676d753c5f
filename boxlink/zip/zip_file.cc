#include "boxlink/zip/zip_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "boxlink/client/box_error.h"

namespace boxlink {

uint32_t SystemErrorFromErrno(int err) {
  switch (err) {
    case ENOENT: return 2;        // file not found
    case ENOTDIR: return 3;       // path not found
    case EMFILE: case ENFILE: return 4;
    case EACCES: case EPERM: case EISDIR: return 5;
    case ENOMEM: return 8;
    case EROFS: return 19;        // write protected
    case EBUSY: case ETXTBSY: return 32;
    case EEXIST: return 80;
    case EINVAL: return 87;
    case ENOSPC: case EDQUOT: return 112;
    case ENAMETOOLONG: return 206;
    case EFBIG: return 223;       // file too large
    case ENOTEMPTY: return 145;
    case EIO: return 1117;
    default: return 31;           // general failure
  }
}

namespace {
[[noreturn]] void RaiseErrno() { Raise(SystemErrorFromErrno(errno)); }
}  // namespace

CZipFile::~CZipFile() { Close(); }

void CZipFile::Open(const std::string& path, Mode mode) {
  Close();
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::kReadWrite: flags |= O_RDWR; break;
    case Mode::kRead: flags |= O_RDONLY; break;
    case Mode::kCreate: flags |= O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW; break;
    case Mode::kCreateNew: flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW; break;
  }
  // Archives hold the users' documents: for the owner's eyes only.
  int fd = ::open(path.c_str(), flags, 0600);
  if (fd < 0) RaiseErrno();
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    Raise(5);
  }
  fd_ = fd;
  pos_ = 0;
}

void CZipFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  pos_ = 0;
}

size_t CZipFile::Read(void* buf, size_t n) {
  if (fd_ < 0) Raise(6);
  size_t got = 0;
  while (got < n) {
    ssize_t r = ::pread(fd_, static_cast<uint8_t*>(buf) + got, n - got,
                        static_cast<off_t>(pos_ + got));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) RaiseErrno();
    if (r == 0) break;
    got += static_cast<size_t>(r);
  }
  pos_ += got;
  return got;
}

void CZipFile::ReadExact(void* buf, size_t n) {
  if (Read(buf, n) != n) Raise(1359);
}

void CZipFile::Write(const void* buf, size_t n) {
  if (fd_ < 0) Raise(6);
  size_t done = 0;
  while (done < n) {
    ssize_t w = ::pwrite(fd_, static_cast<const uint8_t*>(buf) + done,
                         n - done, static_cast<off_t>(pos_ + done));
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) RaiseErrno();
    done += static_cast<size_t>(w);
  }
  pos_ += done;
}

void CZipFile::Seek(uint64_t pos) {
  if (fd_ < 0) Raise(6);
  pos_ = pos;
}

uint64_t CZipFile::Length() const {
  struct stat st;
  if (fd_ < 0) Raise(6);
  if (::fstat(fd_, &st) != 0) RaiseErrno();
  return static_cast<uint64_t>(st.st_size);
}

void CZipFile::Truncate(uint64_t length) {
  if (fd_ < 0) Raise(6);
  if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) RaiseErrno();
}

CZipHeaderDir::CZipHeaderDir()
    : buffer_(std::make_unique<uint8_t[]>(kWriteBufferSize)) {}

void CZipHeaderDir::Open(const std::string& path, CZipFile::Mode mode) {
  file_.Open(path, mode);
  pending_ = 0;
  written_ = 0;
  disk_ = 0;
}

void CZipHeaderDir::Close() {
  pending_ = 0;
  file_.Close();
  disk_ = -1;
}

void CZipHeaderDir::Write(const void* data, size_t n) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  while (n > 0) {
    size_t room = kWriteBufferSize - pending_;
    size_t take = n < room ? n : room;
    std::memcpy(buffer_.get() + pending_, p, take);
    pending_ += take;
    p += take;
    n -= take;
    if (pending_ == kWriteBufferSize) Flush();
  }
}

void CZipHeaderDir::Flush() {
  if (pending_ == 0) return;
  size_t n = pending_;
  pending_ = 0;
  file_.Write(buffer_.get(), n);
  written_ += n;
}

}  // namespace boxlink
