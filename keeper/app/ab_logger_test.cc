// The result log over a schedule's life, compared byte for byte with the
// expected files in testdata/ (where @DIR@ stands for the test's folder).
#include "keeper/app/ab_logger.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "desktop/language.h"
#include "desktop/testing/fake_screen.h"
#include "platform/testing/fake_env.h"

namespace keeper {
namespace {

namespace fs = std::filesystem;

// Fixed formats, so that the expected files do not depend on the locale.
class TestFormat final : public DateTimeFormat {
 public:
  std::optional<std::string> LongDate(const platform::SystemTime& t) const override {
    static const char* kDays[] = {"Sun", "Mon", "Tue", "Wed",
                                  "Thu", "Fri", "Sat"};
    if (t.year < 1970 || t.day_of_week > 6) return std::nullopt;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s %04u-%02u-%02u", kDays[t.day_of_week],
                  t.year, t.month, t.day);
    return buf;
  }
  std::optional<std::string> Time(const platform::SystemTime& t) const override {
    if (t.hour > 23) return std::nullopt;
    char buf[24];
    std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", t.hour, t.minute,
                  t.second);
    return buf;
  }
};

platform::SystemTime At(uint16_t y, uint16_t mo, uint16_t d, uint16_t dow,
                        uint16_t h, uint16_t mi) {
  return platform::SystemTime{y, mo, dow, d, h, mi, 0, 0};
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ABLoggerTest : public testing::Test {
 protected:
  void SetUp() override {
    env_.SetFixedTimeZone(60);
    AtTheEnd();
    dir_ = fs::path(env_.root()) / "backups";
    fs::create_directories(dir_);
    fs::create_directories(env_.TempDir());
  }

  CABLogger Logger(const char* language) {
    std::string lang = language;
    return CABLogger(
        CABLogger::DefaultPath(),
        [lang]() -> std::unique_ptr<desktop::Texts> {
          std::string error;
          return desktop::LanguageLibrary::Load("keeperlang", lang, &error);
        },
        screen_, format_);
  }

  void MakeArchive(const std::string& name, uintmax_t bytes) {
    std::ofstream(dir_ / name).close();
    fs::resize_file(dir_ / name, bytes);
  }

  std::string Expected(const char* file) {
    std::string text =
        ReadFile(fs::path(ZELT_SOURCE_DIR) / "keeper/app/testdata" / file);
    for (size_t at; (at = text.find("@DIR@")) != std::string::npos;)
      text.replace(at, 5, dir_.string());
    return text;
  }
  std::string Log() { return ReadFile(CABLogger::DefaultPath()); }

  // The end of a schedule: 2024-05-09 08:15:00 UTC. The test clock runs
  // at the real pace from there, so it is set right before an outcome.
  void AtTheEnd() { env_.test_clock().SetUnixTime(1715242500); }

  platform::FakeEnv env_{1};
  platform::ScopedEnv use_{&env_};
  desktop::FakeScreen screen_;
  TestFormat format_;
  fs::path dir_;
};

TEST_F(ABLoggerTest, AScheduleWithThreeRunsAndAStop) {
  CABLogger log = Logger("en");
  ScheduleLogState s;
  s.device_name = "Tarn Office";
  s.device_address = "127.0.0.9";
  s.target = (dir_ / "office.zip").string();
  s.interval = kIntervalDaily;
  s.start = At(2024, 5, 6, 1, 22, 30);
  s.backup_type = 0;
  s.continue_if_deleted = true;
  s.device_boxes = {{1, "Scans"},
                    {2, "\xE5\x8F\x97\xE4\xBF\xA1\xE3\x83\x9C\xE3\x83\x83"
                        "\xE3\x82\xAF\xE3\x82\xB9"},
                    {5, "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9"
                        "\xCE\xBA\xCE\xAC"},
                    {7, "\xC5\x81\xC3\xB3\x64\xC5\xBA"}};
  s.selection = {2, 5, 7};
  log.StartSchedule(s, false);

  // Run 1 finishes: 3 MB and a little more.
  log.WriteRunStart(s);
  MakeArchive("office_001.zip", 3 * 1048576 + 102400);
  log.WriteRunReport(s, {}, At(2024, 5, 6, 1, 22, 30));
  log.WriteRunResult(s, {RunResult::kDone, 0, 0});

  // Run 2 loses the device, is retried and finishes; a box was deleted.
  log.WriteRunStart(s);
  log.WriteRunResult(s, {RunResult::kFailedWillRetry, 12029, 0});
  MakeArchive("office_002.zip", 512000);
  log.WriteRunReport(s, {s.device_boxes[3]}, At(2024, 5, 7, 2, 22, 35));
  log.WriteRunResult(s, {RunResult::kDone, 0, 0});

  // Run 3 is cancelled; the user stops the schedule, then exits.
  log.WriteRunStart(s);
  log.WriteRunReport(s, {}, At(2024, 5, 8, 3, 22, 30));
  log.WriteRunResult(s, {RunResult::kCancelled, 0, 0});
  AtTheEnd();
  log.WriteOutcome(s, ScheduleOutcome::kStoppedByUser);
  log.WriteOutcome(s, ScheduleOutcome::kStoppedByUser);

  EXPECT_EQ(Log(), Expected("ab_log_schedule_en.txt"));
  EXPECT_EQ(s.run_number, 3u);
  EXPECT_EQ(s.success_number, 2u);
  EXPECT_TRUE(screen_.shown().empty());
  // Kept to its owner: it lies in a shared folder.
  EXPECT_EQ(fs::status(log.path()).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(ABLoggerTest, AFailedScheduleThenANewOneThatStopsForDeletedBoxes) {
  CABLogger log = Logger("de");
  ScheduleLogState s;
  s.device_name = "B\xC3\xBCro 3. OG";
  s.device_address = "127.0.0.9";
  s.target = (dir_ / "b\xC3\xBCro.zip").string();
  s.interval = kIntervalOnce;
  s.start = At(2024, 12, 27, 5, 7, 5);
  s.backup_type = 1;
  s.continue_if_deleted = false;
  s.device_boxes = {{9, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE"
                        "\xE7\xAE\xB1"}};
  s.selection = {9};
  log.StartSchedule(s, true);
  log.WriteRunStart(s);
  log.WriteRunResult(s, {RunResult::kFailedLastRetry, 12029, 0});
  AtTheEnd();
  log.WriteOutcome(s, ScheduleOutcome::kFailed);
  EXPECT_EQ(Log(), Expected("ab_log_failed_de.txt"));

  // A new schedule empties the log and may end once more.
  s.interval = kIntervalWeekly;
  log.StartSchedule(s, false);
  EXPECT_EQ(s.run_number, 0u);
  log.WriteRunStart(s);
  AtTheEnd();
  log.WriteStopForDeletedBoxes(s);
  log.WriteOutcome(s, ScheduleOutcome::kStoppedByUser);  // already ended
  EXPECT_EQ(Log(), Expected("ab_log_deleted_de.txt"));
}

TEST_F(ABLoggerTest, AFailedRunKeepsTheArchiveNumberAndMissingArchivesCountZero) {
  CABLogger log = Logger("en");
  ScheduleLogState s;
  s.target = (dir_ / "n.zip").string();
  s.device_boxes = {{1, "A"}};
  s.selection = {1};
  log.StartSchedule(s, true);
  log.WriteRunStart(s);
  log.WriteRunResult(s, {RunResult::kFailed, 5, 0});
  log.WriteRunStart(s);
  log.WriteRunReport(s, {}, At(2024, 5, 9, 4, 9, 0));
  // No archive was written: the size counts as 0.
  log.WriteRunResult(s, {RunResult::kDone, 0, 0});
  std::string text = Log();
  EXPECT_NE(text.find("Failed.\nAccess to the folder or file was denied.\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Target file: " + (dir_ / "n_001.zip").string()),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Archive size: 0 KB\n"), std::string::npos) << text;
  EXPECT_EQ(s.success_number, 1u);
}

TEST_F(ABLoggerTest, UnformattableTimesAndAMissingLanguageLibrary) {
  CABLogger log(
      CABLogger::DefaultPath(),
      [] { return std::unique_ptr<desktop::Texts>(); }, screen_, format_);
  ScheduleLogState s;
  log.StartSchedule(s, true);
  auto shown = screen_.shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].message.text.text, "Could not Load Language Library");
  EXPECT_EQ(shown[0].message.caption.text, "");
  // The log was emptied; the block was not written.
  EXPECT_EQ(Log(), "\xEF\xBB\xBF");

  EXPECT_EQ(DateTimeText(format_, At(1601, 1, 1, 1, 0, 0)), "-- -- --");
  EXPECT_EQ(DateTimeText(format_, At(2024, 1, 1, 1, 25, 0)),
            "Mon 2024-01-01  -- -- --");
}

TEST_F(ABLoggerTest, ALinkPlantedInPlaceOfTheLogIsNotFollowed) {
  fs::path victim = fs::path(env_.root()) / "victim.txt";
  std::ofstream(victim) << "keep";
  fs::create_symlink(victim, CABLogger::DefaultPath());
  CABLogger log = Logger("en");
  ScheduleLogState s;
  log.StartSchedule(s, true);
  EXPECT_EQ(ReadFile(victim), "keep");
}

}  // namespace
}  // namespace keeper
