// The device's FTP service as a device runs it, and curl as an outside
// client of it.
#include "devsim/ftp/ftp_service.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "devsim/core/device.h"
#include "devsim/core/loopback.h"
#include "platform/testing/temp_dir.h"
#include "standins/ftplibpp/ftplib.h"

namespace devsim {
namespace {
namespace fs = std::filesystem;

std::string RunCommand(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

class FtpServiceTest : public testing::Test {
 protected:
  void StartDevice(Layout layout, bool tls = false) {
    Profile p = Profile::Defaults(layout);
    p.ftp_tls = tls;
    p.ftp_accounts = {{"backup", "pw", ""}};
    p.extra["ftp_session_password"] = "session";
    device_ = std::make_unique<Device>(p, store_.path(), AllocateLoopbackAddress());
    device_->services() = {"ftp"};
    std::string error;
    ASSERT_TRUE(device_->Start(&error)) << error;
  }
  std::unique_ptr<ftplib> Login(const char* user, const char* pass, int* ok) {
    auto f = std::make_unique<ftplib>(0, 0);
    EXPECT_EQ(f->Connect(device_->address().c_str(), device_->profile().ftp_port, 0), 1);
    if (device_->profile().ftp_tls) {
      EXPECT_EQ(f->NegotiateEncryption(), 1);
    }
    *ok = f->Login(user, pass);
    return f;
  }

  platform::ScopedTempDir store_;
  std::unique_ptr<Device> device_;
};

TEST_F(FtpServiceTest, LoginsComeFromTheProfile) {
  StartDevice(Layout::kStorage);
  int ok = 0;
  auto f = Login("backup", "pw", &ok);
  EXPECT_EQ(ok, 1);
  // Storage-layout logins start in the box folder.
  EXPECT_EQ(f->Raw("PWD"), 1);
  EXPECT_NE(std::string(f->LastResponse()).find("\"/storage/box/TarnBoxes\""),
            std::string::npos);
  Login("backup", "session", &ok);
  EXPECT_EQ(ok, 1) << "the session's FTP password";
  Login("backup", "nope", &ok);
  EXPECT_EQ(ok, 0);
  Login("stranger", "pw", &ok);
  EXPECT_EQ(ok, 0);
}

TEST_F(FtpServiceTest, DialectFollowsTheTransferFamily) {
  EXPECT_EQ(DialectForProfile(Profile::Defaults(Layout::kShared)),
            FtpDialect::kFixedColumns);
  EXPECT_EQ(DialectForProfile(Profile::Defaults(Layout::kClassic)),
            FtpDialect::kUnixLong);
  EXPECT_EQ(DialectForProfile(Profile::Defaults(Layout::kStorage)),
            FtpDialect::kUnixLong);
  Profile forced = Profile::Defaults(Layout::kClassic);
  forced.extra["ftp_dialect"] = "fixed";
  EXPECT_EQ(DialectForProfile(forced), FtpDialect::kFixedColumns);
}

TEST_F(FtpServiceTest, FaultsComeFromTheDevicePlan) {
  StartDevice(Layout::kClassic);
  int ok = 0;
  auto f = Login("backup", "pw", &ok);
  ASSERT_EQ(ok, 1);
  Fault refuse;
  refuse.kind = Fault::Kind::kFailWith;
  refuse.code = 550;
  device_->faults().Arm("ftp.MKD", refuse);
  EXPECT_EQ(f->Mkdir("/x"), 0);
  EXPECT_EQ(f->LastReplyCode(), 550);
  EXPECT_EQ(f->Mkdir("/x"), 1);
  EXPECT_EQ(device_->faults().Hits("ftp.MKD"), 2);
}

TEST_F(FtpServiceTest, CurlListsAndFetches) {
  for (bool tls : {false, true}) {
    SCOPED_TRACE(tls ? "tls" : "plain");
    device_.reset();
    StartDevice(Layout::kClassic, tls);
    fs::create_directories(store_.Sub("BOX/DATA/B0000001"));
    platform::WriteTestFile(store_.Sub("BOX/DATA/B0000001/Ä page.IMG"),
                            std::string(100000, 'p'));
    std::string base = std::string(tls ? "--ssl-reqd -k " : "") +
                       "-s -S --max-time 20 ftp://backup:pw@" + device_->address() +
                       ":" + std::to_string(device_->profile().ftp_port);
    std::string list = RunCommand("curl " + base + "/BOX/DATA/B0000001/ 2>&1");
    EXPECT_NE(list.find("Ä page.IMG"), std::string::npos) << list;
    std::string got = RunCommand("curl " + base + "/BOX/DATA/B0000001/%C3%84%20page.IMG 2>&1");
    EXPECT_EQ(got, std::string(100000, 'p')) << got.substr(0, 200);
  }
}

}  // namespace
}  // namespace devsim
