// The folder-transfer mechanics shared by both families, over an in-memory
// remote tree.
#include "boxlink/transfer/base_ftp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "boxlink/base/box_error.h"
#include "boxlink/transfer/folder_ops.h"
#include "boxlink/transfer/list_parse.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"

namespace boxlink {
namespace {
namespace fs = std::filesystem;

// Remote folders and files; the listing order is the map's.
class FakeFtp final : public CBaseFtp {
 public:
  std::map<std::string, std::vector<std::string>> folders, files;
  std::vector<std::string> listed, fetched, put;
  uint32_t create_folder_raises = 0;  // as the secure second family does

  void FtpOpenConnection(ZBSESSION*, std::string_view, std::string_view) override {}
  void FtpCloseConnection() override {}
  bool FtpCreateFolder(std::string_view) override {
    if (create_folder_raises) Raise(create_folder_raises);
    return true;
  }
  bool FtpChangeDirectory(std::string_view) override { return true; }
  bool FtpListDirectory(std::string_view remote, FindDataList* fo,
                        FindDataList* fi) override {
    listed.emplace_back(remote);
    if (fo) {
      fo->clear();
      for (auto& n : folders[std::string(remote)])
        fo->push_back(transfer::NamedEntry(n, true));
    }
    if (fi) {
      fi->clear();
      for (auto& n : files[std::string(remote)])
        fi->push_back(transfer::NamedEntry(n, false));
    }
    return true;
  }
  bool FtpDeleteElement(std::string_view, std::string_view, uint32_t) override {
    return true;
  }
  bool FtpDeleteFile(std::string_view, bool) override { return true; }
  bool FtpGetFile(std::string_view remote, std::string_view local) override {
    fetched.emplace_back(remote);
    platform::WriteTestFile(std::string(local), std::string(remote));
    return true;
  }
  bool FtpPutFile(std::string_view remote, std::string_view) override {
    put.emplace_back(remote);
    return true;
  }
  uint32_t DownloadFolder(std::string_view l, std::string_view r) override {
    return DownloadFolderWith(kPolicy, l, r);
  }
  uint32_t UploadFolder(std::string_view l, std::string_view r) override {
    return UploadFolderWith(kPolicy, l, r);
  }
  uint32_t FtpCreateFile(std::string_view) override { return 0; }
  uint32_t FtpReplaceStatusFile(std::string_view) override { return 0; }

  static constexpr FolderPolicy kPolicy = {"D", "D", "U", "U", "C", true, "L", true};
};

class BaseFtpTest : public testing::Test {
 protected:
  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
  platform::ScopedTempDir dir_;
};

TEST_F(BaseFtpTest, QueueIsOrderedByLocalPathAndKeepsOneEntryPerPath) {
  FakeFtp f;
  f.QueuePair("/w/b", "/r/1");
  f.QueuePair("/w/a", "/r/2");
  f.QueuePair("/w/b", "/r/3");  // overwrites
  std::string l, r;
  f.TakeNextPair(&l, &r);
  EXPECT_EQ(l, "/w/a");
  EXPECT_EQ(r, "/r/2");
  f.TakeNextPair(&l, &r);
  EXPECT_EQ(l, "/w/b");
  EXPECT_EQ(r, "/r/3");
  EXPECT_TRUE(f.IsQueueEmpty());
  f.QueuePair("x", "y");
  f.ClearQueue();
  EXPECT_TRUE(f.IsQueueEmpty());
}

TEST_F(BaseFtpTest, DownloadFolderSkipsUnlockAndQueuesSubfolders) {
  FakeFtp f;
  f.files["/r"] = {"A.XML", "UNLOCK.STS"};
  f.folders["/r"] = {"X", "Y"};
  EXPECT_EQ(f.DownloadFolder(dir_.Sub("l"), "/r"), 0u);
  EXPECT_EQ(f.fetched, std::vector<std::string>{"/r/A.XML"});
  EXPECT_FALSE(fs::exists(dir_.Sub("l/UNLOCK.STS")));
  std::string l, r;
  f.TakeNextPair(&l, &r);
  EXPECT_EQ(l, dir_.Sub("l") + "/X");
  EXPECT_EQ(r, "/r/X");
  f.TakeNextPair(&l, &r);
  EXPECT_EQ(r, "/r/Y");
  EXPECT_EQ(fs::current_path(), fs::path(dir_.Sub("l")));
}

TEST_F(BaseFtpTest, StorageLayoutNumbersFoldersUnlessDocument) {
  for (bool document : {false, true}) {
    SCOPED_TRACE(document ? "document folder" : "folder");
    FakeFtp f;
    f.SetStorageLayout(1);
    if (document) f.files["/r"] = {"documentproperties.xml"};
    f.folders["/r"] = {"docA", "docB"};
    f.DownloadFolder(dir_.Sub(document ? "d" : "f"), "/r");
    std::string l, r;
    f.TakeNextPair(&l, &r);
    EXPECT_TRUE(l.ends_with(document ? "/docA" : "/0001")) << l;
    EXPECT_EQ(r, "/r/docA");
    f.TakeNextPair(&l, &r);
    EXPECT_TRUE(l.ends_with(document ? "/docB" : "/0002")) << l;
  }
}

TEST_F(BaseFtpTest, DownloadTreeTakesFoldersInByteOrderOnce) {
  FakeFtp f;
  f.folders["/r"] = {"b", "a"};
  f.folders["/r/a"] = {"c"};
  f.files["/r/b"] = {"1.XML"};
  f.DownloadTree(dir_.Sub("t"), "/r");
  EXPECT_EQ(f.listed, (std::vector<std::string>{"/r", "/r/a", "/r/a/c", "/r/b"}));
  EXPECT_TRUE(fs::exists(dir_.Sub("t/b/1.XML")));
}

TEST_F(BaseFtpTest, CancelRaisesAfterListingBeforeFirstDownload) {
  FakeFtp f;
  f.files["/r"] = {"A.XML"};
  auto cancel = platform::Event::Create(true, true);
  f.SetCancelEvent(cancel.get());
  try {
    f.DownloadFolder(dir_.Sub("c"), "/r");
    FAIL() << "no cancel";
  } catch (const BoxError& e) {
    EXPECT_EQ(e.code(), 995u);
  }
  EXPECT_EQ(f.listed.size(), 1u);
  EXPECT_TRUE(f.fetched.empty());
}

TEST_F(BaseFtpTest, NamesThatWouldLeaveTheWorkFolderAreSkipped) {
  FakeFtp f;
  f.files["/r"] = {"../evil", "ok.XML"};
  f.folders["/r"] = {"..", ".", "a/b", "fine"};
  f.DownloadFolder(dir_.Sub("s"), "/r");
  EXPECT_EQ(f.fetched, std::vector<std::string>{"/r/ok.XML"});
  std::string l, r;
  f.TakeNextPair(&l, &r);
  EXPECT_EQ(r, "/r/fine");
  EXPECT_TRUE(f.IsQueueEmpty());
  EXPECT_FALSE(fs::exists(dir_.Sub("evil")));
}

TEST_F(BaseFtpTest, UploadOfAFolderThatCannotBeListedRaises) {
  FakeFtp f;
  try {
    f.UploadFolder(dir_.Sub("missing"), "/r");
    FAIL() << "no error";
  } catch (const BoxError& e) {
    EXPECT_EQ(e.code(), 161u);
  }
}

TEST_F(BaseFtpTest, UploadTreeGoesOnWhenTheFolderExistsButNotWhenCancelled) {
  platform::WriteTestFile(dir_.Sub("u/a.bin"), "a");
  platform::WriteTestFile(dir_.Sub("u/sub/b.bin"), "b");
  FakeFtp f;
  f.create_folder_raises = 1359;  // "already there", the way MKD fails
  EXPECT_EQ(f.UploadTree(dir_.Sub("u"), "/r"), 0u);
  EXPECT_EQ(f.put, (std::vector<std::string>{"/r/a.bin", "/r/sub/b.bin"}));

  FakeFtp c;
  c.create_folder_raises = 995;
  try {
    c.UploadTree(dir_.Sub("u"), "/r");
    FAIL() << "no cancel";
  } catch (const BoxError& e) {
    EXPECT_EQ(e.code(), 995u);
  }
  EXPECT_TRUE(c.put.empty());
}

TEST_F(BaseFtpTest, TuningValuesComeFromTheRegistry) {
  {
    FakeFtp f;
    EXPECT_EQ(f.tuning().delay, 0u) << "absent key leaves 0";
  }
  auto key = platform::RegKey::Create(env_.registry(),
                                      platform::RegRoot::kCurrentUser, kBoxLinkKey);
  ASSERT_TRUE(key);
  key->SetDword("Delay", 250);
  key->SetDword("FtpLog", 2);
  FakeFtp f;
  EXPECT_EQ(f.tuning().delay, 250u);
  EXPECT_EQ(f.tuning().ftp_log, 2u);
  EXPECT_EQ(f.tuning().performance, 0u);
}

}  // namespace
}  // namespace boxlink
