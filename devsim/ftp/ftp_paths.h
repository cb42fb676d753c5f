// The server's view of paths: every client path is resolved against the
// session's current folder into a normalised absolute path below "/", which
// stands for the store's root folder. No path can leave that root.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace devsim {

// Normalised absolute virtual path ("/", "/BOX/DATA"), or nullopt when the
// argument climbs above the root or holds a NUL.
std::optional<std::string> ResolveFtpPath(std::string_view cwd,
                                          std::string_view arg);
// The file-system path of a normalised virtual path.
std::filesystem::path ToLocalPath(const std::filesystem::path& root,
                                  std::string_view virtual_path);

}  // namespace devsim
