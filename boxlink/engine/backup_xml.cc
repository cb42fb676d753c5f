#include "boxlink/engine/backup_xml.h"

#include <cstdio>
#include <cstdlib>

#include "boxlink/zip/zip_file.h"
#include "boxlink/base/box_error.h"
#include "platform/calendar.h"
#include "platform/env.h"

namespace boxlink {
namespace {

// Device texts are plain text; a box named "A&B" must not break the file
// for the reader.
std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Element(const char* name, const std::string& value) {
  return std::string("<") + name + ">" + value + "</" + name + ">";
}

std::string BackupDate(const BackupXmlInfo& info) {
  platform::SystemTime t = platform::SystemTimeFromUnix(info.device_clock);
  if (info.storage_layout) {
    platform::SystemTime local{};
    platform::TimeZoneInfo tz{};
    if (platform::UtcToLocal(t, &local)) t = local;
    if (platform::Env::Current()->GetTimeZoneInfo(&tz)) {
      int64_t secs = 0;
      if (platform::SystemTimeToUnix(t, &secs))
        t = platform::SystemTimeFromUnix(secs + int64_t(tz.daylight_bias_minutes) * 60);
    }
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", t.year,
                t.month, t.day, t.hour, t.minute, t.second);
  return buf;
}

}  // namespace

std::string TimeZoneText() {
  platform::TimeZoneInfo tz{};
  platform::Env::Current()->GetTimeZoneInfo(&tz);
  int bias = tz.bias_minutes + tz.standard_bias_minutes;
  char buf[32];
  std::snprintf(buf, sizeof buf, "GMT%c%02i:%02i", bias <= 0 ? '+' : '-',
                std::abs(bias) / 60, std::abs(bias) % 60);
  return buf;
}

std::string FormatBackupXml(const BackupXmlInfo& info) {
  std::vector<std::string> lines = {
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
      "<BackupInfo>",
      Element("NetBiosName", Escape(info.net_bios_name)),
      Element("BackupType", std::to_string(info.backup_type)),
      Element("EngineVersion", Escape(info.engine_version)),
      Element("MACAddress", Escape(info.mac_address)),
  };
  if (info.storage_layout)
    lines.push_back(Element("SecureMode", std::to_string(info.secure_mode)));
  lines.push_back(Element("BackupDate", BackupDate(info)));
  lines.push_back(Element("Timezone", TimeZoneText()));
  lines.push_back("<Boxes NumOfBoxes=\"" + std::to_string(info.boxes.size()) +
                  "\">");
  for (const BackupXmlBox& b : info.boxes) {
    lines.push_back("<BoxProp>");
    lines.push_back(Element("BoxName", Escape(b.name)));
    lines.push_back(Element("BoxNo", std::to_string(b.number)));
    lines.push_back(Element("Protected", b.is_protected ? "yes" : "no"));
    lines.push_back(Element("NumOfFolders", std::to_string(b.folders)));
    lines.push_back(Element("NumOfDocs", std::to_string(b.documents)));
    lines.push_back(Element("BoxUsedDisk", std::to_string(b.used_disk)));
    lines.push_back(Element("LastBackupDate", std::to_string(b.last_backup_date)));
    lines.push_back("</BoxProp>");
  }
  lines.push_back("</Boxes>");
  lines.push_back("</BackupInfo>");
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    out += lines[i];
    if (i + 1 < lines.size()) out += "\r\n";
  }
  return out;
}

uint32_t WriteBackupXml(const std::string& path, const BackupXmlInfo& info) {
  try {
    CZipFile f;
    f.Open(path, CZipFile::Mode::kCreate);
    std::string text = FormatBackupXml(info);
    f.Write(text.data(), text.size());
    return 0;
  } catch (const BoxError& e) {
    return e.code();
  }
}

}  // namespace boxlink
