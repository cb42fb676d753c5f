// Reading the index of a legacy archive: "Backup.XML" of a legacy backup or
// "Archive.XML" of a legacy document archive.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "boxlink.h"

namespace boxlink {

// Reads an extracted index of the type (ZB_INDEX_BACKUP_XML or
// ZB_INDEX_ARCHIVE_XML) into *info and, for a backup, *boxes (records
// without last backup dates). Throws 2, 8, 13 (unreadable, not XML, larger
// than the index limit), 11 (element missing) and, after everything was
// read, the version check's 50 or 1605.
void ReadLegacyIndex(const std::string& path, uint32_t type, BackupIndexInfo* info,
                     std::vector<BackupIndexBox>* boxes);

// 50 for the retired engines, 1605 when the number after the last "V" is
// above 1, else 0.
uint32_t LegacyVersionCheck(std::string_view version);

}  // namespace boxlink
