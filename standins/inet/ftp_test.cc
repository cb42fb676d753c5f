#include "standins/inet/ftp.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "devsim/ftp/ftp_test_server.h"
#include "platform/last_error.h"
#include "platform/testing/temp_dir.h"

namespace inet {
namespace {
using devsim::FtpFault;
using devsim::TestFtpServer;

TEST(ParseLongListLineTest, Table) {
  const int64_t now = 1767225600;  // 2026-01-01
  struct Case {
    const char* line;
    bool ok;
    const char* name;
    bool folder;
    uint64_t size;
  } cases[] = {
      {"drwxr-xr-x   2 root     root         4096 Dec 01 12:00 my folder", true,
       "my folder", true, 4096},
      {"-rw-r--r--   1 root     root     5000000000 Jan 01 2020 A.XML\r", true,
       "A.XML", false, 5000000000ULL},
      {"lrwxrwxrwx 1 a b 3 Jan 01 10:00 ln -> target", true, "ln", false, 3},
      {"total 12", false, "", false, 0},
      {"", false, "", false, 0},
      {"-rw-r--r-- 1 root root 10 Jan 01", false, "", false, 0},
  };
  for (const auto& c : cases) {
    FtpFindData d;
    EXPECT_EQ(ParseLongListLine(c.line, now, &d), c.ok) << c.line;
    if (!c.ok) continue;
    EXPECT_STREQ(d.name, c.name);
    EXPECT_EQ(d.is_folder(), c.folder) << c.line;
    EXPECT_EQ(d.size(), c.size) << c.line;
  }
}

TEST(ParseLongListLineTest, RecentDateIsLastYearWhenInTheFuture) {
  FtpFindData d;
  // 2026-01-01 now: "Dec 01 12:00" is 2025-12-01.
  ASSERT_TRUE(ParseLongListLine("-rw-r--r-- 1 u g 1 Dec 01 12:00 x", 1767225600, &d));
  uint64_t expected = (1764590400ULL + 11644473600ULL) * 10000000ULL;
  EXPECT_EQ(d.last_write_time, expected);
}

class InetFtpTest : public testing::Test {
 protected:
  std::unique_ptr<FtpConnection> Open(const char* password = TestFtpServer::kPassword) {
    return FtpConnection::Open(session_, server_.host(),
                               static_cast<uint16_t>(server_.port()),
                               TestFtpServer::kUser, password);
  }
  Session session_{"zbBoxFTPAcs"};
  TestFtpServer server_;
  platform::ScopedTempDir local_;
};

TEST_F(InetFtpTest, LoginErrors) {
  EXPECT_EQ(Open("nope"), nullptr);
  EXPECT_EQ(platform::GetLastError(), kErrIncorrectPassword);
  int port = server_.port();
  server_.server().Stop();
  EXPECT_EQ(FtpConnection::Open(session_, "127.0.0.1", static_cast<uint16_t>(port),
                                "u", "p"),
            nullptr);
  EXPECT_EQ(platform::GetLastError(), kErrCannotConnect);
}

TEST_F(InetFtpTest, FilesFoldersAndSearch) {
  auto c = Open();
  ASSERT_NE(c, nullptr);
  ASSERT_TRUE(c->CreateDirectory("/B0000001"));
  ASSERT_TRUE(c->CreateDirectory("/B0000001/P0000001"));
  platform::WriteTestFile(local_.Sub("a"), "abc");
  ASSERT_TRUE(c->PutFile(local_.Sub("a"), "/B0000001/A.XML"));
  {
    auto f = c->OpenFile("/B0000001/CREATE.STS", true);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->Close());
  }
  ASSERT_TRUE(c->RenameFile("/B0000001/CREATE.STS", "/B0000001/UNLOCK.STS"));

  FtpFindData d;
  std::vector<std::pair<std::string, bool>> seen;
  ASSERT_TRUE(c->FindFirstFile("/B0000001", &d));
  do seen.emplace_back(d.name, d.is_folder());
  while (c->FindNextFile(&d));
  EXPECT_EQ(c->last_error(), kErrNoMoreFiles);
  // The device's listing holds "." and ".." too; the caller skips them.
  std::vector<std::pair<std::string, bool>> want = {
      {".", true}, {"..", true}, {"A.XML", false}, {"P0000001", true},
      {"UNLOCK.STS", false}};
  EXPECT_EQ(seen, want);

  ASSERT_TRUE(c->GetFile("/B0000001/A.XML", local_.Sub("b"), false));
  EXPECT_EQ(platform::ReadTestFile(local_.Sub("b")), "abc");
  EXPECT_FALSE(c->GetFile("/B0000001/A.XML", local_.Sub("b"), true));

  EXPECT_TRUE(c->Command("DELE /B0000001/A.XML", false, false, nullptr));
  EXPECT_FALSE(c->Command("DELE /B0000001/A.XML", false, false, nullptr));
  EXPECT_EQ(c->last_error(), kErrExtendedError);
  EXPECT_NE(c->LastResponse().find("550"), std::string::npos);

  std::unique_ptr<FtpTransfer> data;
  ASSERT_TRUE(c->Command("LIST /B0000001", true, false, &data));
  char buf[4096];
  size_t got = 0;
  ASSERT_TRUE(data->Read(buf, sizeof buf, &got));
  EXPECT_NE(std::string(buf, got).find("P0000001"), std::string::npos);
  EXPECT_TRUE(data->Close());
}

TEST_F(InetFtpTest, ResetDuringUpload) {
  auto c = Open();
  ASSERT_NE(c, nullptr);
  platform::WriteTestFile(local_.Sub("a"), std::string(1 << 20, 'x'));
  server_.Arm("ftp.STOR", FtpFault::Drop());
  EXPECT_FALSE(c->PutFile(local_.Sub("a"), "/a"));
  EXPECT_EQ(c->last_error(), kErrConnectionReset);
}

}  // namespace
}  // namespace inet
