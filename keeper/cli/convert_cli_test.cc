// boxkeeper convert as a program, on generated legacy archives.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "devsim/legacy/legacy_fixture.h"
#include "platform/testing/temp_dir.h"

namespace {

namespace fs = std::filesystem;
namespace lg = devsim::legacy;

struct ProgramRun {
  int exit_code = -1;
  std::string out;  // stdout and stderr together
};

ProgramRun Boxkeeper(const std::string& args) {
  std::string cmd = BOXKEEPER_BIN " convert " + args + " 2>&1";
  ProgramRun r;
  std::FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[512];
  while (std::fgets(buf, sizeof buf, p)) r.out += buf;
  int status = ::pclose(p);
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string Q(const std::string& s) { return "'" + s + "'"; }

class ConvertCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(lg::WriteBackup(lg::StandardBackup(), lg::BackupForm::kDataZip, legacy_, &error))
        << error;
    ASSERT_TRUE(lg::WriteBackup(lg::StandardBackup("Varda 5730C Series V3.0"),
                                lg::BackupForm::kClassic, classic_, &error))
        << error;
    ASSERT_TRUE(lg::WriteDocumentArchive(lg::StandardDocumentArchive(), documents_, &error))
        << error;
  }
  // Nothing of a run but the output stays beside it.
  std::vector<std::string> Leftovers() {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir_.path()))
      if (e.path().filename().string().starts_with(".boxkeeper-convert"))
        out.push_back(e.path().string());
    return out;
  }

  platform::ScopedTempDir dir_;
  std::string legacy_ = dir_.Sub("legacy.zip"), classic_ = dir_.Sub("classic.zip"),
              documents_ = dir_.Sub("documents.zip"), out_ = dir_.Sub("out.zip");
};

TEST_F(ConvertCliTest, SummaryTellsWhatTheRulesDrop) {
  ProgramRun r = Boxkeeper("--summary --from Varda720/740 --to " + Q("Varda620/660 V1.2"));
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("drops colour documents and compound copies"), std::string::npos) << r.out;
  r = Boxkeeper("--summary --from Varda620/660 --to " + Q("Varda7120/7140 V1.3"));
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("drops no documents"), std::string::npos) << r.out;
  r = Boxkeeper("--summary --from Nobody --to Else");
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("no conversion rules for Nobody"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(out_));
}

TEST_F(ConvertCliTest, FiltersLegacyArchivesAndConvertsBackups) {
  ProgramRun r = Boxkeeper("--progress lines --from Varda7120/7140 --to " +
                           Q("Varda620/660 V1.2") + " " + legacy_ + " " + out_);
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("drops colour documents, documents on wide paper and compound copies"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Filtering"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("100%"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::exists(out_));

  // An existing output needs --force.
  r = Boxkeeper("--from Varda7120/7140 --to " + Q("Varda620/660 V1.2") + " " + documents_ + " " +
                out_);
  EXPECT_EQ(r.exit_code, 2) << r.out;
  EXPECT_NE(r.out.find("add --force"), std::string::npos) << r.out;
  r = Boxkeeper("--force --progress none --from Varda7120/7140 --to " + Q("Varda620/660 V1.2") +
                " " + documents_ + " " + out_);
  EXPECT_EQ(r.exit_code, 0) << r.out;

  const std::string storage = dir_.Sub("storage.zip");
  r = Boxkeeper("--progress lines --from " + Q("Varda 5730C") + " --to " + Q("Varda 8000") + " " +
                classic_ + " " + storage);
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("Converting"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::exists(storage));
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ConvertCliTest, RefusalsSayWhy) {
  struct Case {
    std::string args;
    int exit;
    const char* says;
  } cases[] = {
      // The archive was not written by the model named.
      {"--from Varda620/660 --to " + Q("Varda720/740 V1.3") + " " + legacy_ + " " + out_, 5,
       "was written by \"Varda7120/7140 V1.3\""},
      // No rules for a legacy backup's model.
      {"--from Varda7120 --to Else " + legacy_ + " " + out_, 5, "no conversion rules for Varda7120"},
      // A target the tables do not pair with the source.
      {"--from " + Q("Varda 5730C") + " --to " + Q("Varda 9800") + " " + classic_ + " " + out_, 5,
       "cannot be converted for Varda 9800"},
      {"--from A --to B " + dir_.Sub("missing.zip") + " " + out_, 5, "no such archive"},
      {"--from A --to A " + legacy_ + " " + out_, 2, "same model"},
  };
  for (const Case& c : cases) {
    ProgramRun r = Boxkeeper(c.args);
    EXPECT_EQ(r.exit_code, c.exit) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << "\n" << r.out;
    EXPECT_FALSE(fs::exists(out_)) << c.args;
  }
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ConvertCliTest, CtrlCCancelsAndWritesNothing) {
  // Every document is dropped or kept with a short pause; the run takes
  // long enough to be interrupted.
  const std::string cmd = std::string(BOXKEEPER_BIN) + " convert --progress none --from " +
                          "Varda7120/7140 --to 'Varda620/660 V1.2' " + legacy_ + " " + out_;
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::execl("/bin/sh", "sh", "-c", ("exec " + cmd + " >/dev/null 2>&1").c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Once the run's work folder is there, Ctrl-C goes to the conversion.
  for (int i = 0; i < 1000 && Leftovers().empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_FALSE(Leftovers().empty());
  ::kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 4);
  EXPECT_FALSE(fs::exists(out_));
  EXPECT_FALSE(fs::exists(out_ + ".zip"));
  EXPECT_TRUE(Leftovers().empty());
}

}  // namespace
