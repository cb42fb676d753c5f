// Pieces shared by both transfer families: local folders, path joining,
// entry names from the device, and the catch-log-raise pattern of the
// operations.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "boxlink/base/box_error.h"
#include "boxlink/base/logger.h"
#include "boxlink/transfer/base_ftp.h"

namespace boxlink::transfer {

// The system error for a failed file-system call (errno).
uint32_t SystemErrorFromErrno(int e);

std::string JoinLocal(std::string_view folder, std::string_view name);
std::string JoinRemote(std::string_view folder, std::string_view name);
// A raw FTP command line: the command word, a space and the argument.
std::string CommandLine(std::string_view word, std::string_view argument);

// The names a document leaves in its folder on the device: "D0000nnn.XML"
// and the document folder "D0000nnn".
std::string DocumentXmlName(uint32_t document);
std::string DocumentFolderName(uint32_t document);

// A name that the device listed and that may become a local file or folder
// name: not empty, not "." or "..", without a folder separator. Anything
// else would let a listing write outside the work folder.
bool IsSafeEntryName(std::string_view name);

// Creates the folder (an existing one is fine); raises the system error.
void CreateLocalFolder(const std::string& path);
// Makes the folder the process's current folder; the system error or 0.
uint32_t SetCurrentFolder(const std::string& path);
// Lists a local folder (pattern "*": everything) into folders and files,
// sorted by name; 161 when the folder cannot be entered, 1359 when it
// cannot be read, else 0.
uint32_t ListLocalFolder(const std::string& path, FindDataList* folders,
                         FindDataList* files);

// The thread's last error, never 0 (an unknown failure is 1359).
uint32_t LastErrorOr1359();

// Runs `fn`; a raised code is logged with `label` and raised again, any
// other failure is logged with `unknown_label` in the default form and
// raised as 1359.
template <typename Fn>
auto Guarded(std::string_view label, std::string_view unknown_label, Fn&& fn)
    -> decltype(fn()) {
  try {
    return fn();
  } catch (const BoxError& e) {
    CLogger::LogError(label, e.code());
    throw;
  } catch (...) {
    CLogger::LogError(unknown_label, 1359, true);
    Raise(ZB_ERR_INTERNAL_ERROR);
  }
}

}  // namespace boxlink::transfer
