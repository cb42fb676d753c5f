// Reading an archive's index back: "Backup.XML" (written by backup_xml.h)
// and the older "ARCHIVE.XML".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "boxlink.h"
#include "platform/calendar.h"

namespace boxlink {

// The largest index read: 999 boxes take well under a megabyte, and the
// file is read into memory whole.
inline constexpr uint64_t kMaxIndexBytes = 16u << 20;

// Reads an extracted index file of kind 1 (Backup.XML) or 2 (ARCHIVE.XML)
// into *info and, for kind 1, *boxes. Fields the index lacks keep their
// values. Throws 2 (cannot open), 8, 13 (not readable as XML, or larger
// than kMaxIndexBytes), 11 (element missing) or, after everything was
// read, 1605 (version not accepted).
void ReadIndexFile(const std::string& path, uint32_t type,
                   BackupIndexInfo* info, std::vector<BackupIndexBox>* boxes);

// "yyyy/mm/dd hh:mm:ss" into the time's fields (day of week and
// milliseconds 0). Missing parts read as 0.
platform::SystemTime ParseBackupDate(std::string_view text);
// Applies a "GMT+hh:mm" zone text (giving UTC) and converts to local time;
// texts shorter than nine characters leave the time as it is.
void ApplyTimezone(std::string_view zone, platform::SystemTime* t);

// Versions an archive may come from: the known engines, the model file's
// storage-layout models, and the older generations.
bool IndexVersionAccepted(std::string_view version);

}  // namespace boxlink
