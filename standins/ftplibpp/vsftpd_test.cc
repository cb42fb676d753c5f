// Interoperability beyond our own server: the FTP client against Debian's
// vsftpd with explicit TLS, on a loopback address of its own.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "devsim/core/loopback.h"
#include "platform/testing/temp_dir.h"
#include "standins/ftplibpp/ftplib.h"
#include "devsim/tls/self_signed.h"

namespace {
namespace fs = std::filesystem;

constexpr char kVsftpd[] = "/usr/sbin/vsftpd";

class Vsftpd {
 public:
  explicit Vsftpd(const platform::ScopedTempDir& dir) : dir_(dir) {}
  ~Vsftpd() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }

  // Anonymous logins over TLS only, writable "pub" below a read-only root.
  bool Start(std::string* error) {
    passwd* ftp_user = getpwnam("ftp");
    if (!ftp_user) {
      *error = "no ftp user";
      return false;
    }
    address_ = devsim::AllocateLoopbackAddress();
    devsim::PemPair pem;
    if (!devsim::MakeSelfSignedCertificate(address_, 2, &pem) ||
        !devsim::WritePemFiles(pem, dir_.Sub("cert.pem"), dir_.Sub("key.pem"))) {
      *error = "no certificate";
      return false;
    }
    fs::create_directories(dir_.Sub("root/pub"));
    chmod(dir_.Sub("root").c_str(), 0555);
    chown(dir_.Sub("root/pub").c_str(), ftp_user->pw_uid, ftp_user->pw_gid);
    chmod(dir_.Sub("root/pub").c_str(), 0755);
    platform::WriteTestFile(
        dir_.Sub("vsftpd.conf"),
        "listen=YES\nlisten_ipv6=NO\nbackground=NO\n"
        "listen_address=" + address_ + "\nlisten_port=2121\n"
        "anonymous_enable=YES\nlocal_enable=NO\nwrite_enable=YES\n"
        "anon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
        "anon_other_write_enable=YES\nanon_umask=022\nno_anon_password=YES\n"
        "anon_root=" + dir_.Sub("root") + "\n"
        "ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\n"
        "force_anon_data_ssl=YES\nrequire_ssl_reuse=YES\n"
        "rsa_cert_file=" + dir_.Sub("cert.pem") + "\n"
        "rsa_private_key_file=" + dir_.Sub("key.pem") + "\n"
        "pasv_enable=YES\nport_enable=YES\nconnect_from_port_20=NO\n"
        "seccomp_sandbox=NO\nsecure_chroot_dir=/var/run/vsftpd/empty\n"
        "xferlog_enable=NO\nvsftpd_log_file=" + dir_.Sub("log") + "\n");
    pid_ = fork();
    if (pid_ == 0) {
      std::string conf = dir_.Sub("vsftpd.conf");
      execl(kVsftpd, kVsftpd, conf.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    // The server is ready when it greets; bounded by real time, since it
    // is another process.
    for (int i = 0; i < 100; ++i) {
      ftplib probe(0, 0);
      if (probe.Connect(address_.c_str(), 2121, 0)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    *error = "vsftpd did not come up";
    return false;
  }
  const std::string& address() const { return address_; }
  std::string Local(const std::string& rel) const { return dir_.Sub("root/" + rel); }

 private:
  const platform::ScopedTempDir& dir_;
  std::string address_;
  pid_t pid_ = -1;
};

TEST(VsftpdInteropTest, ExplicitTlsBothWaysPassiveAndActive) {
  if (access(kVsftpd, X_OK) != 0 || geteuid() != 0)
    GTEST_SKIP() << "needs vsftpd and root (it drops to the ftp user)";
  platform::ScopedTempDir dir("zelt-vsftpd");
  Vsftpd server(dir);
  std::string error;
  ASSERT_TRUE(server.Start(&error)) << error;

  std::mt19937 gen(5);
  std::string content(2 * 1024 * 1024 + 3, '\0');
  for (auto& c : content) c = static_cast<char>(gen());
  platform::WriteTestFile(dir.Sub("up.bin"), content);

  for (auto mode : {ftplib::pasv, ftplib::port}) {
    SCOPED_TRACE(mode == ftplib::pasv ? "passive" : "active");
    ftplib ftp(1, 0);
    ASSERT_EQ(ftp.Connect(server.address().c_str(), 2121, 0), 1);
    ASSERT_EQ(ftp.NegotiateEncryption(), 1) << ftp.LastResponse();
    ASSERT_EQ(ftp.Login("anonymous", "x"), 1) << ftp.LastResponse();
    ASSERT_EQ(ftp.SetDataEncryption(ftplib::secure), 1);
    ftp.SetConnmode(mode);
    std::string name = std::string("pub/") + (mode == ftplib::pasv ? "p" : "a") + ".bin";
    ASSERT_EQ(ftp.Put(dir.Sub("up.bin").c_str(), name.c_str(), ftplib::image), 1)
        << ftp.LastResponse();
    EXPECT_EQ(platform::ReadTestFile(server.Local(name)), content);
    std::string down = dir.Sub("down.bin");
    ASSERT_EQ(ftp.Get(down.c_str(), name.c_str(), ftplib::image), 1)
        << ftp.LastResponse();
    EXPECT_EQ(platform::ReadTestFile(down), content);
    ASSERT_EQ(ftp.Nlst(dir.Sub("list").c_str(), "pub"), 1) << ftp.LastResponse();
    EXPECT_NE(platform::ReadTestFile(dir.Sub("list")).find(name), std::string::npos);
    EXPECT_EQ(ftp.Quit(), 1);
  }
}

}  // namespace
