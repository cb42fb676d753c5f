// The archive index "Backup.XML", written line by line as the index reader
// and older builds expect it: CR LF after every line but the last.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace boxlink {

struct BackupXmlBox {
  std::string name;
  uint32_t number = 0;
  bool is_protected = false;
  uint32_t folders = 0;
  uint32_t documents = 0;
  uint64_t used_disk = 0;
  int64_t last_backup_date = 0;  // seconds since 1970, 0 for never
};

struct BackupXmlInfo {
  std::string net_bios_name;
  uint32_t backup_type = 0;  // 0 full, 1 incremental
  std::string engine_version;
  std::string mac_address;
  bool storage_layout = false;  // adds SecureMode, shifts the date
  uint32_t secure_mode = 0;
  int64_t device_clock = 0;  // seconds since 1970
  std::vector<BackupXmlBox> boxes;
};

// The index's Timezone text of this PC, "GMT+hh:mm" (sign "+" where the
// standard bias is zero or negative).
std::string TimeZoneText();

// The whole file as text. Time zone facts come from the current Env.
std::string FormatBackupXml(const BackupXmlInfo& info);
// Writes it; 0 or the system error.
uint32_t WriteBackupXml(const std::string& path, const BackupXmlInfo& info);

}  // namespace boxlink
