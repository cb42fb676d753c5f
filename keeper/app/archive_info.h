// What the Restore side needs to know about an archive before a run: its
// index (type, time, boxes with sizes) and whether it suits the device.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "boxlink.h"

namespace keeper {

struct ArchiveBox {
  uint32_t number = 0;
  std::string name;        // UTF-8
  bool is_protected = false;
  uint32_t folders = 0;
  uint32_t documents = 0;
  uint32_t size_kb = 0;
  ZBSYSTEMTIME last_backup{};
};

struct ArchiveInfo {
  uint32_t backup_type = 0;  // 0 full, 1 incremental
  ZBSYSTEMTIME date{};
  std::string engine_version;
  std::string network_name;
  std::vector<ArchiveBox> boxes;
};

// Reads the archive's index (through a local copy in the program-data
// folder when one can be made), extracting it into a private folder under
// the temporary folder. 0, or the library's code; 127 when the library
// cannot read archives in this build.
uint32_t ReadArchiveInfo(const std::string& archive, ArchiveInfo* info);

// Whether an archive written by engine `archive` may be restored onto a
// device running engine `device` (empty when not connected).
bool ArchiveSuitsDevice(std::string_view archive, std::string_view device);

// "2 MB" when size_kb / 1024 is above 1, else "%d KB" (at least 1).
std::string SizeText(uint32_t size_kb);

}  // namespace keeper
