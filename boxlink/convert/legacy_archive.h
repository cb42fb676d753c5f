// Operations of the filtering conversions on legacy archives and their
// unpacked trees. Members ending in ".tnb" are zips whose end record's
// counts are inverted (ChangeZipCentralDirectory); unpacking reverts them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "boxlink.h"

namespace boxlink {

// ZB_INDEX_BACKUP_XML when the archive holds "Backup.XML", else
// ZB_INDEX_ARCHIVE_XML for "Archive.XML", else ZB_INDEX_NONE (also when it
// cannot be opened). Names compare by file name alone, ignoring case.
uint32_t LegacyArchiveType(const std::string& archive);
// Extracts the index member of the type into `folder` under its bare name.
// False when the archive cannot be opened (logged with 1392) or has no such
// member.
bool ExtractLegacyIndex(const std::string& archive, const std::string& folder,
                        uint32_t type);
// The index member's bare name for the type.
const char* LegacyIndexName(uint32_t type);

// Extracts every entry of `zip` below `folder`. An inverted zip must be
// named "*.tnb"; it is turned back into its ".zip" form first. With
// delete_after the zip is removed once extracted. 0 or the system error
// (logged).
uint32_t LegacyUnzip(const std::string& zip, const std::string& folder,
                     bool inverted, bool delete_after);
// Zips `folder` with entries beginning with its own name into `target`;
// with invert the result's end record counts are inverted (target must then
// be the folder's path plus ".tnb"). Throws the system error.
void LegacyZip(const std::string& target, const std::string& folder, bool invert);
// Zips every file directly in `folder` as one entry named by its bare name
// into `target`, which must not exist yet. Throws the system error.
void LegacyZipFlat(const std::string& target, const std::string& folder);
// Extracts member "B0000nnn.tnb" of `zip` into `folder`. 0 or the system
// error (logged).
uint32_t ExtractOneLegacyBox(const std::string& zip, const std::string& folder,
                             uint32_t box);

// Copies `file` line by line; the first line holding `element` becomes
// "<element>text</element>" (text escaped for XML), keeping its line end.
// The copy is made in temp_folder ("MyXml_" names) and then replaces the
// file. 0, or -1 when either file cannot be opened or the copy cannot
// replace the file.
int ReplaceElementLine(const std::string& file, const std::string& temp_folder,
                       std::string_view element, std::string_view text);
// The k-th line holding "NumOfDocs" and the k-th holding "BoxUsedDisk" get
// the k-th record's NumOfDocs and BoxUsedDisk. 0 or -1 as above.
int ReplaceBoxCounts(const std::string& file, const std::string& temp_folder,
                     const std::vector<BackupIndexBox>& boxes);

// The entry of `folder` whose name equals `name` ignoring case; empty when
// there is none.
std::string FindIgnoringCase(const std::string& folder, std::string_view name);
// Names of the folder's entries, sorted; files or folders only.
std::vector<std::string> ListEntries(const std::string& folder, bool folders);

}  // namespace boxlink
