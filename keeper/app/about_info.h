// What the About box shows besides its texts: the program's version from
// the settings file beside the program (named by text 12005, section
// "ZELT", key "AppVersion"), and the picture file named by text 211.
#pragma once

#include <optional>
#include <string>

#include "desktop/texts.h"

namespace keeper {

// The value of `key` in `section` of an INI file; nullopt when the file,
// the section or the key is missing.
std::optional<std::string> ReadIniValue(const std::string& path,
                                        const std::string& section,
                                        const std::string& key);

struct AboutInfo {
  std::string version;       // empty when the settings file is missing
  std::string picture_path;  // the picture file in the program's folder
};

AboutInfo ReadAboutInfo(const desktop::Texts& texts,
                        const std::string& program_dir);

}  // namespace keeper
