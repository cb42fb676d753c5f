// setup as a program, with stand-ins of the package tools in a folder of
// its own (ZELT_SETUP_TOOLS_DIR): what it runs, its exit statuses, its log.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "platform/testing/temp_dir.h"

namespace {

using platform::ReadTestFile;
using platform::WriteTestFile;

class SetupProgramTest : public testing::Test {
 protected:
  SetupProgramTest() {
    // apt-get records its arguments and the language it was handed.
    Tool("apt-get",
         "printf '%s\\n' \"$@\" > " + dir_.Sub("apt-get.args") + "\n"
         "echo \"${ZELT_INSTALL_LANGUAGE-unset}\" > " + dir_.Sub("apt-get.language") + "\n"
         "exit $(cat " + dir_.Sub("apt-get.status") + " 2>/dev/null || echo 0)\n");
    Tool("dpkg-query",
         "[ -f " + dir_.Sub("installed") + " ] || exit 1\nprintf 'ii '\n");
    Tool("env", "exec /usr/bin/env \"$@\"\n");
    Tool("pkexec", "echo pkexec > " + dir_.Sub("pkexec.used") + "\nexec \"$@\"\n");
  }

  void Tool(const std::string& name, const std::string& body) {
    std::string path = dir_.Sub("tools/" + name);
    WriteTestFile(path, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
  }

  // Runs setup with a shell-quoted argument text; its exit status.
  int Setup(const std::string& args) {
    std::string command =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM"
        " ZELT_PROGRAM_DIR=" + dir_.Sub("dist") +
        " ZELT_TEMP_DIR=" + dir_.path() +
        " ZELT_SETUP_TOOLS_DIR=" + dir_.Sub("tools") +
        " LANG=de_DE.UTF-8 " SETUP_BIN " " + args + " >" + dir_.Sub("out") +
        " 2>&1";
    int status = std::system(command.c_str());
    output_ = ReadTestFile(dir_.Sub("out"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string AptArgs() { return ReadTestFile(dir_.Sub("apt-get.args")); }
  std::string Log() { return ReadTestFile(dir_.Sub("ZELT_Setup.txt")); }
  std::string Deb() const {
    return dir_.Sub("dist") + "/" + ZELT_PACKAGE_FILE;
  }

  platform::ScopedTempDir dir_{"zelt-setup"};
  std::string output_;
};

TEST_F(SetupProgramTest, UnattendedInstallRecordsTheLanguage) {
  ASSERT_EQ(Setup("/w /L1031"), 0) << output_;
  EXPECT_EQ(AptArgs(), "install\n--reinstall\n-y\n" + Deb() + "\n");
  EXPECT_EQ(ReadTestFile(dir_.Sub("apt-get.language")), "1031\n");
  std::string line = "installer command: \"/usr\\System32\\msiexec.exe\" /i \"" +
                     Deb() + "\" SETUPEXEDIR=\"" + dir_.Sub("dist") +
                     "/\" TRANSFORMS=\":1031.mst\"";
  EXPECT_NE(Log().find(line), std::string::npos) << Log();
  EXPECT_NE(output_.find(line.substr(19)), std::string::npos) << output_;
}

TEST_F(SetupProgramTest, UnattendedRemoval) {
  WriteTestFile(dir_.Sub("installed"), "");
  ASSERT_EQ(Setup("/w /L1033 DELETEMESS /S '/v\" /qn\"'"), 0) << output_;
  EXPECT_EQ(AptArgs(), "remove\n-y\ntarnkeeper\n");
  EXPECT_NE(Log().find("msiexec.exe\" /x \"" + Deb() + "\" /qn SETUPEXEDIR="),
            std::string::npos) << Log();
  // The same with the quotation marks the shell takes away.
  ASSERT_EQ(Setup("/w /L1033 DELETEMESS /S /v"), 0) << output_;
  EXPECT_EQ(AptArgs(), "remove\n-y\ntarnkeeper\n");
}

TEST_F(SetupProgramTest, MaintenanceKeepsTheRecordedLanguage) {
  WriteTestFile(dir_.Sub("installed"), "");
  ASSERT_EQ(Setup(""), 0) << output_;
  EXPECT_EQ(AptArgs(), "install\n--reinstall\n-y\n" + Deb() + "\n");
  EXPECT_EQ(ReadTestFile(dir_.Sub("apt-get.language")), "unset\n");
}

TEST_F(SetupProgramTest, FailuresAreReportedInTheExitStatus) {
  WriteTestFile(dir_.Sub("apt-get.status"), "100");
  EXPECT_EQ(Setup("/w /L1031"), 100);
  EXPECT_NE(Log().find("exit status: 100"), std::string::npos) << Log();
  // A command line setup refuses runs nothing.
  std::remove(dir_.Sub("apt-get.args").c_str());
  EXPECT_EQ(Setup("/w /L42"), 2);
  EXPECT_NE(output_.find("cannot be installed"), std::string::npos) << output_;
  EXPECT_EQ(ReadTestFile(dir_.Sub("apt-get.args")), "");
  // Without a display the dialog cannot ask: setup says how to go on.
  EXPECT_EQ(Setup(""), 2);
  EXPECT_NE(Log().find("/w /L1031"), std::string::npos) << Log();
  EXPECT_EQ(ReadTestFile(dir_.Sub("apt-get.args")), "");
}

TEST_F(SetupProgramTest, Help) {
  EXPECT_EQ(Setup("--help"), 0);
  EXPECT_NE(output_.find("usage: setup"), std::string::npos) << output_;
}

}  // namespace
