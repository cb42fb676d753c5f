#include "boxlink/engine/backup.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "boxlink/base/format.h"
#include "boxlink/base/tree_names.h"
#include "boxlink/base/box_error.h"
#include "boxlink/client/connection.h"
#include "boxlink/base/logger.h"
#include "boxlink/base/marker_file.h"
#include "boxlink/base/notice.h"
#include "boxlink/client/snmp_query.h"
#include "boxlink/engine/item_names.h"
#include "boxlink/engine/job_export.h"
#include "boxlink/engine/layout.h"
#include "boxlink/base/model_addition_check.h"
#include "boxlink/zip/zip_file.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "platform/mem_block.h"
#include "platform/text.h"

namespace boxlink {

namespace fs = std::filesystem;

namespace {

std::string LastComponent(std::string_view path) {
  size_t cut = path.find_last_of('/');
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

// The display name of a shared or classic item file: UTF-16 from byte 9,
// at most 128 bytes, in the system code page.
std::string ItemFileName(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char bytes[128] = {};
  in.seekg(9);
  in.read(bytes, sizeof bytes);
  std::u16string name;
  for (std::streamsize i = 0; i + 1 < in.gcount(); i += 2) {
    char16_t c = char16_t(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8));
    if (c == 0) break;
    name += c;
  }
  return platform::Utf16ToCodePage(name);
}

void MakeFolder(const std::string& path, bool existing_ok) {
  std::error_code ec;
  if (fs::create_directory(path, ec)) return;
  if (!ec && existing_ok) return;
  Raise(ec ? SystemErrorFromErrno(ec.value()) : 183 /* already exists */);
}

std::string WideToUtf8(const char16_t* name, size_t capacity) {
  return platform::Utf16ToUtf8(std::u16string_view(name, platform::U16Length(name, capacity)));
}

// A collection by time as an owned list.
std::vector<ZBCOLLECTIONITEM> ChangedItems(ZBSESSION* session, uint32_t box,
                                           const std::string& password,
                                           uint32_t folder, uint32_t since,
                                           const char* folder_id) {
  uint32_t count = 0;
  ZBCOLLECTIONITEM* items = nullptr;
  ZBBLOCK block = zbBoxGetCollectionByTime(session, box, password.c_str(), folder,
                                           &count, &items, &since, folder_id);
  if (!block) {
    // An empty answer may come without a block.
    if (uint32_t code = zbBoxGetLastError()) Raise(code);
    return {};
  }
  std::vector<ZBCOLLECTIONITEM> out;
  if (items) out.assign(items, items + count);
  zbBoxFreeBlock(block);
  return out;
}

}  // namespace

void CBackup::Run(uint32_t backup_type, const ZBSNMPSETTINGS* snmp,
                  const uint32_t* security_mode, const char* cipher_library,
                  const char* hash_library) {
  // The marker is read once, so one archive never mixes the two forms.
  encryption_on_ = !HasMarkerFile(kMarkerNoEncryption);
  if (encryption_on_) {
    zip_.encryption().SetEncryptDllName(cipher_library);
    zip_.encryption().SetHashDllName(hash_library);
  }
  backup_type_ = backup_type;

  IndexHead(snmp, security_mode);
  PrepareBoxes();
  IndexStep();
  TransferBoxes();
  // An archive without a chosen box must not pass for a backup of it; the
  // old archive stays.
  if (box_skipped_) Raise(ZB_ERR_NOT_ENOUGH_MEMORY);

  // Index tail.
  for (const ZBBOXPROPERTY& p : box_properties_) {
    BackupXmlBox b;
    b.name = platform::CodePageToUtf8(p.BoxName);
    b.number = p.BoxNo;
    b.is_protected = p.Protected != 0;
    b.folders = p.NumOfFolders;
    b.documents = p.NumOfDocs;
    b.used_disk = p.BoxUsedDisk;
    b.last_backup_date = p.LastBackupDate;
    index_.boxes.push_back(b);
  }
  if (uint32_t rc = WriteBackupXml(index_path_, index_)) Raise(rc);
  CheckCancel();

  if (encryption_on_) zip_.EncryptIndex();
  Pack();
}

void CBackup::CheckCancel() {
  if (packer_) packer_->RaiseIfFailed();
  CZelt::CheckCancel();
}

void CBackup::TransferBoxes() {
  packer_ = std::make_unique<BoxWorker>(cancel_event_);
  remover_ = std::make_unique<BoxWorker>(cancel_event_);
  try {
    for (size_t i = 0; i < box_properties_.size(); ++i) TransferBox(i);
    packer_->Finish();
    // Nothing of the box folders may be left when BOX is zipped.
    remover_->Finish();
  } catch (...) {
    // The packing of the box before came first in the job's order: when it
    // had failed, that is the job's error.
    std::exception_ptr earlier = packer_->Abandon();
    remover_->Abandon();
    if (earlier) std::rethrow_exception(earlier);
    throw;
  }
}

void CBackup::UpdateLastBackupDates() {
  if (ChooseFamily(engine_info_.EngineVersion, /*for_box_transfer=*/true) !=
      TransferFamily::kOriel)
    return;
  uint32_t rc = zbBoxUpdateLastBackupDates(session_, password_.c_str(),
                                           engine_info_.CurrentTime,
                                           uint32_t(box_numbers_.size()),
                                           box_numbers_.data());
  if (rc) Raise(rc);
}

void CBackup::IndexHead(const ZBSNMPSETTINGS* snmp, const uint32_t* security_mode) {
  uint32_t rc = zbBoxGetEngineInfo(session_, password_.c_str(), &engine_info_);
  if (rc) {
    last_service_error_ = rc;
    Raise(rc);
  }
  ClassifyLayout();
  zip_.CreateWorkFolders();
  CheckCancel();

  std::string name;
  QueryDeviceName(&name, session_->Host, snmp);
  index_.net_bios_name = name;
  index_.backup_type = backup_type_;
  index_.engine_version = engine_info_.EngineVersion;
  index_.mac_address = engine_info_.MACAddress;
  index_.storage_layout = layout() == DeviceLayout::kStorage;
  index_.secure_mode = security_mode ? *security_mode : 0;
  index_.device_clock = engine_info_.CurrentTime;
  index_path_ = zip_.BoxRoot() + "/Backup.XML";
  // The head is written with the boxes at the end (one write of the whole
  // file); create it now so a file problem shows before any transfer.
  {
    std::ofstream probe(index_path_, std::ios::binary | std::ios::trunc);
    if (!probe) Raise(SystemErrorFromErrno(errno ? errno : EIO));
  }
  CheckCancel();
}

void CBackup::PrepareBoxes() {
  SetState(BOXJOB_STATE_PREPARING);
  Notify();
  const size_t n = box_numbers_.size();
  for (size_t i = 0; i < n; ++i) {
    CheckCancel();
    ZBBOXPROPERTY p{};
    uint32_t rc = zbBoxGetBoxProperty(session_, box_numbers_[i], password_.c_str(), &p);
    if (rc) {
      last_service_error_ = rc;
      Raise(rc);
    }
    p.BoxNo = box_numbers_[i];
    items_total_ += p.NumOfFolders + p.NumOfDocs + 1;
    if (!(backup_type_ == 1 && p.LastBackupDate != 0)) items_total_ += 1;
    progress_->Percent = uint32_t(4 * i / n);
    Notify();
    box_properties_.push_back(p);
    progress_->TotalDocs += p.NumOfDocs;
  }
}

void CBackup::IndexStep() {
  // Restricted sessions cannot reach the index files; storage devices keep
  // none (the index path is empty there).
  if (session_->AccessMode == ZB_ACCESS_RESTRICTED || layout() == DeviceLayout::kStorage)
    return;
  SetState(BOXJOB_STATE_TRANSFERRING);
  Notify();
  CheckCancel();
  transfer_ = OpenTransfer(/*for_box_transfer=*/false);
  for (uint32_t box : box_numbers_) {
    const std::string index_file = tree::ItemFile(tree::BoxFolder(box));
    transfer_->FtpGetFile(tree::Join(paths().database_path, index_file),
                          tree::Join(work_folder_ + "/BOX/DATABASE", index_file));
  }
  transfer_.reset();
  zip_.PackDatabase();
  progress_->Percent = 5;
  Notify();
  CheckCancel();
}

void CBackup::TransferBox(size_t index) {
  ZBBOXPROPERTY& p = box_properties_[index];
  folder_list_.clear();
  document_list_.clear();
  SetState(BOXJOB_STATE_TRANSFERRING);
  SetProgressName(progress_->BoxName, p.BoxName);
  ClearNames();
  Notify();

  // The transfer family and the storage paths depend on the model list;
  // without its checker (no memory for it) the box cannot be fetched.
  if (!ModelAdditionCheck::Get()) {
    ShowNotice("ModelAdditioncheck pointer is NULL", "");
    box_skipped_ = true;
    return;
  }
  try {
    transfer_ = OpenTransfer(/*for_box_transfer=*/true);
    if (backup_type_ == 0 || p.LastBackupDate == 0)
      FullPath(index);
    else
      IncrementalPath(index);
  } catch (...) {
    transfer_.reset();
    throw;
  }
  transfer_.reset();
  ClearNames();
  SetState(BOXJOB_STATE_PACKING);
  Notify();
  // Packed beside the next box's download; the zip writer asks the cancel
  // event itself on that thread.
  const uint32_t box = p.BoxNo;
  packer_->Submit([this, box](const ZipInterruptCheck& check) {
    zip_.PackBoxMember(box, check);
    if (encryption_on_) zip_.EncryptBox(box);
    // As PackBox would, but on a third thread; failures to remove are no
    // failure of the backup (BOX goes as a whole at the end).
    remover_->Submit([folder = zip_.LocalBoxFolder(box)](const ZipInterruptCheck&) {
      CZipUtility::DeleteTree(folder);
    });
  });
}

void CBackup::UpdateNamesShared(const std::string& local) {
  if (local.find(tree::kDocumentPrefix) != std::string::npos) {
    SetProgressName(progress_->DocName, ItemFileName(tree::ItemFile(local)));
    progress_->DoneDocs += 1;
  } else {
    progress_->DocName[0] = '\0';
  }
  size_t f = local.find(tree::kFolderPrefix);
  if (f != std::string::npos && local.size() - (f + tree::kFolderPrefix.size()) == 3)
    SetProgressName(progress_->FolderName, ItemFileName(tree::ItemFile(local)));
}

void CBackup::UpdateNamesStorage(const std::string& local, const std::string& remote) {
  std::error_code ec;
  if (fs::exists(tree::Join(local, tree::kFolderProperties), ec)) {
    items_done_ += 1;
    SetProgressName(progress_->FolderName, LastComponent(remote));
    progress_->DocName[0] = '\0';
  } else if (fs::exists(tree::Join(local, tree::kDocumentProperties), ec)) {
    progress_->DoneDocs += 1;
    items_done_ += 1;
    SetProgressName(progress_->DocName, LastComponent(remote));
    // A document at the box's top level ("nnn/doc") belongs to no folder.
    std::string_view r = remote;
    size_t first = r.find('/');
    if (first == std::string_view::npos ||
        r.substr(first + 1).find('/') == std::string_view::npos)
      progress_->FolderName[0] = '\0';
  }
}

void CBackup::FullPath(size_t index) {
  const ZBBOXPROPERTY& p = box_properties_[index];
  SetState(BOXJOB_STATE_TRANSFERRING);
  transfer_->ClearQueue();
  std::string remote = layout() == DeviceLayout::kStorage
                           ? zip_.BoxFolderName(p.BoxNo)
                           : tree::Join(paths().data_path, tree::BoxFolder(p.BoxNo));
  std::string local = zip_.LocalBoxFolder(p.BoxNo);
  MakeFolder(local, /*existing_ok=*/false);
  transfer_->QueuePair(local, remote);
  CheckCancel();
  while (!transfer_->IsQueueEmpty()) {
    CheckCancel();
    std::string l, r;
    transfer_->TakeNextPair(&l, &r);
    if (layout() != DeviceLayout::kStorage) {
      UpdateNamesShared(l);
      items_done_ += 1;
    }
    SetPercentFromItems();
    Notify();
    transfer_->DownloadFolder(l, r);
    if (layout() == DeviceLayout::kStorage) UpdateNamesStorage(l, r);
    CheckCancel();
  }
  if (layout() == DeviceLayout::kStorage) items_done_ += 1;
}

void CBackup::DownloadDocument(const std::string& local_doc,
                               const std::string& remote_doc,
                               const std::string& remote_item_file,
                               const std::string& local_item_file,
                               const ZBCOLLECTIONITEM& item,
                               const char* folder_name) {
  SetState(BOXJOB_STATE_TRANSFERRING);
  SetProgressName(progress_->DocName,
                  platform::Utf16ToCodePage(std::u16string_view(
                      item.ItemName, platform::U16Length(item.ItemName, 256))));
  if (folder_name) SetProgressName(progress_->FolderName, folder_name);
  items_done_ += 1;
  progress_->DoneDocs += 1;
  SetPercentFromItems();
  Notify();
  if (!remote_item_file.empty())
    transfer_->FtpGetFile(remote_item_file, local_item_file);
  transfer_->DownloadTree(local_doc, remote_doc);
  CheckCancel();
}

void CBackup::IncrementalPath(size_t index) {
  ZBBOXPROPERTY& p = box_properties_[index];
  const bool storage = layout() == DeviceLayout::kStorage;
  std::string local_box = zip_.LocalBoxFolder(p.BoxNo);
  std::string remote_box;
  MakeFolder(local_box, /*existing_ok=*/false);
  if (storage) {
    remote_box = zip_.BoxFolderName(p.BoxNo);
    transfer_->FtpGetFile(tree::Join(remote_box, tree::kBoxProperties),
                          tree::Join(local_box, tree::kBoxProperties));
  } else {
    std::string sub;
    if (!transfer_->FindBoxFolder(paths().data_path, p.BoxNo, &sub))
      Raise(ZB_ERR_FILE_NOT_FOUND);
    RequireSafeItemName("IncrementalPath - box subfolder", std::string_view(sub));
    remote_box = tree::Join(tree::Join(paths().data_path, tree::BoxFolder(p.BoxNo)), sub);
    local_box += "/" + sub;
    MakeFolder(local_box, /*existing_ok=*/false);
  }

  for (const ZBCOLLECTIONITEM& item :
       ChangedItems(session_, p.BoxNo, password_, 0, p.LastBackupDate, nullptr)) {
    (item.ItemKind == 0 ? folder_list_ : document_list_).push_back(item);
  }

  uint64_t used = 8;
  uint32_t downloaded = 0;
  int number = 1;
  for (const ZBCOLLECTIONITEM& doc : document_list_) {
    if (storage) {
      std::string name = WideToUtf8(doc.ItemName, 256);
      RequireSafeItemName("IncrementalPath - document", std::string_view(name));
      DownloadDocument(Format("%s/%04d", local_box.c_str(), number),
                       remote_box + "/" + name, "", "", doc, nullptr);
    } else {
      std::string id = tree::DocumentFolder(doc.ItemId);
      DownloadDocument(local_box + "/" + id, remote_box + "/" + id,
                       remote_box + "/" + id + ".XML", local_box + "/" + id + ".XML",
                       doc, nullptr);
    }
    used += doc.DocSize / 1024;
    ++downloaded;
    ++number;
  }

  for (const ZBCOLLECTIONITEM& folder : folder_list_) {
    std::string folder_name = platform::Utf16ToCodePage(
        std::u16string_view(folder.ItemName, platform::U16Length(folder.ItemName, 256)));
    std::string local_folder, remote_folder;
    if (storage) {
      local_folder = Format("%s/%04d", local_box.c_str(), number);
      std::string name = WideToUtf8(folder.ItemName, 256);
      RequireSafeItemName("IncrementalPath - folder", std::string_view(name));
      remote_folder = remote_box + "/" + name;
      MakeFolder(local_folder, true);
      transfer_->FtpGetFile(tree::Join(remote_folder, tree::kFolderProperties),
                            tree::Join(local_folder, tree::kFolderProperties));
      FindDataList files;
      if (transfer_->FtpListDirectory(remote_folder, nullptr, &files)) {
        for (const auto& f : files) {
          std::string n = f.name;
          if (n.find(".sts") != std::string::npos || n.find(".STS") != std::string::npos)
            transfer_->FtpGetFile(remote_folder + "/" + n, local_folder + "/" + n);
        }
      }
    } else {
      std::string id = tree::FolderFolder(folder.ItemId);
      local_folder = local_box + "/" + id;
      remote_folder = remote_box + "/" + id;
      MakeFolder(local_folder, true);
      transfer_->FtpGetFile(remote_folder + ".XML", local_folder + ".XML");
    }
    ++number;
    // The restricted session names a folder by its text, not its number.
    std::string folder_id = WideToUtf8(folder.ItemName, 256);
    std::vector<ZBCOLLECTIONITEM> docs =
        ChangedItems(session_, p.BoxNo, password_, folder.ItemId, p.LastBackupDate,
                     storage ? folder_id.c_str() : nullptr);
    int inner = 1;
    for (const ZBCOLLECTIONITEM& doc : docs) {
      if (storage) {
        std::string name = WideToUtf8(doc.ItemName, 256);
        RequireSafeItemName("IncrementalPath - document", std::string_view(name));
        DownloadDocument(Format("%s/%04d", local_folder.c_str(), inner),
                         remote_folder + "/" + name, "", "", doc, folder_name.c_str());
      } else {
        std::string id = tree::DocumentFolder(doc.ItemId);
        DownloadDocument(local_folder + "/" + id, remote_folder + "/" + id,
                         remote_folder + "/" + id + ".XML",
                         local_folder + "/" + id + ".XML", doc, folder_name.c_str());
      }
      used += doc.DocSize / 1024;
      ++downloaded;
      ++inner;
    }
  }

  if (p.NumOfDocs > downloaded) {
    items_done_ += p.NumOfDocs - downloaded;
    progress_->DoneDocs += p.NumOfDocs - downloaded;
  }
  SetPercentFromItems();
  Notify();
  p.NumOfDocs = downloaded;
  p.BoxUsedDisk = uint32_t(used);
}

void CBackup::Pack() {
  SetState(BOXJOB_STATE_PACKING);
  progress_->BoxName[0] = '\0';
  ClearNames();
  progress_->DoneDocs = progress_->TotalDocs;
  if (progress_->Percent < 96) progress_->Percent = 95;
  Notify();
  // A cancel takes effect here too: the zip writer asks before every file
  // and chunk.
  const ZipInterruptCheck check = [this] { CheckCancel(); };
  zip_.PackData(check);
  if (progress_->Percent < 99) progress_->Percent = 98;
  Notify();
  // The new archive is built beside the old one and takes its name in one
  // rename; the old file is never deleted first. The device learns the new
  // last-backup dates only once the archive is complete: a backup that
  // fails or is cancelled before must not make an incremental one after it
  // skip what it did not save.
  try {
    zip_.BuildArchive(check);
    UpdateLastBackupDates();
    zip_.PlaceArchive();
  } catch (...) {
    std::remove((archive_path_ + ".zip").c_str());
    throw;
  }
  progress_->Percent = 100;
  platform::Clock& clock = platform::Env::Current()->clock();
  for (int i = 0; i < 2; ++i) {
    Notify();
    clock.SleepMillis(100);
  }
}

}  // namespace boxlink

namespace boxlink {

uint32_t RunBackup(CBackup& job, const BackupCall& c) {
  return RunJobExport("zbBoxBackup", c.session, [&] {
    job.LoadTransferLibrary(c.transfer_library);
    job.Begin(c.session, c.password, c.ftp_user, c.work_folder, c.archive_path,
              c.box_count, c.box_numbers, c.cancel_event, c.progress_event, c.progress);
    job.Run(c.backup_type, static_cast<const ZBSNMPSETTINGS*>(c.snmp_settings),
            c.security_mode, c.cipher_library, c.hash_library);
  });
}

}  // namespace boxlink

ZB_API uint32_t zbBoxBackup(ZBSESSION* session, const char* password,
                            const char* ftpUser, const char* workFolder,
                            const char* archivePath, uint32_t backupType,
                            uint32_t boxCount, const uint32_t* boxNumbers,
                            ZBEVENT cancelEvent, ZBEVENT progressEvent,
                            BoxJobProgress* progress, void* snmpSettings,
                            uint32_t* securityMode,
                            const char* transferLibrary,
                            const char* cipherLibrary,
                            const char* hashLibrary) {
  const boxlink::BackupCall call{session,     password,      ftpUser,      workFolder,
                                 archivePath, backupType,    boxCount,     boxNumbers,
                                 cancelEvent, progressEvent, progress,     snmpSettings,
                                 securityMode, transferLibrary, cipherLibrary, hashLibrary};
  try {
    boxlink::CBackup job;
    return boxlink::RunBackup(job, call);
  } catch (...) {
    boxlink::CLogger::LogError("zbBoxBackup Unknown", ZB_ERR_INTERNAL_ERROR, true);
    return ZB_ERR_INTERNAL_ERROR;
  }
}
