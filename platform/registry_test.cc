#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "platform/env.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"

namespace platform {
namespace {

constexpr char kKey[] = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";

class RegistryTest : public ::testing::Test {
 protected:
  ScopedTempDir dir_{"zelt-reg"};
  Registry reg_{dir_.Sub("user.reg"), dir_.Sub("machine.reg")};
};

TEST_F(RegistryTest, ValuesRoundTripThroughTheFile) {
  ASSERT_TRUE(reg_.SetValue(RegRoot::kCurrentUser, kKey, "Lock",
                            RegValue::Dword(1)));
  ASSERT_TRUE(reg_.SetValue(RegRoot::kCurrentUser, kKey, "Folder",
                            RegValue::String("C:\\a \"b\"\nc 日本")));
  ASSERT_TRUE(reg_.SetValue(RegRoot::kCurrentUser, kKey, "Blob",
                            RegValue::Binary({0, 1, 0xff})));
  ASSERT_TRUE(reg_.SetValue(RegRoot::kCurrentUser, kKey, "",
                            RegValue::String("default")));

  // A second registry object on the same files sees everything.
  Registry other(dir_.Sub("user.reg"), dir_.Sub("machine.reg"));
  EXPECT_EQ(other.GetValue(RegRoot::kCurrentUser, kKey, "lock"),
            RegValue::Dword(1));
  EXPECT_EQ(other.GetValue(RegRoot::kCurrentUser, kKey, "FOLDER"),
            RegValue::String("C:\\a \"b\"\nc 日本"));
  EXPECT_EQ(other.GetValue(RegRoot::kCurrentUser, kKey, "blob"),
            RegValue::Binary({0, 1, 0xff}));
  EXPECT_EQ(other.GetValue(RegRoot::kCurrentUser, kKey, ""),
            RegValue::String("default"));
  // The roots are separate files.
  EXPECT_FALSE(other.GetValue(RegRoot::kLocalMachine, kKey, "Lock"));

  std::string text = ReadTestFile(dir_.Sub("user.reg"));
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\TALLIS\\Corvane TALLIS "
                      "Client\\BRD]\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\"Lock\"=dword:00000001\n"), std::string::npos);
  EXPECT_NE(text.find("\"Blob\"=hex:00,01,ff\n"), std::string::npos);
}

// The machine file is read by every user (keeper reads the language the
// installer recorded there as root); the user's file is the user's alone.
TEST_F(RegistryTest, MachineFileIsReadableByAllUserFileByItsOwnerOnly) {
  ::umask(077);  // as under a strict administrator's umask
  Registry reg(dir_.Sub("u/zelt/user.reg"), dir_.Sub("m/zelt/machine.reg"));
  ASSERT_TRUE(reg.SetValue(RegRoot::kLocalMachine, kKey, "Language",
                           RegValue::String("1031")));
  ASSERT_TRUE(reg.SetValue(RegRoot::kCurrentUser, kKey, "Lock",
                           RegValue::Dword(1)));
  ::umask(022);
  auto mode = [&](const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 0777;
  };
  EXPECT_EQ(mode(dir_.Sub("m/zelt/machine.reg")), 0644u);
  EXPECT_EQ(mode(dir_.Sub("m/zelt")), 0755u);
  EXPECT_EQ(mode(dir_.Sub("u/zelt/user.reg")), 0600u);
  EXPECT_EQ(mode(dir_.Sub("u/zelt")), 0700u);
  // Rewriting keeps it so.
  ASSERT_TRUE(reg.SetValue(RegRoot::kLocalMachine, kKey, "Language",
                           RegValue::String("1033")));
  EXPECT_EQ(mode(dir_.Sub("m/zelt/machine.reg")), 0644u);
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
  reg_.SetValue(RegRoot::kCurrentUser, "Software\\Keeper", "Value",
                RegValue::Dword(1));
  reg_.SetValue(RegRoot::kCurrentUser, "SOFTWARE\\keeper", "VALUE",
                RegValue::Dword(2));
  auto values = reg_.EnumValues(RegRoot::kCurrentUser, "software\\KEEPER");
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].first, "Value");
  EXPECT_EQ(values[0].second, RegValue::Dword(2));
  EXPECT_EQ(reg_.EnumSubKeys(RegRoot::kCurrentUser, "software"),
            std::vector<std::string>{"Keeper"});
  // Empty path components and stray backslashes do not matter.
  EXPECT_TRUE(reg_.KeyExists(RegRoot::kCurrentUser, "\\Software\\\\Keeper\\"));
}

TEST_F(RegistryTest, DeleteValueAndKeyTree) {
  reg_.SetValue(RegRoot::kCurrentUser, "A\\B\\C", "x", RegValue::Dword(1));
  reg_.SetValue(RegRoot::kCurrentUser, "A\\B", "y", RegValue::Dword(2));
  EXPECT_TRUE(reg_.DeleteValue(RegRoot::kCurrentUser, "A\\B", "Y"));
  EXPECT_FALSE(reg_.DeleteValue(RegRoot::kCurrentUser, "A\\B", "y"));
  EXPECT_TRUE(reg_.DeleteKeyTree(RegRoot::kCurrentUser, "a\\b"));
  EXPECT_FALSE(reg_.KeyExists(RegRoot::kCurrentUser, "A\\B\\C"));
  EXPECT_TRUE(reg_.KeyExists(RegRoot::kCurrentUser, "A"));
  EXPECT_FALSE(reg_.DeleteKeyTree(RegRoot::kCurrentUser, "A\\B"));
}

TEST_F(RegistryTest, KeysOpenedForReadingRefuseWrites) {
  ASSERT_FALSE(RegKey::Open(reg_, RegRoot::kCurrentUser, kKey));
  auto created = RegKey::Create(reg_, RegRoot::kCurrentUser, kKey);
  ASSERT_TRUE(created);
  EXPECT_TRUE(created->SetDword("Delay", 250));
  auto reader = RegKey::Open(reg_, RegRoot::kCurrentUser, kKey);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->GetDword("delay"), 250u);
  EXPECT_FALSE(reader->SetDword("Delay", 1));
  EXPECT_FALSE(reader->GetDword("Missing"));
  // Values are read into 32 bits without a type check.
  created->Set("Text", RegValue::String("AB"));
  EXPECT_EQ(reader->GetDword("Text"), 0x4241u);
  EXPECT_FALSE(reader->GetString("Delay"));
}

TEST_F(RegistryTest, DamagedLinesAreSkippedNotFatal) {
  WriteTestFile(dir_.Sub("user.reg"),
                "garbage\n[HKEY_CURRENT_USER\\K]\n\"a\"=dword:zz\n"
                "\"b\"=dword:00000010\n\"c\"=\"unterminated\n"
                "[HKEY_LOCAL_MACHINE\\Other]\n\"d\"=dword:1\n");
  EXPECT_EQ(reg_.GetValue(RegRoot::kCurrentUser, "K", "b"),
            RegValue::Dword(16));
  EXPECT_FALSE(reg_.GetValue(RegRoot::kCurrentUser, "K", "a"));
  EXPECT_FALSE(reg_.GetValue(RegRoot::kCurrentUser, "K", "c"));
  EXPECT_FALSE(reg_.KeyExists(RegRoot::kCurrentUser, "Other"));
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kWriters = 2, kValues = 60;
  std::vector<pid_t> kids;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      Registry mine(dir_.Sub("user.reg"), dir_.Sub("machine.reg"));
      bool ok = true;
      for (int i = 0; i < kValues; ++i)
        ok &= mine.SetValue(RegRoot::kCurrentUser, "Shared",
                            "w" + std::to_string(w) + "_" + std::to_string(i),
                            RegValue::Dword(static_cast<uint32_t>(i)));
      _exit(ok ? 0 : 1);
    }
    kids.push_back(pid);
  }
  for (pid_t pid : kids) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  auto values = reg_.EnumValues(RegRoot::kCurrentUser, "Shared");
  EXPECT_EQ(values.size(), static_cast<size_t>(kWriters * kValues));
}

TEST_F(RegistryTest, WatchSeesChangesOfThisAndOtherProcesses) {
  FakeEnv env;
  ScopedEnv use(&env);
  reg_.CreateKey(RegRoot::kCurrentUser, "Watched");
  auto watch = reg_.Watch(RegRoot::kCurrentUser, "Watched");

  // Nothing changed: the wait times out (ten virtual seconds, at once).
  EXPECT_FALSE(watch->Wait(10000));
  // A change elsewhere in the root does not count.
  reg_.SetValue(RegRoot::kCurrentUser, "Elsewhere", "v", RegValue::Dword(1));
  EXPECT_FALSE(watch->Wait(100));

  std::thread writer([&] {
    reg_.SetValue(RegRoot::kCurrentUser, "Watched\\Sub", "v",
                  RegValue::Dword(1));
  });
  EXPECT_TRUE(watch->Wait(Clock::kInfinite));
  writer.join();

  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    Registry mine(dir_.Sub("user.reg"), dir_.Sub("machine.reg"));
    _exit(mine.SetValue(RegRoot::kCurrentUser, "Watched", "x",
                        RegValue::String("y"))
              ? 0
              : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(watch->Wait(Clock::kInfinite));
  EXPECT_FALSE(watch->Wait(0));
}

TEST_F(RegistryTest, UnwritableFileFailsCleanly) {
  Registry bad("/proc/zelt-no-such/user.reg", "/proc/zelt-no-such/m.reg");
  EXPECT_FALSE(bad.SetValue(RegRoot::kCurrentUser, "K", "v",
                            RegValue::Dword(1)));
  EXPECT_FALSE(bad.GetValue(RegRoot::kCurrentUser, "K", "v"));
}

}  // namespace
}  // namespace platform
