#include "boxlink/convert/legacy_archive.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "boxlink/base/box_error.h"
#include "boxlink/base/logger.h"
#include "boxlink/zip/zip_file.h"
#include "boxlink/zip/zip_utls.h"
#include "platform/text.h"

namespace boxlink {

namespace fs = std::filesystem;

namespace {

bool EndsWithIgnoringCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() &&
         platform::EqualsIgnoreCase(s.substr(s.size() - suffix.size()), suffix);
}

std::string EscapeXml(std::string_view text) {
  std::string out;
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

// Rewrites a file line by line through a copy in temp_folder. `edit` may
// replace a line's content (without its line end).
int RewriteLines(const std::string& file, const std::string& temp_folder,
                 const std::function<void(std::string*)>& edit) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return -1;
  std::string temp = temp_folder + "/MyXml_XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return -1;
  std::string out;
  std::string line;
  while (std::getline(in, line)) {
    // getline drops "\n"; a file's last line may have none.
    bool had_newline = !in.eof();
    std::string ending;
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
      ending = "\r";
    }
    if (had_newline) ending += "\n";
    edit(&line);
    out += line + ending;
  }
  bool ok = !in.bad();
  size_t done = 0;
  while (ok && done < out.size()) {
    ssize_t n = ::write(fd, out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += size_t(n);
  }
  ok = ::close(fd) == 0 && ok;
  if (!ok || std::rename(temp.c_str(), file.c_str()) != 0) {
    std::remove(temp.c_str());
    return -1;
  }
  return 0;
}

std::string Element(std::string_view name, std::string_view text) {
  std::string n(name);
  return "<" + n + ">" + EscapeXml(text) + "</" + n + ">";
}

void ThrowLogged(const char* label, uint32_t code) {
  CLogger::LogError(label, code);
  Raise(code);
}

}  // namespace

const char* LegacyIndexName(uint32_t type) {
  return type == ZB_INDEX_BACKUP_XML ? "Backup.XML"
         : type == ZB_INDEX_ARCHIVE_XML ? "Archive.XML" : "";
}

uint32_t LegacyArchiveType(const std::string& archive) {
  CZipUtls zip;
  try {
    zip.OpenFile(archive, 1);
  } catch (const BoxError& e) {
    CLogger::LogError("zbGetZipFileType - clUtls.OpenFile", e.code());
    return ZB_INDEX_NONE;
  }
  if (zip.GotoFile("Backup.XML")) return ZB_INDEX_BACKUP_XML;
  if (zip.GotoFile("Archive.XML")) return ZB_INDEX_ARCHIVE_XML;
  return ZB_INDEX_NONE;
}

bool ExtractLegacyIndex(const std::string& archive, const std::string& folder,
                        uint32_t type) {
  CZipUtls zip;
  try {
    zip.OpenFile(archive, 1);
  } catch (const BoxError&) {
    CLogger::LogError("zbBoxUnzipXml - clUtls.OpenFile", ZB_ERR_FILE_CORRUPT);
    return false;
  }
  const char* name = LegacyIndexName(type);
  return *name && zip.GotoFile(name) && zip.ExtractFile(folder, name);
}

uint32_t LegacyUnzip(const std::string& zip_path, const std::string& folder,
                     bool inverted, bool delete_after) {
  std::string plain = zip_path;
  if (inverted) {
    if (!EndsWithIgnoringCase(zip_path, ".tnb")) return ZB_ERR_INVALID_PARAMETER;
    int fd = ::open(zip_path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      uint32_t code = SystemErrorFromErrno(errno);
      CLogger::LogError("zbzbBoxUnzip - CreateFile", code);
      return code;
    }
    ::close(fd);
    plain = zip_path.substr(0, zip_path.size() - 4) + ".zip";
    // Reverting moves "x.tnb" to "x.zip" before it inverts the counts back.
    std::string tnb = zip_path.substr(0, zip_path.size() - 4) + ".tnb";
    if (tnb != zip_path && std::rename(zip_path.c_str(), tnb.c_str()) != 0) {
      uint32_t code = SystemErrorFromErrno(errno);
      CLogger::LogError("zbzbBoxUnzip - CreateFile", code);
      return code;
    }
    try {
      RevertZipCentralDirectory(plain);
    } catch (const BoxError& e) {
      CLogger::LogError("zbzbBoxUnzip - CreateFile", e.code());
      return e.code();
    }
  }
  {
    CZipUtls zip;
    try {
      zip.OpenFile(plain, 1);
    } catch (const BoxError& e) {
      CLogger::LogError("zbzbBoxUnzip - clUtls.OpenFile", e.code());
      return e.code();
    }
    try {
      zip.ExtractZipFile(folder);
    } catch (const BoxError& e) {
      uint32_t code = zip.last_error() ? zip.last_error() : e.code();
      CLogger::LogError("zbzbBoxUnzip - clUtls.ExtractZipFile", code);
      return code;
    }
  }
  if (delete_after) std::remove(plain.c_str());
  return 0;
}

void LegacyZip(const std::string& target, const std::string& folder, bool invert) {
  std::string zip = folder + ".zip";
  CZipUtls z;
  if (!z.Zip(folder, zip)) {
    uint32_t code = z.last_error() ? z.last_error() : uint32_t(ZB_ERR_INTERNAL_ERROR);
    if (code != ZB_ERR_FILE_EXISTS) std::remove(zip.c_str());
    Raise(code);
  }
  if (invert) {
    // The scrambled form is named like the folder plus ".tnb".
    ChangeZipCentralDirectory(zip);
    std::string tnb = folder + ".tnb";
    if (tnb != target && std::rename(tnb.c_str(), target.c_str()) != 0)
      Raise(SystemErrorFromErrno(errno));
    return;
  }
  if (zip != target && std::rename(zip.c_str(), target.c_str()) != 0) {
    uint32_t code = SystemErrorFromErrno(errno);
    std::remove(zip.c_str());
    Raise(code);
  }
}

void LegacyZipFlat(const std::string& target, const std::string& folder) {
  CZipUtls z;
  try {
    z.OpenFile(target, 0);
  } catch (const BoxError& e) {
    ThrowLogged("zbzbBoxZip - OpenFile", e.code());
  }
  for (const std::string& name : ListEntries(folder, false)) {
    try {
      z.AddFile(folder + "/" + name);
    } catch (const BoxError& e) {
      z.Close();
      std::remove(target.c_str());
      ThrowLogged("zbzbBoxZip - AddNewFile", e.code());
    }
  }
  z.Close();
}

uint32_t ExtractOneLegacyBox(const std::string& zip_path, const std::string& folder,
                             uint32_t box) {
  char name[32];
  std::snprintf(name, sizeof name, "B0000%03lu.tnb", static_cast<unsigned long>(box));
  CZipUtls zip;
  try {
    zip.OpenFile(zip_path, 1);
  } catch (const BoxError& e) {
    CLogger::LogError("zbExtractOneBox - OpenFile", e.code());
    return e.code();
  }
  if (!zip.GotoFile(name)) {
    CLogger::LogError("zbExtractOneBox - GotoFile", ZB_ERR_FILE_NOT_FOUND);
    return ZB_ERR_FILE_NOT_FOUND;
  }
  if (!zip.ExtractFile(folder, name)) {
    uint32_t code = zip.last_error() ? zip.last_error() : uint32_t(ZB_ERR_INTERNAL_ERROR);
    CLogger::LogError("zbExtractOneBox - ExtractFile", code);
    return code;
  }
  return 0;
}

int ReplaceElementLine(const std::string& file, const std::string& temp_folder,
                       std::string_view element, std::string_view text) {
  bool done = false;
  return RewriteLines(file, temp_folder, [&](std::string* line) {
    if (done || line->find(element) == std::string::npos) return;
    *line = Element(element, text);
    done = true;
  });
}

int ReplaceBoxCounts(const std::string& file, const std::string& temp_folder,
                     const std::vector<BackupIndexBox>& boxes) {
  size_t docs = 0, disk = 0;
  return RewriteLines(file, temp_folder, [&](std::string* line) {
    if (line->find("NumOfDocs") != std::string::npos) {
      if (docs < boxes.size())
        *line = Element("NumOfDocs", std::to_string(boxes[docs].NumOfDocs));
      ++docs;
    } else if (line->find("BoxUsedDisk") != std::string::npos) {
      if (disk < boxes.size())
        *line = Element("BoxUsedDisk", std::to_string(boxes[disk].BoxUsedDisk));
      ++disk;
    }
  });
}

std::string FindIgnoringCase(const std::string& folder, std::string_view name) {
  std::error_code ec;
  if (fs::exists(fs::symlink_status(folder + "/" + std::string(name), ec)))
    return std::string(name);
  std::vector<std::string> all = ListEntries(folder, false);
  std::vector<std::string> dirs = ListEntries(folder, true);
  all.insert(all.end(), dirs.begin(), dirs.end());
  std::sort(all.begin(), all.end());
  for (const std::string& e : all)
    if (platform::EqualsIgnoreCase(e, name)) return e;
  return {};
}

std::vector<std::string> ListEntries(const std::string& folder, bool folders) {
  std::vector<std::string> out;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code sec;
    fs::file_status st = it->symlink_status(sec);
    if (sec) continue;
    // Links are neither: nothing from an archive is followed out of its tree.
    if (folders ? fs::is_directory(st) : fs::is_regular_file(st))
      out.push_back(it->path().filename().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace boxlink
