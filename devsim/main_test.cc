// The devsim program as other tests and scripts use it: a child process
// that says "ready <address>" and goes away cleanly on a signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include "devsim/core/box_store.h"
#include "devsim/core/loopback.h"
#include "platform/testing/temp_dir.h"

extern char** environ;

namespace devsim {
namespace {

namespace fs = std::filesystem;

// A child process with its stdout and stderr on pipes.
class Child {
 public:
  explicit Child(std::vector<std::string> args) {
    args.insert(args.begin(), DEVSIM_PROGRAM);
    int out[2], err[2];
    EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(err, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
    close(out_);
    close(err_);
  }

  // The next stdout line, or "" at end of output or after `limit`.
  std::string ReadLine(std::chrono::seconds limit = std::chrono::seconds(30)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      size_t nl = buffer_.find('\n');
      if (nl != std::string::npos) {
        std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        return line;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return {};
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
      char buf[256];
      ssize_t n = read(out_, buf, sizeof buf);
      if (n <= 0) return {};
      buffer_.append(buf, static_cast<size_t>(n));
    }
  }

  std::string ReadStderr() {
    std::string all;
    char buf[256];
    ssize_t n;
    while ((n = read(err_, buf, sizeof buf)) > 0) all.append(buf, static_cast<size_t>(n));
    return all;
  }

  // The exit status; -1 when killed by a signal, kHung (after killing it)
  // when it has not ended within `limit`.
  static constexpr int kHung = -2;
  int Wait(std::chrono::seconds limit = std::chrono::seconds(30)) {
    int hung = 0;
    int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    if (pidfd >= 0) {
      pollfd p{pidfd, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(limit.count() * 1000)) == 0) {
        kill(pid_, SIGKILL);
        hung = kHung;
      }
      close(pidfd);
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (hung) return hung;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  void Signal(int sig) { kill(pid_, sig); }

 private:
  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
  std::string buffer_;
};

TEST(DevsimProgram, ServesUntilASignalAndStopsCleanly) {
  for (int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(strsignal(sig));
    std::string address = AllocateLoopbackAddress();
    Child child({"serve", "--layout", "storage", "--address", address, "--boxes", "1",
                 "--services", "none"});
    EXPECT_EQ(child.ReadLine(), "ready " + address);
    child.Signal(sig);
    EXPECT_EQ(child.ReadLine(), "stopped");
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_EQ(child.ReadStderr(), "");
  }
}

// With every service linked in, each must be listening at "ready" and gone
// at "stopped", even when the signal follows "ready" at once. Repeated,
// because a service that loses a stop issued while its listener thread is
// still starting hangs only now and then.
TEST(DevsimProgram, EveryServiceStopsRightAfterReady) {
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    std::string address = AllocateLoopbackAddress();
    Child child({"serve", "--layout", "classic", "--address", address, "--boxes", "1"});
    ASSERT_EQ(child.ReadLine(), "ready " + address) << child.ReadStderr();
    child.Signal(SIGTERM);
    int status = child.Wait();
    ASSERT_NE(status, Child::kHung) << "a service did not stop";
    EXPECT_EQ(status, 0);
  }
}

TEST(DevsimProgram, ChoosesItsOwnAddressAndKeepsAGivenStore) {
  platform::ScopedTempDir dir;
  std::string store = dir.Sub("store");
  Child child({"serve", "--store", store, "--populate", "--layout=classic", "--boxes=2",
               "--set", "network_name=ALPHA"});
  std::string ready = child.ReadLine();
  ASSERT_EQ(ready.rfind("ready 127.", 0), 0u) << ready << child.ReadStderr();
  EXPECT_NE(ready, "ready 127.0.0.1");
  child.Signal(SIGTERM);
  EXPECT_EQ(child.Wait(), 0);
  // A store named by the caller stays, in the layout asked for.
  EXPECT_EQ(BoxStore(store, Layout::kClassic).ListBoxes().size(), 2u);
}

TEST(DevsimProgram, BadInputFailsBeforeReady) {
  platform::ScopedTempDir dir;
  std::string profile = dir.Sub("bad.conf");
  platform::WriteTestFile(profile, "model = x\nweb_port = none\n");
  struct Case { std::vector<std::string> args; const char* message; };
  const Case cases[] = {
      {{"serve", "--profile", profile}, ":2:"},
      {{"serve", "--layout", "tape"}, "--layout"},
      {{"serve", "--address", "127.0.0.1"}, "loopback"},
      {{"serve", "--address", "10.0.0.1"}, "loopback"},
      {{"serve", "--services", "nonesuch", "--boxes", "0"}, "nonesuch"},
      {{"serve", "--frobnicate", "1"}, "--frobnicate"},
      {{"serve", "--set", "web_port=99999"}, "web_port"},
      {{"populate", "--store", dir.Sub("p")}, "--layout"},
      {{"populate", "--store", dir.Sub("p"), "--layout", "shared", "--boxes", "x"}, "--boxes"},
      {{"bogus"}, "usage"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
    Child child(c.args);
    EXPECT_EQ(child.ReadLine(), "");
    EXPECT_NE(child.Wait(), 0);
    EXPECT_NE(child.ReadStderr().find(c.message), std::string::npos);
  }
}

std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    std::ifstream in(e.path(), std::ios::binary);
    files[e.path().lexically_relative(root).generic_string()] =
        e.is_regular_file() ? std::string(std::istreambuf_iterator<char>(in), {}) : "<dir>";
  }
  return files;
}

TEST(DevsimProgram, PopulateWritesTheTreeTheLibraryWrites) {
  platform::ScopedTempDir dir;
  std::string store = dir.Sub("cli");
  Child child({"populate", "--store", store, "--layout", "shared", "--seed", "7", "--boxes",
               "2", "--folders", "1", "--documents", "2", "--pages", "1", "--page-bytes",
               "64"});
  EXPECT_EQ(child.ReadLine(), "populated 2 boxes in " + store);
  ASSERT_EQ(child.Wait(), 0) << child.ReadStderr();
  fs::path box = fs::path(store) / "SHR/BOX/DATA/B0000002/P0000001";
  EXPECT_TRUE(fs::is_regular_file(box / "D0000002.XML"));
  EXPECT_TRUE(fs::is_regular_file(box / "F0000001/D0000002/PAGE001.IMG"));
  EXPECT_EQ(fs::file_size(box / "F0000001/D0000002/PAGE001.IMG"), 64u);
  EXPECT_TRUE(fs::is_regular_file(fs::path(store) / "SHR/BOX/DATABASE/B0000002.XML"));

  BoxStore same(dir.Sub("lib"), Layout::kShared);
  PopulateOptions o;
  o.seed = 7;
  o.boxes = 2;
  o.folders = 1;
  o.documents = 2;
  o.pages = 1;
  o.page_bytes = 64;
  Populate(same, o);
  EXPECT_EQ(Tree(store), Tree(same.root()));
}

}  // namespace
}  // namespace devsim
