#include "boxlink/engine/restore_rules.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "boxlink/client/reply.h"
#include "platform/text.h"

namespace boxlink {

std::u16string NumberedName(std::u16string_view name, unsigned long n) {
  std::u16string_view head = name.substr(0, 60);
  if (head.size() == 60 && head.back() >= 0xD800 && head.back() <= 0xDBFF)
    head.remove_suffix(1);
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "-%03lu", n);
  std::u16string out(head);
  for (const char* p = suffix; *p; ++p) out.push_back(char16_t(*p));
  return out;
}

std::u16string FreeNumberedName(std::u16string_view name,
                                const std::function<bool(std::u16string_view)>& taken) {
  for (unsigned long n = 1;; ++n) {
    std::u16string candidate = NumberedName(name, n);
    if (!taken(candidate)) return candidate;
  }
}

std::vector<uint32_t> RenumberDocuments(const std::vector<uint32_t>& local,
                                        const std::set<uint32_t>& device) {
  std::vector<uint32_t> out(local.size());
  std::set<uint32_t> used = device;
  size_t keeper = local.size();
  for (size_t i = 0; i < local.size(); ++i) {
    if (!device.count(local[i])) {
      keeper = i;
      break;
    }
  }
  if (keeper < local.size()) used.insert(local[keeper]);
  uint32_t next = 1;
  for (size_t i = 0; i < local.size(); ++i) {
    if (i == keeper) {
      out[i] = local[i];
      continue;
    }
    while (used.count(next)) ++next;
    out[i] = next;
    used.insert(next);
  }
  return out;
}

std::vector<uint32_t> RenumberFolders(const std::vector<uint32_t>& local,
                                      const std::set<uint32_t>& device) {
  std::vector<uint32_t> out(local.size());
  std::set<uint32_t> used = device;
  std::vector<bool> keeps(local.size());
  for (size_t i = 0; i < local.size(); ++i) {
    // A duplicate local number cannot be kept twice.
    keeps[i] = !used.count(local[i]);
    if (keeps[i]) used.insert(local[i]);
  }
  uint32_t next = 1;
  for (size_t i = 0; i < local.size(); ++i) {
    if (keeps[i]) {
      out[i] = local[i];
      continue;
    }
    while (used.count(next)) ++next;
    out[i] = next;
    used.insert(next);
  }
  return out;
}

bool EnoughSpace(uint32_t free_space, uint32_t needed) {
  uint64_t need = needed;
  if (free_space < 1024) need *= 1024;
  return uint64_t(free_space) > need;
}

namespace {

template <size_t N>
bool ContainsOne(std::string_view text, const std::array<std::string_view, N>& list) {
  for (std::string_view s : list)
    if (text.find(s) != std::string_view::npos) return true;
  return false;
}

constexpr std::array<std::string_view, 4> kGroupA = {
    "Varda 530 Series V1.0", "Varda 330 Series V1.0", "Varda 340 Series V1.0",
    "Varda 540 Series V1.0"};
constexpr std::array<std::string_view, 2> kGroupB = {"Varda 910 Series V1.0",
                                                     "Varda 930 Series V1.0"};
constexpr std::string_view kColourEngine = "Varda 4720c Series V2.0";

}  // namespace

bool CompatibleTarget(std::string_view archive, std::string_view target) {
  if (archive == target) return true;
  if (ContainsOne(archive, kGroupA)) return ContainsOne(target, kGroupA);
  if (ContainsOne(archive, kGroupB)) return ContainsOne(target, kGroupB);
  if (archive.find(kColourEngine) == std::string_view::npos) return false;
  if (target == kColourEngine) return false;
  size_t v = target.rfind('V');
  if (v == std::string_view::npos || v + 5 >= target.size()) return false;
  std::string tail(target.substr(v + 5));
  return std::atoi(tail.c_str()) != 0;
}

std::string BigEndian(uint32_t t) {
  std::string b(4, '\0');
  b[0] = char(t >> 24);
  b[1] = char(t >> 16);
  b[2] = char(t >> 8);
  b[3] = char(t);
  return b;
}

namespace {

// Item and property files come from the archive; a device writes them
// small. Larger ones are not read into memory.
constexpr uint64_t kMaxSmallFileBytes = 1u << 20;

bool SmallEnough(const std::string& path) {
  std::error_code ec;
  uintmax_t size = std::filesystem::file_size(path, ec);
  return !ec && size <= kMaxSmallFileBytes;
}

bool ReadAll(const std::string& path, std::string* out) {
  if (!SmallEnough(path)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), {});
  return true;
}

bool WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  return bool(out.flush());
}

}  // namespace

bool WriteItemLastAccess(const std::string& path, std::string_view be_time) {
  std::string b;
  if (!ReadAll(path, &b) || b.size() < kItemAccessAt + 4) return false;
  b.replace(kItemAccessAt, 4, be_time.substr(0, 4));
  return WriteAll(path, b);
}

bool WriteItemNames(const std::string& path, std::string_view own_name,
                    std::u16string_view display_name) {
  std::string b;
  if (!ReadAll(path, &b) || b.size() < kItemNameBytes) return false;
  std::string head(kItemNameBytes, '\0');
  head.replace(0, std::min<size_t>(own_name.size(), 8), own_name.substr(0, 8));
  std::u16string_view n = display_name.substr(0, 64);
  if (n.size() == 64 && n.back() >= 0xD800 && n.back() <= 0xDBFF) n.remove_suffix(1);
  for (size_t i = 0; i < n.size(); ++i) {
    head[9 + 2 * i] = char(n[i] & 0xFF);
    head[9 + 2 * i + 1] = char(n[i] >> 8);
  }
  b.replace(0, kItemNameBytes, head);
  return WriteAll(path, b);
}

bool WriteItemOwnName(const std::string& path, std::string_view own_name) {
  std::string b;
  if (!ReadAll(path, &b) || b.size() < 8) return false;
  std::string name(own_name.substr(0, 8));
  name.resize(8, '\0');
  b.replace(0, 8, name);
  return WriteAll(path, b);
}

bool ReadItemFile(const std::string& path, std::string* own_name,
                  std::u16string* display_name) {
  std::string b;
  if (!ReadAll(path, &b) || b.size() < kItemNameBytes) return false;
  std::string_view own(b.data(), 8);
  *own_name = std::string(own.substr(0, own.find('\0')));
  display_name->clear();
  for (size_t i = 9; i + 1 < 137; i += 2) {
    char16_t c = char16_t(uint8_t(b[i]) | uint8_t(b[i + 1]) << 8);
    if (c == 0) break;
    display_name->push_back(c);
  }
  return true;
}

std::optional<std::u16string> ReadPropertyElement(const std::string& path,
                                                 std::string_view element) {
  if (!SmallEnough(path)) return std::nullopt;
  std::string node = "BoxDocument/" + std::string(element);
  std::u16string text(kPropertyTextChars, u'\0');
  if (FileNodeText(path, node, {}, 1, text.data(), text.size()) != 0) return std::nullopt;
  text.resize(std::char_traits<char16_t>::length(text.c_str()));
  return text;
}

bool RewritePropertyFile(const std::string& path, std::string_view element,
                         std::u16string_view value) {
  if (!SmallEnough(path)) return false;
  std::string node = "BoxDocument/" + std::string(element);
  return FileNodeText(path, node, value, 0, nullptr, 0) == 0;
}

}  // namespace boxlink
