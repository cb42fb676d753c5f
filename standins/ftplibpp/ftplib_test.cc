// The FTP client against the simulated device's FTP server.
#include "standins/ftplibpp/ftplib.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "devsim/ftp/ftp_test_server.h"
#include "platform/env.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"
#include "standins/ftplibpp/ftp_errors.h"

namespace {
namespace fs = std::filesystem;
using devsim::FtpFault;
using devsim::TestFtpServer;
using devsim::TestFtpServerOptions;
using platform::ReadTestFile;
using platform::WriteTestFile;

std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(gen());
  return s;
}

struct Mode {
  const char* name;
  bool tls;
  ftplib::connmode conn;
  bool ipv6;
};

class FtplibTransferTest : public testing::TestWithParam<Mode> {
 protected:
  void SetUp() override {
    TestFtpServerOptions o;
    o.tls = GetParam().tls;
    o.ipv6 = GetParam().ipv6;
    server_ = std::make_unique<TestFtpServer>(o);
    ftp_ = std::make_unique<ftplib>(1, GetParam().ipv6);
    ASSERT_EQ(ftp_->Connect(server_->host().c_str(), server_->port(), 0), 1);
    if (GetParam().tls) {
      ASSERT_EQ(ftp_->NegotiateEncryption(), 1);
    }
    ASSERT_EQ(ftp_->Login(TestFtpServer::kUser, TestFtpServer::kPassword), 1)
        << ftp_->LastResponse();
    if (GetParam().tls) {
      ASSERT_EQ(ftp_->SetDataEncryption(ftplib::secure), 1);
    }
    ftp_->SetConnmode(GetParam().conn);
  }

  platform::ScopedTempDir local_;
  std::unique_ptr<TestFtpServer> server_;
  std::unique_ptr<ftplib> ftp_;
};

TEST_P(FtplibTransferTest, RoundTripOfFoldersAndFiles) {
  const std::string name = "Dokument äöü 文書.bin";
  const std::string content = RandomBytes(3 * 1024 * 1024 + 17, 7);
  WriteTestFile(local_.Sub("up"), content);
  ASSERT_EQ(ftp_->Mkdir("/BOX"), 1);
  ASSERT_EQ(ftp_->Mkdir("/BOX"), 0) << "exists already";
  EXPECT_EQ(ftp_->LastError(), ftpc::kErrServerRefused);
  ASSERT_EQ(ftp_->Chdir("/BOX"), 1);
  ASSERT_EQ(ftp_->Put(local_.Sub("up").c_str(), name.c_str(), ftplib::image), 1)
      << ftp_->LastResponse();
  EXPECT_EQ(ReadTestFile(server_->Local("/BOX/" + name)), content);

  ASSERT_EQ(ftp_->Get(local_.Sub("down").c_str(), ("/BOX/" + name).c_str(),
                      ftplib::image),
            1)
      << ftp_->LastResponse();
  EXPECT_EQ(ReadTestFile(local_.Sub("down")), content);

  ASSERT_EQ(ftp_->Nlst(local_.Sub("list").c_str(), "/BOX"), 1);
  EXPECT_NE(ReadTestFile(local_.Sub("list")).find(" " + name + "\n"),
            std::string::npos);

  ASSERT_EQ(ftp_->Rename(name.c_str(), "renamed"), 1);
  EXPECT_TRUE(fs::exists(server_->Local("/BOX/renamed")));
  ASSERT_EQ(ftp_->Raw("DELE renamed"), 1);
  EXPECT_EQ(ftp_->Raw("DELE renamed"), 0) << "gone";
  ASSERT_EQ(ftp_->Rmdir("/BOX"), 1);
  EXPECT_EQ(ftp_->Quit(), 1);
}

TEST_P(FtplibTransferTest, RawOpenWritesAnEmptyFile) {
  ftphandle* h = ftp_->RawOpen("/CREATE.STS", ftplib::filewrite, ftplib::image);
  ASSERT_NE(h, nullptr) << ftp_->LastResponse();
  EXPECT_EQ(ftp_->RawClose(h), 1);
  ASSERT_TRUE(fs::exists(server_->Local("/CREATE.STS")));
  EXPECT_EQ(fs::file_size(server_->Local("/CREATE.STS")), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FtplibTransferTest,
    testing::Values(Mode{"PlainPassive", false, ftplib::pasv, false},
                    Mode{"PlainActive", false, ftplib::port, false},
                    Mode{"TlsPassive", true, ftplib::pasv, false},
                    Mode{"TlsActive", true, ftplib::port, false},
                    Mode{"TlsActiveIpv6", true, ftplib::port, true},
                    Mode{"PlainPassiveIpv6", false, ftplib::pasv, true}),
    [](const auto& info) { return std::string(info.param.name); });

class FtplibFailureTest : public testing::Test {
 protected:
  void Open(TestFtpServerOptions o = {}) {
    server_ = std::make_unique<TestFtpServer>(o);
    ftp_ = std::make_unique<ftplib>(0, 0);
    ASSERT_EQ(ftp_->Connect(server_->host().c_str(), server_->port(), 0), 1);
    if (o.tls) {
      ASSERT_EQ(ftp_->NegotiateEncryption(), 1);
    }
    ASSERT_EQ(ftp_->Login(TestFtpServer::kUser, TestFtpServer::kPassword), 1);
    if (o.tls) {
      ASSERT_EQ(ftp_->SetDataEncryption(ftplib::secure), 1);
    }
  }

  platform::ScopedTempDir local_;
  std::unique_ptr<TestFtpServer> server_;
  std::unique_ptr<ftplib> ftp_;
};

TEST_F(FtplibFailureTest, WrongPasswordAndNoServer) {
  TestFtpServer srv;
  ftplib ftp(0, 0);
  ASSERT_EQ(ftp.Connect(srv.host().c_str(), srv.port(), 0), 1);
  EXPECT_EQ(ftp.Login(TestFtpServer::kUser, "wrong"), 0);
  EXPECT_EQ(ftp.LastError(), ftpc::kErrIncorrectPassword);
  EXPECT_EQ(ftp.LastReplyCode(), 530);

  int port = srv.port();
  srv.server().Stop();
  ftplib none(0, 0);
  EXPECT_EQ(none.Connect("127.0.0.1", port, 0), 0);
  EXPECT_EQ(none.LastError(), ftpc::kErrCannotConnect);
}

TEST_F(FtplibFailureTest, CutDataConnectionFailsAndLeavesNoFile) {
  for (bool tls : {false, true}) {
    SCOPED_TRACE(tls ? "tls" : "plain");
    TestFtpServerOptions o;
    o.tls = tls;
    Open(o);
    WriteTestFile(server_->Local("/big"), RandomBytes(1 << 20, 3));
    server_->Arm("ftp.data", FtpFault::Drop(300000));
    EXPECT_EQ(ftp_->Get(local_.Sub("big").c_str(), "/big", ftplib::image), 0);
    EXPECT_FALSE(fs::exists(local_.Sub("big"))) << "no truncated file left";
    // The session survives and the next transfer is whole.
    ASSERT_EQ(ftp_->Get(local_.Sub("big").c_str(), "/big", ftplib::image), 1);
    EXPECT_EQ(fs::file_size(local_.Sub("big")), 1u << 20);
    fs::remove(local_.Sub("big"));
  }
}

TEST_F(FtplibFailureTest, ControlResetAndRefusals) {
  Open();
  server_->Arm("ftp.RNTO", FtpFault::FailWith(550));
  WriteTestFile(server_->Local("/a"), "x");
  EXPECT_EQ(ftp_->Rename("/a", "/b"), 0);
  EXPECT_EQ(ftp_->LastReplyCode(), 550);
  server_->Arm("ftp.STOR:/q", FtpFault::FailWith(552));
  WriteTestFile(local_.Sub("q"), "data");
  EXPECT_EQ(ftp_->Put(local_.Sub("q").c_str(), "/q", ftplib::image), 0);
  EXPECT_NE(std::string(ftp_->LastResponse())
                .find("552 Requested file action aborted"),
            std::string::npos);
  EXPECT_EQ(ftp_->Put(local_.Sub("q").c_str(), "/q", ftplib::image), 1)
      << "armed once only";

  server_->Arm("ftp.CWD", FtpFault::Drop());
  EXPECT_EQ(ftp_->Chdir("/"), 0);
  EXPECT_EQ(ftp_->LastError(), ftpc::kErrConnectionReset);
  EXPECT_FALSE(ftp_->Connected());
  EXPECT_EQ(ftp_->Chdir("/"), 0);
  EXPECT_EQ(ftp_->LastError(), ftpc::kErrIncorrectHandleState);
}

TEST_F(FtplibFailureTest, QuotaRefusesUploadWith451) {
  TestFtpServerOptions o;
  o.quota_bytes = 100000;
  Open(o);
  WriteTestFile(local_.Sub("big"), RandomBytes(200000, 1));
  EXPECT_EQ(ftp_->Put(local_.Sub("big").c_str(), "/big", ftplib::image), 0);
  EXPECT_NE(std::string(ftp_->LastResponse()).find("451 Requested action aborted"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(server_->Local("/big")));
}

TEST_F(FtplibFailureTest, HungServerTimesOutOnTheClock) {
  platform::FakeEnv env(1000);  // 30 s of the client's time-out pass in 30 ms
  platform::ScopedEnv use(&env);
  Open();
  WriteTestFile(server_->Local("/f"), "content");
  for (const char* point : {"ftp.RETR", "ftp.data"}) {
    SCOPED_TRACE(point);
    server_->Arm(point, FtpFault::Hang());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ftp_->Get(local_.Sub("f").c_str(), "/f", ftplib::image), 0);
    EXPECT_EQ(ftp_->LastError(), ftpc::kErrTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // A hung session is of no further use; start a fresh one.
    server_.reset();
    Open();
    WriteTestFile(server_->Local("/f"), "content");
  }
}

TEST_F(FtplibFailureTest, AsciiModeConvertsLineEnds) {
  Open();
  WriteTestFile(local_.Sub("t"), "a\nb\n");
  ASSERT_EQ(ftp_->Put(local_.Sub("t").c_str(), "/t", ftplib::ascii), 1);
  WriteTestFile(server_->Local("/crlf"), "x\r\ny\r\n");
  ASSERT_EQ(ftp_->Get(local_.Sub("i").c_str(), "/crlf", ftplib::image), 1);
  EXPECT_EQ(ReadTestFile(local_.Sub("i")), "x\r\ny\r\n") << "image is untouched";
  ASSERT_EQ(ftp_->Get(local_.Sub("a").c_str(), "/t", ftplib::ascii), 1);
  EXPECT_EQ(ReadTestFile(local_.Sub("a")), "a\nb\n");
}

TEST_F(FtplibFailureTest, LineBreakInNameIsRefusedBeforeSending) {
  Open();
  EXPECT_EQ(ftp_->Delete("x\r\nRMD /"), 0);
  EXPECT_EQ(ftp_->LastError(), ftpc::kErrInvalidParameter);
  EXPECT_EQ(server_->Hits("ftp.DELE"), 0);
  EXPECT_EQ(server_->Hits("ftp.RMD"), 0);
}

// An FTP server of a few lines on 127.0.0.1 that, asked for a file in
// active mode, first lets a stranger on another loopback address connect
// to the client's data port and send other data, then connects itself.
class StrangerFirstServer {
 public:
  StrangerFirstServer() {
    listen_ = Socket("127.0.0.1", 0);
    ::listen(listen_, 1);
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~StrangerFirstServer() {
    thread_.join();
    ::close(listen_);
  }
  int port() const { return port_; }

 private:
  static int Socket(const char* address, uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, address, &a.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    return fd;
  }
  static void SendFrom(const char* from, uint16_t to_port, const std::string& data) {
    int fd = Socket(from, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(to_port);
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0)
      (void)!::write(fd, data.data(), data.size());
    ::close(fd);
  }
  void Serve() {
    int c = ::accept(listen_, nullptr, nullptr);
    auto say = [c](const std::string& line) {
      std::string l = line + "\r\n";
      (void)!::write(c, l.data(), l.size());
    };
    say("220 ready");
    std::string in;
    uint16_t data_port = 0;
    char buf[512];
    for (;;) {
      size_t nl;
      while ((nl = in.find("\r\n")) == std::string::npos) {
        ssize_t n = ::read(c, buf, sizeof buf);
        if (n <= 0) {
          ::close(c);
          return;
        }
        in.append(buf, static_cast<size_t>(n));
      }
      std::string cmd = in.substr(0, nl);
      in.erase(0, nl + 2);
      if (cmd.rfind("USER", 0) == 0) {
        say("331 password");
      } else if (cmd.rfind("PASS", 0) == 0) {
        say("230 in");
      } else if (cmd.rfind("PORT ", 0) == 0) {
        int h[4], p[2];
        std::sscanf(cmd.c_str() + 5, "%d,%d,%d,%d,%d,%d", &h[0], &h[1], &h[2], &h[3],
                    &p[0], &p[1]);
        data_port = static_cast<uint16_t>(p[0] * 256 + p[1]);
        say("200 port");
      } else if (cmd.rfind("RETR", 0) == 0) {
        SendFrom("127.0.0.9", data_port, "planted by a stranger");
        say("150 here it comes");
        SendFrom("127.0.0.1", data_port, "the device's file");
        say("226 done");
      } else if (cmd.rfind("QUIT", 0) == 0) {
        say("221 bye");
        ::close(c);
        return;
      } else {
        say("200 ok");
      }
    }
  }

  int listen_ = -1;
  int port_ = 0;
  std::thread thread_;
};

TEST(FtplibActiveModeTest, DataConnectionsComeOnlyFromTheServer) {
  platform::ScopedTempDir local;
  StrangerFirstServer server;
  {
    ftplib ftp(0, 0);
    ASSERT_EQ(ftp.Connect("127.0.0.1", server.port(), 0), 1);
    ASSERT_EQ(ftp.Login("user", "secret"), 1);
    ftp.SetConnmode(ftplib::port);
    ASSERT_EQ(ftp.Get(local.Sub("f").c_str(), "/f", ftplib::image), 1) << ftp.LastResponse();
    EXPECT_EQ(ReadTestFile(local.Sub("f")), "the device's file");
    ftp.Quit();
  }
}

}  // namespace
