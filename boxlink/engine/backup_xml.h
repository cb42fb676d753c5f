// The archive index "Backup.XML": written line by line by the backup job,
// read back (with the older "ARCHIVE.XML") by the index reader. Both sides
// live here so that the element names and the date forms cannot drift.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "boxlink.h"
#include "platform/calendar.h"

namespace boxlink {

struct BackupXmlHead {
  std::string net_bios_name;
  uint32_t backup_type = 0;
  std::string engine_version;
  std::string mac_address;
  bool storage = false;          // writes SecureMode
  uint32_t secure_mode = 0;
  std::string backup_date;       // FormatBackupDate
  std::string timezone;          // FormatTimezone
};

// "%04d/%02d/%02d %02d:%02d:%02d".
std::string FormatBackupDate(const platform::SystemTime& t);
// The device clock as the index records it: UTC, or for the storage layout
// the PC's local time plus the zone's daylight bias.
platform::SystemTime BackupDateFromDeviceClock(uint32_t device_seconds,
                                               bool storage);
// "GMT%c%02i:%02i" of the PC's standard bias.
std::string FormatTimezone();

class BackupXmlWriter {
 public:
  BackupXmlWriter() = default;
  ~BackupXmlWriter() { Close(); }
  BackupXmlWriter(const BackupXmlWriter&) = delete;
  BackupXmlWriter& operator=(const BackupXmlWriter&) = delete;

  // Creates the file; throws the system error.
  void Open(const std::string& path);
  // Lines 1 to 9. Throws the system error when a write fails.
  void WriteHead(const BackupXmlHead& head);
  // The Boxes element, the closing tag, and closes the file (flushed).
  void WriteBoxes(std::span<const ZBBOXPROPERTY> boxes);
  bool is_open() const { return file_ != nullptr; }
  void Close();

 private:
  void Line(std::string_view text, bool last = false);
  void Element(std::string_view name, std::string_view value);

  std::FILE* file_ = nullptr;
  std::string path_;
};

// Text as element content: the markup characters as references.
std::string XmlEscape(std::string_view text);

// Reads an extracted index file of kind 1 (Backup.XML) or 2 (ARCHIVE.XML)
// into *info and, for kind 1, *boxes. Throws 2 (cannot open), 8, 13 (not
// readable as XML), 11 (element missing) or 1605 (unknown version).
void ReadIndexFile(const std::string& path, uint32_t type,
                   BackupIndexInfo* info, std::vector<BackupIndexBox>* boxes);

// "yyyy/mm/dd hh:mm:ss" into the time's fields (day of week and
// milliseconds 0). Missing parts read as 0.
platform::SystemTime ParseBackupDate(std::string_view text);
// Applies a "GMT+hh:mm" zone text (giving UTC) and converts to local time;
// texts shorter than nine characters leave the time as it is.
void ApplyTimezone(std::string_view zone, platform::SystemTime* t);

}  // namespace boxlink
