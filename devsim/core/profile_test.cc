#include "devsim/core/profile.h"

#include <gtest/gtest.h>

#include "platform/testing/temp_dir.h"

namespace devsim {
namespace {

TEST(ProfileDefaults, EachLayoutIsACoherentDevice) {
  struct Case { Layout layout; const char* engine_part; const char* storage; };
  for (Case c : {Case{Layout::kShared, "Varda7120/7140 V1.3", "Hard Disk"},
                 Case{Layout::kClassic, "Varda 910 Series V1.0", "Device Memory"},
                 Case{Layout::kStorage, "Varda 8000", "Solid State Drive"}}) {
    SCOPED_TRACE(std::string(LayoutName(c.layout)));
    Profile p = Profile::Defaults(c.layout);
    EXPECT_EQ(p.layout, c.layout);
    EXPECT_NE(p.engine_version.find(c.engine_part), std::string::npos);
    EXPECT_EQ(p.storage_description, c.storage);
    EXPECT_EQ(p.maker, "Corvane");
    EXPECT_EQ(p.web_port, 8080);
    EXPECT_EQ(p.ftp_port, 21);
    EXPECT_EQ(p.snmp_port, 161);
    EXPECT_FALSE(p.network_name.empty());
    EXPECT_FALSE(p.ftp_accounts.empty());
    EXPECT_NE(p.mac, (std::array<uint8_t, 6>{}));
  }
  // Distinct devices get distinct identities.
  EXPECT_NE(Profile::Defaults(Layout::kShared).mac, Profile::Defaults(Layout::kStorage).mac);
}

TEST(ProfileDefaults, MacText) {
  Profile p;
  p.mac = {0x00, 0x1a, 0x2b, 0xc3, 0xd4, 0xff};
  EXPECT_EQ(p.MacText(), "00:1a:2b:c3:d4:ff");
}

TEST(LoadProfile, AppliesKeysOverTheDefaultsOfTheFileLayout) {
  platform::ScopedTempDir dir;
  std::string file = dir.Sub("device.conf");
  platform::WriteTestFile(file,
                          "# a test device\n"
                          "model = Varda 560\n"
                          "\n"
                          "  web_port=8443  \r\n"
                          "web_tls = yes\n"
                          "mac = 00-11-22-aa-bb-cc\n"
                          "v3_users = none\n"
                          "v3_user = alice, 1, md5password, 2, despassword\n"
                          "ftp_account = u1,p1\n"
                          "ftp_account = u2,p2,storage\n"
                          "cgi_delay = 5\n"
                          "layout = storage\n");
  Profile p = Profile::Defaults(Layout::kShared);
  std::string error;
  ASSERT_TRUE(LoadProfile(file, &p, &error)) << error;
  EXPECT_EQ(p.layout, Layout::kStorage);
  // Defaults came from the storage device although "layout" was last.
  EXPECT_EQ(p.storage_description, "Solid State Drive");
  EXPECT_EQ(p.model, "Varda 560");
  EXPECT_EQ(p.web_port, 8443);
  EXPECT_TRUE(p.web_tls);
  EXPECT_EQ(p.MacText(), "00:11:22:aa:bb:cc");
  ASSERT_EQ(p.v3_users.size(), 1u);
  EXPECT_EQ(p.v3_users[0].name, "alice");
  EXPECT_EQ(p.v3_users[0].auth_protocol, 1);
  EXPECT_EQ(p.v3_users[0].priv_protocol, 2);
  EXPECT_EQ(p.v3_users[0].priv_password, "despassword");
  ASSERT_EQ(p.ftp_accounts.size(), 3u);  // the default account stays
  EXPECT_EQ(p.ftp_accounts[2].root, "storage");
  EXPECT_EQ(p.extra.at("cgi_delay"), "5");
}

TEST(LoadProfile, RejectsBadLinesNamingTheLineAndKeepsTheProfile) {
  struct Case { const char* text; const char* where; };
  const Case cases[] = {
      {"model = x\nno equals sign\n", ":2:"},
      {"web_port = 0\n", ":1:"},
      {"web_port = 70000\n", ":1:"},
      {"ftp_port = 21x\n", ":1:"},
      {"# c\nftp_tls = maybe\n", ":2:"},
      {"mac = 00:11:22:33:44\n", ":1:"},
      {"mac = 00:11:22:33:44:5g\n", ":1:"},
      {"layout = tape\n", ":1:"},
      {"auto_auth_mode = 2\n", ":1:"},
      {"v3_user = bob,2,short,1,\n", ":1:"},
      {"v3_user = bob,0,,4,privpassword\n", ":1:"},
      {"v3_user = bob,3,authpassword,1,\n", ":1:"},
      {"ftp_account = onlyuser\n", ":1:"},
      {" = value\n", ":1:"},
  };
  platform::ScopedTempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string file = dir.Sub("bad.conf");
    platform::WriteTestFile(file, c.text);
    Profile p = Profile::Defaults(Layout::kClassic);
    std::string error;
    EXPECT_FALSE(LoadProfile(file, &p, &error));
    EXPECT_NE(error.find(c.where), std::string::npos) << error;
    EXPECT_EQ(p.model, Profile::Defaults(Layout::kClassic).model);
  }
}

TEST(LoadProfile, MissingFileIsAnError) {
  Profile p;
  std::string error;
  EXPECT_FALSE(LoadProfile("/nonexistent/devsim.conf", &p, &error));
  EXPECT_FALSE(error.empty());
}

TEST(ParseLayout, RoundTripsNames) {
  for (Layout l : {Layout::kShared, Layout::kClassic, Layout::kStorage})
    EXPECT_EQ(ParseLayout(LayoutName(l)), l);
  EXPECT_FALSE(ParseLayout("Shared").has_value());
}

}  // namespace
}  // namespace devsim
