#include "boxlink/transfer/transfer_library.h"

#include "platform/env.h"

namespace boxlink {

std::string TransferLibraryPath(std::string_view location) {
  if (location == "ftpshim.dll" || location == "ftpshim") return "ftpshim";
  std::string folder(location);
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
    folder.pop_back();
  return folder + "/libftpshim.so";
}

std::unique_ptr<platform::Library> LoadTransferLibrary(std::string_view location) {
  if (location.empty()) return nullptr;
  std::string error;
  return platform::Env::Current()->LoadLibrary(TransferLibraryPath(location),
                                               &error);
}

}  // namespace boxlink
