// The wrapper library as its loader sees it: loaded by name, two exports,
// the interface's conventions.
#include <gtest/gtest.h>

#include <filesystem>

#include "devsim/ftp/ftp_test_server.h"
#include "ftpshim/ftpshim.h"
#include "platform/library.h"
#include "platform/testing/temp_dir.h"

namespace {
namespace fs = std::filesystem;
using devsim::TestFtpServer;

class FtpShimTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    lib_ = platform::OpenLibrary(FTPSHIM_SO, "", &error);
    ASSERT_NE(lib_, nullptr) << error;
    create_ = lib_->Function<CreateFtpHandleFn>("CreateFtpHandle");
    release_ = lib_->Function<ReleaseFtpHandleFn>("ReleaseFtpHandle");
    ASSERT_NE(create_, nullptr);
    ASSERT_NE(release_, nullptr);
  }

  IFtp* Login(TestFtpServer& srv) {
    IFtp* f = create_(1, 0);
    EXPECT_NE(f, nullptr);
    EXPECT_EQ(f->IFtpConnect(srv.host().c_str(), srv.port(), 0), 1);
    EXPECT_EQ(f->IFtpLogin(TestFtpServer::kUser, TestFtpServer::kPassword), 1);
    return f;
  }

  std::unique_ptr<platform::Library> lib_;
  CreateFtpHandleFn create_ = nullptr;
  ReleaseFtpHandleFn release_ = nullptr;
  platform::ScopedTempDir local_;
};

TEST_F(FtpShimTest, ReleaseOfNullIs87) { EXPECT_EQ(release_(nullptr), 87u); }

TEST_F(FtpShimTest, RawOpenWithUnknownAccessTypeOpensForWriting) {
  TestFtpServer srv;
  IFtp* f = Login(srv);
  for (int type : {0, 7}) {
    std::string name = "/t" + std::to_string(type);
    void* h = f->IFtpRawOpen(name.c_str(), type, 2);
    ASSERT_NE(h, nullptr) << type;
    EXPECT_EQ(f->IFtpRawClose(h), 1);
    EXPECT_TRUE(fs::exists(srv.Local(name))) << "written: type " << type;
  }
  EXPECT_EQ(f->IFtpRawClose(nullptr), 87);
  EXPECT_EQ(f->IFtpQuit(), 1);
  EXPECT_EQ(release_(f), 0u);
}

TEST_F(FtpShimTest, ModeOneIsAsciiAnythingElseImage) {
  TestFtpServer srv;
  IFtp* f = Login(srv);
  platform::WriteTestFile(srv.Local("/crlf"), "a\r\nb\r\n");
  for (int mode : {0, 2, 3}) {
    std::string out = local_.Sub("img" + std::to_string(mode));
    ASSERT_EQ(f->IFtpGet(out.c_str(), "/crlf", mode, 0), 1);
    EXPECT_EQ(platform::ReadTestFile(out), "a\r\nb\r\n") << mode;
  }
  ASSERT_EQ(f->IFtpGet(local_.Sub("asc").c_str(), "/crlf", 1, 0), 1);
  EXPECT_EQ(platform::ReadTestFile(local_.Sub("asc")), "a\nb\n");
  // Passive and active both carry data.
  for (int connmode : {1, 2}) {
    f->IFtpSetConnmode(connmode);
    std::string out = local_.Sub("cm" + std::to_string(connmode));
    EXPECT_EQ(f->IFtpGet(out.c_str(), "/crlf", 2, 0), 1) << connmode;
  }
  EXPECT_EQ(f->IFtpPut(local_.Sub("missing").c_str(), "/x", 2, 0), 0)
      << "missing local file";
  release_(f);
}

TEST_F(FtpShimTest, FailuresAreResultsNotExceptions) {
  IFtp* f = create_(0, 0);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->IFtpLogin("u", "p"), 0) << "not connected";
  EXPECT_EQ(f->IFtpChdir("/"), 0);
  EXPECT_EQ(f->IFtpRawOpen("/x", 3, 2), nullptr);
  EXPECT_EQ(f->IFtpConnect("127.0.0.1", 1, 0), 0);
  EXPECT_EQ(release_(f), 0u);
}

}  // namespace
