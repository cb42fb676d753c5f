// The fixture of the restore tests against the simulated device: a device
// per layout with two populated boxes, a session opened the way the
// program opens it, and helpers that look at what the device holds through
// its own store.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "boxlink.h"
#include "boxlink/base/logger.h"
#include "boxlink/client/session_hooks.h"
#include "boxlink/testing/engine_test_env.h"
#include "boxlink/testing/job_device_env.h"
#include "boxlink/engine/zip_utility.h"
#include "boxlink/zip/zip_utls.h"
#include "devsim/testing/device_fixture.h"
#include "platform/testing/temp_dir.h"
#include "platform/text.h"

namespace boxlink::restoretest {

namespace fs = std::filesystem;
using boxlink::enginetest::FixedFtpProbe;
using boxlink::enginetest::FixedWebProbe;
using boxlink::enginetest::kAdmin;
using boxlink::enginetest::ProfileFor;

constexpr uint32_t kFirstBox = 7;
constexpr int32_t kRestoreTime = 1750000000;

inline devsim::PopulateOptions Boxes(int documents = 2) {
  devsim::PopulateOptions o;
  o.first_box = kFirstBox;
  o.boxes = 2;
  o.folders = 2;
  o.documents = documents;
  o.pages = 2;
  o.page_bytes = 700;
  return o;
}

// What a box holds, by container name: name -> first page.
using Content = std::map<std::string, std::map<std::string, std::string>>;

class RestoreDeviceTest : public ::testing::TestWithParam<devsim::Layout> {
 protected:
  // Test time runs ten times faster: the FTP client's 10-second waits stay
  // long enough (1 s) for a loaded machine to list a big box. The SNMP
  // agent runs too: every backup asks it for the device's name and would
  // otherwise wait out the query's time-out.
  RestoreDeviceTest()
      : env_(10),
        probes_({&FixedWebProbe, &FixedFtpProbe}),
        dev_(ProfileFor(GetParam()), {"web", "ftp", "snmp"}, Boxes()) {}

  void SetUp() override {
    ASSERT_TRUE(dev_.ok()) << dev_.error();
    boxlink::enginetest::OpenJobSession(*dev_, &s_, &user_);
    fs::create_directories(work_);
    env_.SetNoEncryption(true);
  }
  void TearDown() override {
    zbBoxCloseConnection(&s_);
    if (HasFailure())
      std::fprintf(stderr, "diagnostic log:\n%s\n",
                   boxlink::enginetest::ReadFile(boxlink::CLogger::LogFilePath()).c_str());
    boxlink::CLogger::StopLog();
    zbBoxCloseEvent(cancel_);
    zbBoxCloseEvent(status_);
  }

  bool storage() const { return GetParam() == devsim::Layout::kStorage; }

  // security_mode goes into a storage archive's index as its secure mode.
  uint32_t Backup(uint32_t security_mode = 1, uint32_t count = 2) {
    return zbBoxBackup(&s_, kAdmin, user_.c_str(), work_.c_str(), archive_.c_str(), 0,
                       count, boxes_, cancel_, status_, &progress_, nullptr, &security_mode,
                       "", CIPHERLIB_SO, DIGESTLIB_SO);
  }
  struct Call {
    std::vector<uint32_t> boxes{kFirstBox, kFirstBox + 1};
    uint32_t mode = 2;
    uint32_t needed = 0;    // the caller's needed space
    uint32_t security = 0;  // the caller's security mode
    const char* transfer_library = "";
  };
  uint32_t Restore(const Call& c) {
    progress_ = BoxJobProgress{};
    uint32_t security = c.security;
    return zbBoxRestore(&s_, kAdmin, user_.c_str(), work_.c_str(), archive_.c_str(),
                        uint32_t(c.boxes.size()), c.boxes.data(), c.mode, kRestoreTime,
                        cancel_, status_, &progress_, c.needed, &security,
                        c.transfer_library, CIPHERLIB_SO, DIGESTLIB_SO);
  }
  uint32_t Restore(uint32_t mode, uint32_t count = 2, const char* transfer_library = "") {
    Call c;
    c.boxes.resize(count);
    c.mode = mode;
    c.transfer_library = transfer_library;
    return Restore(c);
  }

  // From now on the device reports `kib` KiB free, as long as what it holds
  // does not grow.
  void ReportFree(uint64_t kib) {
    uint64_t used = (dev_->store().UsedBytes() + 1023) / 1024;
    dev_->mutable_profile().extra["disk.capacity"] = std::to_string(used + kib);
  }
  // Requests that write to the device over FTP.
  int Writes() {
    devsim::FaultPlan& f = dev_->faults();
    return f.Hits("ftp.STOR") + f.Hits("ftp.MKD") + f.Hits("ftp.DELE") + f.Hits("ftp.RMD") +
           f.Hits("ftp.RNFR");
  }

  // Everything of a box that a restore into an empty device keeps: the
  // box's own properties and, per item, its number, dates other than the
  // last access, page count, size and every page.
  std::map<std::string, std::string> Tree(uint32_t box) {
    std::map<std::string, std::string> out;
    devsim::BoxStore& st = dev_->store();
    std::optional<devsim::BoxInfo> info = st.GetBox(box);
    if (!info) return out;
    out["."] = info->name + "|" + info->owner + "|" + info->password + "|" +
               std::to_string(info->num_folders) + "|" + std::to_string(info->num_documents);
    auto add = [&](const std::string& path, const devsim::ItemInfo& item) {
      std::string v = std::to_string(item.number) + "|" + std::to_string(item.create_date) +
                      "|" + std::to_string(item.last_update_date) + "|" +
                      std::to_string(item.pages) + "|" + std::to_string(item.size);
      for (uint32_t page = 1; page <= item.pages; ++page)
        v += "|" + st.ReadPage(item, page).value_or("?");
      out[path] = v;
    };
    for (const auto& item : st.ListItems(box, 0)) {
      if (item.kind != devsim::ItemKind::kFolder) {
        add(item.name, item);
        continue;
      }
      out[item.name + "/"] = std::to_string(item.number);
      for (const auto& d : st.ListItems(box, item.number)) add(item.name + "/" + d.name, d);
    }
    return out;
  }

  Content Of(uint32_t box) {
    Content out;
    devsim::BoxStore& st = dev_->store();
    for (const auto& item : st.ListItems(box, 0)) {
      if (item.kind == devsim::ItemKind::kFolder) {
        auto& c = out[item.name];
        for (const auto& d : st.ListItems(box, item.number))
          c[d.name] = st.ReadPage(d, 1).value_or("?");
      } else {
        out[""][item.name] = st.ReadPage(item, 1).value_or("?");
      }
    }
    return out;
  }
  std::vector<uint32_t> AccessTimes(uint32_t box) {
    std::vector<uint32_t> out;
    devsim::BoxStore& st = dev_->store();
    for (const auto& item : st.ListItems(box, 0)) {
      if (item.kind == devsim::ItemKind::kFolder) {
        for (const auto& d : st.ListItems(box, item.number)) out.push_back(d.last_access_date);
      } else {
        out.push_back(item.last_access_date);
      }
    }
    return out;
  }
  void Empty() {
    std::string error;
    for (uint32_t b : boxes_) {
      if (!dev_->store().GetBox(b)) continue;
      ASSERT_TRUE(dev_->store().DeleteBox(b, &error)) << error;
    }
  }

  // Rewrites an archive as a hand-made one could be: unpacks it into a
  // scratch folder, lets `edit` change the unpacked BOX folder, and packs
  // it again the way a backup does. Members must be plain (the fixture sets
  // the "NoEncryption" marker).
  void EditArchive(const std::string& archive,
                   const std::function<void(const std::string& box_root)>& edit) {
    const std::string root = dir_.Sub("edit");
    fs::remove_all(root);
    fs::create_directories(root);
    Unzip(archive, root);
    edit(root + "/BOX");
    Zip(root + "/BOX", archive);
  }
  // The same for the member of one box: `edit` gets the unpacked box folder.
  void EditArchivedBox(const std::string& archive, uint32_t box,
                       const std::function<void(const std::string& box_folder)>& edit) {
    EditArchive(archive, [&](const std::string& box_root) {
      const std::string holder = MemberHolder(box_root, /*unpack=*/true);
      boxlink::CZipUtility names;
      names.SetLayout(GetParam() == devsim::Layout::kShared, storage());
      const std::string folder = holder + "/" + names.BoxFolderName(box);
      boxlink::RevertZipCentralDirectory(folder + ".zip");
      Unzip(folder + ".zip", holder);
      fs::remove(folder + ".zip");
      ASSERT_TRUE(fs::is_directory(folder)) << folder;
      edit(folder);
      Zip(folder, folder + ".zip");
      boxlink::ChangeZipCentralDirectory(folder + ".zip");
      fs::remove_all(folder);
      MemberHolder(box_root, /*unpack=*/false);
    });
  }
  // Where box members lie in an unpacked archive: BOX itself, or for the
  // shared layout BOX/DATA, unpacked from DATA.zip (and packed again when
  // `unpack` is false).
  std::string MemberHolder(const std::string& box_root, bool unpack) {
    if (GetParam() != devsim::Layout::kShared) return box_root;
    if (unpack) {
      Unzip(box_root + "/DATA.zip", box_root);
      fs::remove(box_root + "/DATA.zip");
    } else {
      Zip(box_root + "/DATA", box_root + "/DATA.zip");
      fs::remove_all(box_root + "/DATA");
    }
    return box_root + "/DATA";
  }
  static void Unzip(const std::string& zip, const std::string& into) {
    boxlink::CZipUtls z;
    z.OpenFile(zip, 1);
    z.ExtractZipFile(into);
  }
  static void Zip(const std::string& folder, const std::string& target) {
    fs::remove(target);
    boxlink::CZipUtls z;
    ASSERT_EQ(z.Zip(folder, target), 1) << folder;
  }

  boxlink::enginetest::EngineTestEnv env_;
  boxlink::ScopedPortProbes probes_;
  devsim::ScopedDevice dev_;
  platform::ScopedTempDir dir_;
  std::string work_ = dir_.Sub("work");
  std::string archive_ = dir_.Sub("backup.zip");
  ZBSESSION s_{};
  std::string user_;
  uint32_t boxes_[2] = {kFirstBox, kFirstBox + 1};
  BoxJobProgress progress_{};
  ZBEVENT cancel_ = zbBoxCreateEvent(1, 0, nullptr);
  ZBEVENT status_ = zbBoxCreateEvent(0, 0, nullptr);
};

inline std::string LayoutName(const ::testing::TestParamInfo<devsim::Layout>& info) {
  switch (info.param) {
    case devsim::Layout::kShared: return "Shared";
    case devsim::Layout::kClassic: return "Classic";
    default: return "Storage";
  }
}

}  // namespace boxlink::restoretest
