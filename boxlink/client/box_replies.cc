#include "boxlink/client/box_replies.h"

#include <cstring>
#include <string>

#include "boxlink/base/box_error.h"
#include "boxlink/base/engine_versions.h"
#include "boxlink/base/notice.h"
#include "boxlink/base/model_addition_check.h"
#include "platform/text.h"

namespace boxlink {
namespace {

constexpr uint32_t kBadFormat = 11;
constexpr uint32_t kNoMemory = 8;

constexpr char kBoxItems[] = "BoxNwLib/Message/Boxes/BoxProp";
constexpr char kFolderItems[] = "BoxNwLib/Message/Folders/FolderProp";
constexpr char kDocItems[] = "BoxNwLib/Message/Documents/DocProp";
constexpr char kBoxProp[] = "BoxNwLib/Message/BoxProp";
constexpr char kMessage[] = "BoxNwLib/Message";

void Require(uint32_t code) {
  if (code != 0) Raise(code);
}

ZBSYSTEMTIME AsRecordTime(const platform::SystemTime& t) {
  ZBSYSTEMTIME out;
  static_assert(sizeof out == sizeof t);
  std::memcpy(&out, &t, sizeof out);
  return out;
}

ZBSYSTEMTIME ItemTime(ReplyDocument& doc, std::string_view items, size_t i,
                      std::string_view child, bool local) {
  platform::SystemTime t{};
  GetItemChildTime(doc, items, i, child, &t, local);
  return AsRecordTime(t);
}

ZBSYSTEMTIME ChildTime(const ReplyDocument& doc, std::string_view parent,
                       std::string_view child, bool local) {
  platform::SystemTime t{};
  GetChildTime(doc, parent, child, &t, local);
  return AsRecordTime(t);
}

std::string HeaderVersion(const ReplyDocument& doc) {
  char version[512];
  Require(GetNodeText(doc, "BoxNwLib/Header/Version", version, sizeof version));
  return version;
}

platform::UniqueBlock Allocate(size_t bytes) {
  platform::UniqueBlock block(platform::BlockAlloc(bytes));
  if (!block) Raise(kNoMemory);
  return block;
}

uint32_t U32(int32_t v) { return static_cast<uint32_t>(v); }

}  // namespace

bool ReportsLastBackupDate(std::string_view header_version) {
  if (IsSeriesEngine(header_version)) return true;
  ModelAdditionCheck* checker = ModelAdditionCheck::Get();
  if (!checker) {
    ShowNotice("ModelAdditioncheck pointer is NULL", "");
    Raise(kNoMemory);
  }
  return checker->CheckCategory(header_version, kSupportedModelsCategory) != 0;
}

uint32_t MapSourceType(int32_t v) {
  switch (v) {
    case 1: return 0;
    case 2: return 2;
    case 4: return 3;
    case 8: return 1;
    default: return 10;
  }
}

uint32_t MapColorMonoMix(int32_t v) {
  switch (v) {
    case 1: return 2;
    case 2: return 1;
    case 8: return 1;
    case 4: return 0;
    default: return 10;
  }
}

uint32_t MapScanDuplex(int32_t v) {
  switch (v) {
    case 2: return 1;
    case 3: return 2;
    default: return 0;
  }
}

void ParseEngineInfo(const ReplyDocument& doc, ZBENGINEINFO* info) {
  Require(GetNodeText(doc, "BoxNwLib/Message/VersionInfo/EngineVersion",
                      info->EngineVersion, sizeof info->EngineVersion));
  Require(GetNodeText(doc, "BoxNwLib/Message/MACAddress", info->MACAddress,
                      sizeof info->MACAddress));
  info->CurrentTime = U32(GetChildNumber(doc, kMessage, "CurrentTime"));
}

platform::UniqueBlock ParseBoxList(ReplyDocument& doc, bool local,
                                   uint32_t* count) {
  const bool dates = ReportsLastBackupDate(HeaderVersion(doc));
  const uint32_t n =
      U32(GetNodeAttributeNumber(doc, "BoxNwLib/Message/Boxes", "NumOfBoxes"));
  *count = n;
  // Reading the items would fail at the first missing one anyway; failing
  // before the allocation keeps a damaged count from asking for gigabytes.
  if (n > doc.SelectList(kBoxItems).size()) Raise(kBadFormat);
  platform::UniqueBlock block = Allocate(size_t{n} * sizeof(ZBBOX));
  auto* boxes = static_cast<ZBBOX*>(platform::BlockLock(block.get()));
  for (uint32_t i = 0; i < n; ++i) {
    ZBBOX& box = boxes[i];
    box.BoxNo = U32(GetItemAttributeNumber(doc, kBoxItems, i, "BoxNo"));
    GetItemChildText(doc, kBoxItems, i, "BoxName", box.BoxName,
                     sizeof box.BoxName);
    box.LastUpdateDate = ItemTime(doc, kBoxItems, i, "LastUpdateDate", local);
    box.Reserved = 0;
    box.Protected = U32(GetItemChildNumber(doc, kBoxItems, i, "Protected"));
    if (dates)
      box.LastBackupDate =
          ItemTime(doc, kBoxItems, i, "LastBackupDate", local);
  }
  return block;
}

void ParseBoxProperty(std::string_view raw, ReplyDocument& doc, bool local,
                      ZBBOXPROPERTY* p) {
  constexpr std::string_view kOpen = "<BoxName>", kClose = "</BoxName>";
  if (size_t open = raw.find(kOpen); open != std::string_view::npos) {
    size_t begin = open + kOpen.size();
    if (size_t close = raw.find(kClose, begin);
        close != std::string_view::npos) {
      // Byte for byte: the device's own encoding, possibly cut inside a
      // character, exactly as the callers compare it.
      size_t n = std::min(close - begin, sizeof p->RawBoxName - 1);
      std::memcpy(p->RawBoxName, raw.data() + begin, n);
      p->RawBoxName[n] = '\0';
    }
  }
  const bool dates = ReportsLastBackupDate(HeaderVersion(doc));
  p->BoxNo = U32(GetNodeAttributeNumber(doc, kBoxProp, "BoxNo"));
  Require(GetChildText(doc, kBoxProp, "BoxName", p->BoxName,
                       sizeof p->BoxName));
  Require(GetChildText(doc, kBoxProp, "BoxOwner", p->BoxOwner,
                       sizeof p->BoxOwner));
  p->CreateDate = ChildTime(doc, kBoxProp, "CreateDate", local);
  p->Reserved = 0;
  p->Protected = U32(GetChildNumber(doc, kBoxProp, "Protected"));
  p->NumOfDocs = U32(GetChildNumber(doc, kBoxProp, "NumOfDocs"));
  p->NumOfFolders = U32(GetChildNumber(doc, kBoxProp, "NumOfFolders"));
  p->LastUpdateDate = ChildTime(doc, kBoxProp, "LastUpdateDate", local);
  p->BoxUsedDisk = U32(GetChildNumber(doc, kBoxProp, "BoxUsedDisk"));
  p->PreservationPeriod =
      GetChildNumber(doc, kBoxProp, "PreservationPeriodFlag") != 0
          ? U32(GetChildNumber(doc, kBoxProp, "PreservationPeriod"))
          : 0;
  Require(GetChildText(doc, kBoxProp, "WarningNotice", p->WarningNotice,
                       sizeof p->WarningNotice));
  if (dates)
    p->LastBackupDate = U32(GetChildNumber(doc, kBoxProp, "LastBackupDate"));
}

platform::UniqueBlock ParseCollection(ReplyDocument& doc, bool local,
                                      const uint32_t* since,
                                      uint32_t* count) {
  const uint32_t folders = U32(GetNodeAttributeNumber(
      doc, "BoxNwLib/Message/Folders", "NumOfFolders"));
  const uint32_t docs = U32(GetNodeAttributeNumber(
      doc, "BoxNwLib/Message/Documents", "NumOfDocs"));
  const uint64_t total = uint64_t{folders} + docs;
  *count = static_cast<uint32_t>(total);
  // As for the box list: a count beyond the items present is a bad reply.
  if (folders > doc.SelectList(kFolderItems).size() ||
      docs > doc.SelectList(kDocItems).size())
    Raise(kBadFormat);
  if (total == 0) return Allocate(4);

  platform::UniqueBlock block = Allocate(total * sizeof(ZBCOLLECTIONITEM));
  auto* items =
      static_cast<ZBCOLLECTIONITEM*>(platform::BlockLock(block.get()));
  for (uint32_t i = 0; i < folders; ++i) {
    ZBCOLLECTIONITEM& f = items[i];
    f.ItemKind = 0;
    f.ItemId = U32(GetItemAttributeNumber(doc, kFolderItems, i, "FolderID"));
    GetItemChildWideText(doc, kFolderItems, i, "FolderName", f.ItemName,
                         std::size(f.ItemName));
    f.CreateDate = ItemTime(doc, kFolderItems, i, "CreateDate", local);
    f.LastUpdateDate = ItemTime(doc, kFolderItems, i, "LastUpdateDate", local);
    f.NumOfDocs = U32(GetItemChildNumber(doc, kFolderItems, i, "NumOfDocs"));
  }
  uint32_t next = folders;
  uint32_t skipped = 0;
  for (uint32_t j = 0; j < docs; ++j) {
    if (since) {
      uint32_t updated =
          U32(GetItemChildNumber(doc, kDocItems, j, "LastUpdateDate"));
      if (*since >= updated) {
        ++skipped;
        continue;
      }
    }
    ZBCOLLECTIONITEM& d = items[next++];
    d.ItemKind = 1;
    d.ItemId = U32(GetItemAttributeNumber(doc, kDocItems, j, "DocID"));
    GetItemChildWideText(doc, kDocItems, j, "DocName", d.ItemName,
                         std::size(d.ItemName));
    d.CreateDate = ItemTime(doc, kDocItems, j, "CreateDate", local);
    d.LastUpdateDate = ItemTime(doc, kDocItems, j, "LastUpdateDate", local);
    d.Ready = GetItemChildNumber(doc, kDocItems, j, "DocStatus") == 2 ? 0 : 1;
    d.LastAccessDate = ItemTime(doc, kDocItems, j, "LastAccessDate", local);
    d.NumOfPages = U32(GetItemChildNumber(doc, kDocItems, j, "NumOfPages"));
    d.DocSize = U32(GetItemChildNumber(doc, kDocItems, j, "DocSize")) * 1024u;
    d.SourceType =
        MapSourceType(GetItemChildNumber(doc, kDocItems, j, "SourceType"));
    d.ColorMonoMix =
        MapColorMonoMix(GetItemChildNumber(doc, kDocItems, j, "ColorMonoMix"));
    GetItemChildText(doc, kDocItems, j, "ThumbnailPath", d.ThumbnailPath,
                     sizeof d.ThumbnailPath);
    const int32_t rotation =
        GetItemChildNumber(doc, kDocItems, j, "ThumbnailRotation");
    const uint32_t s = U32(GetItemChildNumber(doc, kDocItems, j, "SResolution"));
    const uint32_t m = U32(GetItemChildNumber(doc, kDocItems, j, "MResolution"));
    const bool turned = rotation == 1 || rotation == 3;
    d.HorizontalResolution = turned ? s : m;
    d.VerticalResolution = turned ? m : s;
    d.ScanDuplex =
        MapScanDuplex(GetItemChildNumber(doc, kDocItems, j, "ScanDuplex"));
  }
  *count -= skipped;
  return block;
}

void ParseDiskSpace(const ReplyDocument& doc, uint32_t* capacity,
                    uint32_t* available) {
  *capacity = U32(GetChildNumber(doc, kMessage, "DiskCapacity"));
  *available = U32(GetChildNumber(doc, kMessage, "DiskAvailability"));
}

}  // namespace boxlink
