// zbzbBoxGetXMLInfo and the legacy index reader behind it.
#include "boxlink/convert/legacy_index.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "boxlink/base/box_error.h"
#include "boxlink/client/cgi.h"
#include "boxlink/base/engine_versions.h"
#include "boxlink/client/reply.h"
#include "boxlink/convert/convert_job.h"
#include "boxlink/convert/legacy_archive.h"
#include "boxlink/engine/index_reader.h"
#include "boxlink/engine/zip_utility.h"
#include "boxlink/zip/zip_utls.h"
#include "platform/mem_block.h"
#include "platform/text.h"

namespace boxlink {

namespace {

std::string ReadIndexBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Raise(ZB_ERR_FILE_NOT_FOUND);
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size < 0 || uint64_t(size) > kMaxIndexBytes) Raise(ZB_ERR_INVALID_DATA);
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
  std::optional<std::string> text = doc.Text(path);
  if (!text) Raise(ZB_ERR_BAD_FORMAT);
  return *text;
}

void CopyTo(char (&field)[512], std::string_view text) {
  platform::CopyBounded(field, sizeof field, text);
}

}  // namespace

uint32_t LegacyVersionCheck(std::string_view version) {
  if (IsRetiredEngine(version)) return ZB_ERR_NOT_SUPPORTED;
  size_t v = version.rfind('V');
  if (v == std::string_view::npos) return 0;
  std::string rest(version.substr(v + 1));
  // Unsigned decimal as the C library reads it: digits up to the first
  // other character; "V-2" reads as a huge number.
  unsigned long major = std::strtoul(rest.c_str(), nullptr, 10);
  return major > 1 ? ZB_ERR_UNKNOWN_PRODUCT : 0;
}

void ReadLegacyIndex(const std::string& path, uint32_t type, BackupIndexInfo* info,
                     std::vector<BackupIndexBox>* boxes) {
  std::string bytes = ReadIndexBytes(path);
  std::unique_ptr<ReplyDocument> doc = ReplyDocument::Load(bytes);
  if (!doc) Raise(ZB_ERR_INVALID_DATA);
  std::string version, date;
  if (type == ZB_INDEX_ARCHIVE_XML) {
    info->IndexType = ZB_INDEX_ARCHIVE_XML;
    version = Required(*doc, "ArchiveInfo/Version");
    CopyTo(info->Version, version);
    CopyTo(info->MACAddress, Required(*doc, "ArchiveInfo/MACAddress"));
    info->Count = uint32_t(ParseDecimal(Required(*doc, "ArchiveInfo/NumOfDocs")));
    date = Required(*doc, "ArchiveInfo/ArchiveDate");
  } else {
    info->IndexType = ZB_INDEX_BACKUP_XML;
    version = Required(*doc, "BackupInfo/EngineVersion");
    CopyTo(info->Version, version);
    CopyTo(info->MACAddress, Required(*doc, "BackupInfo/MACAddress"));
    std::optional<std::string> count_text = doc->Attribute("BackupInfo/Boxes", "NumOfBoxes");
    if (!count_text) Raise(ZB_ERR_BAD_FORMAT);
    int32_t count = std::max(ParseDecimal(*count_text), 0);
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
    }
    info->Count = uint32_t(count);
    date = Required(*doc, "BackupInfo/BackupDate");
  }
  std::memset(&info->Date, 0, sizeof info->Date);
  platform::SystemTime t = ParseBackupDate(date);
  static_assert(sizeof t == sizeof info->Date);
  std::memcpy(&info->Date, &t, sizeof t);
  if (uint32_t rc = LegacyVersionCheck(version)) Raise(rc);
}

}  // namespace boxlink

ZB_API uint32_t zbzbBoxGetXMLInfo(const char* archivePath, const char* workFolder,
                                  BackupIndexInfo* info, uint32_t* count,
                                  BackupIndexBox** boxList, ZBBLOCK* block) {
  if (block) *block = nullptr;
  if (!archivePath || !workFolder || !info) return ZB_ERR_INVALID_PARAMETER;
  // The index is extracted into a folder of this call's own, so that a
  // file of the caller's with the index's name is neither replaced nor
  // removed, and removed again whatever happens.
  std::string work;
  platform::UniqueBlock owned;
  uint32_t code = boxlink::RunGuarded("zbBoxGetXMLInfo", [&] {
    const std::string archive = archivePath;
    uint32_t type = boxlink::LegacyArchiveType(archive);
    if (type == ZB_INDEX_NONE) boxlink::Raise(ZB_ERR_FILE_CORRUPT);
    work = boxlink::MakePrivateFolder(workFolder, ".legacy-index-");
    if (!boxlink::ExtractLegacyIndex(archive, work, type)) boxlink::Raise(ZB_ERR_FILE_CORRUPT);
    std::vector<BackupIndexBox> boxes;
    boxlink::ReadLegacyIndex(work + "/" + boxlink::LegacyIndexName(type), type, info, &boxes);
    if (type == ZB_INDEX_BACKUP_XML) {
      owned = platform::UniqueBlock(
          platform::BlockAlloc(std::max<size_t>(boxes.size(), 1) * sizeof(BackupIndexBox)));
      if (!owned) boxlink::Raise(ZB_ERR_NOT_ENOUGH_MEMORY);
      if (!boxes.empty())
        std::memcpy(platform::BlockLock(owned.get()), boxes.data(),
                    boxes.size() * sizeof(BackupIndexBox));
    }
    if (count) *count = info->Count;
  });
  if (!work.empty()) boxlink::CZipUtility::DeleteTree(work);
  // The list goes out only with the block that frees it.
  if (code == 0 && owned && block) {
    if (boxList) *boxList = static_cast<BackupIndexBox*>(platform::BlockLock(owned.get()));
    *block = reinterpret_cast<ZBBLOCK>(owned.release());
  }
  return code;
}
