// Where an archive entry may be written: only below the target folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace boxlink {

// `folder` + "/" + the entry's path, with "/" or "\" taken as separators
// and "." parts dropped. Nullopt for a name that is empty, absolute, has a
// drive prefix or a ".." part, or holds a zero byte: such an entry would
// write outside the folder, or not where its name says.
std::optional<std::string> SafeEntryPath(const std::string& folder,
                                         std::string_view entry_name);

}  // namespace boxlink
