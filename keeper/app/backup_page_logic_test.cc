#include "keeper/app/backup_page_logic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "desktop/language.h"
#include "desktop/testing/fake_screen.h"
#include "keeper/app/br_error.h"
#include "keeper/app/testing/fake_pages.h"
#include "platform/testing/temp_dir.h"

namespace keeper {
namespace {

namespace fs = std::filesystem;

ZBSYSTEMTIME At(uint16_t y, uint16_t mo, uint16_t d, uint16_t h, uint16_t mi) {
  ZBSYSTEMTIME t{};
  t.wYear = y;
  t.wMonth = mo;
  t.wDay = d;
  t.wHour = h;
  t.wMinute = mi;
  return t;
}

class BackupPageLogicTest : public testing::Test {
 protected:
  BackupPageLogicTest() {
    std::string error;
    lang_ = desktop::LanguageLibrary::Load("keeperlang", "en", &error);
    EXPECT_TRUE(lang_) << error;
    screen_ = std::make_unique<desktop::FakeScreen>(lang_.get());
    host_.box_list = {{1, "Scans", false, At(2026, 4, 28, 18, 5)},
                      {2, "Fax in", true, {}},
                      {17, "Invoices", false, At(1999, 1, 2, 3, 4)},
                      {120, "Night", false, At(2026, 1, 2, 25, 0)}};
    logic_ = std::make_unique<BackupPageLogic>(BackupPageContext{
        *lang_, *screen_, view_, host_, format_, dir_.path()});
  }

  std::string In(const std::string& rest) const {
    return (fs::path(dir_.path()) / rest).string();
  }
  std::vector<uint32_t> Shown() const {
    std::vector<uint32_t> out;
    for (const auto& s : screen_->shown()) out.push_back(s.message.text.id);
    return out;
  }
  void Type(const std::string& text) {
    view_.target = text;
    logic_->OnChangeEditZipfldr();
  }

  platform::ScopedTempDir dir_;
  std::unique_ptr<desktop::LanguageLibrary> lang_;
  std::unique_ptr<desktop::FakeScreen> screen_;
  FakePageHost host_;
  FakeBackupView view_;
  FakeDateFormat format_;
  std::unique_ptr<BackupPageLogic> logic_;
};

TEST_F(BackupPageLogicTest, RowsShowNumberNameProtectionAndLastBackup) {
  logic_->AddBoxes();
  EXPECT_EQ(view_.device_row, "Device");
  ASSERT_EQ(view_.rows.size(), 4u);
  struct Row {
    const char* label;
    bool is_protected;
    const char* last;
  } expected[] = {
      {"001 Scans", false, "2026-4-28  18:5"},
      {"002 Fax in", true, "-- -- --  -- -- --"},   // no date at all
      {"017 Invoices", false, "-- -- --  3:4"},      // the date fails
      {"120 Night", false, "2026-1-2  -- -- --"},    // the time fails
  };
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(view_.rows[i].label, expected[i].label);
    EXPECT_EQ(view_.rows[i].is_protected, expected[i].is_protected);
    ASSERT_EQ(view_.rows[i].columns.size(), 1u);
    EXPECT_EQ(view_.rows[i].columns[0], expected[i].last);
  }
  EXPECT_EQ(view_.CheckedBoxes(), (std::vector<uint32_t>{1, 2, 17, 120}));
  EXPECT_EQ(logic_->page_boxes().size(), 4u);

  host_.is_connected = false;
  logic_->AddBoxes();
  EXPECT_TRUE(view_.rows.empty());
  EXPECT_TRUE(logic_->page_boxes().empty());
}

TEST_F(BackupPageLogicTest, TheActionFollowsChecksTargetAndConnection) {
  struct Case {
    bool connected;
    bool any_checked;
    const char* target;
    bool enabled;
  } cases[] = {
      {true, true, "/a/b.zip", true},
      {true, true, "/a/b.ZIP", true},
      {true, true, "/a/b.zi", false},
      {true, true, "", false},
      {true, false, "/a/b.zip", false},
      {false, true, "/a/b.zip", false},
  };
  for (const Case& c : cases) {
    host_.is_connected = true;
    logic_->AddBoxes();
    host_.is_connected = c.connected;
    if (!c.any_checked)
      for (const auto& r : view_.rows) view_.unchecked.insert(r.number);
    view_.target = c.target;
    logic_->OnItemchangedBoxList();
    EXPECT_EQ(view_.action_enabled, c.enabled) << c.target;
    logic_->OnSetActive();
    EXPECT_EQ(view_.action_enabled, c.enabled) << c.target;
    EXPECT_EQ(view_.action_text, 177u);
  }
}

TEST_F(BackupPageLogicTest, IncrementalOnlyForTheNewerGenerationWhenConnected) {
  struct Case {
    bool connected, old_generation, settings;
  } cases[] = {{true, false, true}, {true, true, false}, {false, false, false}};
  for (const Case& c : cases) {
    host_.is_connected = c.connected;
    host_.is_old_generation = c.old_generation;
    view_.full = false;  // incremental chosen before
    logic_->OnSetActive();
    EXPECT_EQ(view_.settings_enabled, c.settings);
    EXPECT_EQ(view_.full, !c.settings);
    EXPECT_EQ(logic_->backup_type(), c.settings ? 1u : 0u);
  }
}

TEST_F(BackupPageLogicTest, RefreshClearsTheTargetUnlessAScheduleWaits) {
  view_.target = "/a/b.zip";
  logic_->OnRefresh();
  EXPECT_EQ(view_.target, "");
  EXPECT_EQ(view_.rows.size(), 4u);
  EXPECT_EQ(view_.focus_count, 1);

  view_.target = "/a/b.zip";
  view_.shown = false;
  host_.pending = true;
  logic_->OnRefresh();
  EXPECT_EQ(view_.target, "/a/b.zip");
  EXPECT_EQ(view_.focus_count, 1);
}

TEST_F(BackupPageLogicTest, BrowseProposesATimeStampedNameInTheDocuments) {
  view_.picked = In("chosen");
  logic_->OnBtnBrowseFolder();
  ASSERT_EQ(view_.file_requests.size(), 1u);
  const desktop::FileRequest& r = view_.file_requests[0];
  EXPECT_TRUE(r.save);
  EXPECT_EQ(r.folder, dir_.path());
  EXPECT_TRUE(std::regex_match(r.file_name,
                               std::regex("20[0-9]{6}_[0-9]{6}\\.zip")))
      << r.file_name;
  EXPECT_EQ(r.default_suffix, "zip");
  EXPECT_NE(r.filter.find("*.zip"), std::string::npos);
  EXPECT_EQ(view_.target, In("chosen.zip"));
  EXPECT_TRUE(logic_->name_from_dialog());

  view_.picked = In("Other.ZIP");
  logic_->OnBtnBrowseFolder();
  EXPECT_EQ(view_.target, In("Other.ZIP"));

  // Cancelled: the field keeps its text. While a schedule waits: nothing.
  view_.picked.reset();
  logic_->OnBtnBrowseFolder();
  EXPECT_EQ(view_.target, In("Other.ZIP"));
  host_.pending = true;
  logic_->OnBtnBrowseFolder();
  EXPECT_EQ(view_.file_requests.size(), 3u);
}

TEST_F(BackupPageLogicTest, ProposedNames) {
  platform::SystemTime t{};
  t.year = 2026;
  t.month = 3;
  t.day = 7;
  t.hour = 9;
  t.minute = 5;
  t.second = 1;
  EXPECT_EQ(BackupPageLogic::ProposedName(t), "20260307_090501");
}

TEST_F(BackupPageLogicTest, TypingRefusesWithItsMessageAndClearsTheField) {
  struct Case {
    std::string text;
    uint32_t message;  // 0: accepted
  } cases[] = {
      {In("boxes.zip"), 0},
      {In("partial"), 0},
      {In("a*b.zip"), 181},
      {In("a?b.zip"), 181},
      {In("a\\b.zip"), 181},
      {"//server/share/b.zip", 179},
      {dir_.path() + "//b.zip", 181},
      {"b.zip", 180},
      {"home/b.zip", 180},
  };
  for (const Case& c : cases) {
    screen_->Clear();
    logic_->AddBoxes();
    Type(c.text);
    if (c.message == 0) {
      EXPECT_TRUE(Shown().empty()) << c.text;
      EXPECT_EQ(view_.target, c.text);
      continue;
    }
    ASSERT_EQ(Shown(), std::vector<uint32_t>{c.message}) << c.text;
    EXPECT_EQ(screen_->shown()[0].message.caption.id, 88u);
    EXPECT_EQ(screen_->shown()[0].message.icon, desktop::Icon::kError);
    EXPECT_EQ(view_.target, "") << c.text;
    EXPECT_FALSE(view_.action_enabled);
  }
}

TEST_F(BackupPageLogicTest, TypingAnExistingArchiveAsksToReplaceIt) {
  std::ofstream(In("old.zip")) << "x";
  logic_->AddBoxes();
  screen_->answers.push_back(desktop::Answer::kNo);
  Type(In("old.zip"));
  ASSERT_EQ(Shown(), std::vector<uint32_t>{74});
  EXPECT_EQ(screen_->shown()[0].default_answer, desktop::Answer::kNo);
  EXPECT_EQ(view_.target, "");
  EXPECT_FALSE(view_.action_enabled);
  EXPECT_FALSE(logic_->overwrite_confirmed());

  screen_->answers.push_back(desktop::Answer::kYes);
  Type(In("old.zip"));
  EXPECT_EQ(view_.target, In("old.zip"));
  EXPECT_TRUE(logic_->overwrite_confirmed());
  EXPECT_TRUE(view_.action_enabled);
  // The next change forgets the answer.
  Type(In("old.zi"));
  EXPECT_FALSE(logic_->overwrite_confirmed());

  // A folder named like an archive cannot become one.
  fs::create_directories(In("folder.zip"));
  screen_->Clear();
  Type(In("folder.zip"));
  EXPECT_EQ(Shown(), std::vector<uint32_t>{181});
}

TEST_F(BackupPageLogicTest, TypingIntoAMissingFolderCreatesIt) {
  Type(In("new/deeper/b.zip"));
  EXPECT_TRUE(fs::is_directory(In("new/deeper")));
  EXPECT_TRUE(Shown().empty());
  // Only a name ending in ".zip" creates anything.
  Type(In("other/b.zi"));
  EXPECT_FALSE(fs::exists(In("other")));
  std::ofstream(In("file")) << "x";
  Type(In("file/b.zip"));
  ASSERT_EQ(Shown(), std::vector<uint32_t>{66});
  EXPECT_EQ(screen_->shown()[0].message.icon, desktop::Icon::kWarning);
  EXPECT_EQ(view_.target, "");
}

// The start's checks in their order: the first that fails speaks, and
// nothing runs.
TEST_F(BackupPageLogicTest, StartChecksInTheirOrder) {
  fs::create_directories(In("ok"));
  struct Case {
    const char* name;
    std::string target;
    bool none_checked;
    uint32_t message;
    uint32_t caption;
    bool cleared;
  } cases[] = {
      {"no name before the dot", In("ok/.zip"), false, 64, 43, true},
      {"a folder ending in a blank", In("ok /b.zip"), false, 64, 43, true},
      {"a base name of blanks", In("ok/   .zip"), false, 64, 43, true},
      {"no box chosen", In("ok/b.zip"), true, 61, 88, false},
      {"the name before no box", In("ok/.zip"), true, 64, 43, true},
      {"no .zip at all", In("ok/b.tar"), false, 64, 43, false},
      {"a file as the folder", "/dev/null/b.zip", false, 181, 43, false},
  };
  for (const Case& c : cases) {
    screen_->Clear();
    host_.calls.clear();
    logic_->AddBoxes();
    if (c.none_checked)
      for (const auto& r : view_.rows) view_.unchecked.insert(r.number);
    view_.target = c.target;
    logic_->OnStart();
    ASSERT_EQ(Shown(), std::vector<uint32_t>{c.message}) << c.name;
    EXPECT_EQ(screen_->shown()[0].message.caption.id, c.caption) << c.name;
    EXPECT_EQ(view_.target.empty(), c.cleared) << c.name;
    EXPECT_EQ(std::count(host_.calls.begin(), host_.calls.end(), "Run"), 0)
        << c.name;
  }
}

// While a schedule waits the button shows Stop: after the checks that
// come first it asks to end the schedule, and no backup starts.
TEST_F(BackupPageLogicTest, StartWhileAScheduleWaitsStopsIt) {
  fs::create_directories(In("ok"));
  struct Case {
    const char* name;
    std::string target;
    bool none_checked;
    uint32_t message;  // 0: no message, the stop is asked for
  } cases[] = {
      {"a good target", In("ok/b.zip"), false, 0},
      {"no box chosen", In("ok/b.zip"), true, 61},
      {"no name before the dot", In("ok/.zip"), false, 64},
  };
  host_.pending = true;
  for (const Case& c : cases) {
    screen_->Clear();
    host_.calls.clear();
    logic_->AddBoxes();
    view_.unchecked.clear();
    if (c.none_checked)
      for (const auto& r : view_.rows) view_.unchecked.insert(r.number);
    view_.target = c.target;
    logic_->OnStart();
    const int stops = static_cast<int>(
        std::count(host_.calls.begin(), host_.calls.end(), "StopAutomatic"));
    if (c.message) {
      EXPECT_EQ(Shown(), std::vector<uint32_t>{c.message}) << c.name;
      EXPECT_EQ(stops, 0) << c.name;
    } else {
      EXPECT_TRUE(Shown().empty()) << c.name;
      EXPECT_EQ(stops, 1) << c.name;
    }
    EXPECT_TRUE(host_.requests.empty()) << c.name;
  }
}

TEST_F(BackupPageLogicTest, StartAsksBeforeReplacingUnlessConfirmedTyping) {
  std::ofstream(In("old.zip")) << "x";
  logic_->AddBoxes();
  view_.target = In("old.zip");
  screen_->answers.push_back(desktop::Answer::kNo);
  logic_->OnStart();
  EXPECT_EQ(Shown(), std::vector<uint32_t>{74});
  EXPECT_TRUE(host_.requests.empty());

  screen_->Clear();
  screen_->answers.push_back(desktop::Answer::kYes);  // while typing
  Type(In("old.zip"));
  logic_->OnStart();
  EXPECT_EQ(Shown(), (std::vector<uint32_t>{74, 0}));  // then the result
  EXPECT_EQ(host_.requests.size(), 1u);
}

TEST_F(BackupPageLogicTest, StartRunsTheChosenBoxesAndShowsTheResult) {
  host_.open_result_value = 1;
  logic_->AddBoxes();
  view_.unchecked.insert(2);
  view_.full = false;
  view_.target = In("sub/b.zip");
  screen_->answers.push_back(desktop::Answer::kYes);  // create "sub"
  logic_->OnStart();
  ASSERT_EQ(host_.requests.size(), 1u);
  const JobRequest& r = host_.requests[0];
  EXPECT_EQ(r.kind, JobKind::kBackup);
  EXPECT_EQ(r.archive_path, In("sub/b.zip"));
  EXPECT_EQ(r.boxes, (std::vector<uint32_t>{1, 17, 120}));
  EXPECT_EQ(r.backup_type, 1u);
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"SkipBackup", "Run",
                                                   "Status 34", "Refresh"}));
  auto shown = screen_->shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].text, lang_->Text(51));
  EXPECT_EQ(shown[1].message.caption.id, 43u);
  EXPECT_EQ(shown[1].message.icon, desktop::Icon::kInformation);
}

TEST_F(BackupPageLogicTest, ResultMessages) {
  struct Case {
    uint32_t outcome;
    uint32_t error;
    uint32_t head;
    desktop::Icon icon;
    bool disconnected;
  } cases[] = {
      {kOutcomeDone, 0, 51, desktop::Icon::kInformation, false},
      {kOutcomeFailed, 5, 52, desktop::Icon::kError, false},
      {kOutcomeFailed, 12029, 52, desktop::Icon::kError, true},
      {kOutcomeFailed, 12004, 52, desktop::Icon::kError, true},
      {kOutcomeFailed, 1460, 52, desktop::Icon::kError, true},
      {kOutcomeFailed, 50, 52, desktop::Icon::kError, true},
      {kOutcomeCancelled, 0, 10012, desktop::Icon::kWarning, false},
  };
  fs::create_directories(In("r"));
  for (const Case& c : cases) {
    screen_->Clear();
    host_.calls.clear();
    host_.is_connected = true;
    logic_->AddBoxes();
    view_.settings_enabled = true;
    view_.target = In("r/b.zip");
    fs::remove(In("r/b.zip"));
    host_.run = [&](const JobRequest&) {
      JobResult r;
      r.outcome = c.outcome;
      r.error = c.error;
      return r;
    };
    logic_->OnStart();
    auto shown = screen_->shown();
    ASSERT_EQ(shown.size(), 1u) << c.error;
    std::string expected(lang_->Text(c.head));
    if (c.error)
      expected += "\n" + cZBBoxBRError(c.error).Text("192.0.2.10", *lang_);
    EXPECT_EQ(shown[0].text, expected);
    EXPECT_EQ(shown[0].message.icon, c.icon);
    const bool went = std::count(host_.calls.begin(), host_.calls.end(),
                                 "Disconnected") == 1;
    EXPECT_EQ(went, c.disconnected) << c.error;
    EXPECT_EQ(view_.settings_enabled, !c.disconnected) << c.error;
    EXPECT_EQ(host_.calls.back(), "Refresh");
  }
}

}  // namespace
}  // namespace keeper
