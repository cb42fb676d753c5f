// The fault matrix: every kind of device fault against both jobs, run
// through the job frame as the desktop program runs them, in each of the
// three device layouts. One row per fault and job says what the user gets
// (the outcome and the code) and what the device and the disk are left
// with: no work tree, an existing archive untouched, the device's panel
// unlocked, the job's FTP account gone.
//
// The rows are the scan-able summary; finer variants of the same faults
// live beside the code they exercise: boxlink/engine/backup_faults_device_
// test.cc (cancel at every single check point, a device going silent),
// boxlink/engine/restore_device_test.cc (faults in the middle of a
// restore, limits, free space), keeper/app/device_link_test.cc (the
// frame's clean-up after refused locks and accounts).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "devsim/testing/device_fixture.h"
#include "devsim/web/box_cgi_state.h"
#include "keeper/app/device_link.h"
#include "keeper/app/job_frame.h"
#include "platform/testing/temp_dir.h"

namespace fs = std::filesystem;

namespace keeper {
namespace {

using Kind = devsim::Fault::Kind;

enum class Job { kBackup, kRestore };

// When the row's fault strikes.
enum class When {
  kFromTheStart,   // the fault is armed on the device before the job starts
  kCancelAtState,  // the user cancels when the job reports `state`
  kSwitchOffAtState,  // the device goes off when the job reports `state`
};

// The codes of a row in the three layouts (shared, classic, storage):
// the transfer families differ in what they make of a lost connection.
struct Codes {
  uint32_t shared, classic, storage;
};
constexpr Codes All(uint32_t code) { return {code, code, code}; }
// Whether the job itself ended with a network-class code (the frame's
// JobResult::network_error), in the three layouts. The reported code can
// differ: a failed release after the job overrides it.
struct Net {
  bool shared, classic, storage;
};
constexpr Net kNet{true, true, true};
constexpr Net kNoNet{false, false, false};

struct Row {
  const char* name;
  Job job;
  When when;
  const char* point;  // armed from the start, or null
  devsim::Fault fault;
  // A point slowed down so that the job dwells where the row strikes.
  const char* slow;
  uint32_t state;     // the progress state the row waits for
  uint32_t outcome;
  Codes code;         // JobResult::error
  Net net;
};

devsim::Fault F(Kind kind, int code = 0, int delay_ms = 0, std::string body = "") {
  devsim::Fault f;
  f.kind = kind;
  f.code = code;
  f.delay = std::chrono::milliseconds(delay_ms);
  f.body = std::move(body);
  return f;
}

constexpr uint32_t kTransferring = 3;  // backup downloads
constexpr uint32_t kUploading = 4;     // restore uploads
constexpr uint32_t kPreparing = 5;
constexpr uint32_t kPacking = 1;

constexpr When kStart = When::kFromTheStart;
constexpr When kCancel = When::kCancelAtState;
constexpr When kOff = When::kSwitchOffAtState;
constexpr Job kBackup = Job::kBackup;
constexpr Job kRestore = Job::kRestore;
const char* const kData = "ftp.data";
const char* const kProperty = "web.boxnwGetBoxProperty";

// The page files are 20,000 bytes: a data connection cut after 1,000
// bytes is cut in the middle of the first page, while listings pass.
// clang-format off
const Row kRows[] = {
  // name                     job       when     point                              fault                            slow                           state          outcome            code                 network
  {"DataDroppedMidFile",      kBackup,  kStart,  kData,                             F(Kind::kDropConnection, 1000),  nullptr,                       0,             kOutcomeFailed,    {12031, 12031, 1359}, {true, true, false}},
  {"DataDroppedMidFile",      kRestore, kStart,  kData,                             F(Kind::kDropConnection, 1000),  nullptr,                       0,             kOutcomeFailed,    {1359, 1359, 12003}, kNoNet},
  {"Reply451",                kBackup,  kStart,  "ftp.RETR",                        F(Kind::kFailWith, 451),         nullptr,                       0,             kOutcomeFailed,    All(12003), kNoNet},
  {"Reply451",                kRestore, kStart,  "ftp.STOR",                        F(Kind::kFailWith, 451),         nullptr,                       0,             kOutcomeFailed,    All(12003), kNoNet},
  {"Reply552",                kBackup,  kStart,  "ftp.RETR",                        F(Kind::kFailWith, 552),         nullptr,                       0,             kOutcomeFailed,    All(12003), kNoNet},
  {"Reply552",                kRestore, kStart,  "ftp.STOR",                        F(Kind::kFailWith, 552),         nullptr,                       0,             kOutcomeFailed,    All(12003), kNoNet},
  {"BusyCgiResult",           kBackup,  kStart,  "web.boxnwGetBoxProperty.result",  F(Kind::kFailWith, 203),         nullptr,                       0,             kOutcomeFailed,    All(170), kNoNet},
  {"BusyCgiResult",           kRestore, kStart,  "web.boxnwGetBoxDiskSpace.result", F(Kind::kFailWith, 201),         nullptr,                       0,             kOutcomeFailed,    All(170), kNoNet},
  {"Http503",                 kBackup,  kStart,  kProperty,                         F(Kind::kFailWith, 503),         nullptr,                       0,             kOutcomeFailed,    All(100), kNoNet},
  {"Http503",                 kRestore, kStart,  "web.boxnwGetBoxDiskSpace",        F(Kind::kFailWith, 503),         nullptr,                       0,             kOutcomeFailed,    All(100), kNoNet},
  {"DeviceSwitchedOff",       kBackup,  kOff,    nullptr,                           {},                              kData,                         kTransferring, kOutcomeFailed,    All(12029), {true, true, false}},
  {"DeviceSwitchedOff",       kRestore, kOff,    nullptr,                           {},                              kData,                         kUploading,    kOutcomeFailed,    All(12029), kNet},
  {"TlsHandshakeRefused",     kBackup,  kStart,  "ftp.AUTH",                        F(Kind::kFailWith, 534),         nullptr,                       0,             kOutcomeFailed,    All(12029), kNet},
  {"TlsHandshakeRefused",     kRestore, kStart,  "ftp.AUTH",                        F(Kind::kFailWith, 534),         nullptr,                       0,             kOutcomeFailed,    All(12029), kNet},
  {"DeviceAnsweringSlowly",   kBackup,  kStart,  kData,                             F(Kind::kDelay, 0, 30),          nullptr,                       0,             kOutcomeDone,      All(0), kNoNet},
  {"DeviceAnsweringSlowly",   kRestore, kStart,  kData,                             F(Kind::kDelay, 0, 30),          nullptr,                       0,             kOutcomeDone,      All(0), kNoNet},
  {"CancelWhilePreparing",    kBackup,  kCancel, nullptr,                           {},                              kProperty,                     kPreparing,    kOutcomeCancelled, All(0), kNoNet},
  {"CancelWhileTransferring", kBackup,  kCancel, nullptr,                           {},                              kData,                         kTransferring, kOutcomeCancelled, All(0), kNoNet},
  {"CancelAfterABoxWasPacked", kBackup, kCancel, nullptr,                           {},                              kData,                         kPacking,      kOutcomeCancelled, All(0), kNoNet},
  {"CancelWhilePreparing",    kRestore, kCancel, nullptr,                           {},                              "web.boxnwGetEngineVersion",   kPreparing,    kOutcomeCancelled, All(0), kNoNet},
  {"CancelWhileUploading",    kRestore, kCancel, nullptr,                           {},                              kData,                         kUploading,    kOutcomeCancelled, All(0), kNoNet},
};
// clang-format on

const devsim::Layout kLayouts[] = {devsim::Layout::kShared, devsim::Layout::kClassic,
                                   devsim::Layout::kStorage};

const char* MatrixLayoutName(devsim::Layout l) {
  switch (l) {
    case devsim::Layout::kShared: return "Shared";
    case devsim::Layout::kClassic: return "Classic";
    case devsim::Layout::kStorage: return "Storage";
  }
  return "?";
}

devsim::Profile ProfileFor(devsim::Layout layout, const Row& row) {
  devsim::Profile p = devsim::Profile::Defaults(layout);
  // A handshake can only be refused where the device asks for one.
  if (std::string_view(row.name) == "TlsHandshakeRefused") p.ftp_tls = true;
  return p;
}

devsim::PopulateOptions SmallStore() {
  devsim::PopulateOptions o;
  o.boxes = 2;
  o.folders = 1;
  o.documents = 2;
  o.pages = 2;
  o.page_bytes = 20000;
  return o;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Watches the job's progress and, at the row's moment, cancels or
// switches the device off.
class Trigger : public ProgressSink {
 public:
  Trigger(const Row& row, devsim::ScopedDevice& dev) : row_(row), dev_(dev) {}
  void set_frame(JobFrame* frame) { frame_ = frame; }
  bool fired() const { return fired_; }

  void OnProgress(const ProgressView& view) override {
    if (fired_ || row_.when == When::kFromTheStart) return;
    if (row_.state == kPacking) {
      if (!AfterAnEarlyBoxWasPacked(view.record)) return;
    } else if (view.record.state != row_.state) {
      return;
    }
    if (row_.when == When::kCancelAtState)
      frame_->RequestCancel();
    else
      dev_->Stop();
    fired_ = true;
  }

 private:
  // A box's packing state lasts only until the next box's transfer
  // begins, and the frame reads the progress record when it gets to it:
  // it may see the packing, or already the next box. Either means a box
  // was packed with work still ahead. The last box's packing is left out:
  // the job may be done with everything before the cancel arrives.
  bool AfterAnEarlyBoxWasPacked(const JobProgress& record) {
    if (record.state == kPacking)
      return record.done_docs < record.total_docs;
    if (record.state != kTransferring || record.box_name.empty()) return false;
    if (first_box_.empty()) first_box_ = record.box_name;
    return record.box_name != first_box_ && record.done_docs < record.total_docs;
  }

  const Row& row_;
  devsim::ScopedDevice& dev_;
  std::string first_box_;
  JobFrame* frame_ = nullptr;
  std::atomic<bool> fired_{false};
};

class FaultMatrixTest
    : public ::testing::TestWithParam<std::tuple<devsim::Layout, size_t>> {
 protected:
  FaultMatrixTest()
      : layout_(std::get<0>(GetParam())),
        row_(kRows[std::get<1>(GetParam())]),
        dev_(ProfileFor(layout_, row_), {}, SmallStore()) {}

  void SetUp() override {
    ASSERT_TRUE(dev_.ok()) << dev_.error();
    if (!BoxlinkJobBackend::HasJob(JobKind::kBackup) ||
        !BoxlinkJobBackend::HasJob(JobKind::kRestore))
      GTEST_SKIP() << "the library lacks a job";
    ConnectOptions c;
    c.address = dev_->address();
    c.port = dev_->profile().web_port;
    c.password = dev_->profile().admin_password;
    ASSERT_EQ(link_.Connect(c), 0u);
  }

  JobRequest Request(Job job) const {
    JobRequest r;
    r.kind = job == Job::kBackup ? JobKind::kBackup : JobKind::kRestore;
    r.archive_path = (fs::path(dir_.path()) / "boxes.zip").string();
    r.boxes = {1, 2};
    r.restore_mode = 1;
    r.work_base = dir_.path();
    return r;
  }

  devsim::Layout layout_;
  const Row& row_;
  devsim::ScopedDevice dev_;
  platform::ScopedTempDir dir_;
  DeviceLink link_;
};

TEST_P(FaultMatrixTest, CodeAndStateAfter) {
  const std::string archive = Request(row_.job).archive_path;
  if (row_.job == Job::kRestore) {
    // The archive to restore, made by a backup of the same device.
    BoxlinkJobBackend backend(link_);
    JobFrame frame(backend);
    JobResult made = frame.Run(Request(Job::kBackup));
    ASSERT_EQ(made.outcome, kOutcomeDone) << made.error;
  } else {
    // An older archive the failed backup must leave alone.
    std::ofstream(archive, std::ios::binary) << "an older archive";
  }
  const std::string before = ReadFile(archive);
  const uint32_t sid = link_.session().SessionId;

  if (row_.point) dev_->faults().Arm(row_.point, row_.fault, -1);
  if (row_.slow) dev_->faults().Arm(row_.slow, F(Kind::kDelay, 0, 150), -1);
  BoxlinkJobBackend backend(link_);
  Trigger trigger(row_, dev_);
  JobFrame frame(backend, &trigger);
  trigger.set_frame(&frame);
  JobResult r = frame.Run(Request(row_.job));
  dev_->faults().Clear();
  if (row_.when != When::kFromTheStart) {
    EXPECT_TRUE(trigger.fired()) << "the job never reached the row's moment";
  }

  const uint32_t code = layout_ == devsim::Layout::kShared    ? row_.code.shared
                        : layout_ == devsim::Layout::kClassic ? row_.code.classic
                                                              : row_.code.storage;
  EXPECT_EQ(r.outcome, row_.outcome);
  EXPECT_EQ(r.error, code);
  const bool net = layout_ == devsim::Layout::kShared    ? row_.net.shared
                   : layout_ == devsim::Layout::kClassic ? row_.net.classic
                                                         : row_.net.storage;
  EXPECT_EQ(r.network_error, net);
  EXPECT_FALSE(fs::exists(frame.work_folder())) << "work tree left behind";
  if (row_.outcome != kOutcomeDone || row_.job == Job::kRestore) {
    EXPECT_EQ(ReadFile(archive), before) << "the existing archive was changed";
  }
  if (row_.when == When::kSwitchOffAtState) {
    EXPECT_FALSE(dev_->running());
    return;  // the panel and the accounts went off with the device
  }
  devsim::web::BoxCgiState& state = devsim::web::BoxCgiStateOf(*dev_);
  EXPECT_FALSE(state.exclusive()) << "the panel is left locked";
  // Also after a lost connection: the account is the device's to keep
  // otherwise, and a later job would find it there.
  EXPECT_EQ(state.ftp_user(sid), "") << "the job's FTP account is left";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FaultMatrixTest,
    ::testing::Combine(::testing::ValuesIn(kLayouts),
                       ::testing::Range<size_t>(0, std::size(kRows))),
    [](const auto& info) {
      const Row& row = kRows[std::get<1>(info.param)];
      return std::string(MatrixLayoutName(std::get<0>(info.param))) + "_" +
             (row.job == Job::kBackup ? "Backup_" : "Restore_") + row.name;
    });

}  // namespace
}  // namespace keeper
