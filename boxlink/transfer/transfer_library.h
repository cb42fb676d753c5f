// Loading the FTP wrapper library for one job. The caller names it either
// by its bare library name ("ftpshim.dll", the name the product has always
// used, or "ftpshim") or by the folder that holds it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/library.h"

namespace boxlink {

// The file tried for a location: the loader's search for the bare name, or
// "<folder>/libftpshim.so" (a trailing separator of the folder dropped).
std::string TransferLibraryPath(std::string_view location);
// Null when it cannot be loaded; the plain transfer classes serve then.
std::unique_ptr<platform::Library> LoadTransferLibrary(std::string_view location);

}  // namespace boxlink
