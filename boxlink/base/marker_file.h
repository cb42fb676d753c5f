// Marker files: the presence of a file of a given name in the folder ZELT
// under the user's profile folder switches some behaviour on ("NewTimeout",
// "DefaultListParser", "NoEncryption"). The content never matters.
#pragma once

#include <string>
#include <string_view>

namespace boxlink {

inline constexpr char kMarkerNewTimeout[] = "NewTimeout";
inline constexpr char kMarkerDefaultListParser[] = "DefaultListParser";
inline constexpr char kMarkerNoEncryption[] = "NoEncryption";

// The path "<profile>/ZELT/<name>".
std::string MarkerFilePath(std::string_view name);
// True when that path is a file that can be opened for reading; a folder of
// that name does not count.
bool HasMarkerFile(std::string_view name);

}  // namespace boxlink
