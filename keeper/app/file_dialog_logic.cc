#include "keeper/app/file_dialog_logic.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <filesystem>

#include "desktop/format.h"

namespace keeper {
namespace {

constexpr std::string_view kRefused = "\\*?\"<>|";
constexpr uint64_t kMegabyte = 1024 * 1024;

}  // namespace

std::optional<FreeSpace> FreeSpaceOf(const std::string& folder) {
  struct statvfs fs {};
  struct stat st {};
  if (::statvfs(folder.c_str(), &fs) != 0 || ::stat(folder.c_str(), &st) != 0)
    return std::nullopt;
  FreeSpace out;
  out.free_bytes = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
  // The mount point: the highest parent on the same device.
  std::filesystem::path p = std::filesystem::weakly_canonical(folder);
  for (;;) {
    std::filesystem::path parent = p.parent_path();
    struct stat pst {};
    if (parent == p || ::stat(parent.c_str(), &pst) != 0 ||
        pst.st_dev != st.st_dev)
      break;
    p = parent;
  }
  out.root = p.string();
  return out;
}

std::string FreeSpaceLine(
    const std::string& folder, const desktop::Texts& texts,
    const std::function<std::optional<FreeSpace>(const std::string&)>&
        measure) {
  // Only local folders: no line for a network path or a relative one.
  if (folder.empty() || folder[0] != '/' || folder.rfind("//", 0) == 0)
    return {};
  std::optional<FreeSpace> space = measure(folder);
  if (!space) return {};
  const bool megabytes = space->free_bytes >= kMegabyte;
  const int64_t amount = static_cast<int64_t>(
      megabytes ? space->free_bytes / kMegabyte : space->free_bytes / 1024);
  return desktop::FormatText(
      megabytes ? "%s  %s  %s  %u  MB" : "%s  %s  %s  %u  KB",
      {texts(81), space->root, texts(82), amount});
}

bool CheckFileName(const std::string& name, desktop::Screen& screen) {
  if (name.find_first_of(kRefused) == std::string::npos) return true;
  screen.Show({desktop::UiText::Id(75), desktop::UiText::Id(88),
               desktop::Icon::kError});
  return false;
}

}  // namespace keeper
