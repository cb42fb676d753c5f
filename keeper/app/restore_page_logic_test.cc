#include "keeper/app/restore_page_logic.h"

#include <gtest/gtest.h>

#include <map>

#include "desktop/language.h"
#include "desktop/testing/fake_screen.h"
#include "keeper/app/br_error.h"
#include "keeper/app/testing/fake_pages.h"

namespace keeper {
namespace {

ZBSYSTEMTIME At(uint16_t y, uint16_t mo, uint16_t d, uint16_t h, uint16_t mi) {
  ZBSYSTEMTIME t{};
  t.wYear = y;
  t.wMonth = mo;
  t.wDay = d;
  t.wHour = h;
  t.wMinute = mi;
  return t;
}

// The compatibility of archives and devices, as the page judges it.
TEST(RestoreCompatibilityTest, ArchivesAndDevices) {
  struct Case {
    const char* archive;
    const char* device;
    bool connected;
    bool loaded;
    uint32_t message;
  } cases[] = {
      // The same series: suitable, with the one exception of 2.0.1.0.
      {"Varda 540 Series V1.0", "Varda 540 Series V1.0", true, true, 0},
      {"Varda 5730C Series V3.0.1", "Varda 5730C Series V3.0.7", true, true, 0},
      {"Varda 4720c Series V2.0.1.0", "Varda 4720c Series V2.0.0.0", true,
       false, 200},
      {"Varda 4720c Series V2.0.0.0", "Varda 4720c Series V2.0.1.0", true,
       true, 0},
      // The small family among itself.
      {"Varda 340 Series V1.0", "Varda 540 Series V1.0", true, true, 0},
      {"Varda 330 Series V1.0", "Varda 530 Series V1.0", true, true, 0},
      {"Varda 540 Series V1.0", "Varda 330 Series V1.0", true, true, 0},
      {"Varda 340 Series V1.0", "Varda 930 Series V1.0", true, false, 200},
      // The large family among itself.
      {"Varda 910 Series V1.0", "Varda 930 Series V1.0", true, true, 0},
      {"Varda 930 Series V1.0", "Varda 910 Series V1.0", true, true, 0},
      {"Varda 930 Series V1.0", "Varda 540 Series V1.0", true, false, 200},
      // Anything else across series.
      {"Varda 5730C Series V3.0", "Varda 7730C Series V3.0", true, false, 200},
      {"Varda7120/7140 V1.3", "Varda720/740 V1.3", true, false, 200},
      // Without a device: shown, not possible, nothing said.
      {"Varda 340 Series V1.0", "", false, false, 0},
      {"Varda 910 Series V1.0", "", false, false, 0},
  };
  for (const Case& c : cases) {
    Suitability s = JudgeArchive(c.archive, c.device, c.connected);
    EXPECT_EQ(s.loaded, c.loaded) << c.archive << " -> " << c.device;
    EXPECT_EQ(s.message, c.message) << c.archive << " -> " << c.device;
  }
}

class RestorePageLogicTest : public testing::Test {
 protected:
  RestorePageLogicTest() {
    std::string error;
    lang_ = desktop::LanguageLibrary::Load("keeperlang", "en", &error);
    EXPECT_TRUE(lang_) << error;
    screen_ = std::make_unique<desktop::FakeScreen>(lang_.get());
    ArchiveInfo a;
    a.backup_type = 1;
    a.date = At(2026, 5, 4, 10, 30);
    a.engine_version = "Varda 340 Series V1.0";
    a.network_name = "mfp-3f";
    a.boxes = {{1, "Scans", false, 0, 0, 1500, At(2026, 5, 4, 10, 0)},
               {4, "Fax in", true, 0, 0, 2048, {}},
               {9, "Empty", false, 0, 0, 0, {}}};
    archives_["/home/ann/week.zip"] = a;
    logic_ = std::make_unique<RestorePageLogic>(RestorePageContext{
        *lang_, *screen_, view_, host_, format_, "/home/ann",
        [this](const std::string& path, ArchiveInfo* info) -> uint32_t {
          reads_.push_back(path);
          auto it = codes_.find(path);
          if (it != codes_.end()) return it->second;
          auto a = archives_.find(path);
          if (a == archives_.end()) return 1392;
          *info = a->second;
          return 0;
        }});
  }

  std::vector<uint32_t> Shown() const {
    std::vector<uint32_t> out;
    for (const auto& s : screen_->shown()) out.push_back(s.message.text.id);
    return out;
  }
  void Enter(const std::string& text) {
    view_.archive = text;
    logic_->OnArchiveChanged();
  }
  std::string T(uint32_t id) const { return std::string(lang_->Text(id)); }

  std::unique_ptr<desktop::LanguageLibrary> lang_;
  std::unique_ptr<desktop::FakeScreen> screen_;
  FakePageHost host_;
  FakeRestoreView view_;
  FakeDateFormat format_;
  std::map<std::string, ArchiveInfo> archives_;
  std::map<std::string, uint32_t> codes_;
  std::vector<std::string> reads_;
  std::unique_ptr<RestorePageLogic> logic_;
};

TEST_F(RestorePageLogicTest, AnArchiveShowsTypeTimeBoxesAndSizes) {
  Enter("/home/ann/week.zip");
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(view_.type_line, T(185) + " " + T(183));
  EXPECT_EQ(view_.time_line, T(184) + " : 2026-5-4  10:30");
  EXPECT_EQ(view_.title, "mfp-3f");
  ASSERT_EQ(view_.rows.size(), 3u);
  EXPECT_EQ(view_.rows[0].label, "001 Scans");
  EXPECT_EQ(view_.rows[0].columns,
            (std::vector<std::string>{"1500 KB", "2026-5-4  10:0"}));
  EXPECT_TRUE(view_.rows[1].is_protected);
  EXPECT_EQ(view_.rows[1].columns,
            (std::vector<std::string>{"2 MB", "-- -- --  -- -- --"}));
  EXPECT_EQ(view_.rows[2].columns[0], "1 KB");
  // 1500 + 2048 + 0 = 3548 KB = 3 MB.
  EXPECT_EQ(view_.size_line, T(107) + "3 MB");
  EXPECT_TRUE(logic_->loaded());
  EXPECT_TRUE(view_.action_enabled);
  EXPECT_EQ(logic_->largest_kb(), 2048u);
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"Wait on", "Wait off"}));
}

TEST_F(RestorePageLogicTest, TheSizeLineFollowsTheChecks) {
  Enter("/home/ann/week.zip");
  struct Case {
    std::set<size_t> unchecked;
    std::string line;
    uint32_t total, largest;
    bool action;
  } cases[] = {
      {{}, T(107) + "3 MB", 3548, 2048, true},
      {{1}, T(107) + "1500 KB", 1500, 1500, true},
      {{0, 1}, T(107) + "1 KB", 0, 0, true},  // an empty box still counts
      {{0, 1, 2}, "", 0, 0, false},
  };
  for (const Case& c : cases) {
    view_.unchecked = c.unchecked;
    logic_->OnItemChanged();
    EXPECT_EQ(view_.size_line, c.line);
    EXPECT_EQ(logic_->total_kb(), c.total);
    EXPECT_EQ(logic_->largest_kb(), c.largest);
    EXPECT_EQ(view_.action_enabled, c.action);
  }
  EXPECT_EQ(SelectionSizeText(*lang_, 2047), T(107) + "2047 KB");
  EXPECT_EQ(SelectionSizeText(*lang_, 2048), T(107) + "2 MB");
}

// Every message of the archive field, with the page emptied after it.
TEST_F(RestorePageLogicTest, FieldChecksInTheirOrder) {
  codes_["/home/ann/strange.zip"] = 1605;
  codes_["/home/ann/broken.zip"] = 13;
  struct Case {
    std::string text;
    uint32_t message;
    bool focus;
    bool read;
  } cases[] = {
      {"//server/share/week.zip", 179, false, false},
      {"/home//ann/week.zip", 181, false, false},
      {"week.zip", 180, true, false},
      {"C:\\week.zip", 180, true, false},
      {"/home/ann/we?k.zip", 181, false, false},
      {"/home/ann/we\\k.zip", 181, false, false},
      {"/home/ann/week.zi", 0, false, false},  // not yet an archive name
      {"/home/ann/strange.zip", 140, false, true},
      {"/home/ann/broken.zip", 102, false, true},
      {"/home/ann/missing.ZIP", 102, false, true},
  };
  for (const Case& c : cases) {
    Enter("/home/ann/week.zip");  // a loaded archive before
    screen_->Clear();
    reads_.clear();
    view_.focus_count = 0;
    Enter(c.text);
    EXPECT_EQ(reads_.size(), c.read ? 1u : 0u) << c.text;
    EXPECT_FALSE(logic_->loaded()) << c.text;
    EXPECT_FALSE(view_.action_enabled) << c.text;
    EXPECT_TRUE(view_.rows.empty()) << c.text;
    EXPECT_EQ(view_.size_line, "") << c.text;
    EXPECT_EQ(view_.type_line, T(185)) << c.text;
    EXPECT_EQ(view_.time_line, T(184) + " :") << c.text;
    if (!c.message) {
      EXPECT_TRUE(Shown().empty()) << c.text;
      EXPECT_EQ(view_.archive, c.text);
      continue;
    }
    ASSERT_EQ(Shown(), std::vector<uint32_t>{c.message}) << c.text;
    EXPECT_EQ(screen_->shown()[0].message.caption.id, 88u);
    EXPECT_EQ(screen_->shown()[0].message.icon, desktop::Icon::kError);
    EXPECT_EQ(view_.archive, "") << c.text;
    EXPECT_EQ(view_.focus_count, c.focus ? 1 : 0) << c.text;
  }
}

TEST_F(RestorePageLogicTest, AnotherSeriesIsShownButRefused) {
  host_.engine = "Varda 930 Series V1.0";
  Enter("/home/ann/week.zip");
  EXPECT_EQ(Shown(), std::vector<uint32_t>{200});
  EXPECT_EQ(view_.rows.size(), 3u);
  EXPECT_FALSE(logic_->loaded());
  EXPECT_FALSE(view_.action_enabled);

  // Not connected: read and shown, nothing said, nothing possible.
  screen_->Clear();
  host_.is_connected = false;
  Enter("/home/ann/week.zip");
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(view_.rows.size(), 3u);
  EXPECT_FALSE(view_.action_enabled);
  logic_->OnSetActive();
  EXPECT_FALSE(view_.action_enabled);
  EXPECT_EQ(view_.action_text, 178u);
}

TEST_F(RestorePageLogicTest, BrowseOpensInTheDocumentsAndReads) {
  view_.picked = "/home/ann/week.zip";
  logic_->OnBrowse();
  ASSERT_EQ(view_.file_requests.size(), 1u);
  EXPECT_FALSE(view_.file_requests[0].save);
  EXPECT_EQ(view_.file_requests[0].folder, "/home/ann");
  EXPECT_NE(view_.file_requests[0].filter.find("*.zip"), std::string::npos);
  EXPECT_EQ(view_.archive, "/home/ann/week.zip");
  EXPECT_TRUE(logic_->loaded());
  logic_->OnRefresh();
  EXPECT_EQ(view_.archive, "");
  EXPECT_TRUE(view_.rows.empty());
  EXPECT_EQ(view_.type_line, T(185));
  EXPECT_FALSE(logic_->loaded());
}

TEST_F(RestorePageLogicTest, StartAsksTheModeAndRunsTheChosenBoxes) {
  Enter("/home/ann/week.zip");
  view_.unchecked = {0};
  logic_->OnItemChanged();
  view_.mode.reset();  // the question cancelled
  logic_->OnStart();
  EXPECT_TRUE(host_.requests.empty());
  EXPECT_EQ(view_.mode_questions, 1);

  view_.mode = kRestoreModeAppend;
  logic_->OnStart();
  ASSERT_EQ(host_.requests.size(), 1u);
  const JobRequest& r = host_.requests[0];
  EXPECT_EQ(r.kind, JobKind::kRestore);
  EXPECT_EQ(r.archive_path, "/home/ann/week.zip");
  EXPECT_EQ(r.boxes, (std::vector<uint32_t>{4, 9}));
  EXPECT_EQ(r.restore_mode, 2u);
  EXPECT_EQ(r.restore_time, 1750000000);
  EXPECT_EQ(r.total_size_kb, 2048u);
  EXPECT_EQ(r.largest_size_kb, 2048u);
  auto shown = screen_->shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, T(54));
  EXPECT_EQ(shown[0].message.caption.id, 47u);
  // After a restore the box list is read again; no Refresh.
  EXPECT_EQ(host_.calls.back(), "ReadBoxList");
  EXPECT_EQ(std::count(host_.calls.begin(), host_.calls.end(), "Refresh"), 0);

  view_.mode = kRestoreModeOverwrite;
  logic_->OnStart();
  EXPECT_EQ(host_.requests.back().restore_mode, 1u);
}

TEST_F(RestorePageLogicTest, ResultMessages) {
  struct Case {
    const char* name;
    uint32_t outcome, error, state;
    std::optional<uint32_t> storage;
    std::string text;
    desktop::Icon icon;
    bool captioned, disconnected;
  } cases[] = {
      {"cancelled", kOutcomeCancelled, 0, 0, {}, T(10013),
       desktop::Icon::kWarning, true, false},
      {"secure archive refused", kOutcomeFailed, 1314, 0, {}, T(12004),
       desktop::Icon::kError, true, false},
      {"device full, storage 1", kOutcomeFailed, 39, 4, 1u,
       T(55) + "\n" + T(10020), desktop::Icon::kError, true, false},
      {"device full, storage unknown", kOutcomeFailed, 39, 4, {}, T(114),
       desktop::Icon::kError, false, false},
      {"too many documents", kOutcomeFailed, 8260, 9, {},
       T(55) + "\n" + "Too many documents in Sales\\Q1: a folder or box "
                      "holds at most 400.",
       desktop::Icon::kError, true, false},
      {"too many folders, full", kOutcomeFailed, 39, 10, 0u,
       T(55) + "\n" + "Too many folders in box Sales: a box holds at most "
                      "100.",
       desktop::Icon::kError, true, false},
      {"network", kOutcomeFailed, 12029, 3, {},
       T(55) + "\n" + cZBBoxBRError(12029).Text("192.0.2.10", *lang_),
       desktop::Icon::kError, true, true},
      {"silence", kOutcomeFailed, 257, 3, {},
       T(55) + "\n" + cZBBoxBRError(257).Text("192.0.2.10", *lang_),
       desktop::Icon::kError, true, false},
  };
  for (const Case& c : cases) {
    host_.is_connected = true;
    Enter("/home/ann/week.zip");
    screen_->Clear();
    host_.calls.clear();
    host_.storage_type = c.storage;
    host_.run = [&](const JobRequest&) {
      JobResult r;
      r.outcome = c.outcome;
      r.error = c.error;
      r.last_state = c.state;
      r.box_name = "Sales";
      r.folder_name = c.state == 9 ? "Q1" : "";
      return r;
    };
    logic_->OnStart();
    auto shown = screen_->shown();
    ASSERT_EQ(shown.size(), 1u) << c.name;
    EXPECT_EQ(shown[0].text, c.text) << c.name;
    EXPECT_EQ(shown[0].message.icon, c.icon) << c.name;
    EXPECT_EQ(shown[0].message.caption.id, c.captioned ? 47u : 0u) << c.name;
    EXPECT_EQ(shown[0].caption.empty(), !c.captioned) << c.name;
    const bool went = std::count(host_.calls.begin(), host_.calls.end(),
                                 "Disconnected") == 1;
    EXPECT_EQ(went, c.disconnected) << c.name;
    EXPECT_EQ(std::count(host_.calls.begin(), host_.calls.end(),
                         "StorageType"),
              c.error == 39 ? 1 : 0)
        << c.name;
  }
}

TEST_F(RestorePageLogicTest, ACancelledRunSaysSoInTheLanguage) {
  std::string error;
  auto de = desktop::LanguageLibrary::Load("keeperlang", "de", &error);
  ASSERT_TRUE(de) << error;
  desktop::FakeScreen screen(de.get());
  RestorePageLogic logic(RestorePageContext{
      *de, screen, view_, host_, format_, "/home/ann",
      [this](const std::string& p, ArchiveInfo* info) {
        *info = archives_.at(p);
        return 0u;
      }});
  view_.archive = "/home/ann/week.zip";
  logic.OnArchiveChanged();
  host_.run = [](const JobRequest&) {
    JobResult r;
    r.outcome = kOutcomeCancelled;
    return r;
  };
  logic.OnStart();
  ASSERT_EQ(screen.shown().size(), 1u);
  EXPECT_EQ(screen.shown()[0].text, de->Text(56));
}

}  // namespace
}  // namespace keeper
