// boxkeeper as a program against the simulated device.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "devsim/testing/device_fixture.h"
#include "devsim/web/box_cgi_state.h"
#include "platform/testing/temp_dir.h"

namespace {

struct ProgramRun {
  int exit_code = -1;
  std::string out;  // stdout and stderr together
};

ProgramRun Boxkeeper(const std::string& password, const std::string& args) {
  std::string cmd = "BOXKEEPER_PASSWORD='" + password + "' " BOXKEEPER_BIN
                    " " + args + " 2>&1";
  ProgramRun r;
  std::FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[512];
  while (std::fgets(buf, sizeof buf, p)) r.out += buf;
  int status = ::pclose(p);
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

class BoxkeeperTest : public ::testing::Test {
 protected:
  BoxkeeperTest() : dev_(devsim::Layout::kShared) {}
  void SetUp() override { ASSERT_TRUE(dev_.ok()) << dev_.error(); }
  std::string Address() { return "--address " + dev_->address(); }
  devsim::ScopedDevice dev_;
  platform::ScopedTempDir dir_;
};

TEST_F(BoxkeeperTest, ListsBoxes) {
  ProgramRun r = Boxkeeper("admin00", "boxes " + Address());
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("001  "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("003  "), std::string::npos) << r.out;
}

TEST_F(BoxkeeperTest, UnreachableDeviceIsAConnectionError) {
  dev_->Stop();
  ProgramRun r = Boxkeeper("admin00", "boxes " + Address());
  EXPECT_EQ(r.exit_code, 3) << r.out;
  EXPECT_NE(r.out.find("cannot connect to " + dev_->address()),
            std::string::npos)
      << r.out;
  // The address is named once, not again at the start of the error text.
  EXPECT_EQ(r.out.find(dev_->address() + ": " + dev_->address()), std::string::npos)
      << r.out;
}

TEST_F(BoxkeeperTest, BackupRunsOrSaysWhyNot) {
  std::string archive = dir_.Sub("out.zip");
  ProgramRun r = Boxkeeper("admin00",
                    "backup --progress lines " + Address() + " " + archive);
  if (r.exit_code == 6) {
    EXPECT_NE(r.out.find("no backup job"), std::string::npos) << r.out;
  } else {
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_TRUE(std::filesystem::exists(archive));
  }
  devsim::web::BoxCgiState& state = devsim::web::BoxCgiStateOf(*dev_);
  EXPECT_FALSE(state.exclusive()) << "left locked";
}

TEST_F(BoxkeeperTest, ExistingArchiveNeedsForce) {
  std::string archive = dir_.Sub("old.zip");
  std::FILE* f = std::fopen(archive.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  ProgramRun r = Boxkeeper("admin00", "backup " + Address() + " " + archive);
  EXPECT_EQ(r.exit_code, 2) << r.out;
  EXPECT_NE(r.out.find("--force"), std::string::npos) << r.out;
}

}  // namespace
