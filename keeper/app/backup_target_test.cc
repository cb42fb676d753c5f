#include "keeper/app/backup_target.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "desktop/testing/fake_screen.h"
#include "platform/testing/temp_dir.h"

namespace keeper {
namespace {

namespace fs = std::filesystem;

TEST(BackupTargetTest, TypingRulesInTheirOrder) {
  struct Case {
    const char* text;
    uint32_t backup;   // the Backup page's target field
    uint32_t restore;  // the Restore page's archive field
  } cases[] = {
      {"/home/ann/boxes.zip", 0, 0},
      {"/home/ann/Boxes 2024/week 1.ZIP", 0, 0},
      {"/", 0, 0},
      {"/home/ann/bo*es.zip", 181, 181},
      {"/home/ann/what?.zip", 181, 181},
      {"/home/ann/\"q\".zip", 181, 181},
      {"/home/ann/<a>.zip", 181, 181},
      {"/home/ann/a|b.zip", 181, 181},
      {"/home/ann\\boxes.zip", 181, 181},
      {"//server/share/boxes.zip", 179, 179},
      {"/home//ann/boxes.zip", 181, 181},
      {"/home/ann//", 181, 181},
      {"boxes.zip", 180, 180},
      {"~/boxes.zip", 180, 180},
      {"./boxes.zip", 180, 180},
      {"C:\\boxes.zip", 181, 180},   // the backslash is seen first here
      {"//server/a*b.zip", 181, 179},
      {"relative/a?.zip", 181, 180},
      {"/x//y*.zip", 181, 181},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BackupTypingProblem(c.text), c.backup) << c.text;
    EXPECT_EQ(RestoreTypingProblem(c.text), c.restore) << c.text;
  }
}

TEST(BackupTargetTest, NameRulesOfTheStart) {
  struct Case {
    const char* text;
    bool name_before_dot;
    bool parts_valid;
  } cases[] = {
      {"/home/ann/boxes.zip", true, true},
      {"/home/ann/.zip", false, true},
      {"/home/ann/", false, true},
      {"/home/ann/boxes", true, true},
      {"/home/ann/a.b.zip", true, true},
      {"/home/ann /boxes.zip", true, false},
      {"/home/ ann/boxes.zip", true, false},
      {"/home/   /boxes.zip", true, false},
      {"/home/ann/ boxes.zip", true, false},
      {"/home/ann/boxes .zip", true, false},
      {"/home/ann/   .zip", true, false},
      {"/home/ann/two words.zip", true, true},
      {"/home/ann/boxes.zip ", true, true},  // the extension is not a name
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HasNameBeforeDot(c.text), c.name_before_dot) << c.text;
    EXPECT_EQ(PathPartsValid(c.text), c.parts_valid) << c.text;
  }
}

TEST(BackupTargetTest, ZipEndingsAndFolders) {
  EXPECT_TRUE(EndsInZip("/a/b.zip"));
  EXPECT_TRUE(EndsInZip("/a/b.ZiP"));
  EXPECT_FALSE(EndsInZip("/a/b.zipx"));
  EXPECT_FALSE(EndsInZip("zip"));
  EXPECT_EQ(FolderOf("/a/b/c.zip"), "/a/b/");
  EXPECT_EQ(FolderOf("/c.zip"), "/");
  EXPECT_EQ(FolderOf("c.zip"), "");
}

class TargetCheckTest : public testing::Test {
 protected:
  std::string In(const std::string& rest) const {
    return (fs::path(dir_.path()) / rest).string();
  }
  // The text numbers of the messages shown, in order.
  std::vector<uint32_t> Shown() const {
    std::vector<uint32_t> out;
    for (const auto& s : screen_.shown()) out.push_back(s.message.text.id);
    return out;
  }
  platform::ScopedTempDir dir_;
  desktop::FakeScreen screen_;
};

TEST_F(TargetCheckTest, RefusalsOfTheManualAndAutomaticChecks) {
  fs::create_directories(In("existing"));
  std::ofstream(In("plain.txt")) << "x";
  struct Case {
    std::string target;
    uint32_t message;  // 0: accepted
    bool focus;
  } cases[] = {
      {In("existing/boxes.zip"), 0, false},
      {In("existing/boxes.ZIP"), 0, false},
      {In("existing/.zip"), 64, true},
      {In("existing/x..zip"), 64, true},
      {In("existing/boxes.tar"), 64, true},
      {".zip", 64, true},
      {"boxes.zip", 180, false},
      {"rel/boxes.zip", 180, false},
      {"//server/share/boxes.zip", 180, false},
      // A file stands where a folder should be.
      {In("plain.txt/boxes.zip"), 181, false},
      {"/dev/null/boxes.zip", 181, false},
  };
  for (const Case& c : cases) {
    screen_.Clear();
    TargetCheck manual =
        CheckBackupTarget(c.target, TargetCheckMode::kManual, &screen_);
    EXPECT_EQ(manual.ok, c.message == 0) << c.target;
    EXPECT_EQ(manual.message, c.message) << c.target;
    EXPECT_EQ(manual.focus, c.focus) << c.target;
    if (c.message) {
      ASSERT_EQ(Shown(), std::vector<uint32_t>{c.message}) << c.target;
      EXPECT_EQ(screen_.shown()[0].message.caption.id, 43u);
      EXPECT_EQ(screen_.shown()[0].message.icon, desktop::Icon::kWarning);
    } else {
      EXPECT_TRUE(Shown().empty()) << c.target;
    }
    screen_.Clear();
    TargetCheck automatic =
        CheckBackupTarget(c.target, TargetCheckMode::kAutomatic, nullptr);
    EXPECT_EQ(automatic.ok, c.message == 0) << c.target;
    EXPECT_EQ(automatic.message, c.message) << c.target;
    EXPECT_FALSE(automatic.focus);
  }
}

TEST_F(TargetCheckTest, AMissingFolderIsCreatedWithAllLevelsAfterYes) {
  const std::string target = In("a/b/c/boxes.zip");
  screen_.answers.push_back(desktop::Answer::kNo);
  TargetCheck no = CheckBackupTarget(target, TargetCheckMode::kManual, &screen_);
  EXPECT_FALSE(no.ok);
  EXPECT_TRUE(no.clear_field);
  EXPECT_EQ(no.message, 0u);
  EXPECT_FALSE(fs::exists(In("a")));
  ASSERT_EQ(screen_.shown().size(), 1u);
  EXPECT_EQ(screen_.shown()[0].kind, desktop::FakeScreen::Shown::kQuestion);
  EXPECT_EQ(screen_.shown()[0].message.text.id, 13015u);
  EXPECT_EQ(screen_.shown()[0].buttons, desktop::Buttons::kYesNo);

  screen_.answers.push_back(desktop::Answer::kYes);
  TargetCheck yes =
      CheckBackupTarget(target, TargetCheckMode::kManual, &screen_);
  EXPECT_TRUE(yes.ok);
  EXPECT_TRUE(fs::is_directory(In("a/b/c")));
}

TEST_F(TargetCheckTest, TheAutomaticCheckCreatesWithoutAsking) {
  const std::string target = In("x/y/boxes.zip");
  TargetCheck r = CheckBackupTarget(target, TargetCheckMode::kAutomatic,
                                    nullptr);
  EXPECT_TRUE(r.ok);
  EXPECT_TRUE(fs::is_directory(In("x/y")));
}

TEST_F(TargetCheckTest, FoldersThatCannotBeMadeSayWhy) {
  // The kernel's own file systems refuse new folders, also to root.
  screen_.answers.push_back(desktop::Answer::kYes);
  TargetCheck sys = CheckBackupTarget("/sys/zelt-nowhere/boxes.zip",
                                      TargetCheckMode::kManual, &screen_);
  EXPECT_FALSE(sys.ok);
  EXPECT_EQ(sys.message, 65u);
  EXPECT_EQ(CreateFolderLevels("/sys/zelt-nowhere/"), 65u);
  std::ofstream(In("file")) << "x";
  EXPECT_EQ(CreateFolderLevels(In("file/sub/")), 66u);
  EXPECT_EQ(CreateFolderLevels("relative/"), 66u);
  EXPECT_EQ(CreateFolderLevels("//server/share/"), 66u);
  EXPECT_EQ(CreateFolderLevels(In("made/here/")), 0u);
  EXPECT_TRUE(fs::is_directory(In("made/here")));
}

}  // namespace
}  // namespace keeper
