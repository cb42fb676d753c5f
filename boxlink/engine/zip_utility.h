// CZipUtility: the moves between a job's work tree and the archive's
// members, for both directions.
//
// A backup grows the tree BOX under the work folder (box folders, the
// device index files, "Backup.XML") and packs it member by member into the
// archive; a restore pulls members back out of an archive into BOX. The
// names of every member and folder are fixed here, in one place, so that
// the writer and the readers cannot disagree.
#pragma once

#include <cstdint>
#include <string>

#include "boxlink/engine/encrypt.h"
#include "boxlink/engine/layout.h"

namespace boxlink {

class CZipUtility {
 public:
  CZipUtility() = default;
  CZipUtility(const CZipUtility&) = delete;
  CZipUtility& operator=(const CZipUtility&) = delete;

  void SetArchivePath(std::string utf8_path) { archive_ = std::move(utf8_path); }
  void SetWorkFolder(std::string folder) { work_ = std::move(folder); }
  void SetLayout(DeviceLayout layout) { layout_ = layout; }
  DeviceLayout layout() const { return layout_; }
  bool shared() const { return layout_ == DeviceLayout::kShared; }
  bool storage() const { return layout_ == DeviceLayout::kStorage; }
  const std::string& archive_path() const { return archive_; }
  const std::string& work_folder() const { return work_; }
  CEncrypt& encryption() { return encrypt_; }
  // Whether members are encrypted (storage layout without "NoEncryption").
  // Read once when the job starts, so one archive never mixes the forms.
  void SetEncryptionOn(bool on) { encryption_on_ = on; }
  bool encryption_on() const { return encryption_on_; }

  // --- Names.
  std::string BoxDir() const;                       // <work>/BOX
  std::string BoxFolderName(uint32_t box) const;    // B0000nnn, nnn, 00000
  std::string LocalBoxFolder(uint32_t box) const;   // <work>/BOX/<name>
  // The box's zip before scrambling (".zip"), after (".tnb") and
  // encrypted (".tnbe"; storage layout only).
  std::string BoxZipPath(uint32_t box) const;
  std::string BoxTnbPath(uint32_t box) const;
  std::string BoxTnbePath(uint32_t box) const;
  // Bare member names the readers look for.
  std::string BoxMemberName(uint32_t box, bool encrypted) const;
  std::string IndexPath() const;                    // <work>/BOX/Backup.XML

  // --- Backup side. Each throws the system error.
  void CreateWorkFolders();
  void PackBox(uint32_t box);
  void EncryptBox(uint32_t box);
  void EncryptIndex();
  void PackDatabase();
  void PackData();
  // Zips BOX into a temporary file and only then puts it in the archive's
  // place in one rename, so that the old archive survives until the new one
  // is complete; then deletes BOX.
  void PackArchive();

  // --- Restore side.
  void Unzip(const std::string& zip_path, const std::string& folder);
  void ExtractDatabase();
  uint32_t ExtractDataZipFileIfPresent();
  void ExtractOneBox(uint32_t box);
  void UnpackBox(uint32_t box);
  bool box_members_from_data_zip() const { return from_data_zip_; }

  // Recursive delete; errors are ignored but for the last removal, whose
  // code is returned (0 also when there was nothing to delete).
  uint32_t DeleteTree(const std::string& folder);
  uint32_t DeleteBox() { return DeleteTree(BoxDir()); }

 private:
  void ZipFolder(const std::string& folder, const std::string& zip_path,
                 const char* label);

  std::string archive_, work_;
  DeviceLayout layout_ = DeviceLayout::kClassic;
  bool encryption_on_ = false;
  bool from_data_zip_ = false;
  CEncrypt encrypt_;
};

// Encrypts or decrypts a file with the archive password and deletes the
// source. Throws the code of a failure (87 for a missing path).
void EncryptFileWithArchivePassword(CEncrypt& encrypt, const std::string& in,
                                    const std::string& out);
void DecryptFileWithArchivePassword(CEncrypt& encrypt, const std::string& in,
                                    const std::string& out);

}  // namespace boxlink
