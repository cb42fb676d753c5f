#include "keeper/app/backup_target.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace keeper {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kForbidden = "*?\"<>|\\";

bool HasForbidden(std::string_view t) {
  return t.find_first_of(kForbidden) != std::string_view::npos;
}
bool IsNetworkPath(std::string_view t) { return t.substr(0, 2) == "//"; }
bool HasDoubleSlashInside(std::string_view t) {
  return t.size() > 1 && t.find("//", 1) != std::string_view::npos;
}
bool IsAbsolute(std::string_view t) { return !t.empty() && t[0] == '/'; }

std::string Lower(std::string_view t) {
  std::string out(t);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return out;
}

desktop::Message Warn(uint32_t id) {
  return {desktop::UiText::Id(id), desktop::UiText::Id(kTextBackupCaption),
          desktop::Icon::kWarning};
}

TargetCheck Refuse(uint32_t id, TargetCheckMode mode, desktop::Screen* screen,
                   bool focus = false) {
  if (mode == TargetCheckMode::kManual && screen) screen->Show(Warn(id));
  TargetCheck r;
  r.message = id;
  r.focus = focus && mode == TargetCheckMode::kManual;
  return r;
}

}  // namespace

bool EndsInZip(std::string_view text) {
  return text.size() >= 4 && Lower(text.substr(text.size() - 4)) == ".zip";
}

uint32_t BackupTypingProblem(std::string_view t) {
  if (HasForbidden(t)) return kTextBadPath;
  if (IsNetworkPath(t)) return kTextNetworkPath;
  if (HasDoubleSlashInside(t)) return kTextBadPath;
  if (!IsAbsolute(t)) return kTextNotAbsolute;
  return 0;
}

uint32_t RestoreTypingProblem(std::string_view t) {
  if (IsNetworkPath(t)) return kTextNetworkPath;
  if (HasDoubleSlashInside(t)) return kTextBadPath;
  if (!IsAbsolute(t)) return kTextNotAbsolute;
  if (HasForbidden(t)) return kTextBadPath;
  return 0;
}

std::string FolderOf(std::string_view target) {
  size_t slash = target.rfind('/');
  if (slash == std::string_view::npos) return {};
  return std::string(target.substr(0, slash + 1));
}

bool HasNameBeforeDot(std::string_view target) {
  size_t slash = target.rfind('/');
  std::string_view name =
      slash == std::string_view::npos ? target : target.substr(slash + 1);
  size_t dot = name.rfind('.');
  return dot != 0 && !name.empty();
}

bool PathPartsValid(std::string_view target) {
  // The file's base name (without its extension) and every folder name.
  std::string_view rest = target;
  while (!rest.empty()) {
    size_t slash = rest.find('/');
    std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view{}
                                            : rest.substr(slash + 1);
    if (slash == std::string_view::npos) {
      size_t dot = part.rfind('.');
      if (dot != std::string_view::npos) part = part.substr(0, dot);
    } else if (part.empty()) {
      continue;  // the root, or "//" (refused elsewhere)
    }
    if (part.empty()) continue;
    if (part.front() == ' ' || part.back() == ' ') return false;
  }
  return true;
}

uint32_t CreateFolderLevels(const std::string& folder) {
  if (IsNetworkPath(folder) || !IsAbsolute(folder)) return kTextFolderNotCreated;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!ec && fs::is_directory(folder, ec)) return 0;
  switch (ec.value()) {
    case EROFS: case EACCES: case EPERM:
      return kTextFolderReadOnly;
    default:
      return kTextFolderNotCreated;
  }
}

TargetCheck CheckBackupTarget(std::string_view target, TargetCheckMode mode,
                              desktop::Screen* screen) {
  const std::string lower = Lower(target);
  const size_t zip = lower.find(".zip");
  if (zip == std::string::npos || zip == 0 || target[zip - 1] == '.' ||
      target[zip - 1] == '/')
    return Refuse(kTextBadTargetName, mode, screen, true);

  const std::string folder = FolderOf(target);
  // A relative folder would depend on where the program was started, and
  // a network path is not a folder of this machine: neither is looked at.
  if (folder.empty() || IsNetworkPath(folder) || !IsAbsolute(folder))
    return Refuse(kTextNotAbsolute, mode, screen);

  std::error_code ec;
  fs::directory_iterator look(folder, ec);
  if (ec == std::errc::no_such_file_or_directory) {
    if (mode == TargetCheckMode::kManual && screen) {
      desktop::Answer a = screen->Ask(
          {desktop::UiText::Id(kTextCreateFolderQuestion),
           desktop::UiText::Id(kTextErrorCaption), desktop::Icon::kQuestion},
          desktop::Buttons::kYesNo, desktop::Answer::kNo);
      if (a != desktop::Answer::kYes) {
        TargetCheck r;
        r.clear_field = true;
        return r;
      }
    }
    if (uint32_t failed = CreateFolderLevels(folder))
      return Refuse(failed, mode, screen);
  } else if (ec) {
    return Refuse(kTextBadPath, mode, screen);
  }
  TargetCheck r;
  r.ok = true;
  return r;
}

}  // namespace keeper
