// The device's refusals and failures as each family handles them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "boxlink/base/box_error.h"
#include "boxlink/testing/raised_code_testing.h"
#include "boxlink/transfer/plain_ftp.h"
#include "boxlink/transfer/ssl_ftp.h"
#include "boxlink/transfer/transfer_library.h"
#include "devsim/core/loopback.h"
#include "devsim/ftp/ftp_test_server.h"
#include "platform/last_error.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"

namespace boxlink {
namespace {
namespace fs = std::filesystem;
using devsim::FtpFault;
using devsim::TestFtpServer;
using platform::WriteTestFile;


class TransferEdgeTest : public testing::Test {
 protected:
  void Start(devsim::TestFtpServerOptions o, uint16_t port) {
    if (o.address.empty() && !o.ipv6) o.address = devsim::AllocateLoopbackAddress();
    o.port = port;
    server_ = std::make_unique<TestFtpServer>(o);
    std::strcpy(session_.Host, server_->host().c_str());
    session_.FtpPort = port;
    session_.FtpSecure = o.tls ? 1 : 0;
  }
  platform::Library* Wrapper() {
    env_->SetProgramDir(FTPSHIM_DIR);
    if (!wrapper_) wrapper_ = LoadTransferLibrary("ftpshim.dll");
    return wrapper_.get();
  }
  void Connect(CBaseFtp& f) {
    f.FtpOpenConnection(&session_, TestFtpServer::kUser, TestFtpServer::kPassword);
  }

  std::unique_ptr<platform::FakeEnv> env_ = std::make_unique<platform::FakeEnv>(20);
  platform::ScopedEnv use_{env_.get()};
  platform::ScopedTempDir local_;
  std::unique_ptr<TestFtpServer> server_;
  std::unique_ptr<platform::Library> wrapper_;
  ZBSESSION session_{};
};

TEST_F(TransferEdgeTest, PlainUpload451RaisesBoxLimitsWithoutRetry) {
  Start({}, 21);
  FTP::COrielFtp f;
  Connect(f);
  WriteTestFile(local_.Sub("a"), "page");
  server_->Arm("ftp.STOR", FtpFault::FailWith(451, "Requested action aborted: local error"));
  EXPECT_EQ(RaisedCode([&] { f.FtpPutFile("/a", local_.Sub("a")); }), 8260u);
  EXPECT_EQ(server_->Hits("ftp.STOR"), 1);
}

TEST_F(TransferEdgeTest, PlainUploadOverQuotaRaisesBoxLimits) {
  devsim::TestFtpServerOptions o;
  o.quota_bytes = 1000;
  Start(o, 21);
  FTP::CBriskFtp f;
  Connect(f);
  WriteTestFile(local_.Sub("a"), std::string(5000, 'x'));
  EXPECT_EQ(RaisedCode([&] { f.FtpPutFile("/a", local_.Sub("a")); }), 8260u);
}

TEST_F(TransferEdgeTest, PlainUpload552DeletesAndRetriesOnce) {
  Start({}, 21);
  FTP::COrielFtp f;
  Connect(f);
  WriteTestFile(local_.Sub("a"), "page");
  server_->Arm("ftp.STOR:/a", FtpFault::FailWith(552));
  EXPECT_TRUE(f.FtpPutFile("/a", local_.Sub("a")));
  EXPECT_EQ(server_->Hits("ftp.STOR:/a"), 2);
  EXPECT_EQ(server_->Hits("ftp.DELE:/a"), 1) << "deleted before the retry";
  EXPECT_EQ(platform::ReadTestFile(server_->Local("/a")), "page");

  server_->Arm("ftp.STOR:/a", FtpFault::FailWith(552), 2);
  EXPECT_NE(RaisedCode([&] { f.FtpPutFile("/a", local_.Sub("a")); }), 0u);
  EXPECT_EQ(server_->Hits("ftp.STOR:/a"), 4) << "exactly one retry";
}

TEST_F(TransferEdgeTest, WrapperUploadRefusalIsRaisedAtOnce) {
  Start({}, 2121);
  SSLFTP::COrielFtp f(Wrapper());
  Connect(f);
  WriteTestFile(local_.Sub("a"), "page");
  server_->Arm("ftp.STOR:/a", FtpFault::FailWith(552));
  EXPECT_NE(RaisedCode([&] { f.FtpPutFile("/a", local_.Sub("a")); }), 0u);
  EXPECT_EQ(server_->Hits("ftp.STOR:/a"), 1) << "no retry in this family";
}

TEST_F(TransferEdgeTest, PlainRenameRefusedRaises12004) {
  Start({}, 21);
  FTP::COrielFtp f;
  Connect(f);
  f.FtpCreateFile("/CREATE.STS");
  server_->Arm("ftp.RNFR", FtpFault::FailWith(550));
  EXPECT_EQ(RaisedCode([&] { f.FtpReplaceStatusFile(""); }), 12004u);
}

TEST_F(TransferEdgeTest, WrapperRenameRefusedFallsBackToCreateAndDelete) {
  Start({}, 2121);
  fs::create_directories(server_->Local("/B"));
  SSLFTP::COrielFtp f(Wrapper());
  Connect(f);
  f.FtpCreateFile("/B/CREATE.STS");
  EXPECT_EQ(server_->server().FoldersBeingWritten(), std::vector<std::string>{"/B"});
  server_->Arm("ftp.RNTO", FtpFault::FailWith(553));
  EXPECT_EQ(f.FtpReplaceStatusFile("/B"), 0u);
  EXPECT_TRUE(fs::exists(server_->Local("/B/UNLOCK.STS")));
  EXPECT_FALSE(fs::exists(server_->Local("/B/CREATE.STS")));
}

TEST_F(TransferEdgeTest, BriskStatusFileIsCreatedThenMarkerDeleted) {
  for (bool wrapper : {false, true}) {
    SCOPED_TRACE(wrapper ? "wrapper" : "plain");
    Start({}, wrapper ? 2121 : 21);
    fs::create_directories(server_->Local("/B"));
    std::unique_ptr<CBaseFtp> f;
    if (wrapper)
      f = std::make_unique<SSLFTP::CBriskFtp>(Wrapper());
    else
      f = std::make_unique<FTP::CBriskFtp>();
    Connect(*f);
    f->FtpCreateFile("/B/CREATE.STS");
    f->FtpReplaceStatusFile("/B");
    EXPECT_TRUE(fs::exists(server_->Local("/B/UNLOCK.STS")));
    EXPECT_TRUE(server_->server().FoldersBeingWritten().empty());
    EXPECT_EQ(server_->Hits("ftp.RNFR"), 0);
    f.reset();
    server_.reset();
  }
}

TEST_F(TransferEdgeTest, FailedTlsNegotiationRaisesBeforeLogin) {
  Start({}, 2121);        // the server offers no TLS
  session_.FtpSecure = 1; // but the device said it needs it
  SSLFTP::CBriskFtp f(Wrapper());
  EXPECT_EQ(RaisedCode([&] { Connect(f); }), 12029u);
  EXPECT_EQ(server_->Hits("ftp.USER"), 0);
}

TEST_F(TransferEdgeTest, RefusedDataProtectionLeavesConnectionUsable) {
  devsim::TestFtpServerOptions o;
  o.tls = true;
  Start(o, 990);
  server_->Arm("ftp.PROT", FtpFault::FailWith(534));
  SSLFTP::COrielFtp f(Wrapper());
  Connect(f);
  WriteTestFile(server_->Local("/x"), "clear data");
  EXPECT_TRUE(f.FtpGetFile("/x", local_.Sub("x")));
  EXPECT_EQ(platform::ReadTestFile(local_.Sub("x")), "clear data");
}

TEST_F(TransferEdgeTest, MissingWrapperFailsTheOpen) {
  Start({}, 2121);
  SSLFTP::COrielFtp f(nullptr);
  EXPECT_EQ(RaisedCode([&] { Connect(f); }), 12029u);
  EXPECT_EQ(LoadTransferLibrary("/no/such/folder/"), nullptr);
  EXPECT_EQ(TransferLibraryPath("C:/Program Files/x\\"), "C:/Program Files/x/libftpshim.so");
  EXPECT_EQ(TransferLibraryPath("ftpshim.dll"), "ftpshim");
}

TEST_F(TransferEdgeTest, Ipv6HostGoesThroughTheWrapper) {
  devsim::TestFtpServerOptions o;
  o.ipv6 = true;
  o.tls = true;
  Start(o, 0);
  session_.FtpPort = static_cast<uint32_t>(server_->port());
  SSLFTP::COrielFtp f(Wrapper());
  Connect(f);
  WriteTestFile(server_->Local("/B/f.XML"), "v6");
  f.DownloadTree(local_.Sub("v6"), "/B");
  EXPECT_EQ(platform::ReadTestFile(local_.Sub("v6/f.XML")), "v6");
}

// Only the plain family: the wrapper library waits on the clock of its own
// module, which a test cannot replace (its client's time-outs are tested
// with the client itself).
TEST_F(TransferEdgeTest, HungDeviceTimesOutOnTheClock) {
  // Compressed time: the 10 s time-outs pass in milliseconds.
  platform::FakeEnv fast(1000);
  platform::ScopedEnv use(&fast);
  Start({}, 21);
  WriteTestFile(server_->Local("/f"), "content");
  FTP::COrielFtp f;
  Connect(f);
  server_->Arm("ftp.data", FtpFault::Hang());
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RaisedCode([&] { f.FtpGetFile("/f", local_.Sub("f")); }), 12002u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(fs::exists(local_.Sub("f")));
}

// An upload the server did not refuse failed on the client's side: the
// client's own error is raised, not the server's last (positive) reply,
// so that a device that stopped answering is seen as one.
TEST_F(TransferEdgeTest, PlainUploadFailureRaisesTheClientsOwnError) {
  platform::FakeEnv fast(1000);
  platform::ScopedEnv use(&fast);
  Start({}, 21);
  FTP::COrielFtp f;
  Connect(f);
  WriteTestFile(local_.Sub("a"), "page");
  ASSERT_TRUE(f.FtpPutFile("/a", local_.Sub("a")));  // leaves a 226 behind
  EXPECT_EQ(RaisedCode([&] { f.FtpPutFile("/b", local_.Sub("missing")); }), 2u);

  server_->Arm("ftp.data", FtpFault::Hang());
  EXPECT_EQ(RaisedCode([&] { f.FtpPutFile("/c", local_.Sub("a")); }), 12002u);

  // A refusal is still the server's number.
  FTP::COrielFtp g;
  Connect(g);
  server_->Arm("ftp.STOR", FtpFault::FailWith(550, "Permission denied"));
  EXPECT_EQ(RaisedCode([&] { g.FtpPutFile("/d", local_.Sub("a")); }), 550u);
}

// A listing command longer than the device takes is refused, not cut to
// a shorter path that might name another folder.
TEST_F(TransferEdgeTest, PlainListingOfAnOverLongPathIsRefused) {
  Start({}, 21);
  WriteTestFile(server_->Local("/B/f.XML"), "x");
  FTP::CBriskFtp f;
  Connect(f);
  FindDataList folders, files;
  const std::string fits = "/B" + std::string(600 - 5 - 2, '/');  // "LIST " + path: 600
  EXPECT_TRUE(f.FtpListDirectory(fits, &folders, &files));
  EXPECT_EQ(server_->Hits("ftp.LIST"), 1);
  EXPECT_EQ(RaisedCode([&] { f.FtpListDirectory(fits + "/", &folders, &files); }), 206u);
  EXPECT_EQ(server_->Hits("ftp.LIST"), 1);
}

// A listing is read into memory whole: one longer than a reply may be
// (here over 3.6 MB of names) fails with its own code instead of growing
// without end.
TEST_F(TransferEdgeTest, PlainListingsLongerThanTheCapFail) {
  Start({}, 21);
  fs::create_directories(server_->Local("/big"));
  const std::string stem(230, 'n');
  for (int i = 0; i < 13000; ++i) {
    std::ofstream(server_->Local("/big/" + stem + std::to_string(i) + ".XML"));
  }
  FindDataList folders, files;
  FTP::CBriskFtp brisk;
  Connect(brisk);
  EXPECT_EQ(RaisedCode([&] { brisk.FtpListDirectory("/big", &folders, &files); }), 234u);
  FTP::COrielFtp oriel;
  Connect(oriel);
  EXPECT_FALSE(oriel.FtpListDirectory("/big", &folders, &files));
  EXPECT_EQ(platform::GetLastError(), 234u);
  // The same folder with fewer names is listed as before.
  for (int i = 1000; i < 13000; ++i)
    fs::remove(server_->Local("/big/" + stem + std::to_string(i) + ".XML"));
  EXPECT_TRUE(brisk.FtpListDirectory("/big", &folders, &files));
  // (The second family's rule reads these lines' names, which end in the
  // device's CR, as folders, and keeps "." and "..".)
  EXPECT_GE(folders.size() + files.size(), 1000u);
  EXPECT_TRUE(oriel.FtpListDirectory("/big", &folders, &files));
  EXPECT_EQ(files.size(), 1000u);
}

TEST_F(TransferEdgeTest, CancelBeforeFirstDownload) {
  Start({}, 2121);
  WriteTestFile(server_->Local("/B/A.XML"), "x");
  SSLFTP::CBriskFtp f(Wrapper());
  Connect(f);
  auto cancel = platform::Event::Create(true, true);
  f.SetCancelEvent(cancel.get());
  EXPECT_EQ(RaisedCode([&] { f.DownloadFolder(local_.Sub("c"), "/B"); }), 995u);
  EXPECT_EQ(server_->Hits("ftp.NLST"), 1);
  EXPECT_EQ(server_->Hits("ftp.RETR"), 0);
}

}  // namespace
}  // namespace boxlink
