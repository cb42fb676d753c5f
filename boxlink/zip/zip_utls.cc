#include "boxlink/zip/zip_utls.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <vector>

#include <zlib.h>

#include "boxlink.h"
#include "boxlink/base/box_error.h"
#include "boxlink/base/logger.h"
#include "boxlink/zip/zip_safe_path.h"
#include "platform/text.h"

namespace boxlink {
namespace {

// The code a failure leaves for the caller, who reports it as a job's
// result: the zip class throws zlib's own (negative) codes, which mean a
// damaged stream (1359) or no memory (8), never a system error.
uint32_t FailureCode(uint32_t thrown) {
  if (static_cast<int32_t>(thrown) >= 0) return thrown;
  return static_cast<int32_t>(thrown) == Z_MEM_ERROR ? uint32_t{ZB_ERR_NOT_ENOUGH_MEMORY}
                                                       : uint32_t{ZB_ERR_INTERNAL_ERROR};
}

}  // namespace

namespace fs = std::filesystem;

std::string BareName(const std::string& entry_name) {
  std::string_view n = entry_name;
  while (!n.empty() && (n.back() == '/' || n.back() == '\\')) n.remove_suffix(1);
  size_t cut = n.find_last_of("/\\");
  return std::string(cut == std::string_view::npos ? n : n.substr(cut + 1));
}

CZipUtls::~CZipUtls() { zip_.Close(true); }

void CZipUtls::Close() { zip_.Close(true); }

int CZipUtls::OpenFile(const std::string& path, int flag) {
  zip_.Close(true);
  if (flag != 1) {
    zip_.Open(path, CZipClass::kCreateNew);
    return 1;
  }
  try {
    zip_.Open(path, CZipClass::kOpenExisting);
  } catch (const BoxError& e) {
    // Callers only read what they open this way; an archive on read-only
    // media or without write permission must still restore.
    if (e.code() != ZB_ERR_ACCESS_DENIED && e.code() != ZB_ERR_WRITE_PROTECT) throw;
    zip_.Open(path, CZipClass::kOpenReadOnly);
  }
  return 1;
}

void CZipUtls::SetInterruptCheck(ZipInterruptCheck check) {
  if (!check) {
    zip_.SetInterruptCheck({});
    return;
  }
  zip_.SetInterruptCheck([this, check = std::move(check)] {
    try {
      check();
    } catch (...) {
      interrupted_ = true;
      throw;
    }
  });
}

int CZipUtls::Zip(const std::string& folder, const std::string& zip_path,
                  const std::string& root_name) {
  last_error_ = 0;
  interrupted_ = false;
  try {
    OpenFile(zip_path, 0);
    prefix_.clear();
    AddFolder(folder, root_name);
    zip_.Close();
    return 1;
  } catch (const BoxError& e) {
    if (interrupted_) {
      zip_.Close(true);
      throw;
    }
    last_error_ = FailureCode(e.code());
    CLogger::LogError("CZipUtls::Zip", e.code());
  } catch (...) {
    if (interrupted_) {
      zip_.Close(true);
      throw;
    }
    last_error_ = ZB_ERR_INTERNAL_ERROR;
    CLogger::LogError("CZipUtls::Zip Unknown", ZB_ERR_INTERNAL_ERROR);
  }
  zip_.Close(true);
  return 0;
}

int CZipUtls::AddFolder(const std::string& folder,
                        const std::string& own_name) {
  std::string saved = prefix_;
  std::string own = own_name.empty() ? fs::path(folder).filename().string()
                                     : own_name;
  if (own.empty()) own = fs::path(folder).parent_path().filename().string();
  prefix_ = prefix_.empty() ? own : prefix_ + "/" + own;

  std::error_code ec;
  std::vector<fs::directory_entry> children;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec))
    children.push_back(*it);
  if (ec) {
    prefix_ = saved;
    Raise(SystemErrorFromErrno(ec.value()));
  }
  // A fixed order, so the same tree always gives the same archive.
  std::sort(children.begin(), children.end(),
            [](const auto& a, const auto& b) { return a.path() < b.path(); });
  if (children.empty()) {
    CZipHeaderInfo h;
    h.name = prefix_ + "/";
    bool ok = zip_.OpenNewFile(h, 9, folder.c_str());
    zip_.CloseNewFile();
    prefix_ = saved;
    if (!ok) Raise(ZB_ERR_INTERNAL_ERROR);
    return 1;
  }
  for (const auto& child : children) {
    std::string name = child.path().filename().string();
    if (child.is_directory(ec)) {
      AddFolder(child.path().string());
    } else if (!zip_.AddNewFile(child.path().string(), prefix_ + "/" + name, 9,
                                CZipClass::kDefaultBufferSize)) {
      prefix_ = saved;
      Raise(SystemErrorFromErrno(errno ? errno : EIO));
    }
  }
  prefix_ = saved;
  return 1;
}

int CZipUtls::AddFile(const std::string& path) {
  if (!zip_.AddNewFile(path, fs::path(path).filename().string(), 9,
                       CZipClass::kDefaultBufferSize))
    Raise(SystemErrorFromErrno(errno ? errno : EIO));
  return 1;
}

long CZipUtls::FindBareName(const std::string& name) const {
  CZipHeaderInfo h;
  for (size_t i = 0; i < zip_.GetCount(); ++i) {
    if (!zip_.GetFileInfo(h, i)) continue;
    if (platform::EqualsIgnoreCase(BareName(h.name), name)) return long(i);
  }
  return -1;
}

int CZipUtls::GotoFile(const std::string& name) {
  return FindBareName(name) >= 0 ? 1 : 0;
}

std::optional<uint64_t> FreeSpace(const std::string& folder) {
  struct statvfs vfs {};
  if (::statvfs(folder.c_str(), &vfs) != 0) return std::nullopt;
  return uint64_t(vfs.f_bavail) * vfs.f_frsize;
}

namespace {

// The nearest folder of `path` that exists, for asking its file system.
std::string ExistingFolder(const std::string& path) {
  std::error_code ec;
  fs::path p = path;
  while (!p.empty() && !fs::is_directory(p, ec)) {
    fs::path parent = p.parent_path();
    if (parent == p) break;
    p = parent;
  }
  return p.empty() ? std::string(".") : p.string();
}

// Refuses, before anything is written, to extract `declared` bytes where
// fewer are free.
void RequireRoom(const std::string& folder, uint64_t declared, const char* label) {
  std::optional<uint64_t> free_bytes = FreeSpace(ExistingFolder(folder));
  if (!free_bytes || declared <= *free_bytes) return;
  CLogger::LogError(std::string(label) + " - the entries declare " + std::to_string(declared) +
                        " bytes, " + std::to_string(*free_bytes) + " are free",
                    112);
  Raise(ZB_ERR_DISK_FULL);
}

}  // namespace

std::optional<uint64_t> CZipUtls::DeclaredSize(const std::string& name) const {
  long index = FindBareName(name);
  if (index < 0) return std::nullopt;
  return zip_.directory().entries[size_t(index)].uncompressed_size;
}

int CZipUtls::ExtractFile(const std::string& folder, const std::string& name) {
  long index = FindBareName(name);
  if (index < 0) return 0;
  last_error_ = 0;
  try {
    RequireRoom(folder, zip_.directory().entries[size_t(index)].uncompressed_size,
                "CZipUtls::ExtractFile");
    if (zip_.ExtractFile(size_t(index), folder, name.c_str(),
                         CZipClass::kDefaultBufferSize))
      return 1;
  } catch (const BoxError& e) {
    last_error_ = FailureCode(e.code());
    CLogger::LogError("CZipUtls::ExtractFile", e.code());
  } catch (...) {
    last_error_ = ZB_ERR_INTERNAL_ERROR;
    CLogger::LogError("CZipUtls::ExtractFile Unknown", ZB_ERR_INTERNAL_ERROR);
  }
  zip_.Close(true);
  return 0;
}

void CZipUtls::ExtractZipFile(const std::string& folder) {
  CZipHeaderInfo h;
  uint64_t declared = 0;
  for (size_t i = 0; i < zip_.GetCount(); ++i) {
    zip_.GetFileInfo(h, i);
    if (!SafeEntryPath(folder, h.name)) {
      CLogger::LogError("CZipUtls::ExtractZipFile - unsafe entry name", ZB_ERR_BAD_PATHNAME);
      Raise(ZB_ERR_INTERNAL_ERROR);
    }
    if (!zip_.IsFileDirectory(i)) declared += h.uncompressed_size;
  }
  RequireRoom(folder, declared, "CZipUtls::ExtractZipFile");
  for (size_t i = 0; i < zip_.GetCount(); ++i) {
    try {
      if (!zip_.ExtractFile(i, folder, nullptr, CZipClass::kDefaultBufferSize))
        Raise(ZB_ERR_INTERNAL_ERROR);
    } catch (const BoxError& e) {
      CLogger::LogError("CZipUtls::ExtractZipFile", e.code());
      Raise(ZB_ERR_INTERNAL_ERROR);
    }
  }
}

namespace {

void InvertCounts(const std::string& path, const char* label) {
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    uint32_t code = SystemErrorFromErrno(errno);
    CLogger::LogError(label, code);
    Raise(code);
  }
  auto fail = [&](uint32_t code) {
    ::close(fd);
    CLogger::LogError(label, code);
    Raise(code);
  };
  off_t size = ::lseek(fd, 0, SEEK_END);
  if (size < 0) fail(SystemErrorFromErrno(errno));
  if (size < 16) fail(1359);
  uint8_t b[8];
  if (::pread(fd, b, 8, size - 16) != 8) fail(SystemErrorFromErrno(errno));
  for (uint8_t& x : b) x = uint8_t(~x);
  if (::pwrite(fd, b, 8, size - 16) != 8) fail(SystemErrorFromErrno(errno));
  if (::close(fd) != 0) {
    uint32_t code = SystemErrorFromErrno(errno);
    CLogger::LogError(label, code);
    Raise(code);
  }
}

std::string WithTnb(const std::string& zip_path) {
  if (zip_path.size() < 3) Raise(ZB_ERR_INVALID_PARAMETER);
  return zip_path.substr(0, zip_path.size() - 3) + "tnb";
}

void Move(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0)
    Raise(SystemErrorFromErrno(errno));
}

}  // namespace

uint32_t ChangeZipCentralDirectory(const std::string& zip_path) {
  std::string tnb = WithTnb(zip_path);
  InvertCounts(zip_path, "ChangeZipCentralDirectory - CreateFile");
  Move(zip_path, tnb);
  return 0;
}

uint32_t RevertZipCentralDirectory(const std::string& zip_path) {
  std::string tnb = WithTnb(zip_path);
  Move(tnb, zip_path);
  InvertCounts(zip_path, "RevertZipCentralDirectory - CreateFile");
  return 0;
}

}  // namespace boxlink
