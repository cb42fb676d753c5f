#include "boxlink/engine/backup_xml.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "boxlink/client/box_error.h"
#include "boxlink/client/engine_versions.h"
#include "boxlink/client/reply.h"
#include "boxlink/engine/model_addition_check.h"
#include "boxlink/zip/zip_file.h"
#include "platform/env.h"
#include "platform/text.h"

namespace boxlink {

namespace {

std::string Number(uint64_t n) { return std::to_string(n); }

platform::SystemTime AddMinutes(const platform::SystemTime& t, int64_t minutes) {
  int64_t secs = 0;
  if (!platform::SystemTimeToUnix(t, &secs)) return t;
  return platform::SystemTimeFromUnix(secs + minutes * 60, t.milliseconds);
}

}  // namespace

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string FormatBackupDate(const platform::SystemTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.year,
                t.month, t.day, t.hour, t.minute, t.second);
  return text;
}

platform::SystemTime BackupDateFromDeviceClock(uint32_t device_seconds,
                                               bool storage) {
  platform::SystemTime t = platform::SystemTimeFromUnix(device_seconds);
  // Local time plus the daylight bias, in force or not: what the readers of
  // these archives expect, so it is kept.
  if (storage) UtcToLocalTime(&t, false);
  return t;
}

std::string FormatTimezone() {
  platform::TimeZoneInfo tz;
  if (!platform::Env::Current()->GetTimeZoneInfo(&tz)) tz = {};
  int bias = tz.standard_bias_minutes;
  int magnitude = bias < 0 ? -bias : bias;
  char text[32];
  std::snprintf(text, sizeof text, "GMT%c%02i:%02i", bias <= 0 ? '+' : '-',
                magnitude / 60, magnitude % 60);
  return text;
}

void BackupXmlWriter::Open(const std::string& path) {
  Close();
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) Raise(SystemErrorFromErrno(errno ? errno : EIO));
  path_ = path;
}

void BackupXmlWriter::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

void BackupXmlWriter::Line(std::string_view text, bool last) {
  if (!file_) Raise(6);
  std::string line(text);
  if (!last) line += "\r\n";
  if (std::fwrite(line.data(), 1, line.size(), file_) != line.size())
    Raise(SystemErrorFromErrno(errno ? errno : EIO));
}

void BackupXmlWriter::Element(std::string_view name, std::string_view value) {
  std::string line = "<";
  line += name;
  line += ">";
  line += value;
  line += "</";
  line += name;
  line += ">";
  Line(line);
}

void BackupXmlWriter::WriteHead(const BackupXmlHead& head) {
  Line("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  Line("<BackupInfo>");
  Element("NetBiosName", XmlEscape(head.net_bios_name));
  Element("BackupType", Number(head.backup_type));
  Element("EngineVersion", XmlEscape(head.engine_version));
  Element("MACAddress", XmlEscape(head.mac_address));
  if (head.storage) Element("SecureMode", Number(head.secure_mode));
  Element("BackupDate", head.backup_date);
  Element("Timezone", head.timezone);
}

void BackupXmlWriter::WriteBoxes(std::span<const ZBBOXPROPERTY> boxes) {
  Line("<Boxes NumOfBoxes=\"" + Number(boxes.size()) + "\">");
  for (const ZBBOXPROPERTY& box : boxes) {
    Line("<BoxProp>");
    // The reply's own bytes keep their references, so the name is valid
    // markup as it stands; without them the resolved name is escaped.
    std::string name = box.RawBoxName[0]
                           ? std::string(box.RawBoxName)
                           : XmlEscape(platform::CodePageToUtf8(box.BoxName));
    Element("BoxName", name);
    Element("BoxNo", Number(box.BoxNo));
    Element("Protected", box.Protected ? "yes" : "no");
    Element("NumOfFolders", Number(box.NumOfFolders));
    Element("NumOfDocs", Number(box.NumOfDocs));
    Element("BoxUsedDisk", Number(box.BoxUsedDisk));
    Element("LastBackupDate", Number(box.LastBackupDate));
    Line("</BoxProp>");
  }
  Line("</Boxes>");
  Line("</BackupInfo>", true);
  if (std::fflush(file_) != 0) Raise(SystemErrorFromErrno(errno ? errno : EIO));
  std::FILE* f = file_;
  file_ = nullptr;
  if (std::fclose(f) != 0) Raise(SystemErrorFromErrno(errno ? errno : EIO));
}

platform::SystemTime ParseBackupDate(std::string_view text) {
  platform::SystemTime t{};
  std::string s(text);
  const char* p = s.c_str();
  uint16_t* fields[] = {&t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second};
  const char separators[] = {'/', '/', ' ', ':', ':'};
  for (size_t i = 0; i < 6; ++i) {
    char* end = nullptr;
    long v = std::strtol(p, &end, 10);
    *fields[i] = static_cast<uint16_t>(v < 0 ? 0 : v);
    p = end;
    if (i == 5) break;
    const char* next = std::strchr(p, separators[i]);
    if (!next) break;
    p = next + 1;
  }
  return t;
}

void ApplyTimezone(std::string_view zone, platform::SystemTime* t) {
  if (zone.size() < 9) return;
  auto two = [&](size_t at) {
    return std::atoi(std::string(zone.substr(at, 2)).c_str());
  };
  int offset = two(4) * 60 + two(7);
  platform::SystemTime utc = AddMinutes(*t, zone[3] == '+' ? -offset : offset);
  platform::SystemTime local{};
  if (platform::UtcToLocal(utc, &local)) *t = local;
  else *t = utc;
  t->day_of_week = 0;
  t->milliseconds = 0;
}

namespace {

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Raise(2);
  std::string bytes;
  try {
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  } catch (const std::bad_alloc&) {
    Raise(8);
  }
  if (in.bad()) Raise(13);
  return bytes;
}

std::string Required(const ReplyDocument& doc, std::string_view path) {
  auto text = doc.Text(path);
  if (!text) Raise(11);
  return *text;
}

void CopyTo(char* out, size_t capacity, std::string_view utf8) {
  platform::CopyBounded(out, capacity, utf8);
}

bool VersionAccepted(std::string_view version) {
  return IsSupportedEngine(version) || IsSupportedModel(version) ||
         IsRetiredEngine(version);
}

}  // namespace

void ReadIndexFile(const std::string& path, uint32_t type,
                   BackupIndexInfo* info, std::vector<BackupIndexBox>* boxes) {
  std::string bytes = ReadWhole(path);
  std::unique_ptr<ReplyDocument> doc = ReplyDocument::Load(bytes);
  if (!doc) Raise(13);

  std::string version;
  if (type == ZB_INDEX_BACKUP_XML) {
    info->IndexType = ZB_INDEX_BACKUP_XML;
    version = Required(*doc, "BackupInfo/EngineVersion");
    CopyTo(info->Version, sizeof info->Version, version);
    CopyTo(info->MACAddress, sizeof info->MACAddress,
           Required(*doc, "BackupInfo/MACAddress"));

    const bool series = IsSeriesEngine(version);
    const bool supported = IsSupportedModel(version);
    auto count_text = doc->Attribute("BackupInfo/Boxes", "NumOfBoxes");
    if (!count_text) Raise(11);
    int32_t count = ParseDecimal(*count_text);
    if (count < 0) count = 0;
    constexpr std::string_view kItems = "BackupInfo/Boxes/BoxProp";
    // Every announced box must be there; this also bounds the allocation.
    if (size_t(count) > doc->SelectList(kItems).size()) Raise(11);
    boxes->assign(size_t(count), BackupIndexBox{});
    for (size_t i = 0; i < size_t(count); ++i) {
      BackupIndexBox& b = (*boxes)[i];
      b.BoxNo = uint32_t(GetItemChildNumber(*doc, kItems, i, "BoxNo"));
      GetItemChildText(*doc, kItems, i, "BoxName", b.BoxName, sizeof b.BoxName);
      char yes[8] = {};
      GetItemChildText(*doc, kItems, i, "Protected", yes, sizeof yes);
      b.Protected = std::strcmp(yes, "yes") == 0 ? 1 : 0;
      b.NumOfFolders = uint32_t(GetItemChildNumber(*doc, kItems, i, "NumOfFolders"));
      b.NumOfDocs = uint32_t(GetItemChildNumber(*doc, kItems, i, "NumOfDocs"));
      b.BoxUsedDisk = uint32_t(GetItemChildNumber(*doc, kItems, i, "BoxUsedDisk"));
      if (series || supported) {
        platform::SystemTime t{};
        GetItemChildTime(*doc, kItems, i, "LastBackupDate", &t, supported);
        static_assert(sizeof t == sizeof b.LastBackupDate);
        std::memcpy(&b.LastBackupDate, &t, sizeof t);
      }
    }
    info->Count = uint32_t(count);

    platform::SystemTime date = ParseBackupDate(Required(*doc, "BackupInfo/BackupDate"));
    if (series || supported) {
      CopyTo(info->NetBiosName, sizeof info->NetBiosName,
             Required(*doc, "BackupInfo/NetBiosName"));
      info->BackupType = uint32_t(ParseDecimal(Required(*doc, "BackupInfo/BackupType")));
    }
    if (supported) {
      info->SecureMode = uint32_t(ParseDecimal(Required(*doc, "BackupInfo/SecureMode")));
      ApplyTimezone(Required(*doc, "BackupInfo/Timezone"), &date);
    }
    std::memcpy(&info->Date, &date, sizeof date);
  } else {
    info->IndexType = ZB_INDEX_ARCHIVE_XML;
    version = Required(*doc, "ArchiveInfo/Version");
    CopyTo(info->Version, sizeof info->Version, version);
    CopyTo(info->MACAddress, sizeof info->MACAddress,
           Required(*doc, "ArchiveInfo/MACAddress"));
    info->Count = uint32_t(ParseDecimal(Required(*doc, "ArchiveInfo/NumOfDocs")));
    platform::SystemTime date = ParseBackupDate(Required(*doc, "ArchiveInfo/ArchiveDate"));
    std::memcpy(&info->Date, &date, sizeof date);
  }
  if (!VersionAccepted(version)) Raise(1605);
}

}  // namespace boxlink
