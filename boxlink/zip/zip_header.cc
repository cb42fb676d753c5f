#include "boxlink/zip/zip_header.h"

#include "platform/calendar.h"
#include "platform/env.h"

namespace boxlink {
namespace {

// The run of fields the local and the central header share, from the
// version needed to extract to the length of the extra field.
void PutSharedFields(const CZipHeaderInfo& h, std::vector<uint8_t>& v) {
  Put16(v, h.version);
  Put16(v, h.flags);
  Put16(v, h.method);
  Put16(v, h.mod_time);
  Put16(v, h.mod_date);
  Put32(v, h.crc32);
  Put32(v, h.compressed_size);
  Put32(v, h.uncompressed_size);
  Put16(v, h.name_length);
  Put16(v, h.extra_length);
}

}  // namespace

void UnixToDosTime(int64_t unix_seconds, uint16_t* date, uint16_t* time) {
  bool dst = false;
  int32_t off = platform::Env::Current()->LocalOffsetSeconds(unix_seconds, &dst);
  platform::SystemTime t = platform::SystemTimeFromUnix(unix_seconds + off);
  *date = t.year <= 1980 ? 0
                         : uint16_t((t.year - 1980) << 9 | t.month << 5 | t.day);
  if (t.year > 2107) *date = uint16_t(127 << 9 | 12 << 5 | 31);
  *time = uint16_t(t.hour << 11 | t.minute << 5 | t.second / 2);
}

int64_t DosTimeToUnix(uint16_t date, uint16_t time) {
  platform::SystemTime t{};
  t.year = uint16_t(1980 + (date >> 9));
  t.month = uint16_t((date >> 5) & 15);
  t.day = uint16_t(date & 31);
  t.hour = uint16_t(time >> 11);
  t.minute = uint16_t((time >> 5) & 63);
  t.second = uint16_t((time & 31) * 2);
  int64_t local = 0;
  if (!platform::SystemTimeToUnix(t, &local)) return 0;
  // The offset at the local instant read as UTC, corrected once: right
  // except within the hour a clock change skips or repeats.
  bool dst = false;
  auto* env = platform::Env::Current();
  int64_t guess = local - env->LocalOffsetSeconds(local, &dst);
  return local - env->LocalOffsetSeconds(guess, &dst);
}

bool CZipHeaderInfo::PrepareForWrite(int level) {
  signature = kCentralSignature;
  version = 0;
  if (method != 0 && method != 8) method = 8;
  flags = 0;
  if (method == 8) {
    if (level == 1) flags = 6;
    else if (level == 2) flags = 4;
    else if (level == 8 || level == 9) flags = 2;
  }
  crc32 = compressed_size = uncompressed_size = 0;
  if (name.size() >= 65536) return false;
  name_length = uint16_t(name.size());
  if (extra.size() > 65535) extra.resize(65535);
  extra_length = uint16_t(extra.size());
  if (comment.size() > 65535) comment.resize(65535);
  comment_length = uint16_t(comment.size());
  return true;
}

std::vector<uint8_t> CZipHeaderInfo::LocalHeader() const {
  std::vector<uint8_t> v;
  v.reserve(kLocalHeaderSize + name.size() + extra.size());
  Put32(v, kLocalSignature);
  PutSharedFields(*this, v);
  v.insert(v.end(), name.begin(), name.end());
  v.insert(v.end(), extra.begin(), extra.end());
  return v;
}

std::vector<uint8_t> CZipHeaderInfo::CentralHeader() const {
  std::vector<uint8_t> v;
  v.reserve(kCentralHeaderSize + name.size() + extra.size());
  Put32(v, kCentralSignature);
  Put16(v, version);  // made by
  PutSharedFields(*this, v);
  Put16(v, comment_length);
  Put16(v, disk_start);
  Put16(v, internal_attributes);
  Put32(v, external_attributes);
  Put32(v, local_header_offset);
  v.insert(v.end(), name.begin(), name.end());
  v.insert(v.end(), extra.begin(), extra.begin() + extra_length);
  v.insert(v.end(), comment.begin(), comment.begin() + comment_length);
  return v;
}

bool CZipHeaderInfo::ParseCentralFixed(const uint8_t* p) {
  signature = Get32(p);
  if (signature != kCentralSignature) return false;
  version = Get16(p + 6);  // version needed
  flags = Get16(p + 8);
  method = Get16(p + 10);
  mod_time = Get16(p + 12);
  mod_date = Get16(p + 14);
  crc32 = Get32(p + 16);
  compressed_size = Get32(p + 20);
  uncompressed_size = Get32(p + 24);
  name_length = Get16(p + 28);
  extra_length = Get16(p + 30);
  comment_length = Get16(p + 32);
  disk_start = Get16(p + 34);
  internal_attributes = Get16(p + 36);
  external_attributes = Get32(p + 38);
  local_header_offset = Get32(p + 42);
  return true;
}

}  // namespace boxlink
