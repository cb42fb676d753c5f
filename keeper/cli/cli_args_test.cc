#include "keeper/cli/cli_args.h"

#include <gtest/gtest.h>

namespace keeper::cli {
namespace {

std::optional<Options> Parse(std::vector<std::string> args,
                             std::string* error = nullptr) {
  std::string e;
  auto o = ParseArgs(args, &e);
  if (error) *error = e;
  return o;
}

TEST(CliArgsTest, Commands) {
  auto o = Parse({"backup", "--address", "127.1.2.3", "-b", "1,3-4",
                  "--incremental", "--port", "8443", "out.zip"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->command, Command::kBackup);
  EXPECT_EQ(o->address, "127.1.2.3");
  EXPECT_EQ(o->port, 8443u);
  EXPECT_EQ(o->boxes, (std::vector<uint32_t>{1, 3, 4}));
  EXPECT_TRUE(o->incremental);
  EXPECT_EQ(o->archive, "out.zip");

  o = Parse({"restore", "-a", "::1", "--append", "in.ZIP"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->restore_mode, 2u);
  EXPECT_TRUE(o->boxes.empty());

  o = Parse({"show", "in.zip"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->command, Command::kShow);
  EXPECT_TRUE(o->address.empty());

  o = Parse({"boxes", "-a", "h", "--snmpv3-id", "/x/id.bin"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->v3_id_file, "/x/id.bin");
  EXPECT_EQ(Parse({})->command, Command::kHelp);
  EXPECT_EQ(Parse({"backup", "--help"})->command, Command::kHelp);
}

TEST(CliArgsTest, RefusedInputNamesTheProblem) {
  struct Case {
    std::vector<std::string> args;
    std::string says;
  } cases[] = {
      {{"wipe"}, "unknown command"},
      {{"backup", "out.zip"}, "--address"},
      {{"backup", "-a", "h"}, "archive"},
      {{"backup", "-a", "h", "out.tar"}, ".zip"},
      {{"backup", "-a", "h", "dir/.zip"}, ".zip"},
      {{"backup", "-a", "h", "-b", "1,x", "o.zip"}, "--boxes"},
      {{"backup", "-a", "h", "-b", "5-2", "o.zip"}, "--boxes"},
      {{"backup", "-a", "h", "-b", "1000", "o.zip"}, "--boxes"},
      {{"backup", "-a", "h", "--port", "70000", "o.zip"}, "--port"},
      {{"backup", "-a", "h", "--password", "secret", "o.zip"}, "not read"},
      {{"backup", "-a", "h", "--password=secret", "o.zip"}, "not read"},
      {{"restore", "-a", "h", "--incremental", "o.zip"}, "backup only"},
      {{"boxes", "-a", "h", "extra"}, "unexpected"},
      {{"boxes", "--address"}, "needs a value"},
      {{"boxes", "-a", "h", "--progress", "fancy"}, "--progress"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.args, &error)) << c.args[0];
    EXPECT_NE(error.find(c.says), std::string::npos)
        << "'" << error << "' should mention " << c.says;
  }
}

TEST(CliArgsTest, BoxListsKeepOrderAndDropRepeats) {
  EXPECT_EQ(*ParseBoxList("5,1,5,2-3"), (std::vector<uint32_t>{5, 1, 2, 3}));
  EXPECT_EQ(*ParseBoxList("0"), (std::vector<uint32_t>{0}));
  EXPECT_FALSE(ParseBoxList(""));
  EXPECT_FALSE(ParseBoxList("1,,2"));
  EXPECT_FALSE(ParseBoxList("0-200")) << "more than 100 boxes";
}

TEST(CliArgsTest, HelpListsEveryExitCode) {
  std::string help = HelpText();
  for (const char* s : {"0 done", "1 failed", "2 usage", "3 no connection",
                        "4 cancelled", "5 archive", "6 not available"})
    EXPECT_NE(help.find(s), std::string::npos) << s;
}

}  // namespace
}  // namespace keeper::cli
