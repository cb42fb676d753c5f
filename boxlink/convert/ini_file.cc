#include "boxlink/convert/ini_file.h"

#include <fstream>
#include <iterator>

#include "platform/text.h"

namespace boxlink {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' ||
                        s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

}  // namespace

int32_t ProfileInt(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  unsigned base = 10;
  if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  uint64_t v = 0;
  for (char c : text) {
    unsigned d;
    if (c >= '0' && c <= '9') d = unsigned(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f') d = unsigned(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F') d = unsigned(c - 'A' + 10);
    else break;
    v = v * base + d;
    if (v > 0xFFFFFFFFull) v = 0xFFFFFFFFull;  // saturates, never overflows
  }
  uint32_t u = uint32_t(v);
  return int32_t(negative ? 0u - u : u);
}

bool CIniFile::ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size < 0 || uint64_t(size) > kMaxFileBytes) return false;
  in.seekg(0, std::ios::beg);
  std::string bytes(static_cast<size_t>(size), '\0');
  if (size > 0 && !in.read(bytes.data(), size)) return false;
  Parse(bytes);
  return true;
}

void CIniFile::Parse(std::string_view text) {
  sections_.clear();
  // A UTF-8 byte order mark in front of the first line is not a name.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  Section* current = nullptr;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      size_t close = line.find(']');
      if (close == std::string_view::npos) {
        current = nullptr;  // a broken header: its lines belong nowhere
        continue;
      }
      sections_.push_back({std::string(Trim(line.substr(1, close - 1))), {}});
      current = &sections_.back();
      continue;
    }
    if (!current) continue;
    Entry e;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      e.key = std::string(line);
    } else {
      e.key = std::string(Trim(line.substr(0, eq)));
      e.value = std::string(Trim(line.substr(eq + 1)));
      e.has_value = true;
      if (e.key.empty()) continue;
    }
    current->entries.push_back(std::move(e));
  }
}

const CIniFile::Entry* CIniFile::Find(std::string_view section,
                                      std::string_view key) const {
  for (const Section& s : sections_) {
    if (!platform::EqualsIgnoreCase(s.name, section)) continue;
    for (const Entry& e : s.entries)
      if (e.has_value && platform::EqualsIgnoreCase(e.key, key)) return &e;
  }
  return nullptr;
}

int32_t CIniFile::GetInt(std::string_view section, std::string_view key,
                         int32_t default_value) const {
  const Entry* e = Find(section, key);
  return e ? ProfileInt(e->value) : default_value;
}

std::optional<std::string> CIniFile::GetString(std::string_view section,
                                               std::string_view key) const {
  const Entry* e = Find(section, key);
  if (!e) return std::nullopt;
  return e->value;
}

std::vector<CIniFile::Entry> CIniFile::Entries(std::string_view section) const {
  std::vector<Entry> out;
  for (const Section& s : sections_)
    if (platform::EqualsIgnoreCase(s.name, section))
      out.insert(out.end(), s.entries.begin(), s.entries.end());
  return out;
}

}  // namespace boxlink
