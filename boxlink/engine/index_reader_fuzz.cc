// libFuzzer target for the archive index readers: "Backup.XML" (kind 1)
// and "ARCHIVE.XML" (kind 2) as they come out of an archive, and the date
// and zone texts they carry. The first byte picks the kind; the rest is
// the file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "boxlink/base/box_error.h"
#include "boxlink/engine/index_reader.h"

namespace {

int IndexFd() {
  static int fd = memfd_create("index-fuzz", 0);
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint32_t kind = data[0] & 1 ? 2 : 1;
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  int fd = IndexFd();
  if (fd < 0 || ftruncate(fd, 0) != 0) return 0;
  if (!text.empty() &&
      pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()))
    return 0;
  try {
    BackupIndexInfo info{};
    std::vector<BackupIndexBox> boxes;
    boxlink::ReadIndexFile("/proc/self/fd/" + std::to_string(fd), kind, &info, &boxes);
  } catch (const boxlink::BoxError&) {
  }
  platform::SystemTime t = boxlink::ParseBackupDate(text);
  boxlink::ApplyTimezone(text, &t);
  (void)boxlink::IndexVersionAccepted(text);
  return 0;
}
