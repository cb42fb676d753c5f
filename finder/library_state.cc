#include "finder/library_state.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <filesystem>

#include "platform/env.h"
#include "platform/event.h"
#include "platform/text.h"

namespace finder {

LibraryState& State() {
  static LibraryState state;
  return state;
}

bool IsKnownProductCode(int code) {
  switch (code) {
    case -1: case 14: case 20: case 29: case 86: case 94: case 119: case 133:
    case 147: case 153:
      return true;
    default:
      return false;
  }
}

namespace {

// The named event and, beside it, a lock on a per-user file: the event
// marks the open dialog inside this process (where keeper tests for it
// before it loads the library), the lock in every other program of the
// user that uses the library.
struct Guard {
  std::shared_ptr<platform::Event> event;
  int lock_fd = -1;
  ~Guard() {
    if (lock_fd >= 0) close(lock_fd);  // releases the lock
  }
};

std::string LockFileOf(const std::string& name) {
  std::string safe;
  for (char c : name) safe += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return platform::Env::Current()->TempDir() + "/.finder-" + safe + "-" +
         std::to_string(geteuid()) + ".lock";
}

enum class Lock { kTaken, kHeldElsewhere, kUnavailable };

// A lock file that cannot be made (or belongs to someone else) leaves the
// event alone in charge rather than keeping the user from discovery.
Lock TakeLock(const std::string& path, int* fd_out) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return Lock::kUnavailable;
  struct stat st {};
  if (fstat(fd, &st) != 0 || st.st_uid != geteuid() || !S_ISREG(st.st_mode)) {
    close(fd);
    return Lock::kUnavailable;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK;
    close(fd);
    return busy ? Lock::kHeldElsewhere : Lock::kUnavailable;
  }
  *fd_out = fd;
  return Lock::kTaken;
}

}  // namespace

std::shared_ptr<platform::Event> AcquireDiscoveryGuard(const std::string& name) {
  bool existed = false;
  auto event = platform::Event::CreateNamed(name, /*manual_reset=*/false,
                                            /*initial_state=*/false, &existed);
  if (!event || existed) return nullptr;
  auto guard = std::make_shared<Guard>();
  guard->event = std::move(event);
  if (TakeLock(LockFileOf(name), &guard->lock_fd) == Lock::kHeldElsewhere)
    return nullptr;
  platform::Event* held = guard->event.get();
  return std::shared_ptr<platform::Event>(std::move(guard), held);
}

std::string FinderFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&FinderFolder), &info) && info.dli_fname) {
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(info.dli_fname, ec);
    if (!ec && path.has_parent_path()) return path.parent_path().string();
  }
  return platform::Env::Current()->ProgramDir();
}

std::string FromWide(const char16_t* text) {
  if (!text) return {};
  return platform::Utf16ToUtf8(std::u16string_view(text, platform::U16Length(text)));
}

}  // namespace finder
