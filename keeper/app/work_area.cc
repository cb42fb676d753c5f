#include "keeper/app/work_area.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "platform/env.h"

namespace fs = std::filesystem;

namespace keeper {

uint32_t SystemErrorFromErrno(int err) {
  switch (err) {
    case 0: return 0;
    case ENOENT: case ENOTDIR: return 3;      // path not found
    case EACCES: case EPERM: case EROFS: return 5;
    case ENOMEM: return 8;
    case EEXIST: return 183;
    case ENOSPC: case EDQUOT: return 112;
    case ENAMETOOLONG: return 206;
    default: return 1359;
  }
}

fs::path WorkFolderBase(const fs::path& archive, uint32_t* error) {
  *error = 0;
  std::error_code ec;
  fs::path folder = fs::absolute(archive, ec).parent_path();
  if (ec) {
    *error = SystemErrorFromErrno(ec.value());
    return {};
  }
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) {
    *error = SystemErrorFromErrno(errno);
    return {};
  }
  if (!S_ISDIR(st.st_mode)) {
    *error = 3;
    return {};
  }
  // Climb while the parent is on the same device and writable: the first
  // folder that is not ends the walk, so a work folder never lands where
  // the user cannot write.
  fs::path best = folder;
  for (fs::path p = folder; p.has_parent_path() && p.parent_path() != p;) {
    fs::path parent = p.parent_path();
    struct stat ps {};
    if (::stat(parent.c_str(), &ps) != 0 || ps.st_dev != st.st_dev ||
        ::access(parent.c_str(), W_OK | X_OK) != 0)
      break;
    best = parent;
    p = parent;
  }
  return best;
}

uint32_t CreateWorkFolder(const fs::path& base, uint32_t tick, fs::path* out) {
  // The name can be foreseen and the base may be writable by others: the
  // folder is always made here, never taken over. When something stands
  // under the name already, a fresh name with a random tail is made.
  const std::string name = std::string(kWorkPrefix) + std::to_string(tick);
  fs::path folder = base / name;
  if (::mkdir(folder.c_str(), 0700) == 0) {
    *out = folder;
    return 0;
  }
  if (errno != EEXIST) return SystemErrorFromErrno(errno);
  std::string pattern = (base / (name + "-XXXXXX")).string();
  if (!::mkdtemp(pattern.data())) return SystemErrorFromErrno(errno);
  *out = pattern;
  return 0;
}

void RemoveWorkFolder(const fs::path& folder) {
  if (folder.empty()) return;
  std::error_code ec;
  fs::remove_all(folder, ec);
}

fs::path ProgramDataFolder() {
  return platform::Env::Current()->ProgramDataDir();
}

void ClearProgramDataFiles() {
  std::error_code ec;
  for (fs::directory_iterator it(ProgramDataFolder(), ec), end;
       !ec && it != end; it.increment(ec)) {
    std::error_code kind_ec;
    if (!it->is_directory(kind_ec)) {
      std::error_code rm;
      fs::remove(it->path(), rm);
    }
  }
}

uint32_t MakeLocalCopy(const fs::path& archive, fs::path* copy) {
  std::error_code ec;
  fs::path folder = ProgramDataFolder();
  fs::create_directories(folder, ec);
  if (ec) return 1359;
  std::string name = archive.filename().string();
  size_t dot = name.rfind('.');
  fs::path target =
      folder / ("RestoreFile" + (dot == std::string::npos ? std::string()
                                                         : name.substr(dot)));
  fs::copy_file(archive, target, fs::copy_options::overwrite_existing, ec);
  if (ec) return 1359;
  *copy = target;
  return 0;
}

LockFile::LockFile(const fs::path& archive, uint32_t tick) {
  std::error_code ec;
  fs::path folder = fs::absolute(archive, ec).parent_path();
  if (ec) return;
  path_ = folder / (std::string(kWorkPrefix) + std::to_string(tick));
  // Made here and now, never through a link someone put under the name.
  fd_ = ::open(path_.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd_ < 0) path_.clear();
}

LockFile::~LockFile() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(path_.c_str());
  }
}

}  // namespace keeper
