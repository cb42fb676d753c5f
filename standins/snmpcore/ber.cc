#include "snmpcore/ber.h"

namespace snmpcore::ber {

namespace {

std::string Length(size_t n) {
  if (n < 0x80) return std::string(1, static_cast<char>(n));
  std::string bytes;
  while (n) {
    bytes.insert(bytes.begin(), static_cast<char>(n & 0xFF));
    n >>= 8;
  }
  return std::string(1, static_cast<char>(0x80 | bytes.size())) + bytes;
}

void Base128(uint32_t v, std::string* out) {
  char buf[5];
  int n = 0;
  do {
    buf[n++] = static_cast<char>(v & 0x7F);
    v >>= 7;
  } while (v);
  while (n > 1) out->push_back(static_cast<char>(buf[--n] | 0x80));
  out->push_back(buf[0]);
}

}  // namespace

std::string Tlv(uint8_t tag, std::string_view content) {
  std::string out(1, static_cast<char>(tag));
  out += Length(content.size());
  out += content;
  return out;
}

std::string Integer(int64_t value, uint8_t tag) {
  std::string bytes;
  // Minimal two's complement: drop leading bytes that only repeat the sign.
  for (int shift = 56; shift >= 0; shift -= 8)
    bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
  size_t i = 0;
  while (i + 1 < bytes.size() &&
         ((bytes[i] == 0 && !(bytes[i + 1] & 0x80)) ||
          (bytes[i] == '\xFF' && (bytes[i + 1] & 0x80))))
    ++i;
  return Tlv(tag, std::string_view(bytes).substr(i));
}

std::string Unsigned(uint64_t value, uint8_t tag) {
  std::string bytes;
  for (int shift = 56; shift >= 0; shift -= 8)
    bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
  size_t i = 0;
  while (i + 1 < bytes.size() && bytes[i] == 0) ++i;
  std::string content = bytes.substr(i);
  if (static_cast<uint8_t>(content[0]) & 0x80) content.insert(0, 1, '\0');
  return Tlv(tag, content);
}

std::string OctetString(std::string_view bytes, uint8_t tag) {
  return Tlv(tag, bytes);
}

std::string Null(uint8_t tag) { return Tlv(tag, {}); }

std::string ObjectId(std::span<const uint32_t> ids) {
  std::string content;
  if (ids.size() >= 2) {
    Base128(ids[0] * 40 + ids[1], &content);
    for (size_t i = 2; i < ids.size(); ++i) Base128(ids[i], &content);
  } else if (ids.size() == 1) {
    Base128(ids[0] * 40, &content);
  }
  return Tlv(kObjectId, content);
}

bool Reader::Next(uint8_t* tag, std::string_view* content) {
  if (data_.size() < 2) return false;
  const auto* p = reinterpret_cast<const uint8_t*>(data_.data());
  size_t pos = 1;
  size_t len = p[pos++];
  if (len & 0x80) {
    size_t count = len & 0x7F;
    if (count == 0 || count > 4 || pos + count > data_.size()) return false;
    len = 0;
    for (size_t i = 0; i < count; ++i) len = (len << 8) | p[pos++];
  }
  if (len > data_.size() - pos) return false;
  *tag = p[0];
  *content = data_.substr(pos, len);
  data_.remove_prefix(pos + len);
  consumed_ += pos + len;
  return true;
}

bool Reader::Expect(uint8_t tag, std::string_view* content) {
  uint8_t got;
  return Next(&got, content) && got == tag;
}

bool Reader::ReadInteger(int64_t* value) {
  std::string_view content;
  return Expect(kInteger, &content) && DecodeInteger(content, value);
}

bool Reader::ReadOctetString(std::string_view* bytes) {
  return Expect(kOctetString, bytes);
}

bool DecodeInteger(std::string_view content, int64_t* value) {
  if (content.empty() || content.size() > 8) return false;
  int64_t v = static_cast<int8_t>(content[0]);
  for (size_t i = 1; i < content.size(); ++i)
    v = static_cast<int64_t>(static_cast<uint64_t>(v) << 8) |
        static_cast<uint8_t>(content[i]);
  *value = v;
  return true;
}

bool DecodeUnsigned(std::string_view content, uint64_t* value) {
  if (content.empty() || content.size() > 9) return false;
  if (content.size() == 9 && content[0] != 0) return false;
  uint64_t v = 0;
  for (char c : content) v = (v << 8) | static_cast<uint8_t>(c);
  *value = v;
  return true;
}

bool DecodeObjectId(std::string_view content, std::vector<uint32_t>* ids) {
  ids->clear();
  uint64_t v = 0;
  bool first = true;
  for (size_t i = 0; i < content.size(); ++i) {
    auto b = static_cast<uint8_t>(content[i]);
    v = (v << 7) | (b & 0x7F);
    if (v > 0xFFFFFFFFull) return false;
    if (b & 0x80) {
      if (i + 1 == content.size()) return false;  // unfinished sub-identifier
      continue;
    }
    if (first) {
      uint32_t a = v < 40 ? 0 : v < 80 ? 1 : 2;
      ids->push_back(a);
      ids->push_back(static_cast<uint32_t>(v - a * 40));
      first = false;
    } else {
      ids->push_back(static_cast<uint32_t>(v));
    }
    v = 0;
  }
  return !ids->empty();
}

}  // namespace snmpcore::ber
