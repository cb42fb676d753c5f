// Binary descriptors of the shared and classic layouts: item files and box
// descriptors. Numbers in them are big-endian, names UTF-16LE.
#include <cstdio>
#include <cstring>

#include "devsim/core/box_store.h"
#include "platform/text.h"

namespace devsim {
namespace {

void PutU32(std::string& b, size_t at, uint32_t v) {
  b[at] = static_cast<char>(v >> 24);
  b[at + 1] = static_cast<char>(v >> 16);
  b[at + 2] = static_cast<char>(v >> 8);
  b[at + 3] = static_cast<char>(v);
}

void PutU16(std::string& b, size_t at, uint16_t v) {
  b[at] = static_cast<char>(v >> 8);
  b[at + 1] = static_cast<char>(v);
}

uint32_t GetU32(std::string_view b, size_t at) {
  auto u = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(b[at + i])); };
  return u(0) << 24 | u(1) << 16 | u(2) << 8 | u(3);
}

uint16_t GetU16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) << 8 |
                               static_cast<uint8_t>(b[at + 1]));
}

// At most max_units units, never half of a surrogate pair.
void PutUtf16(std::string& b, size_t at, std::u16string_view s, size_t max_units) {
  if (s.size() > max_units) {
    s = s.substr(0, max_units);
    if (!s.empty() && s.back() >= 0xD800 && s.back() <= 0xDBFF) s.remove_suffix(1);
  }
  for (size_t i = 0; i < s.size(); ++i) {
    b[at + 2 * i] = static_cast<char>(s[i] & 0xFF);
    b[at + 2 * i + 1] = static_cast<char>(s[i] >> 8);
  }
}

std::u16string GetUtf16(std::string_view b, size_t at, size_t max_bytes) {
  std::u16string s;
  for (size_t i = 0; i + 1 < max_bytes && at + i + 1 < b.size(); i += 2) {
    char16_t c = static_cast<char16_t>(static_cast<uint8_t>(b[at + i]) |
                                       static_cast<uint8_t>(b[at + i + 1]) << 8);
    if (c == 0) break;
    s.push_back(c);
  }
  return s;
}

// Text of at most max bytes, ended by the first zero.
std::string GetText(std::string_view b, size_t at, size_t max) {
  std::string_view field = b.substr(at, max);
  return std::string(field.substr(0, field.find('\0')));
}

void PutText(std::string& b, size_t at, std::string_view s, size_t max) {
  s = s.substr(0, max);
  std::memcpy(b.data() + at, s.data(), s.size());
}

}  // namespace

std::string EncodeItemFile(const ItemFile& item) {
  std::string b(kItemFileSize, '\0');
  PutText(b, 0, item.own_name, 8);
  PutUtf16(b, kItemNameOffset, item.display_name, kItemNameBytes / 2);
  PutU32(b, kItemLastAccessOffset, item.last_access);
  PutU32(b, 152, item.create_date);
  PutU32(b, 156, item.last_update);
  PutU32(b, 160, item.pages);
  PutU32(b, 164, item.size);
  return b;
}

std::optional<ItemFile> DecodeItemFile(std::string_view b) {
  if (b.size() < kItemLastAccessOffset + 4) return std::nullopt;
  ItemFile item;
  item.own_name = GetText(b, 0, 8);
  item.display_name = GetUtf16(b, kItemNameOffset, kItemNameBytes);
  item.last_access = GetU32(b, kItemLastAccessOffset);
  // Files a client wrote back may be shorter than ours; the rest is ours.
  if (b.size() >= 168) {
    item.create_date = GetU32(b, 152);
    item.last_update = GetU32(b, 156);
    item.pages = GetU32(b, 160);
    item.size = GetU32(b, 164);
  }
  return item;
}

std::string EncodeBoxDescriptor(const BoxInfo& box) {
  std::string b(kBoxDescriptorSize, '\0');
  char number[16];
  std::snprintf(number, sizeof number, "%03u", box.number);
  PutText(b, 0, number, 8);
  PutUtf16(b, 9, platform::Utf8ToUtf16(box.name), 31);
  PutText(b, 73, box.owner, 63);
  PutText(b, 585, box.password, 63);
  PutU32(b, 716, box.create_date);
  PutU32(b, 720, box.last_update_date);
  PutU32(b, 724, box.last_access_date);
  PutU32(b, 728, box.last_backup_date);
  PutU16(b, 732, box.preservation ? 1 : 0);
  PutU16(b, 734, static_cast<uint16_t>(static_cast<int16_t>(box.preserve_days)));
  return b;
}

std::optional<BoxInfo> DecodeBoxDescriptor(std::string_view b) {
  if (b.size() < 738) return std::nullopt;
  BoxInfo box;
  std::string number = GetText(b, 0, 8);
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  box.number = static_cast<uint32_t>(std::stoul(number));
  box.name = platform::Utf16ToUtf8(GetUtf16(b, 9, 64));
  box.owner = GetText(b, 73, 64);
  box.password = GetText(b, 585, 64);
  box.create_date = GetU32(b, 716);
  box.last_update_date = GetU32(b, 720);
  box.last_access_date = GetU32(b, 724);
  box.last_backup_date = GetU32(b, 728);
  box.preservation = GetU16(b, 732) == 1;
  box.preserve_days = static_cast<int16_t>(GetU16(b, 734));
  return box;
}

}  // namespace devsim
