// CZipMainDir: the central directory of an archive and its end record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "boxlink/zip/zip_file.h"
#include "boxlink/zip/zip_header.h"

namespace boxlink {

class CZipMainDir {
 public:
  static constexpr size_t kSearchBufferSize = 32768;
  // The end record and the longest comment it can carry.
  static constexpr uint64_t kMaxEndSearch = kEndRecordSize + 65535;

  // Reads the end record and every central header; 1359 when the archive
  // is damaged or uses what this reader does not support.
  void Read(CZipFile& file);
  // Appends the central headers and the end record at the storage's
  // position. 223 when a count, size or offset does not fit the format.
  void Write(CZipHeaderDir& storage);
  void Clear();

  std::vector<CZipHeaderInfo> entries;
  int current = -1;  // the entry being written
  uint16_t disk_number = 0;
  uint16_t directory_disk = 0;
  uint16_t entries_on_disk = 0;
  uint16_t total_entries = 0;
  uint32_t directory_size = 0;
  uint32_t directory_offset = 0;
  uint16_t comment_length = 0;
  std::string comment;
  uint64_t bytes_before_zip = 0;
  uint64_t end_record_position = 0;
  bool directory_read = false;

 private:
  uint64_t FindEndRecord(CZipFile& file);
};

}  // namespace boxlink
