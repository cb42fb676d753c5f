// CZipHeaderInfo: one archive entry, as its local and central headers
// hold it, and the little-endian field layouts of those headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace boxlink {

inline constexpr uint32_t kCentralSignature = 0x02014B50;
inline constexpr uint32_t kLocalSignature = 0x04034B50;
inline constexpr uint32_t kEndSignature = 0x06054B50;
inline constexpr size_t kLocalHeaderSize = 30;
inline constexpr size_t kCentralHeaderSize = 46;
inline constexpr size_t kEndRecordSize = 22;

inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;

inline uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
         uint32_t(p[3]) << 24;
}
inline void Put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(uint8_t(x));
  v.push_back(uint8_t(x >> 8));
}
inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

// DOS date and time of a Unix time, in local time; years up to 1980 give
// a date of 0. And back (0 for an invalid date or time).
void UnixToDosTime(int64_t unix_seconds, uint16_t* date, uint16_t* time);
int64_t DosTimeToUnix(uint16_t date, uint16_t time);

class CZipHeaderInfo {
 public:
  uint32_t signature = 0;
  uint16_t version = 0;  // made by and needed when written; needed when read
  uint16_t flags = 0;
  uint16_t method = 8;
  uint16_t mod_time = 0;
  uint16_t mod_date = 0;
  uint32_t crc32 = 0;
  uint32_t compressed_size = 0;
  uint32_t uncompressed_size = 0;
  uint16_t name_length = 0;
  uint16_t extra_length = 0;
  uint16_t comment_length = 0;
  uint16_t disk_start = 0;
  uint16_t internal_attributes = 0;
  uint32_t external_attributes = kAttrArchive;
  uint32_t local_header_offset = 0;
  std::string name;  // "/" separators, system code page
  std::vector<uint8_t> extra;
  std::string comment;

  bool IsDirectory() const {
    return (external_attributes & kAttrDirectory) != 0;
  }
  // Readies the header for writing at a compression level (flags, method,
  // lengths). False when the name is too long for the format.
  bool PrepareForWrite(int level);

  std::vector<uint8_t> LocalHeader() const;
  std::vector<uint8_t> CentralHeader() const;
  // Parses the fixed 46 bytes of a central header; false without its
  // signature. The variable parts follow with the lengths it sets.
  bool ParseCentralFixed(const uint8_t* p);
};

}  // namespace boxlink
