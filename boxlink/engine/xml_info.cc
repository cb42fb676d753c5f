// Reading what an archive holds: which index it carries, and the index
// itself.
#include <unistd.h>

#include <cerrno>
#include <optional>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "boxlink.h"
#include "boxlink/base/box_error.h"
#include "boxlink/client/cgi.h"
#include "boxlink/base/logger.h"
#include "boxlink/base/marker_file.h"
#include "boxlink/engine/index_reader.h"
#include "boxlink/engine/zip_utility.h"
#include "boxlink/zip/zip_file.h"
#include "boxlink/zip/zip_utls.h"
#include "platform/last_error.h"

namespace boxlink {
namespace {

const char* IndexMemberName(uint32_t type) {
  switch (type) {
    case ZB_INDEX_BACKUP_XMLE: return "Backup.XMLe";
    case ZB_INDEX_BACKUP_XML: return "Backup.XML";
    case ZB_INDEX_ARCHIVE_XML: return "ARCHIVE.XML";
    default: return nullptr;
  }
}

}  // namespace
}  // namespace boxlink

using boxlink::CLogger;

ZB_API uint32_t GetZipFileType(const char* archivePath) {
  try {
    boxlink::CZipUtls zip;
    try {
      zip.OpenFile(archivePath ? archivePath : "", 1);
    } catch (const boxlink::BoxError& e) {
      CLogger::LogError("GetZipFileType - OpenFile", e.code());
      return ZB_INDEX_NONE;
    }
    if (boxlink::HasMarkerFile(boxlink::kMarkerNoEncryption)) {
      if (zip.GotoFile("Backup.XML")) return ZB_INDEX_BACKUP_XML;
      if (zip.GotoFile("Archive.XML")) return ZB_INDEX_ARCHIVE_XML;
      return ZB_INDEX_NONE;
    }
    if (zip.GotoFile("Backup.XMLe")) return ZB_INDEX_BACKUP_XMLE;
    if (zip.GotoFile("Archive.XML")) return ZB_INDEX_ARCHIVE_XML;
    if (zip.GotoFile("Backup.XML")) return ZB_INDEX_BACKUP_XML;
  } catch (...) {
    CLogger::LogError("GetZipFileType", ZB_ERR_INTERNAL_ERROR, true);
  }
  return ZB_INDEX_NONE;
}

ZB_API int zbBoxUnzipXml(const char* archivePath, const char* folder,
                         uint32_t type) {
  const char* member = boxlink::IndexMemberName(type);
  if (!member || !archivePath || !folder) return 0;
  try {
    boxlink::CZipUtls zip;
    try {
      zip.OpenFile(archivePath, 1);
    } catch (const boxlink::BoxError&) {
      CLogger::LogError("zbBoxUnzipXml - clUtls.OpenFile",
                        ZB_ERR_FILE_CORRUPT);
      return 0;
    }
    return zip.GotoFile(member) && zip.ExtractFile(folder, member) ? 1 : 0;
  } catch (...) {
    CLogger::LogError("zbBoxUnzipXml", ZB_ERR_INTERNAL_ERROR, true);
    return 0;
  }
}

ZB_API uint32_t zbBoxGetXMLInfo(const char* archivePath,
                                const char* workFolder,
                                BackupIndexInfo* info,
                                BackupIndexBox** boxList,
                                const char* cipherLibrary,
                                const char* hashLibrary) {
  if (!archivePath || !workFolder || !info) return ZB_ERR_INVALID_PARAMETER;
  // The index is extracted into a folder of this call's own inside the
  // caller's: a file there that happens to have the index's name (a
  // user's "Backup.XML" beside an archive) is neither replaced nor removed.
  std::string work;
  // Every name the index may have been extracted or decrypted under; none
  // of them stays behind, whatever the outcome.
  std::vector<std::string> extracted;
  auto clean_up = [&] {
    for (const std::string& f : extracted) ::unlink(f.c_str());
    if (!work.empty()) ::rmdir(work.c_str());
  };
  uint32_t code = boxlink::RunGuarded("zbBoxGetXMLInfo", [&] {
    uint32_t type = GetZipFileType(archivePath);
    if (type == ZB_INDEX_NONE) boxlink::Raise(ZB_ERR_FILE_CORRUPT);
    {
      // The index is read into memory whole: its size is bounded before
      // anything is extracted.
      boxlink::CZipUtls zip;
      zip.OpenFile(archivePath, 1);
      std::optional<uint64_t> size = zip.DeclaredSize(boxlink::IndexMemberName(type));
      if (size && *size > boxlink::kMaxIndexBytes) {
        CLogger::LogError("zbBoxGetXMLInfo - index of " + std::to_string(*size) + " bytes",
                          ZB_ERR_INVALID_DATA);
        boxlink::Raise(ZB_ERR_INVALID_DATA);
      }
    }
    std::string folder = std::string(workFolder) + "/.index-XXXXXX";
    if (!::mkdtemp(folder.data())) boxlink::Raise(boxlink::SystemErrorFromErrno(errno));
    work = folder;
    extracted.push_back(work + "/" + boxlink::IndexMemberName(type));
    if (!zbBoxUnzipXml(archivePath, work.c_str(), type))
      boxlink::Raise(ZB_ERR_FILE_CORRUPT);
    if (type == ZB_INDEX_BACKUP_XMLE) {
      extracted.push_back(work + "/Backup.XML");
      boxlink::CZipUtility utility;
      utility.encryption().SetEncryptDllName(cipherLibrary);
      utility.encryption().SetHashDllName(hashLibrary);
      if (uint32_t rc = utility.DecryptFile(work + "/Backup.XMLe"))
        boxlink::Raise(rc);
      type = ZB_INDEX_BACKUP_XML;
    }
    std::vector<BackupIndexBox> boxes;
    boxlink::ReadIndexFile(extracted.back(), type, info, &boxes);
    if (type == ZB_INDEX_BACKUP_XML && boxList) {
      auto* block = static_cast<BackupIndexBox*>(
          std::calloc(boxes.size() ? boxes.size() : 1, sizeof(BackupIndexBox)));
      if (!block) boxlink::Raise(ZB_ERR_NOT_ENOUGH_MEMORY);
      if (!boxes.empty())
        std::memcpy(block, boxes.data(), boxes.size() * sizeof(BackupIndexBox));
      *boxList = block;
    }
  });
  clean_up();
  return code;
}

ZB_API void zbBoxFreeIndexBoxes(BackupIndexBox* boxList) { std::free(boxList); }
