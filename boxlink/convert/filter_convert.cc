// The filtering conversions: a legacy backup or document archive rewritten
// for another model, without the documents that model cannot hold.
//
// Everything is unpacked into a folder of the call's own below the
// caller's work folder, and the output archive is written under a
// temporary name beside it and takes its name in one rename at the end: a
// failed or cancelled conversion leaves no half-written output, and an
// older file of the output's name stays as it was.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "boxlink.h"
#include "boxlink/base/format.h"
#include "boxlink/base/box_error.h"
#include "boxlink/client/cgi.h"
#include "boxlink/base/logger.h"
#include "boxlink/convert/convert_job.h"
#include "boxlink/convert/convert_rules.h"
#include "boxlink/convert/legacy_archive.h"
#include "boxlink/convert/legacy_index.h"
#include "boxlink/convert/legacy_layout.h"
#include "boxlink/engine/zip_utility.h"
#include "platform/last_error.h"
#include "platform/text.h"

namespace boxlink {

namespace {

namespace fs = std::filesystem;

// The first bytes of a descriptor, all a reader needs.
std::string ReadHead(const std::string& path, size_t bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Raise(ZB_ERR_FILE_NOT_FOUND);
  std::string out(bytes, '\0');
  in.read(out.data(), std::streamsize(bytes));
  out.resize(size_t(in.gcount()));
  return out;
}

// Which checks match a descriptor, in the order they are applied: colour,
// copy compound, wide paper. The last match is the reason.
std::vector<uint32_t> Matches(const ConvertChecks& checks, const legacy::Descriptor& d) {
  std::vector<uint32_t> out;
  if (checks.colour && d.IsColour()) out.push_back(kDropColour);
  if (checks.copy_compound && d.IsCompoundCopy()) out.push_back(kDropCopyCompound);
  if (checks.wide_paper && d.IsWidePaper()) out.push_back(kDropWidePaper);
  return out;
}

// The output archive: written beside the output under a temporary name and
// renamed over it once complete.
void PackOutput(const std::string& folder_with_box, const std::string& output) {
  CZipUtility out;
  out.SetWorkFolder(folder_with_box);
  out.SetArchivePath(output);
  out.PackArchive();
}

class BackupFilter {
 public:
  BackupFilter(const char* source, const char* output, const char* work,
               const char* source_model, const char* target_model, ZBEVENT cancel,
               ZBEVENT progress_event, BoxJobProgress* progress)
      : source_(source), output_(output), work_(work), source_model_(source_model),
        target_model_(target_model), signals_(cancel, progress_event),
        progress_(progress) {}

  ~BackupFilter() {
    if (!root_.empty()) CZipUtility::DeleteTree(root_);
  }

  void Run() {
    *progress_ = BoxJobProgress{};
    Report(1, kConverting);
    if (LegacyArchiveType(source_) != ZB_INDEX_BACKUP_XML) Raise(ZB_ERR_INVALID_DATA);
    if (SameFile(source_, output_) || source_model_ == target_model_)
      Raise(ZB_ERR_INVALID_PARAMETER);
    CIniFile ini;
    if (!LoadRuleFile(source_model_, &ini)) Raise(ZB_ERR_NOT_SUPPORTED);
    checks_ = ReadChecks(ini, target_model_);

    Report(3, kConverting);
    root_ = MakePrivateFolder(work_, ".convert-");
    box_ = root_ + "/BOX";
    if (uint32_t rc = LegacyUnzip(source_, root_, false, false)) Raise(rc);
    if (!fs::is_directory(fs::symlink_status(box_))) Raise(ZB_ERR_FILE_NOT_FOUND);

    Report(7, kConverting);
    std::string database = FindIgnoringCase(box_, "DATABASE.tnb");
    if (uint32_t rc = LegacyUnzip(box_ + "/" + (database.empty() ? "DATABASE.tnb" : database),
                                  box_, true, true))
      Raise(rc);

    Report(12, kConverting);
    ReadIndex();
    std::string index = box_ + "/" + FindIgnoringCase(box_, "Backup.XML");
    if (ReplaceElementLine(index, root_, "EngineVersion", target_model_) != 0)
      Raise(ZB_ERR_INVALID_DATA);

    total_ = 0;
    for (const BackupIndexBox& b : boxes_) total_ += b.NumOfDocs;
    data_zip_ = FindIgnoringCase(box_, "DATA.zip");
    if (data_zip_.empty()) data_zip_ = "DATA.zip";
    fs::create_directories(box_ + "/DATA");
    for (BackupIndexBox& b : boxes_) ConvertBox(b);

    if (ReplaceBoxCounts(index, root_, boxes_) != 0) Raise(ZB_ERR_INVALID_DATA);

    Report(85, kPacking);
    // The source's DATA.zip is replaced by the one made of the converted
    // boxes (with the same name: names differing only in case would be
    // two members here).
    std::remove((box_ + "/" + data_zip_).c_str());
    LegacyZip(box_ + "/" + data_zip_, box_ + "/DATA", false);
    CZipUtility::DeleteTree(box_ + "/DATA");

    Report(92, kPacking);
    std::string db_folder = FindIgnoringCase(box_, "DATABASE");
    if (db_folder.empty()) {
      db_folder = "DATABASE";
      fs::create_directory(box_ + "/DATABASE");
    }
    LegacyZip(box_ + "/" + db_folder + ".tnb", box_ + "/" + db_folder, true);
    CZipUtility::DeleteTree(box_ + "/" + db_folder);

    Report(97, kPacking);
    PackOutput(root_, output_);

    Report(99, kPacking);
  }

 private:
  static constexpr uint32_t kConverting = 2, kPacking = 1;

  void Report(uint32_t percent, uint32_t state) {
    progress_->Percent = percent;
    progress_->State = state;
    signals_.Notify();
    signals_.CheckCancel();
  }

  void ReadIndex() {
    // The index decides which boxes are filtered; one that cannot be read
    // would let every document through, so it fails the conversion.
    BackupIndexInfo info{};
    uint32_t count = 0;
    BackupIndexBox* list = nullptr;
    ZBBLOCK block = nullptr;
    uint32_t rc = zbzbBoxGetXMLInfo(source_.c_str(), root_.c_str(), &info, &count, &list,
                                    &block);
    if (rc == 0 && list) boxes_.assign(list, list + count);
    zbBoxFreeBlock(block);
    if (rc) Raise(rc);
  }

  void ConvertBox(BackupIndexBox& box) {
    SetField(progress_->BoxName, box.BoxName);
    progress_->Dropped = 0;
    progress_->DropReason = 0;
    signals_.Notify();
    const std::string data = box_ + "/DATA";
    if (uint32_t rc = ExtractOneLegacyBox(box_ + "/" + data_zip_, data, box.BoxNo)) Raise(rc);
    const std::string name = Format("B0000%03u", box.BoxNo);
    if (uint32_t rc = LegacyUnzip(data + "/" + name + ".tnb", data, true, true)) Raise(rc);
    const std::string box_folder = data + "/" + name;
    if (!fs::is_directory(fs::symlink_status(box_folder))) fs::create_directory(box_folder);
    std::string items;
    for (const std::string& e : ListEntries(box_folder, true))
      if (!e.empty() && e[0] == 'P') {
        items = box_folder + "/" + e;
        break;
      }
    if (!items.empty()) {
      for (const std::string& f : ListEntries(items, false))
        if (legacy::DescriptorNumber(f, 'D')) Document(box, items, f);
      for (const std::string& f : ListEntries(items, false)) {
        std::optional<uint32_t> n = legacy::DescriptorNumber(f, 'F');
        if (!n) continue;
        progress_->Dropped = 0;
        progress_->DropReason = 0;
        legacy::Descriptor d = legacy::DecodeDescriptor(
            ReadHead(items + "/" + f, legacy::kDescriptorReadBytes));
        SetField(progress_->FolderName, platform::Utf16ToCodePage(d.name));
        const std::string sub = items + "/" + f.substr(0, f.size() - 4);
        for (const std::string& doc : ListEntries(sub, false))
          if (legacy::DescriptorNumber(doc, 'D')) Document(box, sub, doc);
      }
      SetField(progress_->FolderName, "");
    }
    LegacyZip(box_folder + ".tnb", box_folder, true);
    CZipUtility::DeleteTree(box_folder);
  }

  // One document descriptor `file` of `container`.
  void Document(BackupIndexBox& box, const std::string& container, const std::string& file) {
    progress_->Dropped = 0;
    progress_->DropReason = 0;
    const std::string path = container + "/" + file;
    legacy::Descriptor d =
        legacy::DecodeDescriptor(ReadHead(path, legacy::kDescriptorReadBytes));
    SetField(progress_->DocName, platform::Utf16ToCodePage(d.name));
    uint32_t reason = 0;
    for (uint32_t r : Matches(checks_, d)) {
      // The data folder is named by the descriptor's file name, never by
      // what the descriptor says, so a drop cannot reach another item.
      CZipUtility::DeleteTree(path.substr(0, path.size() - 4));
      std::remove(path.c_str());
      reason = r;
    }
    bool dropped = reason != 0;
    if (dropped) {
      progress_->Dropped = 1;
      uint64_t size = 8 + 11ull * d.pages + d.data_size;
      box.BoxUsedDisk = size >= box.BoxUsedDisk ? 0 : uint32_t(box.BoxUsedDisk - size);
      if (box.NumOfDocs) --box.NumOfDocs;
    }
    ++done_;
    // An index that counts fewer documents than the boxes hold must not
    // carry the percent past the packing steps (nor divide by zero).
    uint64_t total = std::max<uint64_t>(total_, done_);
    progress_->Percent = uint32_t(uint64_t(done_) * 70 / total + 15);
    progress_->DropReason = reason;
    signals_.Notify();
    if (dropped) ConvertSignals::Wait(100);
    progress_->Dropped = 0;
    progress_->DropReason = 0;
    SetField(progress_->DocName, "");
    signals_.CheckCancel();
    ConvertSignals::Wait(20);
  }

  const std::string source_, output_, work_, source_model_, target_model_;
  ConvertSignals signals_;
  BoxJobProgress* progress_;
  ConvertChecks checks_;
  std::string root_, box_, data_zip_;
  std::vector<BackupIndexBox> boxes_;
  uint64_t total_ = 0, done_ = 0;
};

class ArchiveFilter {
 public:
  ArchiveFilter(const char* source, const char* output, const char* work,
                const char* source_model, const char* target_model, ZBEVENT cancel,
                ZBEVENT progress_event, BoxJobProgress* progress)
      : source_(source), output_(output), work_(work), source_model_(source_model),
        target_model_(target_model), signals_(cancel, progress_event),
        progress_(progress) {}

  ~ArchiveFilter() {
    if (!folder_.empty()) CZipUtility::DeleteTree(folder_);
  }

  void Run() {
    *progress_ = BoxJobProgress{};
    progress_->State = 2;
    if (LegacyArchiveType(source_) != ZB_INDEX_ARCHIVE_XML) Raise(ZB_ERR_INVALID_DATA);
    if (SameFile(source_, output_) || source_model_ == target_model_)
      Raise(ZB_ERR_INVALID_PARAMETER);
    CIniFile ini;
    if (!LoadRuleFile(source_model_, &ini)) {
      CLogger::LogError("zbBoxConvertArchiveData - iniFile.ReadFile", ZB_ERR_NOT_SUPPORTED);
      Raise(ZB_ERR_NOT_SUPPORTED);
    }
    ConvertChecks checks = ReadChecks(ini, target_model_);

    folder_ = MakePrivateFolder(work_, "ZELT--");
    // The output is zipped flat from this folder: only the members kept.
    const std::string members = folder_ + "/archive";
    fs::create_directory(members);
    if (LegacyUnzip(source_, members, false, false) != 0) Raise(ZB_ERR_INVALID_DATA);
    progress_->Percent = 5;
    signals_.Notify();

    const std::string index = members + "/" + FindIgnoringCase(members, "ARCHIVE.XML");
    if (ReplaceElementLine(index, folder_, "Version", target_model_) != 0)
      Raise(ZB_ERR_INVALID_DATA);

    std::vector<std::string> docs;
    for (const std::string& f : ListEntries(members, false))
      if (f.size() > 8 && f.starts_with("D000") && f.ends_with(".zip")) docs.push_back(f);
    const size_t n = docs.size();
    int64_t kept = int64_t(n);
    for (size_t i = 0; i < n; ++i) {
      progress_->Dropped = 0;
      progress_->DropReason = 0;
      const std::string member = members + "/" + docs[i];
      // Each member is unpacked apart: what it holds never mixes with the
      // members that are kept, whatever its entries are called.
      const std::string scratch = MakePrivateFolder(folder_, "member-");
      if (LegacyUnzip(member, scratch, false, false) != 0) {
        CLogger::LogError("zbBoxConvertArchiveData - zbzbBoxUnzip", ZB_ERR_INVALID_DATA);
        Raise(ZB_ERR_INVALID_DATA);
      }
      const std::string stem = docs[i].substr(0, docs[i].size() - 4);
      std::string descriptor = FindIgnoringCase(scratch, stem + ".XML");
      legacy::Descriptor d = legacy::DecodeDescriptor(
          descriptor.empty() ? std::string()
                             : ReadHead(scratch + "/" + descriptor, legacy::kDescriptorReadBytes));
      SetField(progress_->DocName, platform::Utf16ToCodePage(d.name));
      // A document that several checks match is one document less.
      for (uint32_t reason : Matches(checks, d)) {
        std::remove(member.c_str());
        progress_->Dropped = 1;
        progress_->DropReason = reason;
      }
      if (progress_->Dropped) --kept;
      CZipUtility::DeleteTree(scratch);
      progress_->Percent = uint32_t(uint64_t(i) * 90 / n);
      signals_.Notify();
      if (progress_->Dropped) ConvertSignals::Wait(100);
      progress_->Dropped = 0;
      progress_->DropReason = 0;
      signals_.CheckCancel();
      ConvertSignals::Wait(20);
    }
    if (kept <= 0) Raise(ZB_ERR_NO_MORE_ITEMS);
    if (ReplaceElementLine(index, folder_, "NumOfDocs", std::to_string(kept)) != 0)
      Raise(ZB_ERR_INVALID_DATA);

    progress_->State = 1;
    const std::string temp = TempOutput();
    try {
      LegacyZipFlat(temp, members);
      Commit(temp);
    } catch (...) {
      std::remove(temp.c_str());
      throw;
    }
    progress_->Percent = 100;
    signals_.Notify();
  }

 private:
  // Beside the output, so that the final rename stays on one file system.
  std::string TempOutput() const {
    std::string temp = output_ + ".zip";
    if (::unlink(temp.c_str()) != 0 && errno != ENOENT) Raise(SystemErrorFromErrno(errno));
    return temp;
  }
  void Commit(const std::string& temp) const {
    int fd = ::open(temp.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) Raise(SystemErrorFromErrno(errno));
    int rc = ::fsync(fd);
    int err = errno;
    ::close(fd);
    if (rc != 0) Raise(SystemErrorFromErrno(err));
    if (std::rename(temp.c_str(), output_.c_str()) != 0) Raise(SystemErrorFromErrno(errno));
    std::string parent = fs::path(output_).parent_path().string();
    int dir = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
  }

  const std::string source_, output_, work_, source_model_, target_model_;
  ConvertSignals signals_;
  BoxJobProgress* progress_;
  std::string folder_;
};

bool Given(const char* s) { return s && *s; }

}  // namespace
}  // namespace boxlink

ZB_API uint32_t zbBoxGetConvertSummary(const char* sourceModel, const char* targetModel,
                                       uint32_t* summary) {
  if (summary) *summary = 0;
  if (!sourceModel || !targetModel || !summary) return ZB_ERR_INVALID_PARAMETER;
  return boxlink::RunGuarded("zbBoxGetConvertSummary ", [&] {
    if (std::strcmp(sourceModel, targetModel) == 0) boxlink::Raise(ZB_ERR_INVALID_PARAMETER);
    boxlink::CIniFile ini;
    if (!boxlink::LoadRuleFile(sourceModel, &ini)) boxlink::Raise(ZB_ERR_NOT_SUPPORTED);
    *summary = boxlink::ReadChecks(ini, targetModel).SummaryBits();
  });
}

ZB_API uint32_t zbBoxConvertBackupData(const char* sourceArchive, const char* outputArchive,
                                       const char* workFolder, const char* sourceModel,
                                       const char* targetModel, ZBEVENT cancelEvent,
                                       ZBEVENT progressEvent, BoxJobProgress* progress) {
  using boxlink::Given;
  if (!Given(sourceArchive) || !Given(outputArchive) || !Given(workFolder) ||
      !sourceModel || !targetModel || !progress)
    return ZB_ERR_INVALID_PARAMETER;
  return boxlink::RunGuarded("zbBoxConvertBackupData", [&] {
    boxlink::BackupFilter job(sourceArchive, outputArchive, workFolder, sourceModel,
                              targetModel, cancelEvent, progressEvent, progress);
    job.Run();
  });
}

ZB_API uint32_t zbBoxConvertArchiveData(const char* sourceArchive, const char* outputArchive,
                                        const char* workFolder, const char* sourceModel,
                                        const char* targetModel, ZBEVENT cancelEvent,
                                        ZBEVENT progressEvent, BoxJobProgress* progress) {
  using boxlink::Given;
  if (!Given(sourceArchive) || !Given(outputArchive) || !Given(workFolder) ||
      !sourceModel || !targetModel || !progress)
    return ZB_ERR_INVALID_PARAMETER;
  return boxlink::RunGuarded("zbBoxConvertArchiveData ", [&] {
    boxlink::ArchiveFilter job(sourceArchive, outputArchive, workFolder, sourceModel,
                               targetModel, cancelEvent, progressEvent, progress);
    job.Run();
  });
}
