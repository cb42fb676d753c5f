// boxkeeper discover run inside a network of namespaces (ip netns exec),
// against simulated devices there: its broadcasts never leave it.
#include <sys/wait.h>

#include <cstdio>
#include <set>

#include <gtest/gtest.h>

#include "finder/id_file.h"
#include "finder/testing/discovery_lab.h"
#include "platform/env.h"
#include "platform/registry.h"
#include "platform/testing/temp_dir.h"

namespace {

using finder::testing::DiscoveryLab;

struct Result {
  int exit_code = -1;
  std::string out;
};

class DiscoverCommandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { lab_ = DiscoveryLab::Create(&why_).release(); }
  static void TearDownTestSuite() {
    delete lab_;
    lab_ = nullptr;
  }
  void SetUp() override {
    if (!lab_) GTEST_SKIP() << "no test network: " << why_;
  }

  Result Discover(const std::string& options) {
    std::string error;
    EXPECT_TRUE(lab_->RestartDummyOnly(&error)) << error;
    std::string command = "ip netns exec " + lab_->network().client() + " " +
                          BOXKEEPER_BIN + " discover --timeout 3 " + options +
                          " 2>/dev/null";
    Result r;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return r;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) r.out += buf;
    int status = pclose(p);
    r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
  }

  static std::multiset<std::string> Lines(const std::string& out) {
    std::multiset<std::string> lines;
    size_t start = 0;
    while (start < out.size()) {
      size_t end = out.find('\n', start);
      lines.insert(out.substr(start, end - start));
      if (end == std::string::npos) break;
      start = end + 1;
    }
    return lines;
  }

  static DiscoveryLab* lab_;
  static std::string why_;
  platform::ScopedTempDir dir_;
};

DiscoveryLab* DiscoverCommandTest::lab_ = nullptr;
std::string DiscoverCommandTest::why_;

// IPv4 rows; the same devices answer over IPv6 from their link-local
// addresses.
std::string Row(int i, const char* version, bool ipv6 = false) {
  std::string address =
      ipv6 ? "fe80:0000:0000:0000:0000:0000:0000:00" + std::to_string(11 + i)
           : "10.77.0." + std::to_string(11 + i);
  return "DEV" + std::to_string(i) + "\t" + address + "\t" + version + "\tRoom " +
         std::to_string(i) + "\tDEV" + std::to_string(i);
}

TEST_F(DiscoverCommandTest, PrintsTheRowsOfEachMode) {
  const std::string id_file = dir_.Sub("v3.id");
  ASSERT_TRUE(finder::IdFileLibrary("idfile").Encrypt(
      id_file, {"MFP", "authpriv", "authpass123", "privpass123", 2, 4}));

  Result r = Discover("--mode 1 --range 10.77.0.1-10.77.0.254");
  EXPECT_EQ(r.exit_code, 0);
  std::multiset<std::string> v4 = {Row(0, "V1/V2"), Row(1, "V1/V2"), Row(4, "V1/V2")};
  std::multiset<std::string> v6 = {Row(0, "V1/V2", true), Row(1, "V1/V2", true),
                                   Row(4, "V1/V2", true)};
  std::multiset<std::string> both = v4;
  both.insert(v6.begin(), v6.end());
  EXPECT_EQ(Lines(r.out), both);

  r = Discover("--mode 13 --snmpv3-id " + id_file + " --range 10.77.0.12-10.77.0.12");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(Lines(r.out),
            (std::multiset<std::string>{Row(1, "V1/V2"), Row(1, "V3"),
                                        Row(0, "V1/V2", true), Row(1, "V1/V2", true),
                                        Row(4, "V1/V2", true), Row(1, "V3", true)}));

  r = Discover("--mode 3 --snmpv3-id " + id_file + " --json");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("{\"name\": \"DEV1\", \"address\": \"10.77.0.12\", "
                       "\"snmp_version\": \"V3\", \"location\": \"Room 1\", "
                       "\"model\": \"DEV1\"}"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("DEV0"), std::string::npos);

  // A wrong community: nobody answers, nothing is listed.
  r = Discover("--community nobody");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
}

// Without SNMP options the desktop's stored settings apply: the program
// reads the same registry (the test's own, through the environment).
TEST_F(DiscoverCommandTest, StoredSettingsApplyWithoutOptions) {
  const std::string id_file = dir_.Sub("stored.id");
  ASSERT_TRUE(finder::IdFileLibrary("idfile").Encrypt(
      id_file, {"MFP", "authpriv", "authpass123", "privpass123", 2, 4}));
  platform::Registry& reg = platform::Env::Current()->registry();
  const std::string key = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";
  const auto user = platform::RegRoot::kCurrentUser;
  reg.SetValue(user, key, "SNMPVersion", platform::RegValue::Dword(3));
  reg.SetValue(user, key, "IDFilePath", platform::RegValue::String(id_file));
  Result r = Discover("--range 10.77.0.1-10.77.0.254");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(Lines(r.out),
            (std::multiset<std::string>{Row(1, "V3"), Row(1, "V3", true)}));

  // A stored community name that no device knows: nothing answers.
  reg.SetValue(user, key, "SNMPVersion", platform::RegValue::Dword(1));
  reg.SetValue(user, key, "SNMPCommunityName", platform::RegValue::String("nobody"));
  r = Discover("--range 10.77.0.1-10.77.0.254");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
  // An option on the command line wins over what is stored.
  r = Discover("--community public --range 10.77.0.11-10.77.0.11");
  EXPECT_EQ(Lines(r.out), (std::multiset<std::string>{
                              Row(0, "V1/V2"), Row(0, "V1/V2", true),
                              Row(1, "V1/V2", true), Row(4, "V1/V2", true)}));
  reg.DeleteKeyTree(user, key);
}

TEST_F(DiscoverCommandTest, UnreadableIdFileIsAnError) {
  platform::WriteTestFile(dir_.Sub("bad.id"), "garbage");
  Result r = Discover("--snmpv3-id " + dir_.Sub("bad.id"));
  EXPECT_EQ(r.exit_code, 1);
}

}  // namespace
