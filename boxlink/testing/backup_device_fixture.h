// The simulated device and an open session for whole backups, per layout,
// with helpers that unpack archives by the system's unzip and a byte-level
// unscramble written here, not by the engine's own readers.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "boxlink.h"
#include "boxlink/base/logger.h"
#include "boxlink/client/session_hooks.h"
#include "boxlink/engine/backup.h"
#include "boxlink/testing/engine_test_env.h"
#include "boxlink/testing/job_device_env.h"
#include "devsim/testing/device_fixture.h"
#include "platform/testing/temp_dir.h"

namespace boxlink::backuptest {

namespace fs = std::filesystem;
using boxlink::enginetest::FixedFtpProbe;
using boxlink::enginetest::FixedWebProbe;
using boxlink::enginetest::kAdmin;
using boxlink::enginetest::ProfileFor;
using boxlink::enginetest::ReadFile;
using boxlink::enginetest::WriteFile;

inline constexpr uint32_t kFirstBox = 7;

inline int Sh(const std::string& cmd) {
  int rc = std::system((cmd + " >/dev/null 2>&1").c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// Undoes the member scrambling: the eight bytes of the end record that
// begin 16 bytes before the end of the file are stored inverted.
inline void Unscramble(const std::string& path) {
  std::string bytes = ReadFile(path);
  ASSERT_GE(bytes.size(), 22u);
  for (size_t i = bytes.size() - 16; i < bytes.size() - 8; ++i) bytes[i] = char(~bytes[i]);
  WriteFile(path, bytes);
}

// Relative path -> content of every file below root, except the status
// file a download never copies.
inline std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file()) continue;
    if (e.path().filename() == "UNLOCK.STS") continue;
    // The first family's listings skip names beginning with a dot.
    if (e.path().filename().string().starts_with(".")) continue;
    out[fs::relative(e.path(), root).string()] = ReadFile(e.path().string());
  }
  return out;
}

inline std::multiset<std::string> Contents(const std::map<std::string, std::string>& tree) {
  std::multiset<std::string> out;
  for (const auto& [k, v] : tree) out.insert(v);
  return out;
}

inline devsim::PopulateOptions Boxes() {
  devsim::PopulateOptions o;
  o.first_box = kFirstBox;
  o.boxes = 2;
  o.folders = 2;
  o.documents = 2;
  o.pages = 2;
  o.page_bytes = 3000;
  return o;
}

class BackupDeviceTest : public ::testing::TestWithParam<devsim::Layout> {
 protected:
  explicit BackupDeviceTest(std::vector<std::string> services = {"web", "ftp"})
      : env_(100),
        probes_({&FixedWebProbe, &FixedFtpProbe}),
        dev_(ProfileFor(GetParam()), std::move(services), Boxes()) {}

  void SetUp() override {
    ASSERT_TRUE(dev_.ok()) << dev_.error();
    boxlink::enginetest::OpenJobSession(*dev_, &s_, &user_);
    fs::create_directories(work_);
  }
  void TearDown() override {
    zbBoxCloseConnection(&s_);
    std::string log = boxlink::CLogger::LogFilePath();
    boxlink::CLogger::StopLog();
    if (HasFailure()) std::fprintf(stderr, "%s\n", ReadFile(log).c_str());
    zbBoxCloseEvent(cancel_);
    zbBoxCloseEvent(status_);
  }

  bool storage() const { return GetParam() == devsim::Layout::kStorage; }
  bool shared() const { return GetParam() == devsim::Layout::kShared; }

  uint32_t Backup(uint32_t type, const char* transfer_library = "") {
    return zbBoxBackup(&s_, kAdmin, user_.c_str(), work_.c_str(), archive_.c_str(),
                       type, 2, boxes_, cancel_, status_, &progress_, nullptr, &mode_,
                       transfer_library, CIPHERLIB_SO, DIGESTLIB_SO);
  }
  // The same arguments, for a test's own job run by RunBackup.
  BackupCall Call(uint32_t type) {
    return {&s_,     kAdmin,  user_.c_str(), work_.c_str(), archive_.c_str(),
            type,    2,       boxes_,        cancel_,       status_,
            &progress_, nullptr, &mode_,     "",            CIPHERLIB_SO,
            DIGESTLIB_SO};
  }

  // Python's zipfile reads every entry of a zip and finds its CRCs right.
  static int PythonZipTest(const std::string& zip) {
    return Sh("/usr/bin/python3 -c \"import zipfile,sys; "
              "sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)\" '" +
              zip + "'");
  }

  // Unpacks the archive and each box member with unzip into out/, after
  // unzip -t and Python's zipfile have tested each.
  void Unpack(const std::string& out) {
    fs::remove_all(out);
    fs::create_directories(out);
    ASSERT_EQ(Sh("unzip -tq '" + archive_ + "'"), 0);
    ASSERT_EQ(PythonZipTest(archive_), 0);
    ASSERT_EQ(Sh("unzip -q -o '" + archive_ + "' -d '" + out + "'"), 0);
    std::string box = out + "/BOX";
    std::string members = box;
    if (shared()) {
      ASSERT_TRUE(fs::exists(box + "/DATA.zip"));
      ASSERT_EQ(PythonZipTest(box + "/DATA.zip"), 0);
      ASSERT_EQ(Sh("unzip -q -o '" + box + "/DATA.zip' -d '" + box + "'"), 0);
      members = box + "/DATA";
    }
    for (uint32_t b : boxes_) {
      std::string name = storage() ? boxlink::enginetest::Fmt3(b) : "B0000" + boxlink::enginetest::Fmt3(b);
      std::string tnb = members + "/" + name + ".tnb";
      ASSERT_TRUE(fs::exists(tnb)) << tnb;
      Unscramble(tnb);
      ASSERT_EQ(Sh("unzip -tq '" + tnb + "'"), 0) << tnb;
      ASSERT_EQ(PythonZipTest(tnb), 0) << tnb;
      ASSERT_EQ(Sh("unzip -q -o '" + tnb + "' -d '" + out + "/trees'"), 0) << tnb;
    }
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
  uint32_t mode_ = 1;
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

#define BACKUP_DEVICE_LAYOUTS                                                   \
  ::testing::Values(devsim::Layout::kShared, devsim::Layout::kClassic,          \
                    devsim::Layout::kStorage),                                  \
      ::boxlink::backuptest::LayoutName

}  // namespace boxlink::backuptest
