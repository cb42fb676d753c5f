// The format conversion on generated legacy backups: full conversions of
// classic archives into the storage layout, and relabellings of storage
// archives, for every row of the shipped model tables.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <thread>

#include <pugixml.hpp>

#include "boxlink.h"
#include "boxlink/testing/convert_test_env.h"
#include "boxlink/convert/model_tables.h"
#include "devsim/legacy/legacy_fixture.h"
#include "platform/text.h"
#include "standins/boxendian/image_index.h"

namespace boxlink {
namespace {

namespace lg = devsim::legacy;
namespace fs = std::filesystem;
using converttest::ConvertTestEnv;
using converttest::Files;
using converttest::Unzip;
using converttest::UnzipScrambled;
using converttest::ZipNames;
using zelt::endian::ByteOrder;

constexpr char kClassicV3[] = "Varda 5730C Series V3.0";
constexpr char kStorage8000[] = "Varda 8000 Series V1.0 build 12";

std::vector<std::string> ChildNames(const pugi::xml_node& n) {
  std::vector<std::string> out;
  for (pugi::xml_node c : n.children()) out.push_back(c.name());
  return out;
}

std::string Text(const pugi::xml_document& doc, const char* path) {
  return doc.first_element_by_path(path).text().as_string();
}

// A fixture of the standard backup's shape, but only with papers every
// model takes.
lg::Backup NarrowBackup(const std::string& version) {
  lg::Backup b = lg::StandardBackup(version);
  for (lg::Box& box : b.boxes) {
    for (lg::Document& d : box.documents) d.paper = lg::Paper::kA4;
    for (lg::Folder& f : box.folders)
      for (lg::Document& d : f.documents) d.paper = lg::Paper::kA4;
  }
  return b;
}

class FormatConvertTest : public ::testing::Test {
 protected:
  void TearDown() override {
    zbBoxCloseEvent(cancel_);
    zbBoxCloseEvent(status_);
  }

  std::string WriteClassic(const lg::Backup& b, const std::string& name = "classic.zip") {
    std::string path = dir_.Sub(name);
    std::string error;
    EXPECT_TRUE(lg::WriteBackup(b, lg::BackupForm::kClassic, path, &error)) << error;
    return path;
  }
  uint32_t Convert(const std::string& source, const std::string& output, const char* target) {
    percent_ = done_ = total_ = 77;
    return zbBoxConvert(source.c_str(), output.c_str(), DIGESTLIB_SO, cancel_, status_, &percent_,
                        &done_, &total_, CIPHERLIB_SO, target);
  }
  // The unpacked box members of a converted archive, below `root`/BOX.
  std::string UnpackArchive(const std::string& archive, const std::string& name) {
    const std::string root = dir_.Sub(name);
    fs::remove_all(root);
    Unzip(archive, root);
    for (const std::string& f : converttest::Files(root + "/BOX"))
      if (f.ends_with(".tnb")) UnzipScrambled(root + "/BOX/" + f, root + "/BOX");
    return root + "/BOX";
  }
  // The byte order of every image index file below a folder.
  static std::set<ByteOrder> IndexOrders(const std::string& folder) {
    std::set<ByteOrder> out;
    for (const std::string& f : Files(folder)) {
      if (fs::path(f).filename() != "00000") continue;
      auto index = zelt::endian::DecodeImageIndex(platform::ReadTestFile(folder + "/" + f));
      EXPECT_TRUE(index) << f;
      if (index) out.insert(index->order);
    }
    return out;
  }

  ConvertTestEnv env_;
  platform::ScopedTempDir dir_;
  uint32_t percent_ = 0, done_ = 0, total_ = 0;
  ZBEVENT cancel_ = zbBoxCreateEvent(1, 0, nullptr);
  ZBEVENT status_ = zbBoxCreateEvent(0, 0, nullptr);
};

TEST_F(FormatConvertTest, ClassicBackupBecomesTheStorageLayout) {
  env_.SetNoEncryption(true);
  const lg::Backup legacy = lg::StandardBackup(kClassicV3);
  const std::string source = WriteClassic(legacy);
  const std::string source_bytes = platform::ReadTestFile(source);
  const std::string output = dir_.Sub("storage.zip");
  ASSERT_EQ(Convert(source, output, "Varda 8000"), 0u);
  EXPECT_EQ(percent_, 100u);
  uint32_t items = 0;
  for (const lg::Box& b : legacy.boxes) items += uint32_t(b.folders.size()) + b.DocumentCount();
  EXPECT_EQ(total_, items);
  EXPECT_EQ(done_, items);
  EXPECT_EQ(zbBoxGetLastError(), 0u);

  EXPECT_EQ(ZipNames(output), (std::vector<std::string>{"BOX/001.tnb", "BOX/012.tnb",
                                                         "BOX/020.tnb", "BOX/Backup.XML"}));
  const std::string box_root = UnpackArchive(output, "storage");

  pugi::xml_document index;
  ASSERT_TRUE(index.load_file((box_root + "/Backup.XML").c_str()));
  EXPECT_EQ(Text(index, "BackupInfo/EngineVersion"), kStorage8000);
  EXPECT_EQ(Text(index, "BackupInfo/SecureMode"), "1");
  EXPECT_TRUE(Text(index, "BackupInfo/Timezone").starts_with("GMT"));

  // Box 1: documents first, numbered in order, then the folders from the
  // same count; names that clash take "-001", a separator becomes "_".
  const std::string box1 = box_root + "/001";
  std::map<std::string, std::string> want = {
      {"0001", "Invoice"},  {"0002", "Poster"},      {"0003", "Plan"},
      {"0004", "Mixed"},    {"0005", "Invoice-001"}, {"0006", "Ledger"},
      {"0007", "a_b"},      {"0008", "Reports"},     {"0009", "Reports-001"},
      {"0010", "Poster-001"}};
  std::map<std::string, std::string> got;
  for (const auto& e : fs::directory_iterator(box1)) {
    if (!e.is_directory()) continue;
    std::string n = e.path().filename().string();
    pugi::xml_document p;
    if (p.load_file((e.path() / "documentproperties.xml").c_str()))
      got[n] = Text(p, "BoxDocument/documentName");
    else if (p.load_file((e.path() / "folderproperties.xml").c_str()))
      got[n] = Text(p, "BoxDocument/folderName");
  }
  EXPECT_EQ(got, want);
  EXPECT_TRUE(fs::exists(box1 + "/ready.sts"));

  // Every document of the record arrives with its pages, in order.
  auto check_document = [&](const std::string& folder, const lg::Document& d, uint32_t box,
                            uint32_t legacy_folder) {
    SCOPED_TRACE(folder);
    pugi::xml_document p;
    ASSERT_TRUE(p.load_file((folder + "/documentproperties.xml").c_str()));
    pugi::xml_node root = p.child("BoxDocument");
    EXPECT_STREQ(root.attribute("xmlns:xsi").value(), "http://www.w3.org/2001/XMLSchema-instance");
    EXPECT_EQ(ChildNames(root),
              (std::vector<std::string>{
                  "documentName", "jobType", "mixpaperSize", "mixresolution", "mixcolorMono",
                  "totalSize", "totalPages", "creationDate", "lastModifiedDate",
                  "lastAccessDate", "lastArchiveDate", "from", "receptionTime",
                  "receptionNumber", "cutDocument", "paperSizeMap", "jobTypeColorMap",
                  "jobTypeMap", "totalDocSize", "docWEPSize", "sessionID", "srcBoxBasePath",
                  "srcBoxNumber", "srcFolderName", "srcDocumentName", "IsImagedataPresent",
                  "IsSubsamplingdataPresent", "IsThumbnaildataPresent",
                  "horizontalResolutionMap", "verticalResolutionMap", "colorModeMap", "count",
                  "InputPageCount", "StatusOfReceivedData", "StatusOfHardCopy",
                  "StatusOfRelayReport", "duplex", "paperType", "paperSource", "staple",
                  "holePunch", "faxDuplex", "WorkspaceDocName",
                  "statusOfPollingTransmission"}));
    EXPECT_EQ(Text(p, "BoxDocument/totalPages"), std::to_string(d.pages));
    EXPECT_EQ(Text(p, "BoxDocument/totalSize"), std::to_string(d.DataSize()));
    EXPECT_EQ(Text(p, "BoxDocument/creationDate"), std::to_string(d.created));
    EXPECT_EQ(Text(p, "BoxDocument/srcDocumentName"), platform::Utf16ToUtf8(d.name));
    EXPECT_EQ(Text(p, "BoxDocument/IsImagedataPresent"), "FALSE");
    EXPECT_EQ(Text(p, "BoxDocument/colorModeMap"),
              (d.IsColour() ? "Color," : "Mono,") + std::to_string(d.pages) + ";");
    EXPECT_EQ(Text(p, "BoxDocument/mixcolorMono"), d.IsColour() ? "Color" : "Mono");
    for (uint32_t page = 1; page <= d.pages; ++page) {
      char name[32];
      std::snprintf(name, sizeof name, "/Image/page_%03u.bin", page);
      EXPECT_EQ(platform::ReadTestFile(folder + name), d.PageImage(box, legacy_folder, page));
      std::snprintf(name, sizeof name, "/Image/pageproperties_%03u.xml", page);
      pugi::xml_document pp;
      ASSERT_TRUE(pp.load_file((folder + name).c_str())) << name;
      EXPECT_EQ(ChildNames(pp.child("BoxDocument")),
                (std::vector<std::string>{"jobType", "horizontalResolution",
                                          "verticalResolution", "imageWidth", "imageHeight",
                                          "paperSize", "fileSize", "colorMode", "cutPage",
                                          "adjustedImageWidth", "adjustedImageHeight",
                                          "orientation", "angle"}));
      EXPECT_EQ(Text(pp, "BoxDocument/fileSize"), std::to_string(d.page_bytes));
      const char* paper = page > 1 ? "A4"
                          : d.paper == lg::Paper::kA3Wide ? "A3Wide"
                          : d.paper == lg::Paper::kLedgerWide ? "LEDGERWide"
                          : d.paper == lg::Paper::kA3 ? "A3" : "A4";
      EXPECT_EQ(Text(pp, "BoxDocument/paperSize"), paper);
      std::snprintf(name, sizeof name, "/Thumbnail/PAGE%03u.png", page);
      EXPECT_TRUE(fs::exists(folder + name)) << name;
    }
    EXPECT_FALSE(fs::exists(folder + "/Image/page_" + std::to_string(d.pages + 1) + ".bin"));
    auto image_index =
        zelt::endian::DecodeImageIndex(platform::ReadTestFile(folder + "/Image/00000"));
    ASSERT_TRUE(image_index);
    EXPECT_EQ(image_index->order, ByteOrder::kLittle);
    ASSERT_EQ(image_index->entries.size(), d.pages);
    EXPECT_EQ(image_index->entries.back().page, d.pages);
    EXPECT_EQ(image_index->entries.back().size, d.page_bytes);
    auto sub = zelt::endian::DecodeImageIndex(platform::ReadTestFile(folder + "/Subsampling/00000"));
    ASSERT_TRUE(sub);
    EXPECT_TRUE(sub->entries.empty());
    EXPECT_TRUE(fs::exists(folder + "/ready.sts"));
    EXPECT_TRUE(fs::exists(folder + "/.document"));
    EXPECT_EQ(fs::exists(folder + "/wep.xml"), d.job_file);
  };
  const lg::Box& scans = legacy.boxes[0];
  for (size_t i = 0; i < scans.documents.size(); ++i) {
    char n[32];
    std::snprintf(n, sizeof n, "%04zu", i + 1);
    check_document(box1 + "/" + n, scans.documents[i], 1, 0);
  }
  const std::string reports2 = box1 + "/0009";
  pugi::xml_document fp;
  ASSERT_TRUE(fp.load_file((reports2 + "/folderproperties.xml").c_str()));
  EXPECT_EQ(ChildNames(fp.child("BoxDocument")),
            (std::vector<std::string>{"folderName", "creationDate", "lastModifiedDate",
                                      "totalFolderSize", "documentType", "lastAccessDate"}));
  EXPECT_STREQ(fp.child("BoxDocument").attribute("xmlns:xs").value(),
               "http://www.w3.org/2001/XMLSchema");
  EXPECT_EQ(Text(fp, "BoxDocument/totalFolderSize"),
            std::to_string(scans.folders[1].documents[0].DataSize()));
  EXPECT_TRUE(fs::exists(reports2 + "/ready.sts"));
  check_document(reports2 + "/0001", scans.folders[1].documents[0], 1, 2);

  // The job parameters name their paper where readers look for it.
  pugi::xml_document wep;
  ASSERT_TRUE(wep.load_file((box1 + "/0003/wep.xml").c_str()));
  EXPECT_EQ(Text(wep, "Queues/Print/WorkflowExecutionParameter/DataStream/DataStreamParameter/"
                      "PaperSize"),
            "A3Wide");
  ASSERT_TRUE(wep.load_file((box1 + "/0002/wep.xml").c_str()));
  EXPECT_EQ(Text(wep, "Queues/Scan/WorkflowExecutionParameter/Scan/ScanParameter/"
                      "OriginalSizeInformation/OriginalSize"),
            "A4");
  EXPECT_EQ(Text(wep, "Queues/Scan/WorkflowExecutionParameter/TarnStore/TarnStoreParameter/BoxNo"),
            "1");

  // Box properties, in order, from the box descriptor.
  pugi::xml_document bp;
  ASSERT_TRUE(bp.load_file((box1 + "/boxproperties.xml").c_str()));
  EXPECT_EQ(ChildNames(bp.child("BoxDocument")),
            (std::vector<std::string>{
                "documentType", "boxName", "boxNo", "startupType", "enabled", "ProcessGroup",
                "userName", "comment", "isPasswordProtected", "password",
                "preservationPeriodFlag", "documentPreserveDays",
                "notifyBeforeDeletionOfDocument", "notifyOnError", "notifyOnJobCompletion",
                "notificationEmailAddress", "creationDate", "lastModifiedDate",
                "lastAccessDate", "lastBackupDate", "documentPrint", "relayEndReport",
                "writeMode", "transferInformation", "lastPurgeTime", "relayReportDestination",
                "relayReportDestinationType", "relayReportContactId", "totalBoxSize", "ownerID",
                "authState", "authFailureCount", "authTimer", "authFailureCount_SSDK",
                "phoneNumber"}));
  EXPECT_EQ(Text(bp, "BoxDocument/documentType"), "TarnBox");
  EXPECT_EQ(Text(bp, "BoxDocument/boxName"), "Scans");
  EXPECT_EQ(Text(bp, "BoxDocument/isPasswordProtected"), "false");
  EXPECT_EQ(Text(bp, "BoxDocument/notifyOnJobCompletion"), "true");
  EXPECT_EQ(Text(bp, "BoxDocument/notificationEmailAddress"), "office@example.test");
  EXPECT_EQ(Text(bp, "BoxDocument/totalBoxSize"), std::to_string(scans.UsedDisk()));
  EXPECT_EQ(Text(bp, "BoxDocument/authState"), "IDLE");
  ASSERT_TRUE(bp.load_file((box_root + "/012/boxproperties.xml").c_str()));
  EXPECT_EQ(Text(bp, "BoxDocument/boxName"), platform::Utf16ToUtf8(legacy.boxes[1].name));
  EXPECT_EQ(Text(bp, "BoxDocument/isPasswordProtected"), "true");
  const std::string hashed = Text(bp, "BoxDocument/password");
  EXPECT_TRUE(hashed.starts_with("%3%") && hashed.ends_with("%3%") && hashed.size() == 50)
      << hashed;

  // The box without documents still becomes a storage box.
  EXPECT_EQ(Files(box_root + "/020"),
            (std::vector<std::string>{"boxproperties.xml", "ready.sts"}));
  EXPECT_TRUE(env_.TempLeftovers().empty());
  // The legacy backup was only read.
  EXPECT_EQ(platform::ReadTestFile(source), source_bytes);
}

TEST_F(FormatConvertTest, MembersAreSealedUnlessTheMarkerSaysOtherwise) {
  lg::Backup legacy = NarrowBackup(kClassicV3);
  legacy.boxes[2].number = 0;  // the empty box as box 0
  const std::string source = WriteClassic(legacy);
  const std::string sealed = dir_.Sub("sealed.zip");
  ASSERT_EQ(Convert(source, sealed, "Varda 8000"), 0u);
  EXPECT_EQ(ZipNames(sealed), (std::vector<std::string>{"BOX/00000.tnbe", "BOX/001.tnbe",
                                                         "BOX/012.tnbe", "BOX/Backup.XMLe"}));
  // The archive reads back as every storage archive does.
  BackupIndexInfo info{};
  BackupIndexBox* boxes = nullptr;
  const std::string work = dir_.Sub("read");
  fs::create_directories(work);
  ASSERT_EQ(zbBoxGetXMLInfo(sealed.c_str(), work.c_str(), &info, &boxes, CIPHERLIB_SO,
                            DIGESTLIB_SO),
            0u);
  EXPECT_EQ(std::string(info.Version), kStorage8000);
  EXPECT_EQ(info.Count, 3u);
  EXPECT_EQ(info.SecureMode, 1u);
  zbBoxFreeIndexBoxes(boxes);

  // Relabelled, sealed members stay sealed: as they are, or unsealed,
  // turned round and sealed again for a byte-order target.
  for (const char* target : {"Varda 8500", "Varda 9500"}) {
    SCOPED_TRACE(target);
    const std::string relabelled = dir_.Sub(std::string("relabelled-") + target);
    ASSERT_EQ(Convert(sealed, relabelled, target), 0u);
    EXPECT_EQ(ZipNames(relabelled), ZipNames(sealed));
    BackupIndexInfo again{};
    BackupIndexBox* list = nullptr;
    ASSERT_EQ(zbBoxGetXMLInfo(relabelled.c_str(), work.c_str(), &again, &list, CIPHERLIB_SO,
                              DIGESTLIB_SO),
              0u);
    EXPECT_NE(std::string(again.Version).find(target), std::string::npos) << again.Version;
    zbBoxFreeIndexBoxes(list);
  }

  env_.SetNoEncryption(true);
  const std::string plain = dir_.Sub("plain.zip");
  ASSERT_EQ(Convert(source, plain, "Varda 8000"), 0u);
  EXPECT_EQ(ZipNames(plain), (std::vector<std::string>{"BOX/00000.tnb", "BOX/001.tnb",
                                                        "BOX/012.tnb", "BOX/Backup.XML"}));
  // A plain archive relabelled on a PC that seals gets sealed members.
  env_.SetNoEncryption(false);
  const std::string resealed = dir_.Sub("resealed.zip");
  ASSERT_EQ(Convert(plain, resealed, "Varda 8500"), 0u);
  EXPECT_EQ(ZipNames(resealed), ZipNames(sealed));
}

TEST_F(FormatConvertTest, EveryRelabelAndByteOrderRowTakesEffect) {
  env_.SetNoEncryption(true);
  std::optional<ModelTables> tables = ModelTables::LoadShipped();
  ASSERT_TRUE(tables);
  // Full conversions: one per relabel row of a classic source; the byte
  // order follows the target.
  std::map<std::string, std::string> storage_archives;  // by engine version
  for (const ModelTables::Relabel& row : tables->relabel) {
    if (!tables->IsClassicSource(row.pair.source)) continue;
    SCOPED_TRACE(row.pair.source + " -> " + row.pair.target);
    const std::string source = WriteClassic(NarrowBackup(row.pair.source));
    const std::string output = dir_.Sub("from-classic-" + std::to_string(storage_archives.size()));
    ASSERT_EQ(Convert(source, output, row.pair.target.c_str()), 0u);
    const std::string root = UnpackArchive(output, "unpacked-" + std::to_string(storage_archives.size()));
    pugi::xml_document index;
    ASSERT_TRUE(index.load_file((root + "/Backup.XML").c_str()));
    EXPECT_EQ(Text(index, "BackupInfo/EngineVersion"), row.version);
    EXPECT_EQ(IndexOrders(root), (std::set<ByteOrder>{tables->IsByteOrderTarget(row.pair.target)
                                                         ? ByteOrder::kBig
                                                         : ByteOrder::kLittle}));
    storage_archives[row.version] = output;
  }
  // Every classic source was covered, and they made an archive of every
  // storage source.
  std::set<std::string> sources;
  for (const ModelTables::Relabel& row : tables->relabel)
    if (tables->IsClassicSource(row.pair.source)) sources.insert(row.pair.source);
  EXPECT_EQ(sources.size(), tables->classic_sources.size());
  for (const std::string& s : tables->storage_sources) {
    bool have = false;
    for (const auto& [version, path] : storage_archives) have |= version.find(s) != std::string::npos;
    EXPECT_TRUE(have) << s;
  }

  // Relabellings: every allowed target of every storage source.
  int n = 0;
  for (const auto& [version, archive] : storage_archives) {
    const std::string before = UnpackArchive(archive, "before-" + std::to_string(n));
    const std::set<ByteOrder> orders_before = IndexOrders(before);
    for (const ModelTables::AllowedTargets& row : tables->allowed_targets) {
      if (version.find(row.source) == std::string::npos) continue;
      for (const std::string& target : row.targets) {
        SCOPED_TRACE(version + " -> " + target);
        const std::string output = dir_.Sub("relabelled-" + std::to_string(++n));
        ASSERT_EQ(Convert(archive, output, target.c_str()), 0u);
        EXPECT_EQ(percent_, 100u);
        EXPECT_EQ(done_, total_);
        const std::string after = UnpackArchive(output, "after-" + std::to_string(n));
        pugi::xml_document index;
        ASSERT_TRUE(index.load_file((after + "/Backup.XML").c_str()));
        EXPECT_EQ(Text(index, "BackupInfo/EngineVersion"),
                  tables->RelabelVersion(version, target).value_or("?"));
        const bool flips =
            tables->IsByteOrderTarget(target) && !tables->IsByteOrderExempt(version);
        std::set<ByteOrder> want = orders_before;
        if (flips) {
          want.clear();
          for (ByteOrder o : orders_before)
            want.insert(o == ByteOrder::kBig ? ByteOrder::kLittle : ByteOrder::kBig);
        }
        EXPECT_EQ(IndexOrders(after), want);
        // Only the index and the byte order change: the documents are the
        // same files.
        EXPECT_EQ(Files(after), Files(before));
      }
    }
  }
}

TEST_F(FormatConvertTest, WidePaperChecksRefuseWhatTheTargetCannotHold) {
  env_.SetNoEncryption(true);
  std::optional<ModelTables> tables = ModelTables::LoadShipped();
  ASSERT_TRUE(tables);
  ASSERT_EQ(tables->wide_paper.size(), 2u);
  struct Case {
    lg::Paper paper;
    bool wep;
    uint32_t strict, narrow;
  } cases[] = {
      {lg::Paper::kA4, true, 0, 0},
      {lg::Paper::kA3, true, 0, 0},
      {lg::Paper::kA3Wide, true, ZB_ERR_INVALID_PARAMETER, 0},
      {lg::Paper::kLedgerWide, true, ZB_ERR_INVALID_PARAMETER, 0},
      {lg::Paper::kSra3, true, ZB_ERR_INVALID_PARAMETER, 1462},
      // Found through the job parameters alone.
      {lg::Paper::kSra3, false, ZB_ERR_INVALID_PARAMETER, 1462},
  };
  for (const ModelTables::WidePaperPair& row : tables->wide_paper) {
    // A classic source whose conversion states the row's source version.
    std::string classic;
    for (const ModelTables::Relabel& r : tables->relabel)
      if (tables->IsClassicSource(r.pair.source) &&
          r.version.find(row.pair.source) != std::string::npos)
        classic = r.pair.source + "|" + r.pair.target;
    ASSERT_FALSE(classic.empty()) << row.pair.source;
    const std::string classic_version = classic.substr(0, classic.find('|'));
    const std::string classic_target = classic.substr(classic.find('|') + 1);
    for (const Case& c : cases) {
      SCOPED_TRACE(row.pair.source + " " + std::to_string(int(c.paper)) + (c.wep ? " page" : " job"));
      lg::Backup b = NarrowBackup(classic_version);
      lg::Document& d = b.boxes[0].folders[0].documents[0];
      d.paper = c.paper;
      d.page_descriptors = c.wep;
      const std::string storage = dir_.Sub("wide-storage.zip");
      fs::remove(storage);
      ASSERT_EQ(Convert(WriteClassic(b), storage, classic_target.c_str()), 0u);
      const std::string output = dir_.Sub("wide-out.zip");
      fs::remove(output);
      uint32_t want = row.check == WidePaperCheck::kStrict ? c.strict : c.narrow;
      EXPECT_EQ(Convert(storage, output, row.pair.target.c_str()), want);
      EXPECT_EQ(fs::exists(output), want == 0);
      EXPECT_TRUE(env_.TempLeftovers().empty());
    }
  }
}

TEST_F(FormatConvertTest, DocumentsWithoutAnyPaperSizePassTheCheck) {
  env_.SetNoEncryption(true);
  lg::Backup b = NarrowBackup(kClassicV3);
  for (lg::Box& box : b.boxes) {
    for (lg::Document& d : box.documents) {
      d.paper = lg::Paper::kSra3;  // stated only in the descriptor
      d.job_file = false;
      d.page_descriptors = false;
    }
    box.folders.clear();
  }
  const std::string storage = dir_.Sub("storage.zip");
  ASSERT_EQ(Convert(WriteClassic(b), storage, "Varda 8000"), 0u);
  EXPECT_EQ(Convert(storage, dir_.Sub("out.zip"), "Varda 8500"), 0u);
}

TEST_F(FormatConvertTest, RefusesSourcesAndTargetsTheTablesDoNotPair) {
  env_.SetNoEncryption(true);
  const std::string classic = WriteClassic(NarrowBackup(kClassicV3));
  const std::string storage = dir_.Sub("storage.zip");
  ASSERT_EQ(Convert(classic, storage, "Varda 8000"), 0u);
  // A storage archive whose boxes cannot be unpacked: a target it may not
  // go to is refused before anything of it is unpacked.
  const std::string broken = dir_.Sub("broken.zip");
  {
    const std::string root = dir_.Sub("broken-tree");
    Unzip(storage, root);
    for (const std::string& f : Files(root + "/BOX"))
      if (f.ends_with(".tnb")) platform::WriteTestFile(root + "/BOX/" + f, "not a zip");
    CZipUtls z;
    ASSERT_EQ(z.Zip(root + "/BOX", broken), 1);
  }
  struct Case {
    std::string source;
    const char* target;
    uint32_t code;
  } cases[] = {
      {broken, "Varda 9800", ZB_ERR_NOT_SUPPORTED},     // not an allowed target
      {broken, "Varda 8000", ZB_ERR_NOT_SUPPORTED},     // not to itself either
      {classic, "Varda 9500", ZB_ERR_NOT_SUPPORTED},    // no relabel row for the pair
      {WriteClassic(NarrowBackup("Varda 910 Series V1.0"), "series.zip"), "Varda 8000",
       ZB_ERR_NOT_SUPPORTED},                            // not in the tables
      {WriteClassic(NarrowBackup("Varda 100 V9.9"), "unknown.zip"), "Varda 8000",
       ZB_ERR_UNKNOWN_PRODUCT},                          // an index the library refuses
      {dir_.Sub("missing.zip"), "Varda 8000", ZB_ERR_FILE_CORRUPT},
      {classic, "", ZB_ERR_NOT_SUPPORTED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source + " -> " + c.target);
    EXPECT_EQ(Convert(c.source, dir_.Sub("refused.zip"), c.target), c.code);
    EXPECT_EQ(zbBoxGetLastError(), c.code);
    EXPECT_FALSE(fs::exists(dir_.Sub("refused.zip")));
    EXPECT_TRUE(env_.TempLeftovers().empty());
  }
  EXPECT_EQ(Convert(classic, classic, "Varda 8000"), ZB_ERR_INVALID_PARAMETER);
  // The unpacked relabelling of the broken archive fails on its members.
  EXPECT_NE(Convert(broken, dir_.Sub("refused.zip"), "Varda 9500"), 0u);
  EXPECT_TRUE(env_.TempLeftovers().empty());
}

TEST_F(FormatConvertTest, MissingPiecesFailTheConversionAndKeepTheOldOutput) {
  env_.SetNoEncryption(true);
  const std::string output = dir_.Sub("out.zip");
  platform::WriteTestFile(output, "older output");

  // No DATABASE member.
  const std::string classic = WriteClassic(NarrowBackup("Varda 560 Series V4.0.0.0"));
  const std::string no_database = dir_.Sub("no-database.zip");
  {
    const std::string root = dir_.Sub("tree");
    Unzip(classic, root);
    fs::remove(root + "/BOX/Database.tnb");
    CZipUtls z;
    ASSERT_EQ(z.Zip(root + "/BOX", no_database), 1);
  }
  EXPECT_EQ(Convert(no_database, output, "Varda 9500"), ZB_ERR_NOT_SUPPORTED);

  // A boxendian without its entry point, for a byte-order target.
  fs::remove(env_.program_ + "/libboxendian.so");
  fs::create_symlink(DIGESTLIB_SO, env_.program_ + "/libboxendian.so");
  EXPECT_EQ(Convert(classic, output, "Varda 9500"), 127u);
  fs::remove(env_.program_ + "/libboxendian.so");
  fs::create_symlink(std::string(BIN_DIR) + "/libboxendian.so", env_.program_ + "/libboxendian.so");

  // No model tables.
  fs::remove(env_.program_ + "/" + kModelTablesFileName);
  if (!ModelTables::LoadShipped()) {
    EXPECT_EQ(Convert(classic, output, "Varda 9500"), ZB_ERR_NOT_SUPPORTED);
  }

  // Cancelled once it reports progress (a cancel set before the call is
  // reset by it, as the caller's events are).
  fs::copy_file(std::string(BIN_DIR) + "/" + kModelTablesFileName,
                env_.program_ + "/" + kModelTablesFileName, fs::copy_options::overwrite_existing);
  std::atomic<bool> done{false};
  std::thread canceller([&] {
    while (!done)
      if (zbBoxWaitEvent(status_, 10) == ZB_WAIT_OBJECT_0) zbBoxSetEvent(cancel_);
  });
  uint32_t rc = zbBoxConvert(classic.c_str(), output.c_str(), DIGESTLIB_SO, cancel_, status_,
                             &percent_, nullptr, nullptr, CIPHERLIB_SO, "Varda 9500");
  done = true;
  canceller.join();
  EXPECT_EQ(rc, ZB_ERR_CANCELLED);
  EXPECT_EQ(platform::ReadTestFile(output), "older output");
  EXPECT_FALSE(fs::exists(output + ".zip"));
  EXPECT_TRUE(env_.TempLeftovers().empty());
}

}  // namespace
}  // namespace boxlink
