#include "boxlink/engine/zip_utility.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <filesystem>
#include <map>

#include "boxlink/base/box_error.h"
#include "boxlink/testing/zip_test_util.h"
#include "boxlink/zip/zip_utls.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"

namespace boxlink {
namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;

Tree ReadTree(const std::string& root) {
  Tree t;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    std::string rel = fs::relative(e.path(), root).string();
    t[rel] = e.is_directory() ? "<dir>" : platform::ReadTestFile(e.path());
  }
  return t;
}

std::vector<std::string> Entries(const std::string& zip) {
  CZipClass z;
  z.Open(zip, CZipClass::kOpenReadOnly);
  std::vector<std::string> names;
  for (const auto& e : z.directory().entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

enum class Layout { kShared, kClassic, kStorage };

class ZipUtilityTest : public ::testing::Test {
 protected:
  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
  platform::ScopedTempDir dir_;

  void Configure(CZipUtility& u, Layout layout, const std::string& work) {
    u.SetLayout(layout == Layout::kShared, layout == Layout::kStorage);
    u.SetWorkFolder(work);
    u.SetArchivePath(dir_.Sub("backup.zip"));
    u.encryption().SetEncryptDllName(CIPHERLIB_SO);
    u.encryption().SetHashDllName(DIGESTLIB_SO);
  }

  // Builds a work tree as a backup would and packs it. Returns the box
  // trees as they were before packing, keyed by box number.
  std::map<uint32_t, Tree> Backup(Layout layout, std::vector<uint32_t> boxes) {
    CZipUtility u;
    Configure(u, layout, dir_.Sub("work"));
    u.CreateWorkFolders();
    platform::WriteTestFile(u.BoxRoot() + "/Backup.XML", "<BackupInfo/>");
    std::map<uint32_t, Tree> trees;
    for (uint32_t box : boxes) {
      std::string folder = u.LocalBoxFolder(box);
      if (layout != Layout::kStorage)
        platform::WriteTestFile(u.BoxRoot() + "/DATABASE/B0000" +
                                    u.BoxFolderName(box).substr(5) + ".XML",
                                "index of " + std::to_string(box));
      if (box == 9) {
        fs::create_directories(folder);  // an empty box
      } else {
        platform::WriteTestFile(folder + "/P0001/D0000001.XML", "doc " +
                                                                 std::to_string(box));
        platform::WriteTestFile(folder + "/P0001/D0000001/page1.jpg",
                                std::string(100000, char('a' + box % 26)));
      }
      trees[box] = ReadTree(folder);
      u.PackBox(box);
      EXPECT_FALSE(fs::exists(folder));
      u.EncryptBox(box);
    }
    if (layout != Layout::kStorage) u.PackDatabase();
    u.PackData();
    u.EncryptIndex();
    u.PackArchive();
    EXPECT_FALSE(fs::exists(u.BoxRoot()));
    return trees;
  }

  void RestoreAndCompare(Layout layout, const std::map<uint32_t, Tree>& trees) {
    CZipUtility u;
    Configure(u, layout, dir_.Sub("restore"));
    u.CreateWorkFolders();
    if (layout != Layout::kStorage) {
      u.ExtractDatabase();
      for (const auto& [box, tree] : trees)
        EXPECT_EQ(platform::ReadTestFile(u.BoxRoot() + "/DATABASE/B0000" +
                                         u.BoxFolderName(box).substr(5) + ".XML"),
                  "index of " + std::to_string(box));
    }
    EXPECT_EQ(u.ExtractData(), layout == Layout::kShared);
    for (const auto& [box, tree] : trees) {
      SCOPED_TRACE(box);
      u.ExtractBox(box);
      u.UnpackBox(box);
      EXPECT_EQ(ReadTree(u.LocalBoxFolder(box)), tree);
    }
  }
};

TEST_F(ZipUtilityTest, ClassicLayoutMembers) {
  auto trees = Backup(Layout::kClassic, {1, 123, 9});
  std::vector<std::string> expected = {"BOX/B0000001.tnb", "BOX/B0000009.tnb",
                                       "BOX/B0000123.tnb", "BOX/Backup.XML",
                                       "BOX/Database.tnb"};
  EXPECT_EQ(Entries(dir_.Sub("backup.zip")), expected);
  RestoreAndCompare(Layout::kClassic, trees);
}

TEST_F(ZipUtilityTest, SharedLayoutKeepsBoxesInsideDataZip) {
  auto trees = Backup(Layout::kShared, {1, 123});
  std::vector<std::string> expected = {"BOX/Backup.XML", "BOX/DATA.zip",
                                       "BOX/Database.tnb"};
  EXPECT_EQ(Entries(dir_.Sub("backup.zip")), expected);
  CZipUtls z;
  z.OpenFile(dir_.Sub("backup.zip"), 1);
  ASSERT_EQ(z.ExtractFile(dir_.Sub("peek"), "DATA.zip"), 1);
  std::vector<std::string> inner = {"DATA/B0000001.tnb", "DATA/B0000123.tnb"};
  EXPECT_EQ(Entries(dir_.Sub("peek/DATA.zip")), inner);
  RestoreAndCompare(Layout::kShared, trees);
}

TEST_F(ZipUtilityTest, StorageLayoutEncryptsMembersAndIndex) {
  auto trees = Backup(Layout::kStorage, {0, 7, 9});
  std::vector<std::string> expected = {"BOX/00000.tnbe", "BOX/007.tnbe",
                                       "BOX/009.tnbe", "BOX/Backup.XMLe"};
  EXPECT_EQ(Entries(dir_.Sub("backup.zip")), expected);
  RestoreAndCompare(Layout::kStorage, trees);
}

TEST_F(ZipUtilityTest, StorageLayoutWithNoEncryptionMarkerStaysPlain) {
  platform::WriteTestFile(env_.UserProfileDir() + "/ZELT/NoEncryption", "");
  auto trees = Backup(Layout::kStorage, {0, 7});
  std::vector<std::string> expected = {"BOX/00000.tnb", "BOX/007.tnb",
                                       "BOX/Backup.XML"};
  EXPECT_EQ(Entries(dir_.Sub("backup.zip")), expected);
  RestoreAndCompare(Layout::kStorage, trees);
  // A PC with encryption reads the plain archive too (".tnbe" falls back).
  fs::remove(env_.UserProfileDir() + "/ZELT/NoEncryption");
  fs::remove_all(dir_.Sub("restore"));
  RestoreAndCompare(Layout::kStorage, trees);
}

TEST_F(ZipUtilityTest, EmptyBoxIsOneFolderEntry) {
  CZipUtility u;
  Configure(u, Layout::kClassic, dir_.Sub("work"));
  u.CreateWorkFolders();
  fs::create_directories(u.LocalBoxFolder(4));
  u.PackBox(4);
  std::string zip = u.BoxRoot() + "/B0000004.zip";
  ASSERT_EQ(RevertZipCentralDirectory(zip), 0u);
  std::vector<std::string> expected = {"B0000004/"};
  EXPECT_EQ(Entries(zip), expected);
}

TEST_F(ZipUtilityTest, MissingMembersAndArchivesThrowAndAreLogged) {
  auto trees = Backup(Layout::kClassic, {1});
  CZipUtility u;
  Configure(u, Layout::kClassic, dir_.Sub("restore"));
  u.CreateWorkFolders();
  try {
    u.ExtractBox(2);
    ADD_FAILURE();
  } catch (const BoxError& e) {
    EXPECT_EQ(e.code(), 2u);
  }
  u.SetArchivePath(dir_.Sub("missing.zip"));
  EXPECT_THROW(u.ExtractData(), BoxError);
  EXPECT_THROW(u.ExtractDatabase(), BoxError);
  std::string log = platform::ReadTestFile(env_.TempDir() + "/Log_ZELT.txt");
  EXPECT_NE(log.find("ExtractOneBox - GotoFile"), std::string::npos);
  EXPECT_NE(log.find("ExtractDataZipFileIfPresent - OpenFile"), std::string::npos);
  EXPECT_NE(log.find("zbBoxUnZipToDataBaseFolder - OpenFile"), std::string::npos);
}

TEST_F(ZipUtilityTest, FileEncryptionFollowsTheLayoutFlag) {
  CZipUtility u;
  Configure(u, Layout::kClassic, dir_.Sub("work"));
  std::string f = dir_.Sub("x.tnb");
  platform::WriteTestFile(f, "member");
  EXPECT_EQ(u.EncryptFile(""), 87u);
  EXPECT_EQ(u.EncryptFile(f), 0u);  // not storage: nothing done
  EXPECT_TRUE(fs::exists(f));
  u.SetLayout(false, true);
  EXPECT_EQ(u.EncryptFile(f), 0u);
  EXPECT_FALSE(fs::exists(f));
  u.SetLayout(false, false);  // decryption runs for any layout
  EXPECT_EQ(u.DecryptFile(f + "e"), 0u);
  EXPECT_EQ(platform::ReadTestFile(f), "member");
  EXPECT_FALSE(fs::exists(f + "e"));
  EXPECT_EQ(u.DecryptFile(f), 87u);
}

// Runs `body` in a child process: what it returns (0-255) is the child's
// exit status; -1 when the child died otherwise.
int InChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) {
    int rc = 254;
    try {
      rc = body();
    } catch (...) {
    }
    ::_exit(rc);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

constexpr int kCannotArrange = 200;

// A write that fails while the archive is packed ends the job with the
// system's own error, so that a full disk is told as such.
TEST_F(ZipUtilityTest, WriteErrorsKeepTheirSystemCode) {
  struct Case {
    const char* what;
    std::function<bool(const std::string& folder)> arrange;  // in the child
    int code;
  };
  const Case cases[] = {
      {"full disk",
       [](const std::string& folder) {
         // A small file system of its own, in a mount namespace of the
         // child only.
         return ::unshare(CLONE_NEWNS) == 0 &&
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
       },
       112},
      {"file size limit",
       [](const std::string&) {
         ::signal(SIGXFSZ, SIG_IGN);
         struct rlimit limit {};
         ::getrlimit(RLIMIT_FSIZE, &limit);
         limit.rlim_cur = 64 * 1024;
         return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
       },
       223},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = dir_.Sub(std::string("out-") + std::to_string(c.code));
    fs::create_directories(folder);
    int rc = InChild([&] {
      CZipUtility u;
      Configure(u, Layout::kClassic, dir_.Sub("work-" + std::to_string(c.code)));
      u.SetArchivePath(folder + "/backup.zip");
      u.CreateWorkFolders();
      platform::WriteTestFile(u.BoxRoot() + "/B0000001/page.bin",
                              ziptest::RandomBytes(300000, 5));
      if (!c.arrange(folder)) return kCannotArrange;
      try {
        u.PackArchive();
      } catch (const BoxError& e) {
        return int(e.code() > 255 ? 255 : e.code());
      }
      return 0;
    });
    if (rc == kCannotArrange) {
      std::printf("skipped: %s cannot be arranged here\n", c.what);
      continue;
    }
    EXPECT_EQ(rc, c.code);
    EXPECT_FALSE(fs::exists(folder + "/backup.zip"));
  }
}

// Whoever may write into the folders of a job cannot make it write or
// delete through links planted there.
TEST_F(ZipUtilityTest, PlantedLinksAreNeverFollowed) {
  const std::string victim = dir_.Sub("victim");
  platform::WriteTestFile(victim + "/precious", "precious");
  platform::WriteTestFile(victim + "/file", "precious");
  {
    // A BOX folder that is there already, here a link to someone's folder.
    const std::string work = dir_.Sub("work");
    fs::create_directories(work);
    fs::create_directory_symlink(victim, work + "/BOX");
    CZipUtility u;
    Configure(u, Layout::kClassic, work);
    EXPECT_THROW(u.CreateWorkFolders(), BoxError);
    u.DeleteBox();
    EXPECT_EQ(platform::ReadTestFile(victim + "/precious"), "precious");
    fs::remove(work + "/BOX");
  }
  {
    // The archive's temporary name, linked to someone's file.
    const std::string archive = dir_.Sub("backup.zip");
    fs::create_symlink(victim + "/file", archive + ".zip");
    CZipUtility u;
    Configure(u, Layout::kClassic, dir_.Sub("work"));
    u.CreateWorkFolders();
    platform::WriteTestFile(u.BoxRoot() + "/Backup.XML", "<BackupInfo/>");
    u.PackArchive();
    EXPECT_EQ(platform::ReadTestFile(victim + "/file"), "precious");
    struct stat st {};
    ASSERT_EQ(::lstat(archive.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0077, 0u) << "only the owner reads the archive";
    EXPECT_EQ(Entries(archive), (std::vector<std::string>{"BOX/Backup.XML", "BOX/DATABASE/"}));
    EXPECT_FALSE(fs::exists(archive + ".zip"));
  }
}

}  // namespace
}  // namespace boxlink
