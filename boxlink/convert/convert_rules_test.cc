#include "boxlink/convert/convert_rules.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "boxlink.h"
#include "boxlink/testing/convert_test_env.h"

namespace boxlink {
namespace {

namespace fs = std::filesystem;

// Runs in a current folder and with a PATH of the test's choosing.
class ScopedCwdAndPath {
 public:
  ScopedCwdAndPath(const std::string& cwd, const std::string& path)
      : cwd_(fs::current_path()), path_(std::getenv("PATH") ? std::getenv("PATH") : "") {
    fs::current_path(cwd);
    ::setenv("PATH", path.c_str(), 1);
  }
  ~ScopedCwdAndPath() {
    fs::current_path(cwd_);
    ::setenv("PATH", path_.c_str(), 1);
  }

 private:
  fs::path cwd_;
  std::string path_;
};

TEST(ConvertRulesTest, RuleFileNamesReplaceSlashes) {
  EXPECT_EQ(RuleFileName("Varda7120/7140"), "Varda7120_7140.ini");
  EXPECT_EQ(RuleFileName("A/B/C"), "A_B_C.ini");
  EXPECT_EQ(RuleFileName("Plain"), "Plain.ini");
}

TEST(ConvertRulesTest, LooksInTheProgramFolderThenTheCurrentFolderThenPath) {
  converttest::ConvertTestEnv env;
  platform::ScopedTempDir dir;
  const std::string cwd = dir.Sub("cwd"), p1 = dir.Sub("p1"), p2 = dir.Sub("p2");
  for (const std::string& d : {cwd, p1, p2}) fs::create_directories(d);
  platform::WriteTestFile(p2 + "/only_path.ini", "");
  platform::WriteTestFile(p1 + "/both_paths.ini", "");
  platform::WriteTestFile(p2 + "/both_paths.ini", "");
  platform::WriteTestFile(cwd + "/cwd_and_path.ini", "");
  platform::WriteTestFile(p1 + "/cwd_and_path.ini", "");
  platform::WriteTestFile(env.program_ + "/program_and_cwd.ini", "");
  platform::WriteTestFile(cwd + "/program_and_cwd.ini", "");
  fs::create_directories(p1 + "/folder.ini");  // a folder is no file
  platform::WriteTestFile(p2 + "/folder.ini", "");

  ScopedCwdAndPath scope(cwd, p1 + ":" + p2);
  EXPECT_EQ(LocateFile("only_path.ini"), p2 + "/only_path.ini");
  EXPECT_EQ(LocateFile("both_paths.ini"), p1 + "/both_paths.ini");
  EXPECT_EQ(LocateFile("cwd_and_path.ini"), fs::current_path().string() + "/cwd_and_path.ini");
  EXPECT_EQ(LocateFile("program_and_cwd.ini"), env.program_ + "/program_and_cwd.ini");
  EXPECT_EQ(LocateFile("folder.ini"), p2 + "/folder.ini");
  EXPECT_FALSE(LocateFile("nowhere.ini"));
}

TEST(ConvertRulesTest, SummaryTellsWhichChecksTheRulesSwitchOn) {
  converttest::ConvertTestEnv env;
  platform::WriteTestFile(env.program_ + "/Test_Model.ini",
                          "[All]\nColorCheck=1\nWidePaperCheck=2\nCopyCompoundCheck=-1\n"
                          "[KSizeOnly]\nK-SizeCheck=1\n"
                          "[Zeroes]\nColorCheck=0\nWidePaperCheck=0\n"
                          "[Wide]\nwidepapercheck=1\n");
  struct Case {
    const char* source;
    const char* target;
    uint32_t code;
    uint32_t summary;
  } cases[] = {
      {"Test/Model", "All", 0, ZB_DROP_COLOUR | ZB_DROP_WIDE_PAPER | ZB_DROP_COPY_COMPOUND},
      {"Test/Model", "KSizeOnly", 0, 0},
      {"Test/Model", "Zeroes", 0, 0},
      {"Test/Model", "Wide", 0, ZB_DROP_WIDE_PAPER},
      {"Test/Model", "No such section", 0, 0},
      {"Test/Model", "Test/Model", ZB_ERR_INVALID_PARAMETER, 0},
      {"Test_Model", "All", 0, 7},  // the file of that name, found directly
      {"No/Rules", "All", ZB_ERR_NOT_SUPPORTED, 0},
      // The shipped rules.
      {"Varda7120/7140", "Varda720/740 V1.3", 0, ZB_DROP_WIDE_PAPER},
      {"Varda7120/7140", "Varda620/660 V1.2", 0, 7},
      {"Varda720/740", "Varda 5730C Series V3.0", 0, ZB_DROP_WIDE_PAPER | ZB_DROP_COPY_COMPOUND},
      {"Varda620/660", "Varda7120/7140 V1.3", 0, 0},
  };
  for (const Case& c : cases) {
    uint32_t summary = 99;
    EXPECT_EQ(zbBoxGetConvertSummary(c.source, c.target, &summary), c.code)
        << c.source << " -> " << c.target;
    EXPECT_EQ(summary, c.summary) << c.source << " -> " << c.target;
  }
  EXPECT_EQ(zbBoxGetConvertSummary(nullptr, "All", nullptr), ZB_ERR_INVALID_PARAMETER);
}

}  // namespace
}  // namespace boxlink
