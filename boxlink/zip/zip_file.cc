#include "boxlink/zip/zip_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "boxlink.h"
#include "boxlink/base/box_error.h"

namespace boxlink {

uint32_t SystemErrorFromErrno(int err) {
  switch (err) {
    case ENOENT: return ZB_ERR_FILE_NOT_FOUND;
    case ENOTDIR: return 3;       // path not found
    case EMFILE: case ENFILE: return 4;
    case EACCES: case EPERM: case EISDIR: return ZB_ERR_ACCESS_DENIED;
    case ENOMEM: return ZB_ERR_NOT_ENOUGH_MEMORY;
    case EROFS: return ZB_ERR_WRITE_PROTECT;
    case EBUSY: case ETXTBSY: return ZB_ERR_SHARING_VIOLATION;
    case EEXIST: return ZB_ERR_FILE_EXISTS;
    case EINVAL: return ZB_ERR_INVALID_PARAMETER;
    case ENOSPC: case EDQUOT: return ZB_ERR_DISK_FULL;
    case ENAMETOOLONG: return ZB_ERR_FILENAME_EXCED_RANGE;
    case EFBIG: return ZB_ERR_FILE_TOO_LARGE;
    case ENOTEMPTY: return ZB_ERR_DIR_NOT_EMPTY;
    case EIO: return ZB_ERR_IO_DEVICE;
    default: return ZB_ERR_GEN_FAILURE;
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
    Raise(ZB_ERR_ACCESS_DENIED);
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
  if (fd_ < 0) Raise(ZB_ERR_INVALID_HANDLE);
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
  if (Read(buf, n) != n) Raise(ZB_ERR_INTERNAL_ERROR);
}

void CZipFile::Write(const void* buf, size_t n) {
  if (fd_ < 0) Raise(ZB_ERR_INVALID_HANDLE);
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
  if (fd_ < 0) Raise(ZB_ERR_INVALID_HANDLE);
  pos_ = pos;
}

uint64_t CZipFile::Length() const {
  struct stat st;
  if (fd_ < 0) Raise(ZB_ERR_INVALID_HANDLE);
  if (::fstat(fd_, &st) != 0) RaiseErrno();
  return static_cast<uint64_t>(st.st_size);
}

void CZipFile::Truncate(uint64_t length) {
  if (fd_ < 0) Raise(ZB_ERR_INVALID_HANDLE);
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
