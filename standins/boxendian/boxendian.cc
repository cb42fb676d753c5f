// boxendian: rewrites the image index files of converted documents in the
// byte order of the newer devices. Loaded by name by boxlink's conversion.
//
// fnChangeEndianFLData(path) turns the index at path around in place (see
// image_index.h): 0 when done, 1 when the file is no image index (it is then
// left as it was), 2 when it cannot be read or written. The file is
// replaced by a rename, so a failure never leaves half of it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "standins/boxendian/image_index.h"

#define ZELT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int kDone = 0, kNotAnIndex = 1, kIoError = 2;
// Far beyond the largest index (kMaxImageIndexEntries entries).
constexpr off_t kMaxFileBytes = 1 << 20;

bool ReadAll(int fd, std::string* out) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileBytes) return false;
  out->resize(size_t(st.st_size));
  size_t got = 0;
  while (got < out->size()) {
    ssize_t n = ::read(fd, out->data() + got, out->size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += size_t(n);
  }
  return true;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

}  // namespace

ZELT_EXPORT int fnChangeEndianFLData(const char* path) {
  if (!path || !*path) return kIoError;
  std::string bytes;
  int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return kIoError;
  bool read_ok = ReadAll(fd, &bytes);
  ::close(fd);
  if (!read_ok) return kIoError;
  std::optional<std::string> swapped = zelt::endian::SwapImageIndex(bytes);
  if (!swapped) return kNotAnIndex;
  std::string tmp = std::string(path) + ".endian";
  ::unlink(tmp.c_str());
  fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return kIoError;
  bool ok = WriteAll(fd, *swapped);
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(tmp.c_str(), path) != 0) {
    ::unlink(tmp.c_str());
    return kIoError;
  }
  return kDone;
}
