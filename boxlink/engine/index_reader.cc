#include "boxlink/engine/index_reader.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "boxlink/base/box_error.h"
#include "boxlink/base/engine_versions.h"
#include "boxlink/client/reply.h"
#include "boxlink/base/model_addition_check.h"
#include "platform/text.h"

namespace boxlink {

namespace {

platform::SystemTime AddMinutes(const platform::SystemTime& t, int64_t minutes) {
  int64_t secs = 0;
  if (!platform::SystemTimeToUnix(t, &secs)) return t;
  return platform::SystemTimeFromUnix(secs + minutes * 60, t.milliseconds);
}

}  // namespace

bool IndexVersionAccepted(std::string_view version) {
  return IsSupportedEngine(version) || IsSupportedModel(version) ||
         IsRetiredEngine(version);
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
  if (!in) Raise(ZB_ERR_FILE_NOT_FOUND);
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size < 0) Raise(ZB_ERR_INVALID_DATA);
  if (uint64_t(size) > kMaxIndexBytes) Raise(ZB_ERR_INVALID_DATA);
  in.seekg(0, std::ios::beg);
  std::string bytes;
  try {
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  } catch (const std::bad_alloc&) {
    Raise(ZB_ERR_NOT_ENOUGH_MEMORY);
  }
  if (in.bad()) Raise(ZB_ERR_INVALID_DATA);
  return bytes;
}

std::string Required(const ReplyDocument& doc, std::string_view path) {
  auto text = doc.Text(path);
  if (!text) Raise(ZB_ERR_BAD_FORMAT);
  return *text;
}

void CopyTo(char* out, size_t capacity, std::string_view utf8) {
  platform::CopyBounded(out, capacity, utf8);
}

}  // namespace

void ReadIndexFile(const std::string& path, uint32_t type,
                   BackupIndexInfo* info, std::vector<BackupIndexBox>* boxes) {
  std::string bytes = ReadWhole(path);
  std::unique_ptr<ReplyDocument> doc = ReplyDocument::Load(bytes);
  if (!doc) Raise(ZB_ERR_INVALID_DATA);

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
    if (!count_text) Raise(ZB_ERR_BAD_FORMAT);
    int32_t count = ParseDecimal(*count_text);
    if (count < 0) count = 0;
    constexpr std::string_view kItems = "BackupInfo/Boxes/BoxProp";
    // Every announced box must be there; this also bounds the allocation.
    if (size_t(count) > doc->SelectList(kItems).size()) Raise(ZB_ERR_BAD_FORMAT);
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
  if (!IndexVersionAccepted(version)) Raise(ZB_ERR_UNKNOWN_PRODUCT);
}

}  // namespace boxlink
