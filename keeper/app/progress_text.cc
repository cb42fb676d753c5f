#include "keeper/app/progress_text.h"

#include <cstdio>

#include "keeper/app/strings.h"

namespace keeper {
namespace {

size_t CodePoints(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

// The first `chars` code points of s.
std::string_view Head(std::string_view s, size_t chars) {
  size_t seen = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      if (seen == chars) return s.substr(0, i);
      ++seen;
    }
  }
  return s;
}

std::string Join(std::string_view box, std::string_view folder,
                 std::string_view doc) {
  std::string out(box);
  for (std::string_view part : {folder, doc}) {
    if (part.empty()) continue;
    out += '\\';
    out += part;
  }
  return out;
}

}  // namespace

uint32_t PhaseStringForState(uint32_t state) {
  switch (state) {
    case 1: return 90;
    case 2: return 91;
    case 3: return 92;
    case 4: return 93;
    case 5: return 94;
    case 7: return 95;
    case 8: return 96;
    default: return 0;
  }
}

uint32_t InitialPhaseString(JobKind kind) {
  return kind == JobKind::kBackup ? 45 : 46;
}

std::string CountLine(uint32_t done, uint32_t total) {
  std::string head(KeeperString(113));
  char buf[64];
  std::snprintf(buf, sizeof buf, " %u / %u", done, total);
  return head + buf;
}

std::string NameLine(std::string_view box, std::string_view folder,
                     std::string_view doc, size_t max_chars) {
  std::string full = Join(box, folder, doc);
  if (CodePoints(full) <= max_chars) return full;
  std::string_view f = folder.empty() ? std::string_view() : "...";
  std::string shorter = Join(box, f, doc);
  if (CodePoints(shorter) <= max_chars) return shorter;
  // Cut the document name to what is left after box, folder mark and
  // separators.
  size_t fixed = CodePoints(Join(box, f, ""));
  if (!doc.empty() && fixed + 1 < max_chars)
    return Join(box, f, Head(doc, max_chars - fixed - 1));
  // Even the box name does not fit: cut it and drop the rest.
  return std::string(Head(box, max_chars));
}

}  // namespace keeper
