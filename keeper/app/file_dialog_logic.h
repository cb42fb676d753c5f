// CBRFileDialog's logic: the free-space line under the file list and the
// check of a typed file name.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "desktop/screen.h"
#include "desktop/texts.h"

namespace keeper {

struct FreeSpace {
  std::string root;        // where the file system is mounted
  uint64_t free_bytes = 0;
};

// The file system a folder lies on and its free space; nullopt when the
// folder cannot be looked at.
std::optional<FreeSpace> FreeSpaceOf(const std::string& folder);

// The line for a folder: text 81, the root, text 82 and the free megabytes
// ("%s  %s  %s  %u  MB"), or kilobytes below 1 MB. Empty for a network
// path ("//server/share") or a folder that cannot be looked at.
std::string FreeSpaceLine(
    const std::string& folder, const desktop::Texts& texts,
    const std::function<std::optional<FreeSpace>(const std::string&)>&
        measure = FreeSpaceOf);

// False, after telling the user (text 75, caption 88, error icon), for a
// name with one of \ * ? " < > |; the dialog then stays open.
bool CheckFileName(const std::string& name, desktop::Screen& screen);

}  // namespace keeper
