#include "boxlink/engine/restore.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>
#include <optional>

#include "boxlink/base/format.h"
#include "boxlink/base/tree_names.h"
#include "boxlink/base/box_error.h"
#include "boxlink/client/connection.h"
#include "boxlink/base/engine_versions.h"
#include "boxlink/base/logger.h"
#include "boxlink/base/marker_file.h"
#include "boxlink/engine/item_names.h"
#include "boxlink/engine/job_export.h"
#include "boxlink/engine/restore_rules.h"
#include "boxlink/zip/zip_file.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "platform/text.h"

namespace boxlink {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kStateUnpacking = 2;
constexpr uint32_t kStateUploading = 4;
constexpr uint32_t kStateFinished = 7;
constexpr uint32_t kStateTooManyDocs = 9;
constexpr uint32_t kStateTooManyFolders = 10;
constexpr size_t kMaxDocuments = 400;
constexpr size_t kMaxFolders = 100;

std::u16string ItemName(const ZBCOLLECTIONITEM& item) {
  return std::u16string(item.ItemName, platform::U16Length(item.ItemName, 256));
}

std::string Utf8(std::u16string_view s) { return platform::Utf16ToUtf8(s); }

bool StartsWith(std::string_view s, std::string_view p) {
  return s.substr(0, p.size()) == p;
}
bool EndsWith(std::string_view s, std::string_view p) {
  return s.size() >= p.size() && s.substr(s.size() - p.size()) == p;
}

std::vector<std::string> Entries(const std::string& folder, bool folders) {
  std::vector<std::string> out;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_directory(ec) == folders) out.push_back(it->path().filename().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// A file of the unpacked tree that could not be read or changed: the job
// ends, and the log names the file so that the damaged archive is found.
[[noreturn]] void FailOnFile(std::string_view step, const std::string& path, uint32_t code) {
  CLogger::LogError(std::string(step) + "(" + path + ")", code);
  Raise(code);
}

// A device listing as an owned list; an empty answer may come without a
// block. Returns the service's code.
uint32_t DeviceItems(ZBSESSION* session, uint32_t box, const std::string& password,
                     uint32_t folder, const char* folder_id,
                     std::vector<ZBCOLLECTIONITEM>* out) {
  out->clear();
  uint32_t count = 0;
  ZBCOLLECTIONITEM* items = nullptr;
  ZBBLOCK block =
      zbBoxGetCollection(session, box, password.c_str(), folder, &count, &items, folder_id);
  if (!block) return zbBoxGetLastError();
  if (items) out->assign(items, items + count);
  zbBoxFreeBlock(block);
  return 0;
}

void Split(const std::vector<ZBCOLLECTIONITEM>& all, std::vector<ZBCOLLECTIONITEM>* folders,
           std::vector<ZBCOLLECTIONITEM>* docs) {
  folders->clear();
  docs->clear();
  for (const auto& i : all) (i.ItemKind == 0 ? *folders : *docs).push_back(i);
}

void RenameOrThrow(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  if (ec) Raise(SystemErrorFromErrno(ec.value()));
}

}  // namespace

void CRestore::SetPercent() {
  uint64_t total = items_total_ ? items_total_ : 1;
  uint64_t p = uint64_t(items_done_) * 94 / total + 5;
  progress_->Percent = uint32_t(p > 99 ? 99 : p);
}

void CRestore::CheckSpace(uint32_t needed) {
  uint32_t capacity = 0, available = 0;
  if (uint32_t rc = zbBoxGetBoxDiskSpace(session_, password_.c_str(), &capacity, &available))
    Raise(rc);
  CheckCancel();
  if (!EnoughSpace(available, needed)) Raise(ZB_ERR_HANDLE_DISK_FULL);
}

void CRestore::CheckBoxSpace() {
  CheckSpace(needed_space_ > space_done_ ? needed_space_ - space_done_ : 0);
}

void CRestore::Run(uint32_t restore_mode, int32_t restore_time, uint32_t needed_space,
                   const uint32_t* security_mode, const char* cipher_library,
                   const char* hash_library) {
  cipher_library_ = cipher_library ? cipher_library : "";
  hash_library_ = hash_library ? hash_library : "";
  if (!HasMarkerFile(kMarkerNoEncryption)) {
    zip_.encryption().SetEncryptDllName(cipher_library);
    zip_.encryption().SetHashDllName(hash_library);
  }
  if (restore_mode == 2) {
    SetState(BOXJOB_STATE_PREPARING);
    Notify();
    CheckCancel();
    CheckSpace(needed_space);
  }
  restore_mode_ = restore_mode;
  restore_time_ = restore_time;
  restore_time_be_ = BigEndian(uint32_t(restore_time));

  zip_.CreateBoxRoot();
  // The index says what the archive holds and the target's engine decides
  // the layout; storage-layout archives carry no DATABASE member, in a
  // full session as in the restricted one.
  PrepareBoxes();
  if (session_->AccessMode != ZB_ACCESS_RESTRICTED && !storage()) {
    SetState(kStateUnpacking);
    Notify();
    zip_.ExtractDatabase();
    zip_.ExtractData();
  }
  if (session_->AccessMode == ZB_ACCESS_RESTRICTED && index_info_.SecureMode == 2 &&
      security_mode && *security_mode == 1)
    Raise(ZB_ERR_PRIVILEGE_NOT_HELD);

  const std::vector<ZBBOXPROPERTY> boxes(box_properties_);
  unpacker_ = std::make_unique<BoxWorker>(cancel_event_);
  try {
    for (size_t i = 0; i < boxes.size(); ++i) {
      RestoreBox(boxes[i], i + 1 < boxes.size() ? &boxes[i + 1] : nullptr);
      // Its share of the needed space is on the device now.
      space_done_ += boxes[i].BoxUsedDisk + 1;
    }
    // The last box's tree goes during the closing rounds below.
    unpacker_->Finish();
    WorkAhead(nullptr);
  } catch (...) {
    // The box unpacked ahead is not reached: whatever became of it is no
    // part of this job's outcome.
    unpacker_->Abandon();
    throw;
  }

  progress_->Percent = 100;
  platform::Clock& clock = platform::Env::Current()->clock();
  for (int i = 0; i < 2; ++i) {
    Notify();
    clock.SleepMillis(100);
  }
  unpacker_->Finish();
}

void CRestore::PrepareBoxes() {
  progress_->Percent = 4;
  SetState(BOXJOB_STATE_PREPARING);
  Notify();
  CheckCancel();
  BackupIndexBox* list = nullptr;
  uint32_t rc = zbBoxGetXMLInfo(archive_path_.c_str(), work_folder_.c_str(), &index_info_,
                                &list, cipher_library_.c_str(), hash_library_.c_str());
  std::vector<BackupIndexBox> boxes;
  if (list) boxes.assign(list, list + index_info_.Count);
  zbBoxFreeIndexBoxes(list);
  if (rc) Raise(rc);

  rc = zbBoxGetEngineInfo(session_, password_.c_str(), &engine_info_);
  if (rc) {
    last_service_error_ = rc;
    Raise(rc);
  }
  std::string archive_version(index_info_.Version,
                              strnlen(index_info_.Version, sizeof index_info_.Version));
  std::string target_version(engine_info_.EngineVersion,
                             strnlen(engine_info_.EngineVersion,
                                     sizeof engine_info_.EngineVersion));
  if (!CompatibleTarget(archive_version, target_version)) Raise(ZB_ERR_NOT_SUPPORTED);
  if (engine_info_.CurrentTime != 0) restore_time_be_ = BigEndian(engine_info_.CurrentTime);
  ClassifyLayout();

  const size_t n = box_numbers_.size();
  for (uint32_t number : box_numbers_) {
    auto it = std::find_if(boxes.begin(), boxes.end(),
                           [&](const BackupIndexBox& b) { return b.BoxNo == number; });
    if (it == boxes.end()) continue;
    items_total_ += it->NumOfDocs + it->NumOfFolders + 1;
    progress_->TotalDocs += it->NumOfDocs;
    needed_space_ += it->BoxUsedDisk;
    ZBBOXPROPERTY p{};
    p.BoxNo = it->BoxNo;
    std::snprintf(p.BoxName, sizeof p.BoxName, "%s", it->BoxName);
    p.Protected = it->Protected;
    p.NumOfFolders = it->NumOfFolders;
    p.NumOfDocs = it->NumOfDocs;
    p.BoxUsedDisk = it->BoxUsedDisk;
    box_properties_.push_back(p);
    progress_->Percent = uint32_t(5 / n);
    Notify();
  }
  progress_->Percent = 5;
  Notify();
  CheckCancel();
}

std::string CRestore::RemoteBox(uint32_t box) const {
  if (storage()) return Format("%03u", box);
  return tree::Join(paths().data_path, tree::BoxFolder(box));
}

void CRestore::CheckInsideBox(const std::string& remote) const {
  const std::string box = RemoteBox(current_box_);
  if (remote == box) return;
  if (remote.size() > box.size() + 1 && remote.compare(0, box.size(), box) == 0 &&
      remote[box.size()] == '/') {
    std::string_view rest = std::string_view(remote).substr(box.size() + 1);
    bool inside = true;
    for (size_t at = 0; inside && at <= rest.size();) {
      size_t end = rest.find('/', at);
      if (end == std::string_view::npos) end = rest.size();
      inside = IsSafeItemName(rest.substr(at, end - at));
      at = end + 1;
    }
    if (inside) return;
  }
  CLogger::LogError("RestoreBox - outside the box (" + PrintableName(remote) + ")",
                    ZB_ERR_INVALID_NAME);
  Raise(ZB_ERR_INVALID_NAME);
}

std::string CRestore::LocalContainer(const LocalItem* folder) const {
  std::string top = storage() ? local_box_ : local_box_ + "/" + local_sub_;
  return folder ? top + "/" + folder->entry : top;
}

void CRestore::WorkAhead(const ZBBOXPROPERTY* next) {
  std::string previous = std::exchange(tree_to_remove_, {});
  if (!next && previous.empty()) return;
  const bool unpack = next != nullptr;
  const uint32_t box = unpack ? next->BoxNo : 0;
  unpacker_->Submit([this, previous, unpack, box](const ZipInterruptCheck&) {
    if (!previous.empty()) CZipUtility::DeleteTree(previous);
    if (unpack) {
      zip_.ExtractBox(box);
      zip_.UnpackBox(box);
    }
  });
  unpacked_ahead_ = unpack;
}

void CRestore::RestoreBox(const ZBBOXPROPERTY& box, const ZBBOXPROPERTY* next) {
  ClearNames();
  local_folders_.clear();
  local_documents_.clear();
  documents_to_delete_.clear();
  current_box_ = box.BoxNo;
  SetProgressName(progress_->BoxName, box.BoxName);
  SetState(kStateUnpacking);
  Notify();
  // Each box but the first was unpacked while the one before it uploaded;
  // a failure of that unpacking is this box's and raised only now.
  if (!unpacked_ahead_) WorkAhead(&box);
  unpacker_->Finish();
  unpacked_ahead_ = false;
  // While this box uploads, the box before's tree goes and the next box
  // is unpacked.
  WorkAhead(next);
  local_box_ = zip_.LocalBoxFolder(box.BoxNo);
  local_sub_.clear();
  if (!storage()) {
    for (const std::string& e : Entries(local_box_, true))
      if (StartsWith(e, "P")) {
        local_sub_ = e;
        break;
      }
    if (local_sub_.empty()) FailOnFile("RestoreBox - P*", local_box_, ZB_ERR_FILE_NOT_FOUND);
    RequireSafeItemName("RestoreBox - box subfolder", std::string_view(local_sub_));
  }
  remote_sub_ = local_sub_;
  // Every name that a remote path is made of is checked before the device
  // is asked anything about the box.
  CheckLocalNames();
  SetLastAccess(local_box_);

  transfer_ = OpenTransfer(/*for_box_transfer=*/true);
  transfer_->SetCancelEvent(cancel_event_);
  std::vector<ZBCOLLECTIONITEM> device_top;
  uint32_t rc = DeviceItems(session_, box.BoxNo, password_, 0, nullptr, &device_top);
  if (rc == ZB_ERR_BAD_PATHNAME) {
    // Nothing of the box is made before its space is known to suffice.
    needed_space_ += 1;
    SetPercent();
    SetState(BOXJOB_STATE_PREPARING);
    Notify();
    CheckBoxSpace();
    CreateBox(box);
  } else if (rc) {
    Raise(rc);
  } else {
    MergeBox(box, std::move(device_top));
  }

  Scan(LocalContainer(nullptr), &local_folders_, &local_documents_);
  for (const LocalItem& doc : std::vector<LocalItem>(local_documents_))
    UploadDocument(box, doc, nullptr, 0);
  for (const LocalItem& folder : std::vector<LocalItem>(local_folders_)) {
    UploadFolder(box, folder);
    std::vector<LocalItem> sub_folders, docs;
    Scan(LocalContainer(&folder), &sub_folders, &docs);
    for (const LocalItem& doc : docs) UploadDocument(box, doc, &folder, folder.number);
  }

  SetState(kStateFinished);
  Notify();
  tree_to_remove_ = local_box_;
  transfer_.reset();
}

void CRestore::CheckLocalNames() {
  // Shared and classic items travel under their numbered folder names; only
  // the storage layout makes paths of the names in the property files.
  if (!storage()) return;
  std::vector<LocalItem> folders, docs;
  Scan(LocalContainer(nullptr), &folders, &docs);
  for (const LocalItem& d : docs) RequireSafeItemName("RestoreBox - document", d.name);
  for (const LocalItem& f : folders) {
    RequireSafeItemName("RestoreBox - folder", f.name);
    std::vector<LocalItem> inner_folders, inner_docs;
    Scan(LocalContainer(&f), &inner_folders, &inner_docs);
    for (const LocalItem& d : inner_docs)
      RequireSafeItemName("RestoreBox - document", d.name);
  }
}

void CRestore::SetLastAccess(const std::string& local_box) {
  if (storage()) {
    std::string text = Format("%d", restore_time_);
    auto touch = [&](const std::string& folder) {
      std::string file = tree::Join(folder, tree::kDocumentProperties);
      std::error_code ec;
      if (fs::exists(file, ec) &&
          !RewritePropertyFile(file, "lastAccessDate", platform::Utf8ToUtf16(text)))
        FailOnFile("SetLastAccess", file, ZB_ERR_INTERNAL_ERROR);
    };
    for (const std::string& e : Entries(local_box, true)) {
      touch(local_box + "/" + e);
      for (const std::string& inner : Entries(local_box + "/" + e, true))
        touch(local_box + "/" + e + "/" + inner);
    }
    return;
  }
  std::function<void(const std::string&)> walk = [&](const std::string& folder) {
    for (const std::string& f : Entries(folder, false))
      if (StartsWith(f, "D000") && EndsWith(f, ".XML") &&
          !WriteItemLastAccess(folder + "/" + f, restore_time_be_))
        FailOnFile("SetLastAccess", folder + "/" + f, ZB_ERR_INTERNAL_ERROR);
    for (const std::string& d : Entries(folder, true))
      if (StartsWith(d, "F000")) walk(folder + "/" + d);
  };
  walk(local_box + "/" + local_sub_);
}

void CRestore::Scan(const std::string& container, std::vector<LocalItem>* folders,
                    std::vector<LocalItem>* docs) const {
  folders->clear();
  docs->clear();
  std::error_code ec;
  if (storage()) {
    for (const std::string& e : Entries(container, true)) {
      std::string path = container + "/" + e;
      LocalItem item;
      item.entry = e;
      item.number = uint32_t(std::strtoul(e.c_str(), nullptr, 10));
      if (fs::exists(tree::Join(path, tree::kDocumentProperties), ec)) {
        item.kind = 1;
        item.name = ReadPropertyElement(tree::Join(path, tree::kDocumentProperties), "documentName")
                        .value_or(u"");
        docs->push_back(item);
      } else if (fs::exists(tree::Join(path, tree::kFolderProperties), ec)) {
        item.kind = 0;
        item.name = ReadPropertyElement(tree::Join(path, tree::kFolderProperties), "folderName")
                        .value_or(u"");
        folders->push_back(item);
      }
    }
    return;
  }
  const bool top = container == local_box_ + "/" + local_sub_;
  for (const std::string& f : Entries(container, false)) {
    std::optional<tree::ItemFileName> parsed = tree::ParseItemFile(f);
    if (!parsed) continue;
    bool is_folder = top && parsed->kind == tree::ItemKind::kFolder;
    bool is_doc = parsed->kind == tree::ItemKind::kDocument;
    if (!is_folder && !is_doc) continue;
    LocalItem item;
    std::string own;
    if (!ReadItemFile(container + "/" + f, &own, &item.name))
      FailOnFile("ReadItemFile", container + "/" + f, ZB_ERR_FILE_CORRUPT);
    item.kind = is_folder ? 0 : 1;
    item.entry = f.substr(0, f.size() - tree::kItemFileSuffix.size());
    item.number = parsed->number;
    (is_folder ? folders : docs)->push_back(item);
  }
}

void CRestore::CreateBox(const ZBBOXPROPERTY& box) {
  SetProgressName(progress_->BoxName, box.BoxName);
  SetState(kStateUploading);
  Notify();
  std::string remote = RemoteBox(box.BoxNo);
  CheckInsideBox(remote);
  DeleteRemoteTree(remote);
  transfer_->FtpCreateFolder(remote);
  if (storage()) {
    transfer_->FtpPutFile(tree::Join(remote, tree::kBoxProperties),
                          tree::Join(local_box_, tree::kBoxProperties));
  } else {
    transfer_->FtpCreateFile(remote + "/CREATE.STS");
    transfer_->FtpCreateFolder(remote + "/" + remote_sub_);
    std::string name = tree::ItemFile(tree::BoxFolder(box.BoxNo));
    std::string remote_index = paths().database_path + "/" + name;
    transfer_->FtpDeleteFile(remote_index, false);
    transfer_->FtpPutFile(remote_index, zip_.BoxRoot() + "/DATABASE/" + name);
  }
  ClusterChange(box.BoxNo, 0, 0, 2, 1);
  if (storage())
    ReplaceStsFiles(local_box_, remote);
  else
    transfer_->FtpReplaceStatusFile(remote);
  items_done_ += 1;
  SetPercent();
  Notify();
  CheckCancel();
}

void CRestore::MergeBox(const ZBBOXPROPERTY& box, std::vector<ZBCOLLECTIONITEM> device_top) {
  needed_space_ += 1;
  SetPercent();
  SetState(BOXJOB_STATE_PREPARING);
  Notify();
  if (!storage()) {
    std::string sub;
    if (!transfer_->FindBoxFolder(paths().data_path, box.BoxNo, &sub))
      Raise(ZB_ERR_FILE_NOT_FOUND);
    RequireSafeItemName("MergeBox - device box subfolder", std::string_view(sub));
    remote_sub_ = sub;
  }
  std::vector<ZBCOLLECTIONITEM> device_folders, device_docs;
  Split(device_top, &device_folders, &device_docs);

  // First every check that can refuse the box; the device is not changed
  // until all of them passed, so a refused overwrite deletes nothing.
  Scan(LocalContainer(nullptr), &local_folders_, &local_documents_);
  NameDocuments(LocalContainer(nullptr), local_documents_, device_docs, device_folders,
                local_folders_, &documents_to_delete_);
  if (local_documents_.size() + device_docs.size() > kMaxDocuments) {
    progress_->FolderName[0] = '\0';
    SetState(kStateTooManyDocs);
    Notify();
    Raise(ZB_ERR_BOX_LIMITS);
  }
  NameFolders(local_folders_, local_documents_, device_docs, device_folders);

  std::vector<FolderMerge> merges;
  for (const LocalItem& folder : std::vector<LocalItem>(local_folders_)) {
    auto same = std::find_if(device_folders.begin(), device_folders.end(),
                             [&](const ZBCOLLECTIONITEM& d) { return ItemName(d) == folder.name; });
    if (same != device_folders.end()) merges.push_back(PlanFolderMerge(box, folder, *same));
  }
  progress_->FolderName[0] = '\0';
  SetState(BOXJOB_STATE_PREPARING);
  Notify();
  // Merged folders count once.
  if (local_folders_.size() - merges.size() + device_folders.size() > kMaxFolders) {
    SetState(kStateTooManyFolders);
    Notify();
    Raise(ZB_ERR_BOX_LIMITS);
  }
  CheckBoxSpace();

  DeleteReplaced(box.BoxNo, nullptr, documents_to_delete_);
  documents_to_delete_.clear();
  for (const FolderMerge& merge : merges) MergeFolder(box, merge);

  SetState(BOXJOB_STATE_PREPARING);
  Notify();
  Scan(LocalContainer(nullptr), &local_folders_, &local_documents_);
  if (!storage()) RenumberFolders(local_folders_, device_folders);
}

CRestore::FolderMerge CRestore::PlanFolderMerge(const ZBBOXPROPERTY& box,
                                                const LocalItem& local,
                                                const ZBCOLLECTIONITEM& device_folder) {
  SetProgressName(progress_->FolderName, platform::Utf16ToCodePage(local.name));
  SetState(BOXJOB_STATE_PREPARING);
  Notify();
  std::string folder_id = Utf8(ItemName(device_folder));
  std::vector<ZBCOLLECTIONITEM> all, device_folders, device_docs;
  uint32_t rc = DeviceItems(session_, box.BoxNo, password_, device_folder.ItemId,
                            storage() ? folder_id.c_str() : nullptr, &all);
  if (rc && rc != ZB_ERR_BAD_PATHNAME) Raise(rc);
  Split(all, &device_folders, &device_docs);

  FolderMerge merge;
  merge.local = local;
  merge.device = device_folder;
  std::string container = LocalContainer(&local);
  std::vector<LocalItem> sub_folders, docs;
  Scan(container, &sub_folders, &docs);
  NameDocuments(container, docs, device_docs, {}, {}, &merge.replaced);
  if (device_docs.size() + docs.size() > kMaxDocuments) {
    SetState(kStateTooManyDocs);
    Notify();
    Raise(ZB_ERR_BOX_LIMITS);
  }
  return merge;
}

void CRestore::MergeFolder(const ZBBOXPROPERTY& box, const FolderMerge& merge) {
  const LocalItem& local = merge.local;
  SetProgressName(progress_->FolderName, platform::Utf16ToCodePage(local.name));
  SetState(BOXJOB_STATE_PREPARING);
  Notify();
  LocalItem remote_folder = local;
  remote_folder.number = merge.device.ItemId;
  remote_folder.name = ItemName(merge.device);
  DeleteReplaced(box.BoxNo, &remote_folder, merge.replaced);
  std::string container = LocalContainer(&local);
  std::vector<LocalItem> sub_folders, docs;
  Scan(container, &sub_folders, &docs);
  for (const LocalItem& doc : docs) {
    // The documents go into the device's folder, under its number; the
    // local folder only held them.
    UploadDocument(box, doc, &local, merge.device.ItemId);
  }
  SetState(kStateFinished);
  Notify();
  CZipUtility::DeleteTree(container);
  if (!storage()) std::remove((container + ".XML").c_str());
  items_done_ += 1;
  SetPercent();
  progress_->FolderName[0] = '\0';
  Notify();
}

void CRestore::NameDocuments(const std::string& container, std::vector<LocalItem>& docs,
                             std::vector<ZBCOLLECTIONITEM>& device_docs,
                             const std::vector<ZBCOLLECTIONITEM>& device_folders,
                             const std::vector<LocalItem>& local_folders,
                             std::vector<ZBCOLLECTIONITEM>* replaced) {
  auto rename_to = [&](LocalItem& doc, const std::u16string& name) {
    doc.name = name;
    std::string file = container + "/" + doc.entry +
                       (storage() ? "/documentproperties.xml" : ".XML");
    bool ok = storage() ? RewritePropertyFile(file, "documentName", name)
                        : WriteItemNames(file, doc.entry, name);
    if (!ok) FailOnFile("RenameDocument", file, ZB_ERR_INTERNAL_ERROR);
  };
  auto taken = [&](std::u16string_view c) {
    for (const auto& d : device_docs)
      if (ItemName(d) == c) return true;
    for (const auto& d : docs)
      if (d.name == c) return true;
    if (storage()) {
      for (const auto& f : device_folders)
        if (ItemName(f) == c) return true;
      for (const auto& f : local_folders)
        if (f.name == c) return true;
    }
    return false;
  };
  for (LocalItem& doc : docs) {
    auto same = std::find_if(device_docs.begin(), device_docs.end(),
                             [&](const ZBCOLLECTIONITEM& d) { return ItemName(d) == doc.name; });
    if (same == device_docs.end()) continue;
    if (restore_mode_ == 1) {
      replaced->push_back(*same);
      device_docs.erase(same);
    } else {
      rename_to(doc, FreeNumberedName(doc.name, taken));
    }
  }
  if (storage() && restore_mode_ != 1) {
    for (LocalItem& doc : docs) {
      bool clash = std::any_of(device_folders.begin(), device_folders.end(),
                               [&](const ZBCOLLECTIONITEM& f) { return ItemName(f) == doc.name; });
      if (clash) rename_to(doc, FreeNumberedName(doc.name, taken));
    }
  }
  if (storage()) return;

  std::vector<uint32_t> numbers;
  std::set<uint32_t> device;
  for (const auto& d : docs) numbers.push_back(d.number);
  for (const auto& d : device_docs) device.insert(d.ItemId);
  std::vector<uint32_t> fresh = RenumberDocuments(numbers, device);
  // Two passes through temporary names: a new number may still belong to
  // another local document that moves later.
  for (size_t i = 0; i < docs.size(); ++i) {
    if (fresh[i] == docs[i].number) continue;
    std::string from = container + "/" + docs[i].entry;
    std::string tmp = Format("%s/renum%03zu", container.c_str(), i);
    if (fs::exists(from)) RenameOrThrow(from, tmp);
    RenameOrThrow(from + ".XML", tmp + ".XML");
  }
  for (size_t i = 0; i < docs.size(); ++i) {
    if (fresh[i] == docs[i].number) continue;
    std::string tmp = Format("%s/renum%03zu", container.c_str(), i);
    std::string entry = tree::DocumentFolder(fresh[i]);
    if (fs::exists(tmp)) RenameOrThrow(tmp, container + "/" + entry);
    RenameOrThrow(tmp + ".XML", container + "/" + entry + ".XML");
    if (!WriteItemOwnName(container + "/" + entry + ".XML", entry))
      FailOnFile("RenumberDocument", container + "/" + entry + ".XML", ZB_ERR_INTERNAL_ERROR);
    docs[i].entry = entry;
    docs[i].number = fresh[i];
  }
}

void CRestore::NameFolders(std::vector<LocalItem>& folders, const std::vector<LocalItem>& docs,
                           const std::vector<ZBCOLLECTIONITEM>& device_docs,
                           const std::vector<ZBCOLLECTIONITEM>& device_folders) {
  if (!storage() || restore_mode_ == 1) return;
  auto in_device_docs = [&](std::u16string_view c) {
    for (const auto& d : device_docs)
      if (ItemName(d) == c) return true;
    return false;
  };
  for (size_t i = 0; i < folders.size(); ++i) {
    LocalItem& f = folders[i];
    if (!in_device_docs(f.name)) continue;
    std::u16string name = FreeNumberedName(f.name, [&](std::u16string_view c) {
      if (in_device_docs(c)) return true;
      for (const auto& d : device_folders)
        if (ItemName(d) == c) return true;
      for (const auto& o : folders)
        if (o.name == c) return true;
      for (const auto& d : docs)
        if (d.name == c) return true;
      return false;
    });
    f.name = name;
    std::string file = tree::Join(local_box_ + "/" + f.entry, tree::kFolderProperties);
    if (!RewritePropertyFile(file, "folderName", name))
      FailOnFile("RenameFolder", file, ZB_ERR_INTERNAL_ERROR);
  }
}

void CRestore::RenumberFolders(std::vector<LocalItem>& folders,
                               const std::vector<ZBCOLLECTIONITEM>& device_folders) {
  std::vector<uint32_t> numbers;
  std::set<uint32_t> device;
  for (const auto& f : folders) numbers.push_back(f.number);
  for (const auto& f : device_folders) device.insert(f.ItemId);
  std::vector<uint32_t> fresh = boxlink::RenumberFolders(numbers, device);
  const std::string top = LocalContainer(nullptr);
  for (size_t i = 0; i < folders.size(); ++i) {
    if (fresh[i] == folders[i].number) continue;
    std::string tmp = Format("%s/refold%03zu", top.c_str(), i);
    RenameOrThrow(top + "/" + folders[i].entry, tmp);
    RenameOrThrow(top + "/" + folders[i].entry + ".XML", tmp + ".XML");
  }
  for (size_t i = 0; i < folders.size(); ++i) {
    if (fresh[i] == folders[i].number) continue;
    std::string tmp = Format("%s/refold%03zu", top.c_str(), i);
    std::string entry = tree::FolderFolder(fresh[i]);
    RenameOrThrow(tmp, top + "/" + entry);
    RenameOrThrow(tmp + ".XML", top + "/" + entry + ".XML");
    if (!WriteItemOwnName(top + "/" + entry + ".XML", entry))
      FailOnFile("RenumberFolder", top + "/" + entry + ".XML", ZB_ERR_INTERNAL_ERROR);
    folders[i].entry = entry;
    folders[i].number = fresh[i];
  }
}

void CRestore::DeleteReplaced(uint32_t box, const LocalItem* folder,
                              const std::vector<ZBCOLLECTIONITEM>& replaced) {
  if (restore_mode_ != 1) return;
  for (const ZBCOLLECTIONITEM& d : replaced) {
    CheckCancel();
    std::string folder_text = folder ? Utf8(folder->name) : std::string();
    std::string doc_text = Utf8(ItemName(d));
    uint32_t rc = zbBoxDeleteDocument(
        session_, box, password_.c_str(), folder ? folder->number : 0, d.ItemId,
        storage() && folder ? folder_text.c_str() : nullptr,
        storage() ? doc_text.c_str() : nullptr);
    if (rc) Raise(rc);
  }
}

void CRestore::ClusterChange(uint32_t box, uint32_t folder, uint32_t doc, uint32_t noc,
                             uint32_t mod) {
  if (!IsSeriesEngine(engine_info_.EngineVersion)) return;
  if (uint32_t rc = zbBoxDirSerialClusterChange(session_, box, password_.c_str(), folder,
                                                doc, noc, mod))
    Raise(rc);
}

void CRestore::DeleteRemoteTree(const std::string& remote) {
  FindDataList folders, files;
  try {
    if (!transfer_->FtpListDirectory(remote, &folders, &files)) return;
  } catch (const BoxError& e) {
    // Most often nothing of that name is there: the first family's server
    // refuses the listing (12003), the secure family reports any failed
    // listing as 1359. A lost connection or a folder that stayed behind
    // fails the creation that follows, so only a cancel ends the job here.
    if (e.code() == ZB_ERR_CANCELLED) throw;
    return;
  }
  // The listing is the device's; a name in it that could lead out of the
  // folder ends the job before anything of the folder is deleted.
  for (const auto& f : files)
    RequireSafeItemName("DeleteRemoteTree - listed file", std::string_view(f.name));
  for (const auto& d : folders) {
    std::string_view n = d.name;
    if (n != "." && n != "..")
      RequireSafeItemName("DeleteRemoteTree - listed folder", n);
  }
  for (const auto& f : files) transfer_->FtpDeleteFile(remote + "/" + f.name, false);
  for (const auto& d : folders) {
    std::string n = d.name;
    if (n == "." || n == "..") continue;
    DeleteRemoteTree(remote + "/" + n);
  }
  transfer_->FtpDeleteFile(remote, true);
}

void CRestore::ReplaceStsFiles(const std::string& local, const std::string& remote) {
  FindDataList files;
  if (transfer_->FtpListDirectory(remote, nullptr, &files)) {
    for (const auto& f : files) {
      std::string n = f.name;
      if (n.find(".sts") != std::string::npos || n.find(".STS") != std::string::npos)
        transfer_->FtpDeleteFile(remote + "/" + n, false);
    }
  }
  for (const std::string& f : Entries(local, false))
    if (EndsWith(f, ".sts")) transfer_->FtpPutFile(remote + "/" + f, local + "/" + f);
}

void CRestore::UploadDocument(const ZBBOXPROPERTY& box, const LocalItem& doc,
                              const LocalItem* folder, uint32_t remote_folder_no) {
  SetState(kStateUploading);
  items_done_ += 1;
  progress_->DoneDocs += 1;
  SetPercent();
  SetProgressName(progress_->DocName, platform::Utf16ToCodePage(doc.name));
  Notify();
  std::string local = LocalContainer(folder) + "/" + doc.entry;
  std::string remote;
  if (storage()) {
    remote = folder ? Format("%03u/%s/%s", box.BoxNo, Utf8(folder->name).c_str(),
                          Utf8(doc.name).c_str())
                    : Format("%03u/%s", box.BoxNo, Utf8(doc.name).c_str());
  } else {
    remote = RemoteBox(box.BoxNo) + "/" + remote_sub_;
    if (folder) remote = tree::Join(remote, tree::FolderFolder(remote_folder_no));
    remote += "/" + doc.entry;
  }
  CheckInsideBox(remote);
  DeleteRemoteTree(remote);
  transfer_->FtpCreateFolder(remote);
  transfer_->FtpCreateFile(remote + (storage() ? "/.document" : "/CREATE.STS"));
  ClusterChange(box.BoxNo, folder ? remote_folder_no : 0, doc.number, 0, 0);
  if (storage()) {
    transfer_->UploadTree(local, remote);
    ReplaceStsFiles(local, remote);
  } else {
    transfer_->FtpDeleteFile(remote + ".XML", false);
    transfer_->FtpPutFile(remote + ".XML", local + ".XML");
    transfer_->UploadTree(local, remote);
    transfer_->FtpReplaceStatusFile(remote);
  }
  CheckCancel();
}

void CRestore::UploadFolder(const ZBBOXPROPERTY& box, const LocalItem& folder) {
  SetState(kStateUploading);
  items_done_ += 1;
  SetPercent();
  SetProgressName(progress_->FolderName, platform::Utf16ToCodePage(folder.name));
  Notify();
  std::string local = LocalContainer(&folder);
  std::string remote = storage() ? Format("%03u/%s", box.BoxNo, Utf8(folder.name).c_str())
                                 : RemoteBox(box.BoxNo) + "/" + remote_sub_ + "/" +
                                       folder.entry;
  CheckInsideBox(remote);
  DeleteRemoteTree(remote);
  transfer_->FtpCreateFolder(remote);
  if (!storage()) transfer_->FtpCreateFile(remote + "/CREATE.STS");
  ClusterChange(box.BoxNo, folder.number, 0, 2, 1);
  if (storage()) {
    transfer_->FtpPutFile(tree::Join(remote, tree::kFolderProperties),
                          tree::Join(local, tree::kFolderProperties));
    ReplaceStsFiles(local, remote);
  } else {
    transfer_->FtpDeleteFile(remote + ".XML", false);
    transfer_->FtpPutFile(remote + ".XML", local + ".XML");
    transfer_->FtpReplaceStatusFile(remote);
  }
  CheckCancel();
}

}  // namespace boxlink

ZB_API uint32_t zbBoxRestore(ZBSESSION* session, const char* password,
                             const char* ftpUser, const char* workFolder,
                             const char* archivePath, uint32_t boxCount,
                             const uint32_t* boxNumbers, uint32_t restoreMode,
                             int32_t restoreTime, ZBEVENT cancelEvent,
                             ZBEVENT progressEvent, BoxJobProgress* progress,
                             uint32_t neededSpace, uint32_t* securityMode,
                             const char* transferLibrary,
                             const char* cipherLibrary,
                             const char* hashLibrary) {
  // The FTP client's socket codes for a lost connection are reported as
  // the system's own.
  const boxlink::ExportCodeMap lost_connection = [](uint32_t code) -> uint32_t {
    return code == ZB_ERR_NET_CONNECTION_ABORTED || code == ZB_ERR_NET_CONNECTION_RESET
               ? uint32_t{ZB_ERR_CONNECTION_RESET}
               : code;
  };
  try {
    boxlink::CRestore job;
    return boxlink::RunJobExport(
        "zbBoxRestore", session,
        [&] {
          job.LoadTransferLibrary(transferLibrary);
          job.Begin(session, password, ftpUser, workFolder, archivePath, boxCount, boxNumbers,
                    cancelEvent, progressEvent, progress);
          job.Run(restoreMode, restoreTime, neededSpace, securityMode, cipherLibrary,
                  hashLibrary);
        },
        lost_connection);
  } catch (...) {
    boxlink::CLogger::LogError("zbBoxRestore Unknown", ZB_ERR_INTERNAL_ERROR, true);
    return ZB_ERR_INTERNAL_ERROR;
  }
}
