// The filtering conversions on generated legacy archives. What must be
// dropped and which counts must result is derived from the generator's
// record of what it wrote (each document says what it is meant to be),
// never from the descriptor bytes the conversion reads.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>

#include <pugixml.hpp>

#include "boxlink.h"
#include "boxlink/testing/convert_test_env.h"
#include "boxlink/convert/legacy_layout.h"
#include "devsim/legacy/legacy_fixture.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace boxlink {
namespace {

namespace lg = devsim::legacy;
namespace fs = std::filesystem;
using converttest::ConvertTestEnv;
using converttest::Unzip;
using converttest::UnzipScrambled;
using converttest::ZipNames;

constexpr char kSource[] = "Test/Src";
// Rule sections named by what they switch on.
constexpr char kRules[] =
    "[None]\n"
    "[Colour]\nColorCheck=1\n"
    "[Wide]\nWidePaperCheck=1\n"
    "[Compound]\nCopyCompoundCheck=1\n"
    "[All]\nColorCheck=1\nWidePaperCheck=1\nCopyCompoundCheck=1\n"
    "[KSize]\nK-SizeCheck=1\n";

struct Checks {
  bool colour, wide, compound;
};
Checks ChecksOf(const std::string& section) {
  if (section == "Colour") return {true, false, false};
  if (section == "Wide") return {false, true, false};
  if (section == "Compound") return {false, false, true};
  if (section == "All") return {true, true, true};
  return {false, false, false};
}

bool Dropped(const Checks& c, const lg::Document& d) {
  return (c.colour && d.IsColour()) || (c.wide && d.IsWidePaper()) ||
         (c.compound && d.IsCompoundCopy());
}
// The reason the last matching check gives: colour, copy compound, wide.
uint32_t Reason(const Checks& c, const lg::Document& d) {
  uint32_t r = 0;
  if (c.colour && d.IsColour()) r = ZB_DROP_COLOUR;
  if (c.compound && d.IsCompoundCopy()) r = ZB_DROP_COPY_COMPOUND;
  if (c.wide && d.IsWidePaper()) r = ZB_DROP_WIDE_PAPER;
  return r;
}

// What a converted legacy backup holds, read back independently.
struct ConvertedBox {
  uint32_t docs_in_index = 0, used_disk = 0;
  std::string name;
  std::set<std::string> documents;  // "F0000nnn/D0000nnn" or "D0000nnn"
};
struct Converted {
  std::string version;
  std::map<uint32_t, ConvertedBox> boxes;
  std::vector<std::string> members;
};

// The fake environment with a clock that calls back on every sleep. The
// conversions sleep right after they published a state for the caller
// (100 ms after a dropped document, 20 ms after each document), so the
// callback sees every such state on the converting thread itself.
class SleepHookEnv : public platform::Env {
 public:
  SleepHookEnv(platform::FakeEnv& inner, std::function<void(uint32_t)> on_sleep)
      : inner_(inner), clock_(inner.clock(), std::move(on_sleep)) {}
  platform::Clock& clock() override { return clock_; }
  platform::Registry& registry() override { return inner_.registry(); }
  std::string UserProfileDir() override { return inner_.UserProfileDir(); }
  std::string TempDir() override { return inner_.TempDir(); }
  std::string ProgramDataDir() override { return inner_.ProgramDataDir(); }
  std::string ProgramDir() override { return inner_.ProgramDir(); }
  std::optional<std::string> ErrorMessage(uint32_t code) override {
    return inner_.ErrorMessage(code);
  }
  std::unique_ptr<platform::Library> LoadLibrary(std::string_view name,
                                                 std::string* error) override {
    return inner_.LoadLibrary(name, error);
  }
  int32_t LocalOffsetSeconds(int64_t utc, bool* dst) override {
    return inner_.LocalOffsetSeconds(utc, dst);
  }
  bool GetTimeZoneInfo(platform::TimeZoneInfo* info) override {
    return inner_.GetTimeZoneInfo(info);
  }

 private:
  class HookClock : public platform::Clock {
   public:
    HookClock(platform::Clock& inner, std::function<void(uint32_t)> hook)
        : inner_(inner), hook_(std::move(hook)) {}
    uint64_t NowMillis() override { return inner_.NowMillis(); }
    int64_t UnixTime() override { return inner_.UnixTime(); }
    void SleepMillis(uint32_t ms) override {
      hook_(ms);
      inner_.SleepMillis(ms);
    }
    bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                 uint32_t timeout_ms, const std::function<bool()>& ready) override {
      return inner_.WaitFor(cv, lock, timeout_ms, ready);
    }
    std::chrono::milliseconds RealTimeout(uint32_t timeout_ms) override {
      return inner_.RealTimeout(timeout_ms);
    }

   private:
    platform::Clock& inner_;
    std::function<void(uint32_t)> hook_;
  };

  platform::FakeEnv& inner_;
  HookClock clock_;
};

class FilterConvertTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::WriteTestFile(env_.program_ + "/Test_Src.ini", kRules);
    fs::create_directories(work_);
  }
  void TearDown() override {
    zbBoxCloseEvent(cancel_);
    zbBoxCloseEvent(status_);
  }

  void WriteBackup(const lg::Backup& b) {
    std::string error;
    ASSERT_TRUE(lg::WriteBackup(b, lg::BackupForm::kDataZip, source_, &error)) << error;
  }
  uint32_t ConvertBackup(const char* target, const char* source_model = kSource) {
    return zbBoxConvertBackupData(source_.c_str(), output_.c_str(), work_.c_str(), source_model,
                                  target, cancel_, status_, &progress_);
  }
  uint32_t ConvertArchive(const char* target, const char* source_model = kSource) {
    return zbBoxConvertArchiveData(source_.c_str(), output_.c_str(), work_.c_str(),
                                   source_model, target, cancel_, status_, &progress_);
  }

  Converted ReadConverted() {
    Converted c;
    const std::string root = dir_.Sub("read");
    fs::remove_all(root);
    Unzip(output_, root);
    c.members = ZipNames(output_);
    pugi::xml_document index;
    EXPECT_TRUE(index.load_file((root + "/BOX/Backup.XML").c_str()));
    pugi::xml_node info = index.child("BackupInfo");
    c.version = info.child_value("EngineVersion");
    Unzip(root + "/BOX/DATA.zip", root + "/BOX");
    for (pugi::xml_node b : info.child("Boxes").children("BoxProp")) {
      uint32_t n = uint32_t(std::stoul(b.child_value("BoxNo")));
      ConvertedBox& box = c.boxes[n];
      box.name = b.child_value("BoxName");
      box.docs_in_index = uint32_t(std::stoul(b.child_value("NumOfDocs")));
      box.used_disk = uint32_t(std::stoul(b.child_value("BoxUsedDisk")));
      char name[48];
      std::snprintf(name, sizeof name, "B0000%03u", n);
      const std::string tree = root + "/unpacked/" + name;
      UnzipScrambled(root + "/BOX/DATA/" + name + ".tnb", tree);
      for (const std::string& f : converttest::Files(tree + "/" + name + "/P0000001")) {
        std::string file = fs::path(f).filename().string();
        if (!legacy::DescriptorNumber(file, 'D')) continue;
        std::string rel = f.substr(0, f.size() - 4);
        box.documents.insert(rel);
        // The data folder went with its descriptor.
        EXPECT_TRUE(fs::is_directory(tree + "/" + name + "/P0000001/" + rel)) << rel;
      }
    }
    return c;
  }

  static std::set<std::string> ExpectedDocuments(const lg::Box& box, const Checks& checks) {
    std::set<std::string> out;
    char name[48];
    for (const lg::Document& d : box.documents)
      if (!Dropped(checks, d)) {
        std::snprintf(name, sizeof name, "D0000%03u", d.number);
        out.insert(name);
      }
    for (const lg::Folder& f : box.folders)
      for (const lg::Document& d : f.documents)
        if (!Dropped(checks, d)) {
          std::snprintf(name, sizeof name, "F0000%03u/D0000%03u", f.number, d.number);
          out.insert(name);
        }
    return out;
  }

  ConvertTestEnv env_;
  platform::ScopedTempDir dir_;
  std::string work_ = dir_.Sub("work");
  std::string source_ = dir_.Sub("legacy.zip");
  std::string output_ = dir_.Sub("converted.zip");
  BoxJobProgress progress_{};
  ZBEVENT cancel_ = zbBoxCreateEvent(1, 0, nullptr);
  ZBEVENT status_ = zbBoxCreateEvent(0, 0, nullptr);
};

TEST_F(FilterConvertTest, BackupConversionDropsWhatTheRulesSayAndCorrectsTheCounts) {
  const lg::Backup legacy = lg::StandardBackup();
  WriteBackup(legacy);
  for (const char* section : {"None", "Colour", "Wide", "Compound", "All", "KSize", "Missing"}) {
    SCOPED_TRACE(section);
    fs::remove(output_);
    ASSERT_EQ(ConvertBackup(section), 0u);
    const Checks checks = ChecksOf(section);
    Converted c = ReadConverted();
    EXPECT_EQ(c.version, section);
    EXPECT_EQ(c.members, (std::vector<std::string>{"BOX/Backup.XML", "BOX/DATA.zip",
                                                   "BOX/DATABASE.tnb"}));
    ASSERT_EQ(c.boxes.size(), legacy.boxes.size());
    for (const lg::Box& box : legacy.boxes) {
      SCOPED_TRACE(box.number);
      const ConvertedBox& got = c.boxes[box.number];
      std::set<std::string> want = ExpectedDocuments(box, checks);
      EXPECT_EQ(got.documents, want);
      EXPECT_EQ(got.docs_in_index, want.size());
      uint32_t used = box.UsedDisk();
      auto take = [&](const lg::Document& d) {
        if (Dropped(checks, d)) used -= d.UsedDisk();
      };
      for (const lg::Document& d : box.documents) take(d);
      for (const lg::Folder& f : box.folders)
        for (const lg::Document& d : f.documents) take(d);
      EXPECT_EQ(got.used_disk, used);
      EXPECT_EQ(got.name, platform::Utf16ToUtf8(box.name));
    }
    EXPECT_EQ(progress_.Percent, 99u);
    EXPECT_EQ(progress_.State, 1u);
  }
  // Nothing of the work stays behind, and the legacy archive is unchanged.
  EXPECT_TRUE(fs::is_empty(work_));
  EXPECT_FALSE(fs::exists(output_ + ".zip"));
}

TEST_F(FilterConvertTest, ProgressShowsEveryDroppedDocumentWithItsReason) {
  const lg::Backup legacy = lg::StandardBackup();
  WriteBackup(legacy);
  struct Seen {
    uint32_t sleep, percent, state, dropped, reason;
    std::string doc, folder, box;
  };
  std::vector<Seen> seen;
  SleepHookEnv hooked(env_.env_, [&](uint32_t ms) {
    seen.push_back({ms, progress_.Percent, progress_.State, progress_.Dropped,
                    progress_.DropReason, progress_.DocName, progress_.FolderName,
                    progress_.BoxName});
  });
  platform::ScopedEnv use(&hooked);
  ASSERT_EQ(ConvertBackup("All"), 0u);

  const Checks all = ChecksOf("All");
  std::multiset<std::string> want, got;
  for (const lg::Box& box : legacy.boxes) {
    for (const lg::Document& d : box.documents)
      if (Dropped(all, d))
        want.insert(platform::Utf16ToUtf8(d.name) + "|" + std::to_string(Reason(all, d)));
    for (const lg::Folder& f : box.folders)
      for (const lg::Document& d : f.documents)
        if (Dropped(all, d))
          want.insert(platform::Utf16ToUtf8(f.name) + "/" + platform::Utf16ToUtf8(d.name) + "|" +
                      std::to_string(Reason(all, d)));
  }
  std::set<std::string> boxes_seen;
  uint32_t last_percent = 0;
  size_t documents = 0;
  for (const Seen& s : seen) {
    EXPECT_GE(s.percent, last_percent);
    last_percent = s.percent;
    if (!s.box.empty()) boxes_seen.insert(s.box);
    if (s.sleep == 20) ++documents;
    // The 100 ms pause belongs to a dropped document, and only to one.
    EXPECT_EQ(s.sleep == 100, s.dropped == 1);
    if (!s.dropped) {
      EXPECT_EQ(s.reason, 0u);
      continue;
    }
    got.insert((s.folder.empty() ? "" : s.folder + "/") + s.doc + "|" + std::to_string(s.reason));
    EXPECT_GE(s.percent, 15u);
    EXPECT_LE(s.percent, 85u);
    EXPECT_EQ(s.state, 2u);
  }
  EXPECT_EQ(got, want);
  size_t in_record = 0;
  for (const lg::Box& box : legacy.boxes) in_record += box.DocumentCount();
  EXPECT_EQ(documents, in_record);
  // The empty box converts without a pause, so it is seen by name only in
  // the final record; the others while their documents pass.
  EXPECT_EQ(boxes_seen.size(), legacy.boxes.size() - 1);
  EXPECT_EQ(progress_.Percent, 99u);
}

TEST_F(FilterConvertTest, BackupWithoutBoxesIsStillRepacked) {
  lg::Backup none = lg::StandardBackup();
  none.boxes.clear();
  WriteBackup(none);
  ASSERT_EQ(ConvertBackup("All"), 0u);
  Converted c = ReadConverted();
  EXPECT_EQ(c.members, (std::vector<std::string>{"BOX/Backup.XML", "BOX/DATA.zip",
                                                 "BOX/DATABASE.tnb"}));
  EXPECT_EQ(c.version, "All");
  EXPECT_TRUE(c.boxes.empty());
}

TEST_F(FilterConvertTest, RefusesWhatCannotBeConverted) {
  WriteBackup(lg::StandardBackup());
  std::string archive = dir_.Sub("documents.zip");
  std::string error;
  ASSERT_TRUE(lg::WriteDocumentArchive(lg::StandardDocumentArchive(), archive, &error));
  platform::WriteTestFile(output_, "an older file");
  struct Case {
    std::string source, output, source_model, target;
    bool backup;
    uint32_t code;
  } cases[] = {
      {source_, output_, kSource, kSource, true, ZB_ERR_INVALID_PARAMETER},
      {source_, source_, kSource, "All", true, ZB_ERR_INVALID_PARAMETER},
      {source_, dir_.Sub("./legacy.zip"), kSource, "All", true, ZB_ERR_INVALID_PARAMETER},
      {source_, output_, "No/Rules", "All", true, ZB_ERR_NOT_SUPPORTED},
      {archive, output_, kSource, "All", true, ZB_ERR_INVALID_DATA},
      {source_, output_, kSource, "All", false, ZB_ERR_INVALID_DATA},
      {dir_.Sub("missing.zip"), output_, kSource, "All", true, ZB_ERR_INVALID_DATA},
      {archive, output_, "No/Rules", "All", false, ZB_ERR_NOT_SUPPORTED},
      {archive, archive, kSource, "All", false, ZB_ERR_INVALID_PARAMETER},
  };
  for (const Case& c : cases) {
    uint32_t rc = c.backup
                      ? zbBoxConvertBackupData(c.source.c_str(), c.output.c_str(), work_.c_str(),
                                               c.source_model.c_str(), c.target.c_str(), nullptr,
                                               nullptr, &progress_)
                      : zbBoxConvertArchiveData(c.source.c_str(), c.output.c_str(), work_.c_str(),
                                                c.source_model.c_str(), c.target.c_str(), nullptr,
                                                nullptr, &progress_);
    EXPECT_EQ(rc, c.code) << c.source << " " << c.target;
  }
  // A refused conversion leaves an older file of the output's name alone.
  EXPECT_EQ(platform::ReadTestFile(output_), "an older file");
  EXPECT_TRUE(fs::is_empty(work_));
}

TEST_F(FilterConvertTest, LegacyIndexVersionsAfterOneOrRetiredAreRefused) {
  struct Case {
    const char* version;
    uint32_t code;
  } cases[] = {
      {"Varda7120/7140 V1.3", 0},
      {"Varda 100 V1.9", 0},
      {"Varda 100 V2.0", ZB_ERR_UNKNOWN_PRODUCT},
      {"Varda 100 V10.1", ZB_ERR_UNKNOWN_PRODUCT},
      {"Varda720/740 V1.1", ZB_ERR_NOT_SUPPORTED},
      {"Varda620/660 V1.0", ZB_ERR_NOT_SUPPORTED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    WriteBackup(lg::StandardBackup(c.version));
    BackupIndexInfo info{};
    uint32_t count = 0;
    BackupIndexBox* list = nullptr;
    ZBBLOCK block = nullptr;
    EXPECT_EQ(zbzbBoxGetXMLInfo(source_.c_str(), work_.c_str(), &info, &count, &list, &block),
              c.code);
    if (c.code == 0) {
      EXPECT_EQ(std::string(info.Version), c.version);
      EXPECT_EQ(info.IndexType, uint32_t(ZB_INDEX_BACKUP_XML));
      EXPECT_EQ(count, 3u);
      ASSERT_NE(block, nullptr);
      ASSERT_NE(list, nullptr);
      EXPECT_EQ(list[1].BoxNo, 12u);
      EXPECT_EQ(list[1].Protected, 1u);
      EXPECT_EQ(list[0].NumOfDocs, 11u);
      EXPECT_EQ(list[0].LastBackupDate.wYear, 0);
      EXPECT_EQ(info.Date.wYear, 2022);
    } else {
      EXPECT_EQ(block, nullptr);
    }
    zbBoxFreeBlock(block);
    // A filtering conversion of such an archive fails with the same code
    // rather than pass every document through unfiltered.
    fs::remove(output_);
    EXPECT_EQ(ConvertBackup("All"), c.code);
    EXPECT_EQ(fs::exists(output_), c.code == 0);
    EXPECT_TRUE(fs::is_empty(work_));
  }
}

TEST_F(FilterConvertTest, DocumentArchiveIndexIsReadWithoutBoxes) {
  std::string error;
  ASSERT_TRUE(lg::WriteDocumentArchive(lg::StandardDocumentArchive(), source_, &error));
  BackupIndexInfo info{};
  uint32_t count = 0;
  BackupIndexBox* list = nullptr;
  ZBBLOCK block = nullptr;
  ASSERT_EQ(zbzbBoxGetXMLInfo(source_.c_str(), work_.c_str(), &info, &count, &list, &block), 0u);
  EXPECT_EQ(info.IndexType, uint32_t(ZB_INDEX_ARCHIVE_XML));
  EXPECT_EQ(count, 6u);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(block, nullptr);
  EXPECT_TRUE(fs::is_empty(work_));
  EXPECT_EQ(zbzbBoxGetXMLInfo(dir_.Sub("missing.zip").c_str(), work_.c_str(), &info, &count,
                              &list, &block),
            ZB_ERR_FILE_CORRUPT);
}

TEST_F(FilterConvertTest, ArchiveConversionKeepsTheMembersTheRulesKeep) {
  const lg::DocumentArchive legacy = lg::StandardDocumentArchive();
  std::string error;
  ASSERT_TRUE(lg::WriteDocumentArchive(legacy, source_, &error));
  for (const char* section : {"None", "Colour", "Wide", "Compound", "All", "KSize"}) {
    SCOPED_TRACE(section);
    fs::remove(output_);
    ASSERT_EQ(ConvertArchive(section), 0u);
    const Checks checks = ChecksOf(section);
    std::vector<std::string> want = {"ARCHIVE.XML"};
    for (const lg::Document& d : legacy.documents) {
      char name[32];
      std::snprintf(name, sizeof name, "D0000%03u.zip", d.number);
      if (!Dropped(checks, d)) want.push_back(name);
    }
    EXPECT_EQ(ZipNames(output_), want);
    const std::string root = dir_.Sub(std::string("read-") + section);
    Unzip(output_, root);
    pugi::xml_document index;
    ASSERT_TRUE(index.load_file((root + "/ARCHIVE.XML").c_str()));
    EXPECT_EQ(std::string(index.child("ArchiveInfo").child_value("Version")), section);
    // A document that two checks drop is one document less, not two.
    EXPECT_EQ(std::stoul(index.child("ArchiveInfo").child_value("NumOfDocs")), want.size() - 1);
    EXPECT_EQ(progress_.Percent, 100u);
  }
  EXPECT_TRUE(fs::is_empty(work_));
}

TEST_F(FilterConvertTest, ArchiveConversionThatDropsEverythingLeavesNoOutput) {
  lg::DocumentArchive all_colour = lg::StandardDocumentArchive();
  for (lg::Document& d : all_colour.documents) d.colour = lg::Colour::kFull;
  // Two documents, one matching twice: nothing is left.
  all_colour.documents.resize(2);
  all_colour.documents[1].paper = lg::Paper::kA3Wide;
  std::string error;
  ASSERT_TRUE(lg::WriteDocumentArchive(all_colour, source_, &error));
  EXPECT_EQ(ConvertArchive("All"), 259u);
  EXPECT_FALSE(fs::exists(output_));
  EXPECT_FALSE(fs::exists(output_ + ".zip"));
  // One of them kept: the conversion succeeds with that one.
  all_colour.documents[0].colour = lg::Colour::kMono;
  ASSERT_TRUE(lg::WriteDocumentArchive(all_colour, source_, &error));
  EXPECT_EQ(ConvertArchive("All"), 0u);
  EXPECT_EQ(ZipNames(output_), (std::vector<std::string>{"ARCHIVE.XML", "D0000001.zip"}));
  EXPECT_TRUE(fs::is_empty(work_));
}

TEST_F(FilterConvertTest, CancelLeavesNoOutputAndNoWork) {
  WriteBackup(lg::StandardBackup());
  platform::WriteTestFile(output_, "an older file");
  // At once, and after the first documents.
  zbBoxSetEvent(cancel_);
  EXPECT_EQ(ConvertBackup("All"), ZB_ERR_CANCELLED);
  zbBoxResetEvent(cancel_);

  // From a pause after the first documents on.
  SleepHookEnv hooked(env_.env_, [&](uint32_t) {
    if (progress_.Percent >= 20) zbBoxSetEvent(cancel_);
  });
  platform::ScopedEnv use(&hooked);
  uint32_t rc = ConvertBackup("All");
  EXPECT_GE(progress_.Percent, 20u);
  EXPECT_LT(progress_.Percent, 85u);
  EXPECT_EQ(rc, ZB_ERR_CANCELLED);
  EXPECT_EQ(platform::ReadTestFile(output_), "an older file");
  EXPECT_FALSE(fs::exists(output_ + ".zip"));
  EXPECT_TRUE(fs::is_empty(work_));
}

}  // namespace
}  // namespace boxlink
