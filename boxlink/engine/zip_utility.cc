#include "boxlink/engine/zip_utility.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "boxlink/base/tree_names.h"
#include "boxlink.h"
#include "boxlink/base/box_error.h"
#include "boxlink/base/logger.h"
#include "boxlink/base/marker_file.h"
#include "boxlink/zip/zip_utls.h"

namespace boxlink {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const char* label, uint32_t code) {
  CLogger::LogError(label, code);
  Raise(code);
}

void MakeFolder(const std::string& path) {
  std::error_code ec;
  fs::create_directory(path, ec);
  if (ec && !fs::is_directory(path)) Raise(SystemErrorFromErrno(ec.value()));
}

// A folder of this job alone: made here, readable by its owner only.
void MakeNewFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) == 0) return;
  int err = errno;
  if (err == EEXIST) {
    CLogger::LogError("CreateWorkFolders - mkdir(" + path + ") exists already", ZB_ERR_ALREADY_EXISTS);
    Raise(ZB_ERR_ALREADY_EXISTS);
  }
  Raise(SystemErrorFromErrno(err));
}

// Makes the data written to a file durable.
void SyncFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) Raise(SystemErrorFromErrno(errno));
  int rc = ::fsync(fd);
  int err = errno;
  ::close(fd);
  if (rc != 0) Raise(SystemErrorFromErrno(err));
}

// Makes a rename in `folder` durable, where the file system can (some
// cannot sync a folder; the rename has happened all the same).
void SyncFolder(const std::string& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

void Remove(const std::string& path) {
  if (std::remove(path.c_str()) != 0) Raise(SystemErrorFromErrno(errno));
}

void Move(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    int err = errno;
    if (err != EXDEV) Raise(SystemErrorFromErrno(err));
    // The archive may live on another file system than the work folder.
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) Raise(SystemErrorFromErrno(ec.value()));
    Remove(from);
  }
}

// Why an extraction failed: the system's error (a full disk, a member
// larger than the free space) where there is one.
uint32_t ExtractError(const CZipUtls& z) {
  return z.last_error() ? z.last_error() : 1359;
}

// Zips a folder into `zip`, entries named after root_name (or the folder).
// A failure keeps its system error: a full disk is reported as one.
void ZipOrThrow(const std::string& folder, const std::string& zip,
                const std::string& root_name = {},
                const ZipInterruptCheck& check = {}) {
  CZipUtls z;
  z.SetInterruptCheck(check);
  int ok = 0;
  try {
    ok = z.Zip(folder, zip, root_name);
  } catch (...) {
    // Interrupted: the file is the attempt's own.
    std::remove(zip.c_str());
    throw;
  }
  if (!ok) {
    uint32_t code = z.last_error() ? z.last_error() : 1359;
    // Only a file the attempt made itself is removed.
    if (code != ZB_ERR_FILE_EXISTS) std::remove(zip.c_str());
    Raise(code);
  }
}

}  // namespace

std::string CZipUtility::BoxFolderName(uint32_t box) const {
  return storage_layout_ ? tree::StorageBoxFolder(box) : tree::BoxFolder(box);
}

std::string CZipUtility::LocalBoxFolder(uint32_t box) const {
  return BoxRoot() + "/" + BoxFolderName(box);
}

bool CZipUtility::EncryptsMembers() const {
  return storage_layout_ && !HasMarkerFile(kMarkerNoEncryption);
}

std::string CZipUtility::BoxMemberName(uint32_t box) const {
  return BoxFolderName(box) + (EncryptsMembers() ? ".tnbe" : ".tnb");
}

void CZipUtility::CreateWorkFolders() {
  MakeFolder(work_folder_);
  CreateBoxRoot();
  if (!storage_layout_) MakeFolder(BoxRoot() + "/DATABASE");
  if (shared_layout_) MakeFolder(BoxRoot() + "/DATA");
}

void CZipUtility::CreateBoxRoot() {
  // The job fills BOX with the device's documents and deletes it
  // recursively at the end: it must be a folder this job made.
  MakeNewFolder(BoxRoot());
  box_root_made_ = true;
}

uint32_t CZipUtility::DeleteBox() {
  if (!box_root_made_) return 0;
  box_root_made_ = false;
  return DeleteTree(BoxRoot());
}

void CZipUtility::PackBoxMember(uint32_t box, const ZipInterruptCheck& check) {
  std::string name = BoxFolderName(box);
  std::string zip = (shared_layout_ ? BoxRoot() + "/DATA/" : BoxRoot() + "/") +
                    name + ".zip";
  ZipOrThrow(LocalBoxFolder(box), zip, {}, check);
  ChangeZipCentralDirectory(zip);
}

void CZipUtility::EncryptBox(uint32_t box) {
  if (!EncryptsMembers()) return;
  uint32_t rc = EncryptFile(BoxRoot() + "/" + BoxFolderName(box) + ".tnb");
  if (rc) Raise(rc);
}

void CZipUtility::EncryptIndex() {
  if (!EncryptsMembers()) return;
  uint32_t rc = EncryptFile(BoxRoot() + "/Backup.XML");
  if (rc) Raise(rc);
}

void CZipUtility::PackDatabase() {
  // The folder is DATABASE; its entries have always begun with "Database".
  std::string zip = BoxRoot() + "/Database.zip";
  ZipOrThrow(BoxRoot() + "/DATABASE", zip, "Database");
  ChangeZipCentralDirectory(zip);
  DeleteTree(BoxRoot() + "/DATABASE");
}

void CZipUtility::PackData(const ZipInterruptCheck& check) {
  if (!shared_layout_) return;
  ZipOrThrow(BoxRoot() + "/DATA", BoxRoot() + "/DATA.zip", {}, check);
  DeleteTree(BoxRoot() + "/DATA");
}

void CZipUtility::BuildArchive(const ZipInterruptCheck& check) {
  if (archive_path_.empty()) Raise(ZB_ERR_INVALID_PARAMETER);
  std::string zip = archive_path_ + ".zip";
  // The temporary name sits in the archive's folder, which others may
  // write to as well. What stands there is only unlinked (a link is never
  // followed), and the new file is created exclusively.
  if (::unlink(zip.c_str()) != 0 && errno != ENOENT) Raise(SystemErrorFromErrno(errno));
  ZipOrThrow(BoxRoot(), zip, {}, check);
  try {
    // Data first, then the name: a power loss leaves either the old
    // archive or the whole new one under the archive's name.
    SyncFile(zip);
  } catch (...) {
    std::remove(zip.c_str());
    throw;
  }
}

void CZipUtility::PlaceArchive() {
  if (archive_path_.empty()) Raise(ZB_ERR_INVALID_PARAMETER);
  std::string zip = archive_path_ + ".zip";
  try {
    Move(zip, archive_path_);
  } catch (...) {
    std::remove(zip.c_str());
    throw;
  }
  SyncFolder(fs::path(archive_path_).parent_path().string());
  DeleteBox();
}

void CZipUtility::ZipFolderTo(const std::string& folder,
                              const std::string& target) {
  std::string zip = folder + ".zip";
  ZipOrThrow(folder, zip);
  Move(zip, target);
}

void CZipUtility::Unzip(const std::string& zip, const std::string& folder) {
  CZipUtls z;
  try {
    z.OpenFile(zip, 1);
  } catch (const BoxError& e) {
    Fail("zbBoxUnzip - OpenFile", e.code());
  }
  try {
    z.ExtractZipFile(folder);
  } catch (const BoxError& e) {
    Fail("zbBoxUnzip", e.code());
  }
}

void CZipUtility::ExtractDatabase() {
  {
    CZipUtls z;
    try {
      z.OpenFile(archive_path_, 1);
    } catch (const BoxError& e) {
      Fail("zbBoxUnZipToDataBaseFolder - OpenFile", e.code());
    }
    if (!z.GotoFile("Database.tnb"))
      Fail("zbBoxUnZipToDataBaseFolder - GotoFile(Database.tnb)", 2);
    if (!z.ExtractFile(BoxRoot(), "Database.tnb"))
      Fail("zbBoxUnZipToDataBaseFolder - ExtractFile(Database.tnb)", ExtractError(z));
  }
  std::string zip = BoxRoot() + "/Database.zip";
  RevertZipCentralDirectory(zip);
  Unzip(zip, BoxRoot());
  Remove(zip);
  // Entries say "Database"; the job reads "DATABASE". Folder names that
  // differ only in case are one folder on the original platform.
  std::string unpacked = BoxRoot() + "/Database", wanted = BoxRoot() + "/DATABASE";
  if (fs::is_directory(unpacked)) {
    if (!fs::exists(wanted)) {
      Move(unpacked, wanted);
    } else {
      for (const auto& e : fs::directory_iterator(unpacked))
        Move(e.path().string(), wanted + "/" + e.path().filename().string());
      DeleteTree(unpacked);
    }
  }
}

bool CZipUtility::ExtractData() {
  CZipUtls z;
  try {
    z.OpenFile(archive_path_, 1);
  } catch (const BoxError& e) {
    Fail("ExtractDataZipFileIfPresent - OpenFile", e.code());
  }
  members_in_data_zip_ = false;
  if (!z.GotoFile("DATA.zip")) return false;
  if (!z.ExtractFile(BoxRoot(), "DATA.zip"))
    Fail("ExtractDataZipFileIfPresent - ExtractFile(DATA.zip)", ExtractError(z));
  members_in_data_zip_ = true;
  return true;
}

void CZipUtility::ExtractBox(uint32_t box) {
  std::string source = members_in_data_zip_ ? BoxRoot() + "/DATA.zip"
                                            : archive_path_;
  CZipUtls z;
  try {
    z.OpenFile(source, 1);
  } catch (const BoxError& e) {
    Fail("ExtractOneBox - OpenFile", e.code());
  }
  std::string plain = BoxFolderName(box) + ".tnb";
  std::string name = plain;
  if (storage_layout_) {
    // Encrypted first, unless this PC writes plain members: then plain
    // first. Either way the other form is the fallback.
    std::string sealed = plain + "e";
    bool plain_first = HasMarkerFile(kMarkerNoEncryption);
    const std::string& first = plain_first ? plain : sealed;
    const std::string& second = plain_first ? sealed : plain;
    name = z.GotoFile(first) ? first : second;
  }
  if (!z.GotoFile(name)) Fail("ExtractOneBox - GotoFile", 2);
  if (!z.ExtractFile(BoxRoot(), name))
    Fail("ExtractOneBox - ExtractFile", ExtractError(z));
  if (name.ends_with(".tnbe")) {
    uint32_t rc = DecryptFile(BoxRoot() + "/" + name);
    if (rc) Raise(rc);
  }
}

void CZipUtility::UnpackBox(uint32_t box) {
  std::string zip = BoxRoot() + "/" + BoxFolderName(box) + ".zip";
  RevertZipCentralDirectory(zip);
  Unzip(zip, BoxRoot());
  Remove(zip);
}

uint32_t CZipUtility::DeleteTree(const std::string& folder) {
  std::error_code ec;
  fs::file_status st = fs::symlink_status(folder, ec);
  if (ec || !fs::exists(st)) return ZB_ERR_FILE_NOT_FOUND;
  if (fs::is_symlink(st)) {
    // Only the link goes; what it points to is not ours.
    fs::remove(folder, ec);
    return ec ? SystemErrorFromErrno(ec.value()) : 0;
  }
  std::vector<fs::path> folders;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      folders.push_back(it->path());
    else
      fs::remove(it->path(), ec);
  }
  for (const auto& sub : folders) DeleteTree(sub.string());
  fs::remove(folder, ec);
  return ec ? SystemErrorFromErrno(ec.value()) : 0;
}

uint32_t CZipUtility::EncryptFile(const std::string& path) {
  if (path.empty()) return ZB_ERR_INVALID_PARAMETER;
  if (!storage_layout_) return 0;
  uint32_t rc = encrypt_.fnEncryptFile(path.c_str(), (path + "e").c_str(),
                                       kArchivePassword);
  if (rc) {
    CLogger::LogError("zbBoxEncryptFile", rc);
    return rc;
  }
  std::remove(path.c_str());
  return 0;
}

uint32_t CZipUtility::DecryptFile(const std::string& path) {
  if (path.empty() || path.back() != 'e') return ZB_ERR_INVALID_PARAMETER;
  std::string plain = path.substr(0, path.size() - 1);
  uint32_t rc = encrypt_.fnDecryptFile(path.c_str(), plain.c_str(),
                                       kArchivePassword);
  if (rc) {
    CLogger::LogError("zbBoxDecryptFile", rc);
    return rc;
  }
  std::remove(path.c_str());
  return 0;
}

}  // namespace boxlink
