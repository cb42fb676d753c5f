#include "keeper/app/archive_info.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>

#include "keeper/app/device_link.h"
#include "keeper/app/work_area.h"
#include "platform/env.h"

namespace keeper {
namespace {

using GetXmlInfoFn = decltype(&zbBoxGetXMLInfo);
using FreeBoxesFn = decltype(&zbBoxFreeIndexBoxes);

std::string_view Series(std::string_view v) {
  size_t dot = v.rfind('.');
  if (dot == std::string_view::npos || dot < 2) return v;
  return v.substr(0, dot - 2);
}

bool OneOf(std::string_view v, std::span<const std::string_view> set) {
  for (std::string_view s : set)
    if (v == s) return true;
  return false;
}

}  // namespace

bool ArchiveSuitsDevice(std::string_view a, std::string_view d) {
  if (Series(a) == Series(d))
    return !(a == "Varda 4720c Series V2.0.1.0" &&
             d == "Varda 4720c Series V2.0.0.0");
  static constexpr std::string_view kSmall[] = {
      "Varda 340 Series V1.0", "Varda 540 Series V1.0",
      "Varda 330 Series V1.0", "Varda 530 Series V1.0"};
  static constexpr std::string_view kLarge[] = {
      "Varda 930 Series V1.0", "Varda 910 Series V1.0"};
  if (OneOf(a, kSmall)) return OneOf(d, kSmall);
  if (OneOf(a, kLarge)) return OneOf(d, kLarge);
  return false;
}

std::string SizeText(uint32_t size_kb) {
  if (size_kb / 1024 > 1) return std::to_string(size_kb / 1024) + " MB";
  return std::to_string(size_kb ? size_kb : 1) + " KB";
}

uint32_t ReadArchiveInfo(const std::string& archive, ArchiveInfo* info) {
  *info = ArchiveInfo{};
  auto get = reinterpret_cast<GetXmlInfoFn>(BoxlinkExport("zbBoxGetXMLInfo"));
  auto release =
      reinterpret_cast<FreeBoxesFn>(BoxlinkExport("zbBoxFreeIndexBoxes"));
  if (!get || !release) return kErrProcNotFound;

  std::filesystem::path path = archive;
  std::filesystem::path copy;
  bool copied = MakeLocalCopy(archive, &copy) == 0;
  if (copied) path = copy;
  const std::string dir = platform::Env::Current()->ProgramDir();
  const std::string cipher = dir + "/libcipherlib.so";
  const std::string hash = dir + "/libdigestlib.so";

  // The index is extracted into a folder of this call's own: the archive's
  // folder is the user's, and so may be a file there of the index's name.
  std::error_code ec;
  const std::string temp = platform::Env::Current()->TempDir();
  std::filesystem::create_directories(temp, ec);
  std::string scratch = temp + "/zelt-index-XXXXXX";
  const bool have_scratch = ::mkdtemp(scratch.data()) != nullptr;

  BackupIndexInfo index{};
  BackupIndexBox* boxes = nullptr;
  uint32_t code = have_scratch ? get(path.c_str(), scratch.c_str(), &index, &boxes,
                                     cipher.c_str(), hash.c_str())
                               : SystemErrorFromErrno(errno);
  if (have_scratch) std::filesystem::remove_all(scratch, ec);
  if (copied) std::filesystem::remove(copy, ec);
  if (code) return code;
  info->backup_type = index.BackupType;
  info->date = index.Date;
  info->engine_version.assign(index.Version,
                              strnlen(index.Version, sizeof index.Version));
  info->network_name.assign(
      index.NetBiosName, strnlen(index.NetBiosName, sizeof index.NetBiosName));
  if (boxes && index.IndexType == ZB_INDEX_BACKUP_XML) {
    for (uint32_t i = 0; i < index.Count; ++i) {
      const BackupIndexBox& b = boxes[i];
      ArchiveBox out;
      out.number = b.BoxNo;
      out.name.assign(b.BoxName, strnlen(b.BoxName, sizeof b.BoxName));
      out.is_protected = b.Protected != 0;
      out.folders = b.NumOfFolders;
      out.documents = b.NumOfDocs;
      out.size_kb = b.BoxUsedDisk;
      out.last_backup = b.LastBackupDate;
      info->boxes.push_back(std::move(out));
    }
  }
  release(boxes);
  return 0;
}

}  // namespace keeper
