// CRestore: the restore job behind zbBoxRestore. It unpacks the chosen
// boxes of an archive one by one and writes them to the device, creating
// boxes the device lacks and merging into those it has.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "boxlink/engine/box_worker.h"
#include "boxlink/engine/zelt.h"

namespace boxlink {

class CRestore final : public CZelt {
 public:
  CRestore() = default;
  ~CRestore() override = default;

  // Everything after Begin, in order; throws the job's error.
  void Run(uint32_t restore_mode, int32_t restore_time, uint32_t needed_space,
           const uint32_t* security_mode, const char* cipher_library,
           const char* hash_library);

  void PrepareBoxes() override;

  // An entry of the unpacked tree: a folder (kind 0) or a document.
  struct LocalItem {
    uint32_t kind = 1;
    uint32_t number = 0;
    std::u16string name;
    std::string entry;  // folder name of the entry in its container
  };

 private:
  // A device folder that a local folder of the same name is merged into,
  // with the device documents the merge replaces.
  struct FolderMerge {
    LocalItem local;
    ZBCOLLECTIONITEM device{};
    std::vector<ZBCOLLECTIONITEM> replaced;
  };

  bool storage() const { return layout() == DeviceLayout::kStorage; }
  void SetPercent();
  void CheckSpace(uint32_t needed);
  // Free space for the boxes from the current one on: those restored
  // before it already took theirs from what the device reports.
  void CheckBoxSpace();
  // `next` is the box after this one, if any: it is unpacked while this
  // one uploads.
  void RestoreBox(const ZBBOXPROPERTY& box, const ZBBOXPROPERTY* next);
  // On the second thread: removes tree_to_remove_ (the box before's), then
  // unpacks `next` when there is one.
  void WorkAhead(const ZBBOXPROPERTY* next);
  void SetLastAccess(const std::string& local_box);
  // Every name of the unpacked box that a remote path is built from.
  void CheckLocalNames();
  void CreateBox(const ZBBOXPROPERTY& box);
  void MergeBox(const ZBBOXPROPERTY& box, std::vector<ZBCOLLECTIONITEM> device_top);
  // The checks of a merged folder; nothing on the device changes.
  FolderMerge PlanFolderMerge(const ZBBOXPROPERTY& box, const LocalItem& local,
                              const ZBCOLLECTIONITEM& device_folder);
  void MergeFolder(const ZBBOXPROPERTY& box, const FolderMerge& merge);
  // Names (and for the shared and classic layouts renumbers) the local
  // documents of one container against the device's; the device documents
  // that an overwrite replaces go to *replaced.
  void NameDocuments(const std::string& container, std::vector<LocalItem>& docs,
                     std::vector<ZBCOLLECTIONITEM>& device_docs,
                     const std::vector<ZBCOLLECTIONITEM>& device_folders,
                     const std::vector<LocalItem>& local_folders,
                     std::vector<ZBCOLLECTIONITEM>* replaced);
  void NameFolders(std::vector<LocalItem>& folders, const std::vector<LocalItem>& docs,
                   const std::vector<ZBCOLLECTIONITEM>& device_docs,
                   const std::vector<ZBCOLLECTIONITEM>& device_folders);
  void RenumberFolders(std::vector<LocalItem>& folders,
                       const std::vector<ZBCOLLECTIONITEM>& device_folders);
  void DeleteReplaced(uint32_t box, const LocalItem* folder,
                      const std::vector<ZBCOLLECTIONITEM>& replaced);
  void Scan(const std::string& container, std::vector<LocalItem>* folders,
            std::vector<LocalItem>* docs) const;
  void UploadDocument(const ZBBOXPROPERTY& box, const LocalItem& doc,
                      const LocalItem* folder, uint32_t remote_folder_no);
  void UploadFolder(const ZBBOXPROPERTY& box, const LocalItem& folder);
  void DeleteRemoteTree(const std::string& remote);
  void ReplaceStsFiles(const std::string& local, const std::string& remote);
  void ClusterChange(uint32_t box, uint32_t folder, uint32_t doc, uint32_t noc,
                     uint32_t mod);
  std::string LocalContainer(const LocalItem* folder) const;
  std::string RemoteBox(uint32_t box) const;
  // Throws 123 unless `remote` is the box's own folder or lies inside it.
  void CheckInsideBox(const std::string& remote) const;

  std::vector<LocalItem> local_folders_;
  std::vector<LocalItem> local_documents_;
  std::vector<ZBCOLLECTIONITEM> documents_to_delete_;
  uint32_t restore_mode_ = 2;
  std::string restore_time_be_;
  int32_t restore_time_ = 0;
  BackupIndexInfo index_info_{};
  uint32_t needed_space_ = 0;
  // What the boxes restored so far counted in needed_space_.
  uint32_t space_done_ = 0;
  uint32_t current_box_ = 0;
  std::string cipher_library_, hash_library_;
  std::string local_box_, local_sub_, remote_sub_;
  // Unpacks the next box beside the upload; gone (its thread stopped)
  // before the work tree.
  std::unique_ptr<BoxWorker> unpacker_;
  bool unpacked_ahead_ = false;  // the box RestoreBox takes next is under way
  // The unpacked tree of the box restored last, removed beside the next
  // upload: removing a tree just written can keep the disk busy for long.
  std::string tree_to_remove_;
};

}  // namespace boxlink
