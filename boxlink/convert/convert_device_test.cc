// End to end: legacy backups, converted for a storage-layout model, are
// restored into a simulated device of that model, and what arrives is what
// the generator wrote, less what the conversion rules drop.
#include <gtest/gtest.h>

#include <map>

#include "boxlink.h"
#include "boxlink/client/session_hooks.h"
#include "boxlink/testing/convert_test_env.h"
#include "boxlink/testing/job_device_env.h"
#include "devsim/legacy/legacy_fixture.h"
#include "devsim/testing/device_fixture.h"
#include "platform/text.h"

namespace boxlink {
namespace {

namespace lg = devsim::legacy;
namespace fs = std::filesystem;
using enginetest::FixedFtpProbe;
using enginetest::FixedWebProbe;
using enginetest::kAdmin;

constexpr int32_t kRestoreTime = 1750000000;

// What a box holds, by container ("" for the top level) and document name:
// the pages' bytes.
using Content = std::map<std::string, std::map<std::string, std::vector<std::string>>>;

struct Expected {
  std::string box_name;
  Content content;
  bool operator==(const Expected&) const = default;
};

void PrintTo(const Expected& e, std::ostream* os) {
  *os << "box \"" << e.box_name << "\":";
  for (const auto& [folder, docs] : e.content) {
    *os << " [" << folder << ":";
    for (const auto& [name, pages] : docs) *os << " " << name << "(" << pages.size() << ")";
    *os << "]";
  }
}

class ConvertDeviceTest : public ::testing::Test {
 protected:
  ConvertDeviceTest()
      : env_(10),
        probes_({&FixedWebProbe, &FixedFtpProbe}),
        dev_(enginetest::ProfileFor(devsim::Layout::kStorage), {"web", "ftp", "snmp"},
             Empty()) {}

  static devsim::PopulateOptions Empty() {
    devsim::PopulateOptions o;
    o.boxes = 0;
    return o;
  }

  void SetUp() override {
    ASSERT_TRUE(dev_.ok()) << dev_.error();
    fs::create_directories(work_);
  }
  void TearDown() override {
    zbBoxCloseConnection(&s_);
    zbBoxCloseEvent(cancel_);
    zbBoxCloseEvent(status_);
  }

  void Restore(const std::string& archive, std::vector<uint32_t> boxes) {
    enginetest::OpenJobSession(*dev_, &s_, &user_);
    uint32_t security = 0;
    BoxJobProgress progress{};
    ASSERT_EQ(zbBoxRestore(&s_, kAdmin, user_.c_str(), work_.c_str(), archive.c_str(),
                           uint32_t(boxes.size()), boxes.data(), 1, kRestoreTime, cancel_,
                           status_, &progress, 0, &security, "", CIPHERLIB_SO, DIGESTLIB_SO),
              0u);
  }

  // What the device holds now.
  std::map<uint32_t, Expected> Device() {
    std::map<uint32_t, Expected> out;
    devsim::BoxStore& st = dev_->store();
    for (const devsim::BoxInfo& b : st.ListBoxes()) {
      Expected& e = out[b.number];
      e.box_name = b.name;
      for (const devsim::ItemInfo& item : st.ListItems(b.number, 0)) {
        auto pages = [&](const devsim::ItemInfo& d) {
          std::vector<std::string> v;
          for (uint32_t p = 1; p <= d.pages; ++p) v.push_back(st.ReadPage(d, p).value_or("?"));
          return v;
        };
        if (item.kind == devsim::ItemKind::kFolder) {
          auto& folder = e.content[item.name];  // an empty folder shows too
          for (const devsim::ItemInfo& d : st.ListItems(b.number, item.number))
            folder[d.name] = pages(d);
        } else {
          e.content[""][item.name] = pages(item);
        }
      }
    }
    return out;
  }

  // The record's boxes less the dropped documents. `renamed` gives the
  // names that the storage layout's naming rules change, by "box/folder
  // number/document number" ("box/folder number/" for a folder).
  static std::map<uint32_t, Expected> FromRecord(
      const lg::Backup& legacy, const std::function<bool(const lg::Document&)>& dropped,
      const std::map<std::string, std::string>& renamed) {
    std::map<uint32_t, Expected> out;
    auto name_of = [&](const std::string& key, const std::u16string& name) {
      auto it = renamed.find(key);
      return it != renamed.end() ? it->second : platform::Utf16ToUtf8(name);
    };
    for (const lg::Box& box : legacy.boxes) {
      Expected& e = out[box.number];
      e.box_name = platform::Utf16ToUtf8(box.name);
      const std::string b = std::to_string(box.number) + "/";
      auto add = [&](std::map<std::string, std::vector<std::string>>& into, uint32_t folder,
                     const lg::Document& d) {
        if (dropped(d)) return;
        std::vector<std::string> pages;
        for (uint32_t p = 1; p <= d.pages; ++p) pages.push_back(d.PageImage(box.number, folder, p));
        into[name_of(b + std::to_string(folder) + "/" + std::to_string(d.number), d.name)] = pages;
      };
      for (const lg::Document& d : box.documents) add(e.content[""], 0, d);
      if (e.content[""].empty()) e.content.erase("");
      for (const lg::Folder& f : box.folders) {
        auto& folder = e.content[name_of(b + std::to_string(f.number) + "/", f.name)];
        for (const lg::Document& d : f.documents) add(folder, f.number, d);
      }
    }
    return out;
  }

  // The storage names of the standard fixture's clashing and unsafe names.
  const std::map<std::string, std::string> kRenamed = {
      {"1/0/5", "Invoice-001"}, {"1/0/7", "a_b"}, {"1/2/", "Reports-001"}, {"1/3/", "Poster-001"}};

  converttest::ConvertTestEnv env_;
  ScopedPortProbes probes_;
  devsim::ScopedDevice dev_;
  platform::ScopedTempDir dir_;
  std::string work_ = dir_.Sub("work");
  ZBSESSION s_{};
  std::string user_;
  ZBEVENT cancel_ = zbBoxCreateEvent(1, 0, nullptr);
  ZBEVENT status_ = zbBoxCreateEvent(0, 0, nullptr);
};

TEST_F(ConvertDeviceTest, ClassicBackupConvertedAndRestoredArrivesWhole) {
  const lg::Backup legacy = lg::StandardBackup("Varda 5730C Series V3.0");
  const std::string source = dir_.Sub("classic.zip"), storage = dir_.Sub("storage.zip");
  std::string error;
  ASSERT_TRUE(lg::WriteBackup(legacy, lg::BackupForm::kClassic, source, &error)) << error;
  ASSERT_EQ(zbBoxConvert(source.c_str(), storage.c_str(), DIGESTLIB_SO, nullptr, nullptr, nullptr,
                         nullptr, nullptr, CIPHERLIB_SO, "Varda 8000"),
            0u);
  Restore(storage, {1, 12, 20});
  EXPECT_EQ(Device(), FromRecord(legacy, [](const lg::Document&) { return false; }, kRenamed));
}

TEST_F(ConvertDeviceTest, FilteredLegacyBackupArrivesLessTheDroppedDocuments) {
  const lg::Backup legacy = lg::StandardBackup("Varda7120/7140 V1.3");
  const std::string source = dir_.Sub("legacy.zip"), filtered = dir_.Sub("filtered.zip"),
                    storage = dir_.Sub("storage.zip");
  std::string error;
  ASSERT_TRUE(lg::WriteBackup(legacy, lg::BackupForm::kDataZip, source, &error)) << error;
  // The shipped rules of the Varda720/740 for this target drop wide paper
  // and compound copies.
  uint32_t summary = 0;
  ASSERT_EQ(zbBoxGetConvertSummary("Varda720/740", "Varda 5730C Series V3.0", &summary), 0u);
  ASSERT_EQ(summary, uint32_t(ZB_DROP_WIDE_PAPER | ZB_DROP_COPY_COMPOUND));
  BoxJobProgress progress{};
  ASSERT_EQ(zbBoxConvertBackupData(source.c_str(), filtered.c_str(), work_.c_str(), "Varda720/740",
                                   "Varda 5730C Series V3.0", nullptr, nullptr, &progress),
            0u);
  ASSERT_EQ(zbBoxConvert(filtered.c_str(), storage.c_str(), DIGESTLIB_SO, nullptr, nullptr,
                         nullptr, nullptr, nullptr, CIPHERLIB_SO, "Varda 8000"),
            0u);
  Restore(storage, {1, 12, 20});
  auto dropped = [](const lg::Document& d) { return d.IsWidePaper() || d.IsCompoundCopy(); };
  std::map<uint32_t, Expected> want = FromRecord(legacy, dropped, kRenamed);
  EXPECT_EQ(Device(), want);
  // Something was dropped, and something of every kind arrived.
  EXPECT_LT(want[1].content[""].size(), legacy.boxes[0].documents.size());
  EXPECT_TRUE(want[1].content.count("Reports-001"));
  EXPECT_TRUE(want[1].content["Reports-001"].empty());
}

}  // namespace
}  // namespace boxlink
