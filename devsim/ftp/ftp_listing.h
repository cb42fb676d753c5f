// Folder listings as the device's two controller families write them.
//
// The first family answers both LIST and NLST with long-listing lines:
//   drwxr-xr-x   1 root     root         4096 Jan 01 12:00 my folder
// after a "total" line, each line ended by CR LF.
// The second family writes two header lines (a "total" line and an empty
// line) and then fixed columns, the entry type in the first character and
// the name from the 57th, each line ended by a single line feed.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace devsim {

enum class FtpDialect { kUnixLong, kFixedColumns };

struct FtpListEntry {
  std::string name;
  bool folder = false;
  uint64_t size = 0;
  int64_t mtime = 0;  // seconds since 1970
};

std::string FormatListing(FtpDialect dialect,
                          const std::vector<FtpListEntry>& entries);
// One line without its line end.
std::string FormatUnixLine(const FtpListEntry& e);
std::string FormatFixedLine(const FtpListEntry& e);

// Where the name starts in a fixed-column line (0-based).
inline constexpr size_t kFixedNameColumn = 56;

}  // namespace devsim
