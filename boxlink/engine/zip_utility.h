// CZipUtility: the archive utility of a backup or restore job. It moves a
// work tree between its folder form and the archive's nested members.
//
// Work tree: <work>/BOX holds the index, the DATABASE folder, the box
// folders and, once packed, the box members. Member names depend on the
// device layout (shared, classic, storage) and on whether members are
// encrypted (storage layout, unless the "NoEncryption" marker exists).
// Every operation throws the system error on failure.
#pragma once

#include <cstdint>
#include <string>

#include "boxlink/engine/encrypt.h"
#include "boxlink/zip/zip_class.h"

namespace boxlink {

class CZipUtility {
 public:
  CZipUtility() = default;

  void SetWorkFolder(std::string folder) { work_folder_ = std::move(folder); }
  void SetArchivePath(std::string path) { archive_path_ = std::move(path); }
  // The layout flags; neither set means the classic layout.
  void SetLayout(bool shared, bool storage) {
    shared_layout_ = shared;
    storage_layout_ = storage;
  }
  bool shared_layout() const { return shared_layout_; }
  bool storage_layout() const { return storage_layout_; }
  CEncrypt& encryption() { return encrypt_; }

  std::string BoxRoot() const { return work_folder_ + "/BOX"; }
  // "B0000nnn", or for the storage layout "nnn" ("00000" for box 0).
  std::string BoxFolderName(uint32_t box) const;
  std::string LocalBoxFolder(uint32_t box) const;
  // Bare member name of a packed box as it travels in the archive.
  std::string BoxMemberName(uint32_t box) const;
  // Whether members are encrypted now (storage layout, no marker file).
  bool EncryptsMembers() const;

  // Makes BOX under the work folder (and its DATABASE and DATA folders for
  // a backup). BOX must not be there yet: a folder or link that someone
  // else put under that name is never used (183).
  void CreateWorkFolders();
  void CreateBoxRoot();
  // The packing operations take a check that the zip writer asks before
  // every file and chunk; what it throws ends the operation, its partial
  // zip removed, and passes on.
  void PackBox(uint32_t box, const ZipInterruptCheck& check = {}) {
    PackBoxMember(box, check);
    DeleteTree(LocalBoxFolder(box));
  }
  // The box's member alone, its folder left in place.
  void PackBoxMember(uint32_t box, const ZipInterruptCheck& check = {});
  // Both do nothing unless EncryptsMembers().
  void EncryptBox(uint32_t box);
  void EncryptIndex();
  void PackDatabase();
  void PackData(const ZipInterruptCheck& check = {});
  // The archive in two steps: BOX zipped into the archive's name plus
  // ".zip", then that file moved to the archive's name and BOX deleted.
  // Between them the old archive is still there.
  void BuildArchive(const ZipInterruptCheck& check = {});
  void PlaceArchive();
  void PackArchive() {
    BuildArchive();
    PlaceArchive();
  }
  void ZipFolderTo(const std::string& folder, const std::string& target);
  void Unzip(const std::string& zip, const std::string& folder);

  void ExtractDatabase();
  // True when the archive has DATA.zip; box members then come from it.
  bool ExtractData();
  void ExtractBox(uint32_t box);
  void UnpackBox(uint32_t box);

  // Files first, then the emptied folders; only the last removal counts.
  // Links are removed, never followed, the folder itself included.
  static uint32_t DeleteTree(const std::string& folder);
  // Removes the BOX tree when this object made it; 0 otherwise.
  uint32_t DeleteBox();

  // "x" to "xe" with the archive password, then the plain file is deleted.
  // 0 without doing anything unless the storage layout is set.
  uint32_t EncryptFile(const std::string& path);
  // "xe" back to "x", the encrypted file deleted; runs for any layout.
  uint32_t DecryptFile(const std::string& path);

 private:
  std::string work_folder_;
  std::string archive_path_;
  bool shared_layout_ = false;
  bool storage_layout_ = false;
  bool members_in_data_zip_ = false;
  bool box_root_made_ = false;
  CEncrypt encrypt_;
};

}  // namespace boxlink
