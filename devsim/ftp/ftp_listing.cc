#include "devsim/ftp/ftp_listing.h"

#include <cstdio>

namespace devsim {
namespace {

std::string DateText(int64_t mtime) {
  time_t t = static_cast<time_t>(mtime);
  tm parts{};
  gmtime_r(&t, &parts);
  char buf[32];
  std::strftime(buf, sizeof buf, "%b %d %H:%M", &parts);
  return buf;  // always 12 characters in the C locale
}

}  // namespace

std::string FormatUnixLine(const FtpListEntry& e) {
  char head[128];
  std::snprintf(head, sizeof head, "%s %3d %-8s %-8s %12llu %s ",
                e.folder ? "drwxr-xr-x" : "-rw-r--r--", e.folder ? 2 : 1,
                "root", "root", static_cast<unsigned long long>(e.size),
                DateText(e.mtime).c_str());
  return head + e.name;
}

std::string FormatFixedLine(const FtpListEntry& e) {
  // 1 + 9 + 1 + 2 + 1 + 8 + 1 + 8 + 1 + 10 + 1 + 12 + 1 = 56 columns.
  char head[128];
  std::snprintf(head, sizeof head, "%c%s %2d %-8.8s %-8.8s %10llu %.12s ",
                e.folder ? 'd' : '-', e.folder ? "rwxr-xr-x" : "rw-r--r--",
                1, "device", "device",
                static_cast<unsigned long long>(e.size % 10000000000ULL),
                DateText(e.mtime).c_str());
  return head + e.name;
}

std::string FormatListing(FtpDialect dialect,
                          const std::vector<FtpListEntry>& entries) {
  uint64_t blocks = 0;
  for (const auto& e : entries) blocks += (e.size + 1023) / 1024;
  std::string out = "total " + std::to_string(blocks);
  if (dialect == FtpDialect::kUnixLong) {
    out += "\r\n";
    for (const auto& e : entries) out += FormatUnixLine(e) + "\r\n";
  } else {
    out += "\n\n";
    for (const auto& e : entries) out += FormatFixedLine(e) + "\n";
  }
  return out;
}

}  // namespace devsim
