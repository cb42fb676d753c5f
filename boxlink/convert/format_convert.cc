// zbBoxConvert: a backup archive of one model turned into one that a
// device of another model accepts. Classic-layout archives are converted
// document by document into the storage layout; storage-layout archives
// are relabelled, after a check of their paper sizes, and for some model
// pairs their image index files change byte order.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "boxlink.h"
#include "boxlink/base/format.h"
#include "boxlink/base/box_error.h"
#include "boxlink/base/event_handle.h"
#include "boxlink/base/logger.h"
#include "boxlink/base/marker_file.h"
#include "boxlink/client/reply.h"
#include "boxlink/convert/convert_job.h"
#include "boxlink/convert/document_convert.h"
#include "boxlink/convert/legacy_archive.h"
#include "boxlink/convert/legacy_layout.h"
#include "boxlink/convert/model_tables.h"
#include "boxlink/convert/property_files.h"
#include "boxlink/engine/backup_xml.h"
#include "boxlink/engine/encrypt.h"
#include "boxlink/engine/zip_utility.h"
#include "boxlink/zip/zip_file.h"
#include "boxlink/zip/zip_utls.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "platform/event.h"
#include "platform/last_error.h"
#include "platform/library.h"
#include "platform/text.h"
#include "standins/boxendian/image_index.h"

namespace boxlink {

namespace {

namespace fs = std::filesystem;

constexpr char kEndianLibrary[] = "boxendian";
constexpr char kEndianEntry[] = "fnChangeEndianFLData";
using ChangeEndianFn = int (*)(const char*);
constexpr uint32_t kErrModuleNotFound = 126;
constexpr uint32_t kErrProcNotFound = 127;
constexpr uint32_t kErrWidePaperNarrow = 1462;
// Property and job files are small; larger ones are not read for the
// paper-size check.
constexpr uintmax_t kMaxCheckedFileBytes = 1u << 20;

std::string ReadHead(const std::string& path, size_t bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Raise(SystemErrorFromErrno(errno ? errno : ENOENT));
  std::string out(bytes, '\0');
  in.read(out.data(), std::streamsize(bytes));
  out.resize(size_t(in.gcount()));
  return out;
}

// A hidden folder of this call in the user's temporary folder:
// ".<name><ticks>", or with a random tail when something stands there.
std::string MakeWorkFolder(std::string_view name) {
  std::string temp = platform::Env::Current()->TempDir();
  if (temp.empty()) return {};
  std::error_code ec;
  fs::create_directories(temp, ec);
  std::string path = temp + "/." + std::string(name) +
                     std::to_string(platform::Env::Current()->clock().TickCount());
  if (::mkdir(path.c_str(), 0700) == 0) return path;
  if (errno != EEXIST) return {};
  path += "-XXXXXX";
  return ::mkdtemp(path.data()) ? path : std::string();
}

bool EndsWithIgnoringCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() &&
         platform::EqualsIgnoreCase(s.substr(s.size() - suffix.size()), suffix);
}

// Every image index file below `folder`: "00000" in a folder named "Image",
// "Thumbnail" or "Subsampling".
void CollectImageIndexes(const std::string& folder, std::vector<std::string>* out) {
  for (const std::string& sub : ListEntries(folder, true)) {
    const std::string path = folder + "/" + sub;
    if ((sub == "Image" || sub == "Thumbnail" || sub == "Subsampling") &&
        fs::is_regular_file(fs::symlink_status(path + "/" + zelt::endian::kImageIndexName)))
      out->push_back(path + "/" + zelt::endian::kImageIndexName);
    CollectImageIndexes(path, out);
  }
}

// Every file below `folder` whose name ends in "xml".
void CollectXmlFiles(const std::string& folder, std::vector<std::string>* out) {
  for (const std::string& f : ListEntries(folder, false))
    if (EndsWithIgnoringCase(f, "xml")) out->push_back(folder + "/" + f);
  for (const std::string& sub : ListEntries(folder, true)) CollectXmlFiles(folder + "/" + sub, out);
}

// The paper size a property or job file names, from the first of the
// three places that is there; nullopt when none is (or it is no XML).
std::optional<std::string> PaperSizeOf(const std::string& path) {
  std::error_code ec;
  uintmax_t size = fs::file_size(path, ec);
  if (ec || size > kMaxCheckedFileBytes) return std::nullopt;
  pugi::xml_document doc;
  if (!doc.load_file(path.c_str(), pugi::parse_default)) return std::nullopt;
  for (std::string_view p : {kWepPrintPaperPath, kPagePaperPath, kWepScanPaperPath}) {
    pugi::xml_node n = doc.first_element_by_path(std::string(p).c_str());
    if (n) return std::string(n.text().as_string());
  }
  return std::nullopt;
}

bool OneOfIgnoringCase(std::string_view text, std::initializer_list<std::string_view> set) {
  for (std::string_view s : set)
    if (platform::EqualsIgnoreCase(text, s)) return true;
  return false;
}

// The boxendian library for the time of one box.
class EndianLibrary {
 public:
  EndianLibrary(const char* missing_entry_label) {
    std::string error;
    lib_ = platform::Env::Current()->LoadLibrary(kEndianLibrary, &error);
    if (!lib_) {
      CLogger::LogError("EndianDll - LoadLibrary(boxendian.dll)", kErrModuleNotFound);
      Raise(kErrModuleNotFound);
    }
    change_ = lib_->Function<ChangeEndianFn>(kEndianEntry);
    if (!change_) {
      CLogger::LogError(missing_entry_label, kErrProcNotFound);
      Raise(kErrProcNotFound);
    }
  }
  // Its result is not looked at: a file it does not know stays as it was.
  void Change(const std::string& path) { (void)change_(path.c_str()); }

 private:
  std::unique_ptr<platform::Library> lib_;
  ChangeEndianFn change_ = nullptr;
};

class FormatConverter {
 public:
  struct Args {
    std::string source, output, hash_library, cipher_library, target;
    ZBEVENT cancel = nullptr, progress = nullptr;
    uint32_t *percent = nullptr, *done = nullptr, *total = nullptr;
  };

  explicit FormatConverter(Args a) : a_(std::move(a)), signals_(a_.cancel, a_.progress) {}
  ~FormatConverter() {
    if (!dc_folder_.empty()) CZipUtility::DeleteTree(dc_folder_);
    if (!work_.empty()) CZipUtility::DeleteTree(work_);
    if (list_) zbBoxFreeIndexBoxes(list_);
  }

  // The frame. Returns 1359 without a work folder; throws everything else.
  uint32_t Run() {
    if (a_.cancel) zbBoxResetEvent(a_.cancel);
    if (a_.progress) zbBoxResetEvent(a_.progress);
    Store(a_.percent, 0);
    Store(a_.done, 0);
    Store(a_.total, 0);
    work_ = MakeWorkFolder("$__B_R_Temp__$");
    if (work_.empty()) return ZB_ERR_INTERNAL_ERROR;

    source_.SetWorkFolder(work_);
    source_.SetArchivePath(a_.source);
    target_.SetWorkFolder(work_);
    target_.SetArchivePath(a_.output);
    target_.SetLayout(false, true);
    signals_.CheckCancel();
    // Read once: one archive never mixes sealed and plain members.
    encrypt_ = !HasMarkerFile(kMarkerNoEncryption);
    if (encrypt_) {
      for (CZipUtility* u : {&source_, &target_}) {
        u->encryption().SetEncryptDllName(a_.cipher_library.c_str());
        u->encryption().SetHashDllName(a_.hash_library.c_str());
      }
    }

    uint32_t rc = zbBoxGetXMLInfo(a_.source.c_str(), work_.c_str(), &info_, &list_,
                                  encrypt_ ? a_.cipher_library.c_str() : "",
                                  encrypt_ ? a_.hash_library.c_str() : "");
    if (rc) Raise(rc);
    if (info_.IndexType == ZB_INDEX_NONE) Raise(ZB_ERR_FILE_CORRUPT);
    if (list_) boxes_.assign(list_, list_ + info_.Count);
    version_.assign(info_.Version, strnlen(info_.Version, sizeof info_.Version));

    std::optional<ModelTables> tables = ModelTables::LoadShipped();
    if (!tables) {
      CLogger::LogError(std::string("zbBoxConvert - model tables ") + kModelTablesFileName,
                        ZB_ERR_NOT_SUPPORTED);
      Raise(ZB_ERR_NOT_SUPPORTED);
    }
    tables_ = std::move(*tables);
    bool full = tables_.IsClassicSource(version_);
    if (!full && !(tables_.IsStorageSource(version_) &&
                   tables_.TargetAllowed(version_, a_.target)))
      Raise(ZB_ERR_NOT_SUPPORTED);
    // Without a row for the pair there is no version to state.
    std::optional<std::string> relabel = tables_.RelabelVersion(version_, a_.target);
    if (!relabel) Raise(ZB_ERR_NOT_SUPPORTED);
    new_version_ = *relabel;

    target_.CreateBoxRoot();
    if (full) FullConversion();
    else Relabel();

    if (encrypt_) {
      if (uint32_t e = target_.EncryptFile(target_.BoxRoot() + "/Backup.XML")) Raise(e);
    }
    if (full && !database_.empty()) CZipUtility::DeleteTree(database_);
    target_.PackArchive();
    Store(a_.percent, 100);
    signals_.Notify();
    return 0;
  }

 private:
  static void Store(uint32_t* p, uint32_t v) {
    if (p) *p = v;
  }

  std::string Box() const { return target_.BoxRoot(); }

  void Report(uint32_t done, uint32_t total) {
    Store(a_.done, done);
    Store(a_.total, total);
    if (total) Store(a_.percent, uint32_t(uint64_t(done) * 90 / total + 5));
    signals_.Notify();
    ConvertSignals::Wait(100);
  }

  uint32_t TotalItems() const {
    uint64_t total = 0;
    for (const BackupIndexBox& b : boxes_) total += uint64_t(b.NumOfFolders) + b.NumOfDocs;
    return uint32_t(std::min<uint64_t>(total, UINT32_MAX));
  }

  // The index states the target's engine version; a classic index also
  // gets the elements every storage-layout index has, or it could not be
  // read back.
  void RelabelIndex(bool from_classic) {
    const std::string sealed = Box() + "/Backup.XMLe";
    if (fs::exists(fs::symlink_status(sealed))) {
      if (uint32_t rc = source_.DecryptFile(sealed)) Raise(rc);
    }
    const std::string path = Box() + "/Backup.XML";
    std::unique_ptr<ReplyDocument> doc = ReplyDocument::LoadFile(path);
    if (!doc) Raise(ZB_ERR_INVALID_DATA);
    if (SetNodeText(*doc, "BackupInfo/EngineVersion", new_version_) != 0)
      Raise(ZB_ERR_BAD_FORMAT);
    if (from_classic) {
      pugi::xml_node info = doc->doc().child("BackupInfo");
      auto ensure = [&](const char* name, const char* after, const std::string& value) {
        if (info.child(name)) return;
        pugi::xml_node prev = info.child(after);
        pugi::xml_node n = prev ? info.insert_child_after(name, prev) : info.append_child(name);
        if (!n) Raise(ZB_ERR_NOT_ENOUGH_MEMORY);
        n.text().set(value.c_str());
      };
      ensure("SecureMode", "MACAddress", "1");
      ensure("Timezone", "BackupDate", TimeZoneText());
    }
    if (!doc->SaveToFile(path)) Raise(ZB_ERR_INVALID_DATA);
  }

  void FullConversion() {
    uint32_t type = GetZipFileType(a_.source.c_str());
    if (type == ZB_INDEX_NONE || !zbBoxUnzipXml(a_.source.c_str(), Box().c_str(), type))
      Raise(ZB_ERR_FILE_CORRUPT);
    RelabelIndex(true);

    {
      CZipUtls zip;
      zip.OpenFile(a_.source, 1);
      if (!zip.GotoFile("Database.tnb")) Raise(ZB_ERR_NOT_SUPPORTED);
    }
    source_.ExtractDatabase();
    for (const std::string& e : ListEntries(Box(), true))
      if (!e.empty() && e[0] == 'D') {
        database_ = Box() + "/" + e;
        break;
      }
    if (database_.empty()) Raise(ZB_ERR_NOT_SUPPORTED);
    // Boxes of older backups may travel inside DATA.zip.
    bool data_zip = source_.ExtractData();

    const uint32_t total = TotalItems();
    uint32_t done = 0;
    Report(0, total);
    signals_.CheckCancel();

    for (const BackupIndexBox& box : boxes_) ConvertBox(box, total, &done);
    if (data_zip) std::remove((Box() + "/" + FindIgnoringCase(Box(), "DATA.zip")).c_str());
  }

  void ConvertBox(const BackupIndexBox& index_box, uint32_t total, uint32_t* done) {
    const uint32_t number = index_box.BoxNo;
    source_.ExtractBox(number);
    source_.UnpackBox(number);
    const std::string legacy_box = source_.LocalBoxFolder(number);
    if (!fs::is_directory(fs::symlink_status(legacy_box))) fs::create_directory(legacy_box);
    std::string items;
    for (const std::string& e : ListEntries(legacy_box, true))
      if (!e.empty() && e[0] == 'P') {
        items = legacy_box + "/" + e;
        break;
      }
    signals_.CheckCancel();

    const std::string descriptor_name =
        FindIgnoringCase(database_, Format("B0000%03u.xml", number));
    if (descriptor_name.empty()) Raise(ZB_ERR_FILE_NOT_FOUND);
    legacy::BoxDescriptor bd = legacy::DecodeBoxDescriptor(
        ReadHead(database_ + "/" + descriptor_name, legacy::kBoxDescriptorBytes));
    std::string password_field;
    if (!bd.password.empty() &&
        AppendHashedPassword(a_.hash_library.c_str(), bd.password.c_str(), &password_field) != 0)
      password_field = bd.password;

    WepContext ctx;
    ctx.box_number = number;
    ctx.box_name = platform::Utf16ToUtf8(bd.name);
    ctx.box_password = password_field;
    ctx.owner = bd.user;
    if (!items.empty()) {
      DocumentConverter converter(signals_, ctx, [&] { Report(++*done, total); });
      converter.ConvertLevel(items, legacy_box, "");
    }
    WritePropertyFile(legacy_box + "/boxproperties.xml", PropertyNamespace::kSchemaInstance,
                      BoxProperties(bd, password_field, index_box.BoxUsedDisk));
    if (!items.empty()) CZipUtility::DeleteTree(items);
    const std::string storage_box = target_.LocalBoxFolder(number);
    if (std::rename(legacy_box.c_str(), storage_box.c_str()) != 0)
      Raise(SystemErrorFromErrno(errno));
    std::FILE* ready = std::fopen((storage_box + "/ready.sts").c_str(), "wb");
    if (!ready || std::fclose(ready) != 0) Raise(SystemErrorFromErrno(errno));

    if (tables_.IsByteOrderTarget(a_.target))
      ChangeByteOrder(storage_box, "boxendian - fnChangeEndianFLData Error");
    PackBox(number);
    signals_.CheckCancel();
  }

  void ChangeByteOrder(const std::string& box_folder, const char* missing_entry_label) {
    EndianLibrary lib(missing_entry_label);
    std::vector<std::string> files;
    CollectImageIndexes(box_folder, &files);
    for (const std::string& f : files) lib.Change(f);
  }

  void PackBox(uint32_t number) {
    target_.PackBox(number);
    if (encrypt_) {
      if (uint32_t rc = target_.EncryptFile(Box() + "/" + target_.BoxFolderName(number) + ".tnb"))
        Raise(rc);
    }
  }

  void CheckPaperSizes(WidePaperCheck check) {
    dc_folder_ = MakeWorkFolder("$__DC_TEMP__$");
    if (dc_folder_.empty()) Raise(ZB_ERR_INTERNAL_ERROR);
    CZipUtility unpack;
    unpack.SetWorkFolder(dc_folder_);
    unpack.SetArchivePath(a_.source);
    unpack.SetLayout(false, true);
    unpack.encryption().SetEncryptDllName(a_.cipher_library.c_str());
    unpack.encryption().SetHashDllName(a_.hash_library.c_str());
    unpack.CreateBoxRoot();
    for (const BackupIndexBox& b : boxes_) {
      unpack.ExtractBox(b.BoxNo);
      unpack.UnpackBox(b.BoxNo);
    }
    std::vector<std::string> files;
    CollectXmlFiles(unpack.BoxRoot(), &files);
    uint32_t found = 0;
    for (const std::string& f : files) {
      std::optional<std::string> paper = PaperSizeOf(f);
      if (!paper) continue;
      if (OneOfIgnoringCase(*paper, {"SRA3", "SRA3-R", "320x460mm", "320x460mm-R"})) {
        found = check == WidePaperCheck::kStrict ? uint32_t(ZB_ERR_INVALID_PARAMETER)
                                                 : kErrWidePaperNarrow;
        break;
      }
      // The converted property files name ledger wide as the paper size
      // map has it; the device's own as "LDWide".
      if (check == WidePaperCheck::kStrict &&
          OneOfIgnoringCase(*paper, {"A3Wide", "A3Wide-R", "LDWide", "LDWide-R", "LEDGERWide",
                                     "LEDGERWide-R"})) {
        found = ZB_ERR_INVALID_PARAMETER;
        break;
      }
    }
    CZipUtility::DeleteTree(dc_folder_);
    dc_folder_.clear();
    if (found) Raise(found);
  }

  void Relabel() {
    WidePaperCheck check = tables_.WidePaper(version_, a_.target);
    if (check != WidePaperCheck::kNone) CheckPaperSizes(check);

    if (uint32_t rc = LegacyUnzip(a_.source, work_, false, false)) Raise(rc);
    RelabelIndex(false);

    const uint32_t total = TotalItems();
    Report(0, total);
    signals_.CheckCancel();
    for (uint32_t i = 1; i <= total; ++i) Report(i, total);

    const bool reorder =
        tables_.IsByteOrderTarget(a_.target) && !tables_.IsByteOrderExempt(version_);
    for (const BackupIndexBox& b : boxes_) {
      const std::string base = Box() + "/" + target_.BoxFolderName(b.BoxNo);
      const std::string sealed = FindIgnoringCase(Box(), target_.BoxFolderName(b.BoxNo) + ".tnbe");
      const std::string plain = FindIgnoringCase(Box(), target_.BoxFolderName(b.BoxNo) + ".tnb");
      if (!reorder) {
        // Members travel as this PC writes them: sealed unless the marker
        // says otherwise.
        if (encrypt_ && sealed.empty() && !plain.empty()) {
          if (uint32_t rc = target_.EncryptFile(Box() + "/" + plain)) Raise(rc);
        }
        continue;
      }
      if (!sealed.empty()) {
        if (uint32_t rc = source_.DecryptFile(Box() + "/" + sealed)) Raise(rc);
      } else if (plain.empty()) {
        CLogger::LogError("ExtractOneBox - GotoFile", ZB_ERR_FILE_NOT_FOUND);
        Raise(ZB_ERR_FILE_NOT_FOUND);
      }
      target_.UnpackBox(b.BoxNo);
      ChangeByteOrder(base, "EndianDll - function fnChangeEndianFLData load Error ");
      PackBox(b.BoxNo);
      signals_.CheckCancel();
    }
  }

  Args a_;
  ConvertSignals signals_;
  std::string work_, dc_folder_, database_;
  CZipUtility source_, target_;
  bool encrypt_ = true;
  BackupIndexInfo info_{};
  BackupIndexBox* list_ = nullptr;
  std::vector<BackupIndexBox> boxes_;
  std::string version_, new_version_;
  ModelTables tables_;
};

}  // namespace
}  // namespace boxlink

ZB_API uint32_t zbBoxConvert(const char* sourceArchive, const char* outputArchive,
                             const char* hashLibrary, ZBEVENT cancelEvent,
                             ZBEVENT progressEvent, uint32_t* percent, uint32_t* doneCount,
                             uint32_t* totalCount, const char* cipherLibrary,
                             const char* targetModel) {
  if (!sourceArchive || !*sourceArchive || !outputArchive || !*outputArchive || !targetModel) {
    platform::SetLastError(ZB_ERR_INVALID_PARAMETER);
    return ZB_ERR_INVALID_PARAMETER;
  }
  uint32_t code = 0;
  try {
    boxlink::FormatConverter::Args args;
    args.source = sourceArchive;
    args.output = outputArchive;
    args.hash_library = hashLibrary ? hashLibrary : "";
    args.cipher_library = cipherLibrary ? cipherLibrary : "";
    args.target = targetModel;
    args.cancel = cancelEvent;
    args.progress = progressEvent;
    args.percent = percent;
    args.done = doneCount;
    args.total = totalCount;
    if (boxlink::SameFile(args.source, args.output)) {
      code = ZB_ERR_INVALID_PARAMETER;
    } else {
      boxlink::FormatConverter job(std::move(args));
      code = job.Run();
    }
  } catch (const boxlink::BoxError& e) {
    code = e.code();
    boxlink::CLogger::LogError("zbBoxConvert", code);
  } catch (...) {
    code = ZB_ERR_INTERNAL_ERROR;
    boxlink::CLogger::LogError("zbBoxConvert", code, true);
  }
  platform::SetLastError(code);
  return code;
}
