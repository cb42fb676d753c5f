#include "boxlink/base/marker_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/env.h"

namespace boxlink {

std::string MarkerFilePath(std::string_view name) {
  return platform::Env::Current()->UserProfileDir() + "/ZELT/" +
         std::string(name);
}

bool HasMarkerFile(std::string_view name) {
  if (name.empty()) return false;
  int fd = ::open(MarkerFilePath(name).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  // open() accepts folders for reading; a file is what the marker must be.
  struct stat st;
  bool is_file = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
  ::close(fd);
  return is_file;
}

}  // namespace boxlink
