#include "boxlink/base/logger.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "platform/testing/fake_env.h"

namespace boxlink {
namespace {

class LoggerTest : public ::testing::Test {
 protected:
  void SetUp() override { CLogger::StopLog(); }
  void TearDown() override { CLogger::StopLog(); }
  std::string Log() { return platform::ReadTestFile(CLogger::LogFilePath()); }

  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
};

TEST_F(LoggerTest, BannersHaveTheirExactForm) {
  std::string start = CLogger::StartBanner(), stop = CLogger::StopBanner();
  EXPECT_EQ(start.size(), 135u);
  EXPECT_EQ(stop.size(), 134u);
  EXPECT_EQ(start, "\n/" + std::string(65, '*') + "START LOG" +
                       std::string(57, '*') + "/\n");
  EXPECT_EQ(stop, "\n/" + std::string(65, '*') + "STOP LOG" +
                      std::string(57, '*') + "/\n");
  EXPECT_EQ(CLogger::LogFilePath(), env_.TempDir() + "/Log_ZELT.txt");
}

TEST_F(LoggerTest, TwoOpenCloseCyclesAppendInOrder) {
  CLogger::StartLog();
  CLogger::LogText("first");
  CLogger::StopLog();
  CLogger::StartLog();
  CLogger::LogText("second");
  CLogger::StopLog();
  CLogger::StopLog();  // a second stop writes nothing
  std::string s = CLogger::StartBanner(), e = CLogger::StopBanner();
  EXPECT_EQ(Log(), s + "first\n" + e + s + "second\n" + e);
}

TEST_F(LoggerTest, EntryFormsFollowTheMessageTable) {
  env_.SetMessage(2, "No such file.\n");
  env_.SetMessage(1359, "Internal.\n");
  env_.SetMessage(4711, std::nullopt);
  CLogger::StartLog();
  EXPECT_EQ(CLogger::LogError("zbBoxGetBoxList", 2), 1);
  EXPECT_EQ(CLogger::LogError("zbBoxBackup", 1359, true), 1);
  EXPECT_EQ(CLogger::LogError("FtpGetFile", 4711, false), 0);
  EXPECT_EQ(CLogger::LogError("FtpGetFile", 4711, true), 0);
  EXPECT_EQ(CLogger::LogText("abc"), 1);
  EXPECT_EQ(Log(), CLogger::StartBanner() +
                       "\n ==> zbBoxGetBoxList Failed With ERROR - 2 : No such "
                       "file.\n"
                       "\n ==> zbBoxBackup Failed With Default ERROR - 1359 : "
                       "Internal.\n"
                       "\n ==> FtpGetFile Failed With ERROR=4711 Other then "
                       "WinError "
                       "\n ==> FtpGetFile Failed With ERROR=4711 Other then "
                       "WinError "
                       "abc\n");
}

TEST_F(LoggerTest, TheRealMessageTableFillsTheEntry) {
  CLogger::LogError("zbBoxOpenConnection - _zbOpenSession", 12029);
  std::string log = Log();
  EXPECT_NE(log.find("\n ==> zbBoxOpenConnection - _zbOpenSession Failed "
                     "With ERROR - 12029 : " +
                     *env_.ErrorMessage(12029)),
            std::string::npos)
      << log;
}

TEST_F(LoggerTest, LoggingBeforeAnySessionStartsTheLogFirst) {
  EXPECT_FALSE(CLogger::IsStarted());
  CLogger::LogText("early");
  EXPECT_TRUE(CLogger::IsStarted());
  EXPECT_EQ(Log(), CLogger::StartBanner() + "early\n");
}

TEST_F(LoggerTest, LongEntriesAreCutAt1024Characters) {
  CLogger::StartLog();
  CLogger::LogError(std::string(2000, 'x'), 2);
  CLogger::LogText(std::string(2000, 'y'));
  std::string log = Log().substr(CLogger::StartBanner().size());
  size_t ys = log.find('y');
  ASSERT_NE(ys, std::string::npos);
  EXPECT_EQ(ys, 1024u);                  // the error entry, cut
  EXPECT_EQ(log.size() - ys, 1024u);     // 1023 y and the line feed
  EXPECT_EQ(log.back(), '\n');
}

TEST_F(LoggerTest, AnUnopenableLogDropsEntriesQuietly) {
  std::filesystem::remove_all(env_.TempDir());
  EXPECT_EQ(CLogger::LogError("zbBoxGetBoxList", 2), 1);
  EXPECT_EQ(CLogger::LogText("lost"), 1);
  EXPECT_FALSE(CLogger::IsStarted());
  CLogger::OpenLog(env_.root() + "/no/such/folder/log.txt");
  EXPECT_FALSE(CLogger::IsStarted());
}

// The log lives in a folder that everyone may write to: another user's
// link in its place is never followed, and what it writes only its owner
// may read.
TEST_F(LoggerTest, TheLogIsPrivateAndNeverFollowsALink) {
  CLogger::StartLog();
  CLogger::LogText("mine");
  CLogger::StopLog();
  struct stat st {};
  ASSERT_EQ(::lstat(CLogger::LogFilePath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  std::filesystem::remove(CLogger::LogFilePath());
  std::string victim = env_.root() + "/victim.txt";
  platform::WriteTestFile(victim, "untouched");
  std::filesystem::create_symlink(victim, CLogger::LogFilePath());
  CLogger::StartLog();
  CLogger::LogText("must not land in the victim");
  EXPECT_FALSE(CLogger::IsStarted());
  CLogger::StopLog();
  EXPECT_EQ(platform::ReadTestFile(victim), "untouched");
}

TEST_F(LoggerTest, ConcurrentEntriesStayWhole) {
  constexpr int kThreads = 8, kEntries = 200;
  env_.SetMessage(5, "Denied.\n");
  CLogger::StartLog();
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kEntries; ++i)
        CLogger::LogError("thread" + std::to_string(t), 5);
    });
  for (auto& t : threads) t.join();
  CLogger::StopLog();
  std::string log = Log();
  std::string body = log.substr(
      CLogger::StartBanner().size(),
      log.size() - CLogger::StartBanner().size() -
          CLogger::StopBanner().size());
  int count = 0;
  size_t pos = 0;
  while (pos < body.size()) {
    ASSERT_EQ(body.compare(pos, 11, "\n ==> threa"), 0) << pos;
    size_t end = body.find("Denied.\n", pos);
    ASSERT_NE(end, std::string::npos);
    std::string entry = body.substr(pos, end + 8 - pos);
    EXPECT_NE(entry.find(" Failed With ERROR - 5 : Denied.\n"),
              std::string::npos)
        << entry;
    pos = end + 8;
    ++count;
  }
  EXPECT_EQ(count, kThreads * kEntries);
}

}  // namespace
}  // namespace boxlink
