// libFuzzer target for the archive reader: the end-record search, the
// central directory and every entry's local header and data. Anything but
// a clean result or a BoxError is a finding.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "boxlink/base/box_error.h"
#include "boxlink/zip/zip_class.h"
#include "boxlink/zip/zip_safe_path.h"

namespace {

int ArchiveFd() {
  static int fd = memfd_create("zip-fuzz", 0);
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int fd = ArchiveFd();
  if (fd < 0 || ftruncate(fd, 0) != 0) return 0;
  if (size && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
    return 0;
  std::string path = "/proc/self/fd/" + std::to_string(fd);
  try {
    boxlink::CZipClass zip;
    zip.Open(path, boxlink::CZipClass::kOpenReadOnly);
    uint8_t buf[4096];
    for (size_t i = 0; i < zip.GetCount() && i < 64; ++i) {
      boxlink::CZipHeaderInfo h;
      zip.GetFileInfo(h, i);
      (void)boxlink::SafeEntryPath("/target", h.name);
      try {
        if (!zip.OpenEntry(i)) continue;
        size_t total = 0;
        for (uint32_t n; (n = zip.ReadEntry(buf, sizeof buf)) > 0;) {
          total += n;
          if (total > (16u << 20)) break;  // bounded work per input
        }
        zip.CloseEntry();
      } catch (const boxlink::BoxError&) {
        zip.CloseEntry();
      }
    }
  } catch (const boxlink::BoxError&) {
  }
  return 0;
}
