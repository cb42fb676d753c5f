#include "boxlink/zip/zip_main_dir.h"

#include <cstring>
#include <memory>
#include <optional>

#include "boxlink.h"
#include "boxlink/base/box_error.h"

namespace boxlink {

void CZipMainDir::Clear() { *this = CZipMainDir(); }

uint64_t CZipMainDir::FindEndRecord(CZipFile& file) {
  uint64_t length = file.Length();
  if (length < kEndRecordSize) Raise(ZB_ERR_INTERNAL_ERROR);
  uint64_t lowest = length > kMaxEndSearch ? length - kMaxEndSearch : 0;
  auto buf = std::make_unique<uint8_t[]>(kSearchBufferSize + 3);
  // Blocks overlap by three bytes, so a signature across a block border is
  // still seen. The search runs backwards: a record whose comment ends
  // exactly at the end of the file wins (a comment may itself hold the
  // signature); failing that, the last record whose comment fits.
  uint64_t end = length;
  std::optional<uint64_t> fallback;
  while (end > lowest) {
    uint64_t start = end - lowest > kSearchBufferSize ? end - kSearchBufferSize
                                                      : lowest;
    size_t n = size_t(std::min<uint64_t>(end + 3, length) - start);
    file.Seek(start);
    file.ReadExact(buf.get(), n);
    for (size_t i = n >= 4 ? n - 4 + 1 : 0; i-- > 0;) {
      if (Get32(buf.get() + i) != kEndSignature) continue;
      uint64_t pos = start + i;
      if (pos + kEndRecordSize > length) continue;
      uint8_t rec[kEndRecordSize];
      file.Seek(pos);
      file.ReadExact(rec, sizeof rec);
      uint64_t rec_end = pos + kEndRecordSize + Get16(rec + 20);
      if (rec_end == length) return pos;
      if (rec_end < length && !fallback) fallback = pos;
    }
    end = start;
  }
  if (fallback) return *fallback;
  Raise(ZB_ERR_INTERNAL_ERROR);
}

void CZipMainDir::Read(CZipFile& file) {
  Clear();
  uint64_t pos = FindEndRecord(file);
  uint8_t rec[kEndRecordSize];
  file.Seek(pos);
  file.ReadExact(rec, sizeof rec);
  disk_number = Get16(rec + 4);
  directory_disk = Get16(rec + 6);
  entries_on_disk = Get16(rec + 8);
  total_entries = Get16(rec + 10);
  directory_size = Get32(rec + 12);
  directory_offset = Get32(rec + 16);
  comment_length = Get16(rec + 20);
  comment.resize(comment_length);
  if (comment_length) file.ReadExact(comment.data(), comment_length);
  end_record_position = pos;

  // One volume only, and no 64-bit extension: its markers would make every
  // offset below meaningless.
  if (disk_number != 0 || directory_disk != 0 ||
      entries_on_disk != total_entries || total_entries == 0xFFFF ||
      directory_size == 0xFFFFFFFF || directory_offset == 0xFFFFFFFF)
    Raise(ZB_ERR_INTERNAL_ERROR);
  if ((directory_size == 0) != (total_entries == 0)) Raise(ZB_ERR_INTERNAL_ERROR);
  if (uint64_t(directory_size) + directory_offset > pos) Raise(ZB_ERR_INTERNAL_ERROR);
  bytes_before_zip = pos - directory_size - directory_offset;

  uint64_t at = bytes_before_zip + directory_offset;
  const uint64_t dir_end = at + directory_size;
  entries.reserve(total_entries);
  uint8_t fixed[kCentralHeaderSize];
  for (uint16_t i = 0; i < total_entries; ++i) {
    if (dir_end - at < kCentralHeaderSize) Raise(ZB_ERR_INTERNAL_ERROR);
    file.Seek(at);
    file.ReadExact(fixed, sizeof fixed);
    CZipHeaderInfo h;
    if (!h.ParseCentralFixed(fixed)) Raise(ZB_ERR_INTERNAL_ERROR);
    uint64_t var = uint64_t(h.name_length) + h.extra_length + h.comment_length;
    if (dir_end - at - kCentralHeaderSize < var) Raise(ZB_ERR_INTERNAL_ERROR);
    h.name.resize(h.name_length);
    if (h.name_length) file.ReadExact(h.name.data(), h.name_length);
    h.extra.resize(h.extra_length);
    if (h.extra_length) file.ReadExact(h.extra.data(), h.extra_length);
    h.comment.resize(h.comment_length);
    if (h.comment_length) file.ReadExact(h.comment.data(), h.comment_length);
    at += kCentralHeaderSize + var;
    entries.push_back(std::move(h));
  }
  directory_read = true;
}

void CZipMainDir::Write(CZipHeaderDir& storage) {
  if (entries.size() > 0xFFFF) Raise(ZB_ERR_FILE_TOO_LARGE);
  uint64_t start = storage.Position();
  if (start - bytes_before_zip > 0xFFFFFFFF) Raise(ZB_ERR_FILE_TOO_LARGE);
  uint64_t size = 0;
  for (const CZipHeaderInfo& h : entries) {
    std::vector<uint8_t> bytes = h.CentralHeader();
    storage.Write(bytes.data(), bytes.size());
    size += bytes.size();
  }
  if (size > 0xFFFFFFFF) Raise(ZB_ERR_FILE_TOO_LARGE);
  if (comment.size() > 65535) comment.resize(65535);
  std::vector<uint8_t> rec;
  Put32(rec, kEndSignature);
  Put16(rec, 0);
  Put16(rec, 0);
  Put16(rec, uint16_t(entries.size()));
  Put16(rec, uint16_t(entries.size()));
  Put32(rec, uint32_t(size));
  Put32(rec, uint32_t(start - bytes_before_zip));
  Put16(rec, uint16_t(comment.size()));
  rec.insert(rec.end(), comment.begin(), comment.end());
  storage.Write(rec.data(), rec.size());
  storage.Flush();
}

}  // namespace boxlink
