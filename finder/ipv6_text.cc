#include "finder/ipv6_text.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "finder/network.h"

namespace finder {
namespace {

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::vector<std::string_view> Split(std::string_view s, char sep) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (;;) {
    size_t end = s.find(sep, start);
    out.push_back(s.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return out;
    start = end + 1;
  }
}

bool IsDecimalOctet(std::string_view part) {
  if (part.empty() || part.size() > 3) return false;
  for (char c : part)
    if (!IsDigit(c)) return false;
  if (part == "0") return true;
  int value = 0;
  for (char c : part) value = value * 10 + (c - '0');
  return value >= 1 && value <= 255;
}

// The groups of one side of "::" (or of the whole text without it): each
// one to four hexadecimal digits, the last one possibly an IPv4 tail.
// Adds their count (a tail counts two) to *groups; false when malformed.
bool CountGroups(std::string_view side, bool may_end_in_ipv4, int* groups) {
  if (side.empty()) return true;
  std::vector<std::string_view> parts = Split(side, ':');
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string_view g = parts[i];
    if (g.find('.') != std::string_view::npos) {
      if (!may_end_in_ipv4 || i + 1 != parts.size()) return false;
      std::vector<std::string_view> octets = Split(g, '.');
      if (octets.size() != 4) return false;
      for (std::string_view o : octets)
        if (!IsDecimalOctet(o)) return false;
      *groups += 2;
      continue;
    }
    if (g.empty() || g.size() > 4) return false;
    for (char c : g)
      if (!IsHex(c)) return false;
    ++*groups;
  }
  return true;
}

}  // namespace

bool IsValidIpv6Text(std::string_view text) {
  size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return false;
  text.remove_prefix(start);
  if (text.size() > kIpv6TextMax) return false;
  size_t colons = 0, dots = 0;
  for (char c : text) {
    if (c == ':') {
      ++colons;
    } else if (c == '.') {
      ++dots;
    } else if (!IsHex(c)) {
      return false;  // blanks and anything else
    }
  }
  // Seven colons join eight groups; an eighth is only the colon that
  // "::" at either end adds ("1:2:3:4:5:6:7::", the compressed form of a
  // last zero group).
  const bool gap_at_end = text.starts_with("::") || text.ends_with("::");
  if (colons < 2 || colons > (gap_at_end ? 8u : 7u)) return false;
  if (dots != 0 && dots != 3) return false;
  const size_t gap = text.find("::");
  if (gap != std::string_view::npos && text.find("::", gap + 1) != std::string_view::npos)
    return false;
  int groups = 0;
  if (gap == std::string_view::npos) {
    return CountGroups(text, true, &groups) && groups == 8;
  }
  std::string_view left = text.substr(0, gap), right = text.substr(gap + 2);
  return CountGroups(left, false, &groups) && CountGroups(right, true, &groups) &&
         groups < 8;
}

std::optional<std::string> FullIpv6(std::string_view text) {
  if (!IsValidIpv6Text(text)) return std::nullopt;
  text.remove_prefix(text.find_first_not_of(' '));
  std::string plain(text);
  // The numbers of an IPv4 tail may carry leading zeros ("02"), which the
  // system's parser would take for another notation: write them plainly.
  if (size_t colon = plain.rfind(':'); plain.find('.') != std::string::npos) {
    std::string tail;
    for (std::string_view octet : Split(std::string_view(plain).substr(colon + 1), '.')) {
      int value = 0;
      for (char c : octet) value = value * 10 + (c - '0');
      tail += (tail.empty() ? "" : ".") + std::to_string(value);
    }
    plain = plain.substr(0, colon + 1) + tail;
  }
  return ExpandIpv6(plain);
}

std::optional<std::string> CompressIpv6(std::string_view full) {
  if (full.size() != kIpv6TextMax) return std::nullopt;
  std::vector<std::string_view> groups = Split(full, ':');
  if (groups.size() != 8) return std::nullopt;
  std::vector<unsigned> values;
  for (std::string_view g : groups) {
    if (g.size() != 4) return std::nullopt;
    unsigned v = 0;
    for (char c : g) {
      if (!IsHex(c)) return std::nullopt;
      v = v * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                             ? c - '0'
                                             : std::tolower(c) - 'a' + 10);
    }
    values.push_back(v);
  }
  // The first run of zero groups.
  int run_start = -1, run_end = -1;
  for (int i = 0; i < 8; ++i) {
    if (values[i] != 0) continue;
    run_start = i;
    run_end = i;
    while (run_end + 1 < 8 && values[run_end + 1] == 0) ++run_end;
    break;
  }
  auto hex = [](unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%x", v);
    return std::string(buf);
  };
  std::string out;
  for (int i = 0; i < 8; ++i) {
    if (i == run_start) {
      out += "::";
      i = run_end;
      continue;
    }
    if (!out.empty() && out.back() != ':') out += ':';
    out += hex(values[i]);
  }
  return out;
}

bool IsZeroIpv6(std::string_view text) {
  for (char c : text)
    if (c != '0' && c != ':') return false;
  return true;
}

bool IsAllOnesIpv6(std::string_view text) {
  for (char c : text)
    if (c != 'f' && c != 'F' && c != ':') return false;
  return true;
}

}  // namespace finder
