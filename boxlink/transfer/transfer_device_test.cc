// The transfer classes against the simulated device's FTP server: whole box
// trees of every layout down and up, over plain FTP and the wrapper library
// (plain and TLS), and the device's refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "boxlink/base/box_error.h"
#include "boxlink/testing/raised_code_testing.h"
#include "boxlink/transfer/plain_ftp.h"
#include "boxlink/transfer/ssl_ftp.h"
#include "boxlink/transfer/transfer_library.h"
#include "devsim/core/loopback.h"
#include "devsim/ftp/ftp_test_server.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"

namespace boxlink {
namespace {
namespace fs = std::filesystem;
using devsim::FtpDialect;
using devsim::FtpFault;
using devsim::TestFtpServer;
using platform::WriteTestFile;

using Tree = std::map<std::string, std::string>;  // relative path -> bytes

std::string Bytes(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(gen());
  return s;
}

enum class Layout { kShared, kClassic, kStorage };
enum class Kind { kPlain, kWrapper, kWrapperTls };

// Remote folder of box 1 and the folder a login starts in.
std::string BoxPath(Layout l) {
  switch (l) {
    case Layout::kShared: return "/SHR/BOX/DATA/B0000001";
    case Layout::kClassic: return "/BOX/DATA/B0000001";
    case Layout::kStorage: return "001";
  }
  return "";
}
std::string Home(Layout l) {
  return l == Layout::kStorage ? "/storage/box/TarnBoxes" : "/";
}

// A box as the device keeps it.
void BuildBox(const std::string& root, Layout l) {
  if (l == Layout::kStorage) {
    std::string b = root + "/storage/box/TarnBoxes/001";
    WriteTestFile(b + "/boxproperties.xml", "<BoxDocument><boxName>Ä</boxName></BoxDocument>");
    WriteTestFile(b + "/Dokument ä 文書/documentproperties.xml", "<BoxDocument/>");
    WriteTestFile(b + "/Dokument ä 文書/.document", "hidden but data");
    WriteTestFile(b + "/Dokument ä 文書/Image/page_001.bin", Bytes(300000, 1));
    WriteTestFile(b + "/Dokument ä 文書/Image/pageproperties_001.xml", "<p/>");
    WriteTestFile(b + "/Ordner Ω/folderproperties.xml", "<BoxDocument/>");
    WriteTestFile(b + "/Ordner Ω/ready.sts", "");
    WriteTestFile(b + "/Ordner Ω/zweites/documentproperties.xml", "<d/>");
    WriteTestFile(b + "/Ordner Ω/zweites/Image/page_001.bin", Bytes(1000, 2));
    WriteTestFile(b + "/Ordner Ω/erstes/documentproperties.xml", "<d/>");
    return;
  }
  std::string b = root + BoxPath(l) + "/P0000001";
  WriteTestFile(root + BoxPath(l) + "/UNLOCK.STS", "");
  WriteTestFile(b + "/D0000001.XML", Bytes(180, 3));
  WriteTestFile(b + "/D0000001/PAGE001.IMG", Bytes(250000, 4));
  WriteTestFile(b + "/D0000001/UNLOCK.STS", "");
  WriteTestFile(b + "/F0000001.XML", Bytes(180, 5));
  WriteTestFile(b + "/F0000001/D0000002.XML", Bytes(180, 6));
  WriteTestFile(b + "/F0000001/D0000002/PAGE001.IMG", Bytes(7000, 7));
  WriteTestFile(b + "/F0000001/D0000002/PAGE002.IMG", "");
}

Tree ReadTree(const fs::path& dir) {
  Tree t;
  for (auto& e : fs::recursive_directory_iterator(dir)) {
    std::string rel = fs::relative(e.path(), dir).generic_string();
    t[rel + (e.is_directory() ? "/" : "")] =
        e.is_directory() ? "" : platform::ReadTestFile(e.path().string());
  }
  return t;
}

// What a download must produce: the remote tree without UNLOCK.STS, and in
// the storage layout the subfolders of a folder without
// documentproperties.xml numbered 0001, 0002, ... in byte order.
void Expect(const fs::path& remote, const std::string& local_rel, bool storage,
            Tree* out) {
  std::vector<std::string> files, folders;
  for (auto& e : fs::directory_iterator(remote))
    (e.is_directory() ? folders : files).push_back(e.path().filename().string());
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  bool numbered = storage;
  for (auto& f : files) {
    if (f == "documentproperties.xml") numbered = false;
    if (f == "UNLOCK.STS") continue;
    (*out)[local_rel + f] = platform::ReadTestFile((remote / f).string());
  }
  int n = 1;
  for (auto& d : folders) {
    char num[16];
    std::snprintf(num, sizeof num, "%04d", n++);
    std::string name = numbered ? num : d;
    (*out)[local_rel + name + "/"] = "";
    Expect(remote / d, local_rel + name + "/", storage, out);
  }
}

struct Case {
  const char* name;
  Kind kind;
  bool oriel;
  Layout layout;
};

class TransferDeviceTest : public testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    const Case& c = GetParam();
    devsim::TestFtpServerOptions o;
    o.address = devsim::AllocateLoopbackAddress();
    // Plain FTP always goes to port 21; the wrapper uses the device's port.
    o.port = c.kind == Kind::kPlain ? 21 : (c.kind == Kind::kWrapperTls ? 990 : 2121);
    o.tls = c.kind == Kind::kWrapperTls;
    o.dialect = c.oriel ? FtpDialect::kUnixLong : FtpDialect::kFixedColumns;
    o.home = Home(c.layout);
    server_ = std::make_unique<TestFtpServer>(o);
    std::strcpy(session_.Host, server_->host().c_str());
    session_.FtpPort = o.port;
    session_.FtpSecure = o.tls ? 1 : 0;
    ftp_ = Make(c);
  }

  std::unique_ptr<CBaseFtp> Make(const Case& c) {
    if (c.kind == Kind::kPlain) {
      if (c.oriel) return std::make_unique<FTP::COrielFtp>();
      return std::make_unique<FTP::CBriskFtp>();
    }
    env_.SetProgramDir(FTPSHIM_DIR);
    if (!wrapper_) wrapper_ = LoadTransferLibrary("ftpshim.dll");
    EXPECT_NE(wrapper_, nullptr);
    if (c.oriel) return std::make_unique<SSLFTP::COrielFtp>(wrapper_.get());
    return std::make_unique<SSLFTP::CBriskFtp>(wrapper_.get());
  }

  platform::FakeEnv env_{20};  // 10 s time-outs last 0.5 s
  platform::ScopedEnv use_{&env_};
  platform::ScopedTempDir local_;
  std::unique_ptr<TestFtpServer> server_;
  std::unique_ptr<platform::Library> wrapper_;
  ZBSESSION session_{};
  std::unique_ptr<CBaseFtp> ftp_;
};

TEST_P(TransferDeviceTest, TreeDownAndUpIsByteIdentical) {
  const Case& c = GetParam();
  BuildBox(server_->root(), c.layout);
  ftp_->FtpOpenConnection(&session_, TestFtpServer::kUser, TestFtpServer::kPassword);
  const bool storage = c.layout == Layout::kStorage;
  if (storage) ftp_->SetStorageLayout(1);

  std::string local = local_.Sub("B");
  ftp_->DownloadTree(local, BoxPath(c.layout));
  Tree want;
  Expect(server_->Local(storage ? Home(c.layout) + "/001" : BoxPath(c.layout)), "",
         storage, &want);
  EXPECT_EQ(ReadTree(local), want);
  EXPECT_FALSE(fs::exists(local + "/UNLOCK.STS"));

  // Up again into a fresh folder, marked as being written until complete.
  std::string up = storage ? "up" : "/up";
  ASSERT_TRUE(ftp_->FtpCreateFolder(up));
  ftp_->FtpCreateFile(up + "/CREATE.STS");
  EXPECT_EQ(server_->server().FoldersBeingWritten().size(), 1u);
  ftp_->UploadTree(local, up + "/B");
  ftp_->FtpReplaceStatusFile(up);
  EXPECT_TRUE(server_->server().FoldersBeingWritten().empty());
  std::string remote_up = server_->Local(storage ? Home(c.layout) + "/up" : "/up");
  EXPECT_TRUE(fs::exists(remote_up + "/UNLOCK.STS"));
  EXPECT_EQ(ReadTree(remote_up + "/B"), ReadTree(local));
  ftp_->FtpCloseConnection();
}

TEST_P(TransferDeviceTest, ListingsAndDeletes) {
  BuildBox(server_->root(), GetParam().layout);
  ftp_->FtpOpenConnection(&session_, TestFtpServer::kUser, TestFtpServer::kPassword);
  if (GetParam().layout == Layout::kStorage) {
    // Storage-layout boxes are named by number alone.
    std::string name;
    bool found = true;
    uint32_t code = RaisedCode(
        [&] { found = ftp_->FindBoxFolder("/storage/box/TarnBoxes", 1, &name); });
    EXPECT_TRUE(code != 0 || !found);
    return;
  }
  std::string root = GetParam().layout == Layout::kShared ? "/SHR/BOX/DATA" : "/BOX/DATA";
  std::string name;
  ASSERT_TRUE(ftp_->FindBoxFolder(root, 1, &name));
  EXPECT_EQ(name, "P0000001");
  // A missing box is not found; some families raise the failed listing.
  bool found = true;
  uint32_t code = RaisedCode([&] { found = ftp_->FindBoxFolder(root, 2, &name); });
  EXPECT_TRUE(code != 0 || !found);

  FindDataList folders, files;
  ASSERT_TRUE(ftp_->FtpListDirectory(BoxPath(GetParam().layout) + "/P0000001",
                                     &folders, &files));
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_STREQ(folders[0].name, "D0000001");
  EXPECT_STREQ(folders[1].name, "F0000001");
  ASSERT_EQ(files.size(), 2u);
  EXPECT_STREQ(files[0].name, "D0000001.XML");

  EXPECT_TRUE(ftp_->FtpChangeDirectory(BoxPath(GetParam().layout) + "/P0000001/F0000001"));
  fs::remove(server_->Local(BoxPath(GetParam().layout)) +
             "/P0000001/F0000001/D0000002/PAGE001.IMG");
  fs::remove(server_->Local(BoxPath(GetParam().layout)) +
             "/P0000001/F0000001/D0000002/PAGE002.IMG");
  EXPECT_TRUE(ftp_->FtpDeleteElement("", "", 2));
  EXPECT_FALSE(fs::exists(server_->Local(BoxPath(GetParam().layout)) +
                          "/P0000001/F0000001/D0000002"));
  EXPECT_NE(RaisedCode([&] { ftp_->FtpChangeDirectory("/no/such/folder"); }), 0u);
}

TEST_P(TransferDeviceTest, WrongPasswordAndRefusedConnection) {
  EXPECT_EQ(RaisedCode([&] { ftp_->FtpOpenConnection(&session_, "user", "bad"); }),
            1216u);
  int refused = GetParam().kind == Kind::kPlain ? 1062 : 12029;
  server_.reset();
  EXPECT_EQ(RaisedCode([&] {
              ftp_->FtpOpenConnection(&session_, TestFtpServer::kUser,
                                      TestFtpServer::kPassword);
            }),
            static_cast<uint32_t>(refused));
}

TEST_P(TransferDeviceTest, CutDataConnectionRaisesAndLeavesNoFile) {
  BuildBox(server_->root(), GetParam().layout);
  ftp_->FtpOpenConnection(&session_, TestFtpServer::kUser, TestFtpServer::kPassword);
  if (GetParam().layout == Layout::kStorage) ftp_->SetStorageLayout(1);
  std::string remote = GetParam().layout == Layout::kStorage
                           ? "001/Dokument ä 文書/Image"
                           : BoxPath(GetParam().layout) + "/P0000001/D0000001";
  std::string page = GetParam().layout == Layout::kStorage
                         ? Home(Layout::kStorage) + "/" + remote + "/page_001.bin"
                         : remote + "/PAGE001.IMG";
  server_->Arm("ftp.data:" + page, FtpFault::Drop(100000));
  std::string local = local_.Sub("cut");
  EXPECT_NE(RaisedCode([&] { ftp_->DownloadFolder(local, remote); }), 0u);
  EXPECT_EQ(server_->Hits("ftp.data:" + page), 1);
  for (auto& e : fs::directory_iterator(local))
    EXPECT_FALSE(e.path().filename().string().starts_with("pag") ||
                 e.path().filename().string().starts_with("PAG"))
        << "truncated page left behind: " << e.path();
}

const Case kCases[] = {
    {"PlainOrielShared", Kind::kPlain, true, Layout::kShared},
    {"PlainBriskShared", Kind::kPlain, false, Layout::kShared},
    {"PlainOrielClassic", Kind::kPlain, true, Layout::kClassic},
    {"PlainBriskClassic", Kind::kPlain, false, Layout::kClassic},
    {"PlainOrielStorage", Kind::kPlain, true, Layout::kStorage},
    {"WrapperOrielShared", Kind::kWrapper, true, Layout::kShared},
    {"WrapperBriskClassic", Kind::kWrapper, false, Layout::kClassic},
    {"WrapperOrielStorage", Kind::kWrapper, true, Layout::kStorage},
    {"TlsOrielShared", Kind::kWrapperTls, true, Layout::kShared},
    {"TlsBriskShared", Kind::kWrapperTls, false, Layout::kShared},
    {"TlsOrielClassic", Kind::kWrapperTls, true, Layout::kClassic},
    {"TlsBriskClassic", Kind::kWrapperTls, false, Layout::kClassic},
    {"TlsOrielStorage", Kind::kWrapperTls, true, Layout::kStorage},
};

INSTANTIATE_TEST_SUITE_P(Devices, TransferDeviceTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace boxlink
