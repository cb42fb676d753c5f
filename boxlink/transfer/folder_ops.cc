#include "boxlink/transfer/folder_ops.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "boxlink/base/tree_names.h"
#include "boxlink/transfer/list_parse.h"
#include "platform/last_error.h"

namespace boxlink::transfer {

uint32_t SystemErrorFromErrno(int e) {
  switch (e) {
    case ENOENT: return 3;      // path not found
    case EACCES:
    case EPERM: return ZB_ERR_ACCESS_DENIED;
    case EEXIST: return ZB_ERR_ALREADY_EXISTS;
    case ENOSPC: return ZB_ERR_DISK_FULL;
    case ENAMETOOLONG: return ZB_ERR_FILENAME_EXCED_RANGE;
    case ENOTDIR: return ZB_ERR_DIRECTORY;
    case EROFS: return ZB_ERR_WRITE_PROTECT;
    default: return ZB_ERR_INTERNAL_ERROR;
  }
}

std::string JoinLocal(std::string_view folder, std::string_view name) {
  std::string out(folder);
  out += '/';
  out += name;
  return out;
}

std::string JoinRemote(std::string_view folder, std::string_view name) {
  std::string out(folder);
  out += '/';
  out += name;
  return out;
}

std::string CommandLine(std::string_view word, std::string_view argument) {
  std::string out(word);
  out += ' ';
  out += argument;
  return out;
}

std::string DocumentXmlName(uint32_t document) {
  return tree::ItemFile(tree::DocumentFolder(document));
}

std::string DocumentFolderName(uint32_t document) {
  return tree::DocumentFolder(document);
}

bool IsSafeEntryName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find('/') == std::string_view::npos &&
         name.find('\\') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

void CreateLocalFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return;
  int e = errno;
  struct stat st{};
  if (e == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    return;
  Raise(SystemErrorFromErrno(e));
}

uint32_t SetCurrentFolder(const std::string& path) {
  if (::chdir(path.c_str()) == 0) return 0;
  return SystemErrorFromErrno(errno);
}

uint32_t ListLocalFolder(const std::string& path, FindDataList* folders,
                         FindDataList* files) {
  ClearLists(folders, files);
  if (SetCurrentFolder(path) != 0) return ZB_ERR_BAD_PATHNAME;
  std::error_code ec;
  std::filesystem::directory_iterator it(path, ec);
  if (ec) return ZB_ERR_INTERNAL_ERROR;
  std::vector<std::pair<std::string, bool>> entries;
  for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
    if (ec) return ZB_ERR_INTERNAL_ERROR;
    std::error_code type_ec;
    entries.emplace_back(it->path().filename().string(),
                         it->is_directory(type_ec));
  }
  std::sort(entries.begin(), entries.end());
  for (const auto& [name, is_folder] : entries) {
    FtpFindData d;
    d.attributes = is_folder ? inet::kFileAttributeDirectory
                             : inet::kFileAttributeNormal;
    size_t n = std::min(name.size(), sizeof d.name - 1);
    std::memcpy(d.name, name.data(), n);
    if (!is_folder) {
      std::error_code sec;
      auto size = std::filesystem::file_size(JoinLocal(path, name), sec);
      if (!sec) {
        d.size_high = static_cast<uint32_t>(size >> 32);
        d.size_low = static_cast<uint32_t>(size);
      }
    }
    AddEntry(d, folders, files);
  }
  return 0;
}

uint32_t LastErrorOr1359() {
  uint32_t e = platform::GetLastError();
  return e ? e : 1359;
}

}  // namespace boxlink::transfer
