#include "boxlink/engine/zip_utility.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "boxlink/client/box_error.h"
#include "boxlink/client/logger.h"
#include "boxlink/zip/zip_file.h"
#include "boxlink/zip/zip_utls.h"

namespace boxlink {

namespace fs = std::filesystem;

namespace {

uint32_t ErrnoCode() { return SystemErrorFromErrno(errno ? errno : EIO); }

[[noreturn]] void LogAndRaise(const char* label, uint32_t code) {
  CLogger::LogError(label, code);
  Raise(code);
}

void MakeFolder(const std::string& path) {
  std::error_code ec;
  if (fs::create_directory(path, ec) || fs::is_directory(path)) return;
  Raise(ec ? SystemErrorFromErrno(ec.value()) : 1359);
}

void RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) Raise(ErrnoCode());
}

// Copies a file to `to`, flushed to disk; throws the system error and
// leaves no partial copy behind.
void CopyFlushed(const std::string& from, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) Raise(ErrnoCode());
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    uint32_t code = ErrnoCode();
    ::close(in);
    Raise(code);
  }
  char buffer[65536];
  uint32_t code = 0;
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      code = ErrnoCode();
      break;
    }
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(out, buffer + done, size_t(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        code = ErrnoCode();
        break;
      }
      done += w;
    }
    if (code) break;
  }
  if (!code && ::fsync(out) != 0) code = ErrnoCode();
  if (::close(out) != 0 && !code) code = ErrnoCode();
  ::close(in);
  if (code) {
    ::unlink(to.c_str());
    Raise(code);
  }
}

}  // namespace

void EncryptFileWithArchivePassword(CEncrypt& encrypt, const std::string& in,
                                    const std::string& out) {
  if (in.empty() || out.empty()) Raise(87);
  uint32_t code = encrypt.fnEncryptFile(in.c_str(), out.c_str(), kArchivePassword);
  if (code) {
    CLogger::LogError("zbBoxEncryptFile", code);
    Raise(code);
  }
  RemoveFile(in);
}

void DecryptFileWithArchivePassword(CEncrypt& encrypt, const std::string& in,
                                    const std::string& out) {
  if (in.empty() || out.empty()) Raise(87);
  uint32_t code = encrypt.fnDecryptFile(in.c_str(), out.c_str(), kArchivePassword);
  if (code) {
    CLogger::LogError("zbBoxDecryptFile", code);
    Raise(code);
  }
  RemoveFile(in);
}

std::string CZipUtility::BoxDir() const { return work_ + "/BOX"; }

std::string CZipUtility::BoxFolderName(uint32_t box) const {
  char name[32];
  if (storage())
    std::snprintf(name, sizeof name, box == 0 ? "00%03u" : "%03u", box);
  else
    std::snprintf(name, sizeof name, "B0000%03u", box);
  return name;
}

std::string CZipUtility::LocalBoxFolder(uint32_t box) const {
  return BoxDir() + "/" + BoxFolderName(box);
}

std::string CZipUtility::BoxZipPath(uint32_t box) const {
  if (shared()) return BoxDir() + "/DATA/" + BoxFolderName(box) + ".zip";
  return LocalBoxFolder(box) + ".zip";
}

std::string CZipUtility::BoxTnbPath(uint32_t box) const {
  std::string zip = BoxZipPath(box);
  return zip.substr(0, zip.size() - 3) + "tnb";
}

std::string CZipUtility::BoxTnbePath(uint32_t box) const {
  return BoxTnbPath(box) + "e";
}

std::string CZipUtility::BoxMemberName(uint32_t box, bool encrypted) const {
  return BoxFolderName(box) + (encrypted ? ".tnbe" : ".tnb");
}

std::string CZipUtility::IndexPath() const { return BoxDir() + "/Backup.XML"; }

void CZipUtility::CreateWorkFolders() {
  MakeFolder(BoxDir());
  if (!storage()) MakeFolder(BoxDir() + "/DATABASE");
  if (shared()) MakeFolder(BoxDir() + "/DATA");
}

void CZipUtility::ZipFolder(const std::string& folder,
                            const std::string& zip_path, const char* label) {
  CZipUtls zip;
  if (!zip.Zip(folder, zip_path)) {
    ::unlink(zip_path.c_str());
    LogAndRaise(label, 1359);
  }
}

void CZipUtility::PackBox(uint32_t box) {
  std::string zip = BoxZipPath(box);
  ZipFolder(LocalBoxFolder(box), zip, "zbBoxPackBox");
  ChangeZipCentralDirectory(zip);
  if (uint32_t code = DeleteTree(LocalBoxFolder(box))) Raise(code);
}

void CZipUtility::EncryptBox(uint32_t box) {
  if (!storage()) return;
  EncryptFileWithArchivePassword(encrypt_, BoxTnbPath(box), BoxTnbePath(box));
}

void CZipUtility::EncryptIndex() {
  if (!storage()) return;
  EncryptFileWithArchivePassword(encrypt_, IndexPath(), IndexPath() + "e");
}

void CZipUtility::PackDatabase() {
  // The folder was made as DATABASE; its entries are named Database, which
  // the readers match without regard to case.
  std::string folder = BoxDir() + "/DATABASE";
  std::string renamed = BoxDir() + "/Database";
  if (std::rename(folder.c_str(), renamed.c_str()) != 0) Raise(ErrnoCode());
  std::string zip = BoxDir() + "/Database.zip";
  ZipFolder(renamed, zip, "zbBoxPackDatabase");
  ChangeZipCentralDirectory(zip);
  if (uint32_t code = DeleteTree(renamed)) Raise(code);
}

void CZipUtility::PackData() {
  if (!shared()) return;
  std::string folder = BoxDir() + "/DATA";
  ZipFolder(folder, BoxDir() + "/DATA.zip", "zbBoxPackData");
  if (uint32_t code = DeleteTree(folder)) Raise(code);
}

void CZipUtility::PackArchive() {
  if (archive_.empty()) Raise(87);
  const std::string built = BoxDir() + ".zip";
  ZipFolder(BoxDir(), built, "zbBoxPackArchive");
  // rename() replaces the old archive in one step. Across file systems a
  // copy goes first to a temporary name beside the archive, so that the
  // archive's own name only ever holds a complete file.
  if (std::rename(built.c_str(), archive_.c_str()) != 0) {
    if (errno != EXDEV) {
      uint32_t code = ErrnoCode();
      ::unlink(built.c_str());
      LogAndRaise("zbBoxPackArchive - MoveFile", code);
    }
    const std::string near = archive_ + ".part";
    try {
      CopyFlushed(built, near);
    } catch (const BoxError& e) {
      ::unlink(built.c_str());
      LogAndRaise("zbBoxPackArchive - CopyFile", e.code());
    }
    ::unlink(built.c_str());
    if (std::rename(near.c_str(), archive_.c_str()) != 0) {
      uint32_t code = ErrnoCode();
      ::unlink(near.c_str());
      LogAndRaise("zbBoxPackArchive - MoveFile", code);
    }
  }
  if (uint32_t code = DeleteBox()) Raise(code);
}

void CZipUtility::Unzip(const std::string& zip_path, const std::string& folder) {
  CZipUtls zip;
  try {
    zip.OpenFile(zip_path, 1);
  } catch (const BoxError& e) {
    LogAndRaise("zbBoxUnzip - OpenFile", e.code());
  }
  try {
    zip.ExtractZipFile(folder);
  } catch (const BoxError& e) {
    LogAndRaise("zbBoxUnzip", e.code());
  }
}

void CZipUtility::ExtractDatabase() {
  CZipUtls zip;
  try {
    zip.OpenFile(archive_, 1);
  } catch (const BoxError& e) {
    LogAndRaise("zbBoxUnZipToDataBaseFolder - OpenFile", e.code());
  }
  if (!zip.GotoFile("Database.tnb"))
    LogAndRaise("zbBoxUnZipToDataBaseFolder - GotoFile(Database.tnb)", 2);
  if (!zip.ExtractFile(BoxDir(), "Database.tnb"))
    LogAndRaise("zbBoxUnZipToDataBaseFolder - ExtractFile(Database.tnb)", 1359);
  zip.Close();
  std::string db_zip = BoxDir() + "/Database.zip";
  RevertZipCentralDirectory(db_zip);
  Unzip(db_zip, BoxDir());
  RemoveFile(db_zip);
}

uint32_t CZipUtility::ExtractDataZipFileIfPresent() {
  CZipUtls zip;
  try {
    zip.OpenFile(archive_, 1);
  } catch (const BoxError& e) {
    LogAndRaise("ExtractDataZipFileIfPresent - OpenFile", e.code());
  }
  if (!zip.GotoFile("DATA.zip")) {
    CLogger::LogError("ExtractDataZipFileIfPresent - GotoFile(DATA.zip)", 2);
    from_data_zip_ = false;
    return 0;
  }
  from_data_zip_ = true;
  if (!zip.ExtractFile(BoxDir(), "DATA.zip"))
    LogAndRaise("ExtractDataZipFileIfPresent - ExtractFile(DATA.zip)", 1359);
  return 0;
}

void CZipUtility::ExtractOneBox(uint32_t box) {
  const bool try_encrypted = storage() && encryption_on_;
  std::string member = BoxMemberName(box, try_encrypted);
  std::string source = from_data_zip_ ? BoxDir() + "/DATA.zip" : archive_;
  CZipUtls zip;
  try {
    zip.OpenFile(source, 1);
  } catch (const BoxError& e) {
    LogAndRaise("ExtractOneBox - OpenFile", e.code());
  }
  bool encrypted = try_encrypted;
  if (!zip.GotoFile(member) && try_encrypted) {
    member = BoxMemberName(box, false);
    encrypted = false;
  }
  if (!zip.GotoFile(member)) LogAndRaise("ExtractOneBox - GotoFile", 2);
  if (!zip.ExtractFile(BoxDir(), member))
    LogAndRaise("ExtractOneBox - ExtractFile", 1359);
  zip.Close();
  if (encrypted) {
    std::string tnbe = BoxDir() + "/" + member;
    DecryptFileWithArchivePassword(encrypt_, tnbe,
                                   tnbe.substr(0, tnbe.size() - 1));
  }
}

void CZipUtility::UnpackBox(uint32_t box) {
  // The member was extracted into BOX itself, also for the shared layout.
  std::string zip = BoxDir() + "/" + BoxFolderName(box) + ".zip";
  RevertZipCentralDirectory(zip);
  Unzip(zip, BoxDir());
  RemoveFile(zip);
}

uint32_t CZipUtility::DeleteTree(const std::string& folder) {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(folder, ec))) return 0;
  fs::remove_all(folder, ec);
  return ec ? SystemErrorFromErrno(ec.value()) : 0;
}

}  // namespace boxlink
