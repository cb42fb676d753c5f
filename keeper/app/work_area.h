// The files a job run makes on this machine besides the archive: the hidden
// work folder on the archive's file system, the lock file beside a backup's
// archive, and the program-data folder that holds a restore's local copy.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace keeper {

inline constexpr std::string_view kWorkPrefix = ".$__B_R_Temp__$";

// The folder in which the work folder for `archive` is made: the highest
// writable ancestor of the archive's folder on the same file system (the
// mount point when it is writable), so that the finished archive is moved
// into place without a copy. Empty and *error set (a system error code)
// when the archive's folder cannot be examined.
std::filesystem::path WorkFolderBase(const std::filesystem::path& archive,
                                     uint32_t* error);

// Creates base / (kWorkPrefix + tick), readable by its owner only. What
// stands under that name already (a folder, a link) is never used: the
// folder is then made under that name with a random tail. 0 or a system
// error code.
uint32_t CreateWorkFolder(const std::filesystem::path& base, uint32_t tick,
                          std::filesystem::path* out);
void RemoveWorkFolder(const std::filesystem::path& folder);

// The machine-wide data folder of the program (the environment's
// program-data folder).
std::filesystem::path ProgramDataFolder();
// Deletes every file (not folder) directly in the program-data folder.
void ClearProgramDataFiles();

// Copies the archive to the program-data folder as "RestoreFile" plus the
// archive's extension. 0 and the copy's path, or 1359.
uint32_t MakeLocalCopy(const std::filesystem::path& archive,
                       std::filesystem::path* copy);

// A hidden file in the archive's folder that exists while a backup runs and
// is removed when the object goes away.
class LockFile {
 public:
  LockFile(const std::filesystem::path& archive, uint32_t tick);
  ~LockFile();
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
};

// The system error code for an errno value.
uint32_t SystemErrorFromErrno(int err);

}  // namespace keeper
