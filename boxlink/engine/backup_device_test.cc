// Whole backups against the simulated device, for every layout. Archives
// are unpacked with the system's unzip and a byte-level unscramble written
// here, not with the engine's own readers, and compared with the device's
// store.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include "boxlink/testing/backup_device_fixture.h"

namespace boxlink::backuptest {
namespace {

TEST_P(BackupDeviceTest, FullBackupHoldsTheDevicesBoxes) {
  env_.SetNoEncryption(true);
  ASSERT_EQ(Backup(0), 0u);
  EXPECT_FALSE(fs::exists(work_ + "/BOX"));
  std::string out = dir_.Sub("out");
  Unpack(out);

  std::string index = ReadFile(out + "/BOX/Backup.XML");
  EXPECT_EQ(index.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<BackupInfo>\r\n", 0), 0u);
  EXPECT_TRUE(index.ends_with("</Boxes>\r\n</BackupInfo>"));
  EXPECT_NE(index.find("<EngineVersion>" + dev_->profile().engine_version + "</EngineVersion>"),
            std::string::npos);
  EXPECT_NE(index.find("<Boxes NumOfBoxes=\"2\">"), std::string::npos);
  EXPECT_NE(index.find("<BoxNo>7</BoxNo>"), std::string::npos);
  EXPECT_EQ(index.find("<SecureMode>") != std::string::npos, storage());
  EXPECT_EQ(fs::exists(out + "/BOX/Database.tnb"), !storage());

  for (uint32_t b : boxes_) {
    fs::path device = dev_->store().BoxDir(b);
    std::string name = device.filename().string();
    auto got = Tree(fs::path(out) / "trees" / name);
    auto want = Tree(device);
    if (storage()) {
      // The job reports the new last-backup date after the download, which
      // rewrites the device's copy of this one file.
      EXPECT_EQ(got.erase("boxproperties.xml"), 1u);
      want.erase("boxproperties.xml");
    }
    if (storage()) {
      // Non-document folders are renumbered locally; the files are the same.
      EXPECT_TRUE(Contents(got) == Contents(want))
          << name << ": " << got.size() << " files backed up, " << want.size() << " on the device";
      for (const auto& [k, v] : got)
        if (!Contents(want).count(v)) ADD_FAILURE() << "differs: " << k << " " << v.substr(0, 300);
    } else {
      EXPECT_EQ(got, want) << name;
    }
  }

  BackupIndexInfo info{};
  BackupIndexBox* list = nullptr;
  std::string read_dir = dir_.Sub("read");
  fs::create_directories(read_dir);
  ASSERT_EQ(zbBoxGetXMLInfo(archive_.c_str(), read_dir.c_str(), &info, &list, "", ""), 0u);
  EXPECT_EQ(info.Count, 2u);
  EXPECT_STREQ(info.Version, dev_->profile().engine_version.c_str());
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list[1].BoxNo, kFirstBox + 1);
  zbBoxFreeIndexBoxes(list);
}

TEST_P(BackupDeviceTest, RelativePathsAreTakenFromWhereTheCallerStands) {
  // Transfers move the process into the work tree and boxes are packed on
  // a thread of their own; neither may change where relative paths point.
  // (Earlier jobs may have left the process in a folder that is gone.)
  std::error_code ec;
  fs::path before = fs::current_path(ec);
  if (ec) before = fs::temp_directory_path();
  fs::current_path(dir_.path());
  uint32_t rc = zbBoxBackup(&s_, kAdmin, user_.c_str(), "work", "relative.zip", 0, 2, boxes_,
                            cancel_, status_, &progress_, nullptr, &mode_, "", CIPHERLIB_SO,
                            DIGESTLIB_SO);
  fs::current_path(before);
  ASSERT_EQ(rc, 0u);
  EXPECT_FALSE(fs::exists(work_ + "/BOX"));
  archive_ = dir_.Sub("relative.zip");
  if (!storage()) Unpack(dir_.Sub("out"));  // storage members are sealed
  BackupIndexInfo info{};
  BackupIndexBox* list = nullptr;
  std::string read_dir = dir_.Sub("read");
  fs::create_directories(read_dir);
  ASSERT_EQ(zbBoxGetXMLInfo(archive_.c_str(), read_dir.c_str(), &info, &list, CIPHERLIB_SO,
                            DIGESTLIB_SO),
            0u);
  EXPECT_EQ(info.Count, 2u);
  zbBoxFreeIndexBoxes(list);
}

TEST_P(BackupDeviceTest, EncryptedStorageMembersAndProgressToTheEnd) {
  // The preparation asks the device a few short questions; on a busy
  // machine the watcher might not run before the transfer begins. A slow
  // answer lets it see every state, as a user's progress dialog would.
  devsim::Fault slow;
  slow.kind = devsim::Fault::Kind::kDelay;
  slow.delay = std::chrono::milliseconds(100);
  dev_->faults().Arm("web.boxnwGetBoxProperty", slow, -1);
  std::vector<std::pair<uint32_t, uint32_t>> seen;  // state, percent
  std::atomic<bool> done{false};
  std::thread watcher([&] {
    while (!done) {
      if (zbBoxWaitEvent(status_, 20) == ZB_WAIT_OBJECT_0)
        seen.emplace_back(progress_.State, progress_.Percent);
    }
    // The last signal may come just before the job returns.
    if (zbBoxWaitEvent(status_, 0) == ZB_WAIT_OBJECT_0)
      seen.emplace_back(progress_.State, progress_.Percent);
  });
  uint32_t rc = Backup(0);
  done = true;
  watcher.join();
  ASSERT_EQ(rc, 0u);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back().second, 100u);
  EXPECT_EQ(seen.back().first, uint32_t(BOXJOB_STATE_PACKING));
  std::set<uint32_t> states;
  uint32_t last = 0;
  for (auto [state, percent] : seen) {
    states.insert(state);
    EXPECT_GE(percent, last);
    last = percent;
  }
  EXPECT_EQ(states, (std::set<uint32_t>{1, 3, 5}));

  std::string out = dir_.Sub("sealed");
  fs::create_directories(out);
  ASSERT_EQ(Sh("unzip -q -o '" + archive_ + "' -d '" + out + "'"), 0);
  EXPECT_EQ(fs::exists(out + "/BOX/Backup.XMLe"), storage());
  EXPECT_EQ(fs::exists(out + "/BOX/Backup.XML"), !storage());
  if (storage()) {
    EXPECT_TRUE(fs::exists(out + "/BOX/007.tnbe"));
  }

  BackupIndexInfo info{};
  BackupIndexBox* list = nullptr;
  ASSERT_EQ(zbBoxGetXMLInfo(archive_.c_str(), work_.c_str(), &info, &list, CIPHERLIB_SO,
                            DIGESTLIB_SO),
            0u);
  EXPECT_EQ(info.Count, 2u);
  zbBoxFreeIndexBoxes(list);
}

TEST_P(BackupDeviceTest, CancelAndFaultsLeaveTheOldArchiveAlone) {
  WriteFile(archive_, "the old archive");
  struct Case {
    const char* what;
    std::function<void()> arm;
    bool cancel_on_first_document;
    uint32_t code;
  };
  const Case cases[] = {
      {"cancel during the transfer", [] {}, true, 995},
      {"dropped data connection",
       [&] {
         devsim::Fault f;
         f.kind = devsim::Fault::Kind::kDropConnection;
         dev_->faults().Arm("ftp.data", f, -1);
       },
       false, 12031},  // the connection reset, as the transfer reports it
      {"refused CGI",
       [&] {
         devsim::Fault f;
         f.kind = devsim::Fault::Kind::kFailWith;
         f.code = 500;
         dev_->faults().Arm("web.boxnwGetBoxProperty", f, -1);
       },
       false, 58},  // HTTP 500 as the transport maps it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dev_->faults().Clear();
    zbBoxResetEvent(cancel_);
    c.arm();
    std::atomic<bool> done{false};
    std::thread watcher([&] {
      while (!done) {
        if (zbBoxWaitEvent(status_, 20) == ZB_WAIT_OBJECT_0 && c.cancel_on_first_document &&
            progress_.State == BOXJOB_STATE_TRANSFERRING && progress_.Percent > 5)
          zbBoxSetEvent(cancel_);
      }
    });
    uint32_t rc = Backup(0);
    done = true;
    watcher.join();
    EXPECT_EQ(rc, c.code);
    EXPECT_FALSE(fs::exists(work_ + "/BOX"));
    EXPECT_EQ(ReadFile(archive_), "the old archive");
    EXPECT_FALSE(fs::exists(archive_ + ".zip"));
  }
  dev_->faults().Clear();
  zbBoxResetEvent(cancel_);
  EXPECT_EQ(Backup(0), 0u);
  EXPECT_NE(ReadFile(archive_), "the old archive");
}

TEST_P(BackupDeviceTest, OverTheWrapperPlainAndTls) {
  for (bool tls : {false, true}) {
    SCOPED_TRACE(tls ? "TLS" : "plain");
    devsim::Profile p = ProfileFor(GetParam());
    p.ftp_tls = tls;
    devsim::ScopedDevice dev(p, {"web", "ftp"}, Boxes());
    ASSERT_TRUE(dev.ok()) << dev.error();
    ZBSESSION s{};
    std::string user;
    boxlink::enginetest::OpenJobSession(*dev, &s, &user);
    s.FtpSecure = tls ? 1 : 0;
    uint32_t mode = 1;
    std::string archive = dir_.Sub(tls ? "tls.zip" : "wrapped.zip");
    EXPECT_EQ(zbBoxBackup(&s, kAdmin, user.c_str(), work_.c_str(), archive.c_str(), 0, 2,
                          boxes_, nullptr, status_, &progress_, nullptr, &mode, FTPSHIM_DIR,
                          CIPHERLIB_SO, DIGESTLIB_SO),
              0u);
    zbBoxCloseConnection(&s);
    BackupIndexInfo info{};
    BackupIndexBox* list = nullptr;
    ASSERT_EQ(zbBoxGetXMLInfo(archive.c_str(), work_.c_str(), &info, &list, CIPHERLIB_SO,
                              DIGESTLIB_SO),
              0u);
    EXPECT_EQ(info.Count, 2u);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list[0].BoxNo, kFirstBox);
    zbBoxFreeIndexBoxes(list);
    EXPECT_FALSE(fs::exists(work_ + "/BOX"));
  }
}

TEST_P(BackupDeviceTest, IncrementalCarriesOnlyTheChangedDocument) {
  env_.SetNoEncryption(true);
  ASSERT_EQ(Backup(0), 0u);
  devsim::ItemInfo changed;
  for (const devsim::ItemInfo& item : dev_->store().ListItems(kFirstBox, 0))
    if (item.kind == devsim::ItemKind::kDocument) {
      changed = item;
      break;
    }
  ASSERT_NE(changed.number, 0u);
  std::string error;
  ASSERT_TRUE(dev_->store().WritePage(changed, 1, "a changed page", 2000000000u, &error)) << error;

  ASSERT_EQ(Backup(1), 0u);
  BackupIndexInfo info{};
  BackupIndexBox* list = nullptr;
  std::string read_dir = dir_.Sub("read");
  fs::create_directories(read_dir);
  ASSERT_EQ(zbBoxGetXMLInfo(archive_.c_str(), read_dir.c_str(), &info, &list, "", ""), 0u);
  ASSERT_NE(list, nullptr);
  BackupIndexBox first = list[0], second = list[1];
  zbBoxFreeIndexBoxes(list);
  std::string out = dir_.Sub("inc");
  Unpack(out);
  if (shared()) {
    // Shared engines keep no last-backup date: every backup is full.
    EXPECT_EQ(first.NumOfDocs, 6u);
    return;
  }
  EXPECT_EQ(info.BackupType, 1u);
  EXPECT_EQ(first.NumOfDocs, 1u);
  EXPECT_EQ(second.NumOfDocs, 0u);
  EXPECT_EQ(second.BoxUsedDisk, 8u);
  auto tree = Tree(fs::path(out) / "trees" / dev_->store().BoxDir(kFirstBox).filename());
  bool found = false;
  for (const auto& [path, bytes] : tree) {
    if (bytes == "a changed page") found = true;
    if (storage()) {
      // The changed document is 0001; the folders follow as 0002, 0003
      // with their properties and status files but no documents.
      bool folder_file = std::count(path.begin(), path.end(), '/') == 1 &&
                         (path.ends_with("/folderproperties.xml") ||
                          path.find(".sts") != std::string::npos);
      EXPECT_TRUE(path == "boxproperties.xml" || path.rfind("0001/", 0) == 0 || folder_file)
          << path;
    }
  }
  EXPECT_TRUE(found);
}

INSTANTIATE_TEST_SUITE_P(Layouts, BackupDeviceTest, BACKUP_DEVICE_LAYOUTS);

}  // namespace
}  // namespace boxlink::backuptest
