// CZipUtls: the archive operations the rest of boxlink uses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "boxlink/zip/zip_class.h"

namespace boxlink {

class CZipUtls {
 public:
  CZipUtls() = default;
  ~CZipUtls();
  CZipUtls(const CZipUtls&) = delete;
  CZipUtls& operator=(const CZipUtls&) = delete;

  // Flag 1 opens an existing archive and reads its directory, flag 0
  // creates one; nothing may stand under its name yet (80), a link
  // included. Returns 1; failures throw.
  int OpenFile(const std::string& path, int flag);
  // Zips `folder` (entries begin with its own name, or with root_name when
  // given) into `zip_path`. 1, or 0 after logging the failure, whose code
  // last_error() then tells. What the interrupt check throws is no failure
  // of the archive: it passes on, with the archive closed.
  int Zip(const std::string& folder, const std::string& zip_path,
          const std::string& root_name = {});
  // The failure's code as a caller reports it: a system error, 8, or 1359
  // for a damaged archive (never one of zlib's own codes).
  uint32_t last_error() const { return last_error_; }
  // Asked before every file and every chunk that Zip and AddFolder add.
  void SetInterruptCheck(ZipInterruptCheck check);
  // Adds a folder tree below the current prefix, under its own name or
  // `own_name`. Returns 1; throws.
  int AddFolder(const std::string& folder, const std::string& own_name = {});
  // One entry named by the file's name alone.
  int AddFile(const std::string& path);
  // 1 when some entry's bare name equals `name` ignoring case.
  int GotoFile(const std::string& name);
  // The size the first such entry declares for its content; nullopt when
  // no entry matches.
  std::optional<uint64_t> DeclaredSize(const std::string& name) const;
  // Extracts the first such entry into `folder` under the bare name; 1, or
  // 0 when none matches or extraction failed (the archive is then closed;
  // last_error() tells why).
  int ExtractFile(const std::string& folder, const std::string& name);
  // Every entry below `folder` with its stored path; 1359 when any entry
  // fails. Entries that would land outside the folder are refused before
  // anything is written, and so is an archive whose entries declare more
  // than the folder's file system has free (112). An entry never yields
  // more than it declares.
  void ExtractZipFile(const std::string& folder);
  void Close();

  CZipClass& zip() { return zip_; }

 private:
  long FindBareName(const std::string& name) const;

  CZipClass zip_;
  std::string prefix_;
  uint32_t last_error_ = 0;
  bool interrupted_ = false;
};

// Bytes the file system that holds `folder` has free for this user;
// nullopt when that cannot be told.
std::optional<uint64_t> FreeSpace(const std::string& folder);

// The last part of an entry name ("BOX/DATA/B0000001.tnb" -> "B0000001.tnb").
std::string BareName(const std::string& entry_name);

// Scrambles a finished archive "x.zip" (the end record's counts inverted)
// and renames it "x.tnb"; Revert does the reverse for the "x.zip" named.
// Both return 0 and throw the system error.
uint32_t ChangeZipCentralDirectory(const std::string& zip_path);
uint32_t RevertZipCentralDirectory(const std::string& zip_path);

}  // namespace boxlink
