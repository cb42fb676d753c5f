#include "finder/manual_selection.h"

#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "desktop/testing/fake_screen.h"
#include "desktop/testing/map_texts.h"
#include "finder/testing/scripted_host.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace finder {
namespace {

constexpr char kKey[] = "Software\\Test\\BRD";

class ManualSelectionTest : public ::testing::Test {
 protected:
  ManualSelectionTest() : use_(&env_) {}

  StoreContext Context() {
    StoreContext c;
    c.module_type = "ZELT";
    c.settings_key = kKey;
    return c;
  }
  std::unique_ptr<ManualSelectionLogic> Open(ManualAvailability a = {true, true, false},
                                             std::vector<DeviceRow> rows = {}) {
    ManualCredentials creds{CSNMPRegistry(Context()), true, "idfile"};
    return std::make_unique<ManualSelectionLogic>(
        screen_, host_, a, true, std::move(creds), std::move(rows),
        [this](const std::string& address, const std::string& oid, int version) {
          asked_.push_back(address + " " + oid + " v" + std::to_string(version));
          auto it = answers_.find(oid);
          return it == answers_.end() ? std::nullopt
                                      : std::optional<std::string>(it->second);
        });
  }
  uint32_t LastText() {
    auto s = screen_.shown();
    return s.empty() ? 0 : s.back().message.text.id;
  }

  platform::FakeEnv env_;
  platform::ScopedEnv use_;
  desktop::MapTexts texts_{{}};
  desktop::FakeScreen screen_{&texts_};
  testing::ScriptedHost host_;
  std::map<std::string, std::string> answers_{
      {"1.3.6.1.2.1.43.5.1.1.16.1", "DEV1"}, {"1.3.6.1.2.1.1.5.0", "Varda 8000"}};
  std::vector<std::string> asked_;
};

TEST_F(ManualSelectionTest, ChecksInOrder) {
  struct Case {
    const char* name;
    bool ipv6;
    std::string address, dev_name, location;
    uint32_t text;
    int focus;
  } cases[] = {
      {"no name", false, "10.0.0.5", "   ", "", 51, 1000},
      {"long name", false, "10.0.0.5", std::string(33, 'n'), "", 52, 1000},
      {"long location", false, "10.0.0.5", "Office", std::string(65, 'l'), 53, 1002},
      {"broadcast", false, "255.255.255.255", "Office", "", 119, 1004},
      {"zero", false, "0.0.0.0", "Office", "", 54, 1004},
      {"incomplete", false, "10.0.0", "Office", "", 54, 1004},
      {"IPv6 syntax", true, "2001:db8::g", "Office", "", 133, 3014},
      {"IPv6 space", true, "2001:db8:: 1", "Office", "", 133, 3014},
      {"IPv6 zero", true, "0:0::0", "Office", "", 137, 3014},
      {"IPv6 all ones", true, "FFFF:ffff:ffff:ffff:ffff:ffff:ffff:ffff", "Office", "", 133, 3014},
  };
  for (const Case& c : cases) {
    screen_.Clear();
    auto d = Open();
    d->ChooseIpv6(c.ipv6);
    if (c.ipv6) d->EditIpv6(c.address); else d->EditIpv4(c.address);
    d->EditName(c.dev_name);
    d->EditLocation(c.location);
    EXPECT_FALSE(d->Ok()) << c.name;
    EXPECT_EQ(LastText(), c.text) << c.name;
    EXPECT_EQ(d->view().focus, c.focus) << c.name;
  }
  EXPECT_TRUE(asked_.empty());  // no device asked for a refused entry
  // 32 characters (not bytes) are allowed.
  auto d = Open();
  d->EditIpv4("10.0.0.5");
  std::string umlauts;
  for (int i = 0; i < 32; ++i) umlauts += "\xC3\xA4";
  d->EditName(umlauts);
  EXPECT_TRUE(d->Ok());
}

TEST_F(ManualSelectionTest, Ipv6EntryIsListedCompressed) {
  auto d = Open();
  d->ChooseIpv6(true);
  d->EditIpv6("FD77:0000::000C");
  d->EditName("Lab printer");
  d->EditLocation("Room 1");
  ASSERT_TRUE(d->Ok());
  EXPECT_EQ(d->row(), (DeviceRow{"Lab printer", "fd77::c", 1, "Room 1", "Varda 8000"}));
  EXPECT_EQ(asked_, (std::vector<std::string>{"fd77::c 1.3.6.1.2.1.43.5.1.1.16.1 v1",
                                              "fd77::c 1.3.6.1.2.1.1.5.0 v1"}));
}

TEST_F(ManualSelectionTest, DuplicatesAndAvailability) {
  std::vector<DeviceRow> rows = {
      {"Lab Printer", "fd77:0000:0000:0000:0000:0000:0000:000c", 1, "", ""}};
  auto d = Open({true, true, false}, rows);
  d->ChooseIpv6(true);
  d->EditIpv6("fd77::C");
  d->EditName("lab printer");
  EXPECT_FALSE(d->Ok());
  EXPECT_EQ(LastText(), 60u);
  d->EditName("Another");  // same address, other name: a new row
  EXPECT_TRUE(d->Ok());

  // Without IPv4 the dialog starts on IPv6; IPX stays off here.
  auto e = Open({false, true, false});
  EXPECT_TRUE(e->view().ipv6_chosen);
  EXPECT_FALSE(e->view().ipv4_enabled);
  EXPECT_FALSE(e->view().ipx_enabled);
  e->ChooseIpv6(false);
  EXPECT_TRUE(e->view().ipv6_chosen);
}

TEST_F(ManualSelectionTest, DeviceCheckByStoredMode) {
  auto& reg = env_.registry();
  auto user = platform::RegRoot::kCurrentUser;
  // Mode 1 with a community: asked with SNMPv1; no answer refused.
  answers_.clear();
  auto d = Open();
  d->EditIpv4("10.0.0.5");
  d->EditName("Office");
  EXPECT_FALSE(d->Ok());
  EXPECT_EQ(LastText(), 246u);

  // Mode 3: the ID file must be readable.
  reg.SetValue(user, kKey, "SNMPVersion", platform::RegValue::Dword(3));
  reg.SetValue(user, kKey, "IDFilePath",
               platform::RegValue::String(env_.root() + "/missing.id"));
  EXPECT_FALSE(d->Ok());
  EXPECT_EQ(LastText(), 206u);
  const std::string id = env_.root() + "/v3.id";
  ASSERT_TRUE(IdFileLibrary("idfile").Encrypt(id, {"MFP", "u", "authpass123", "", 2, 1}));
  reg.SetValue(user, kKey, "IDFilePath", platform::RegValue::String(id));
  answers_["1.3.6.1.2.1.43.5.1.1.16.1"] = "-";  // no letter or digit first
  EXPECT_FALSE(d->Ok());
  EXPECT_EQ(LastText(), 211u);
  answers_["1.3.6.1.2.1.43.5.1.1.16.1"] = "DEV1";
  ASSERT_TRUE(d->Ok());
  EXPECT_EQ(d->row().version, 3);
  EXPECT_EQ(d->row().model, "");  // no sysName answered
}

TEST_F(ManualSelectionTest, CancelRestoresTheIdFile) {
  CSNMPRegistry store(Context());
  std::filesystem::create_directories(
      std::filesystem::path(store.active_id_file()).parent_path());
  platform::WriteTestFile(store.backup_id_file(), "saved");
  platform::WriteTestFile(store.active_id_file(), "changed");
  Open()->Cancel();
  EXPECT_EQ(platform::ReadTestFile(store.active_id_file()), "saved");
}

}  // namespace
}  // namespace finder
