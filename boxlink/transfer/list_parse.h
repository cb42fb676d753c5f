// The folder listings of the two controller families, as the transfer
// classes read them. Each entry carries only its name (and, for the plain
// first family, what the FTP layer's search delivers).
#pragma once

#include <string_view>

#include "boxlink/transfer/base_ftp.h"

namespace boxlink::transfer {

// Second family, raw LIST answer over the plain FTP layer: the first line
// and one more character are dropped; each further line's name is the text
// after its last space, a file when the fourth character from the end is
// "." (B0000001.XML, CREATE.STS), else a folder.
void ParseBriskListAnswer(std::string_view text, FindDataList* folders,
                          FindDataList* files);

// First family, one line of the name-list answer. Returns false when the
// line makes the whole listing fail (default rule, fewer than nine
// fields). *kind: 0 skip the line, 1 folder, 2 file.
bool ParseOrielNameListLine(std::string_view line, bool marker_rule,
                            int* kind, std::string* name);

// Second family, one line (without its line end) of the name-list answer
// after the two header lines: the type in the first character, the name
// from the 57th. False when the line ends the listing (empty name).
bool ParseBriskNameListLine(std::string_view line, bool* folder,
                            std::string* name);

// An entry with only its name.
FtpFindData NamedEntry(std::string_view name, bool folder);

// Every listing fills a folder list and a file list, either of which the
// caller may leave out (null).
void ClearLists(FindDataList* folders, FindDataList* files);
// Adds the entry to the folder list or the file list by its folder bit.
void AddEntry(const FtpFindData& entry, FindDataList* folders,
              FindDataList* files);

}  // namespace boxlink::transfer
