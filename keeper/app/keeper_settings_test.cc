// keeper's registry values: the column order of the device list, the
// discovered-device list, the running-instance key.
#include "keeper/app/keeper_settings.h"

#include <gtest/gtest.h>

#include "desktop/testing/map_texts.h"
#include "platform/env.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace keeper {
namespace {

TEST(ColumnOrderTest, DigitsOfTheStoredText) {
  struct Case {
    const char* text;
    ColumnOrder order;
  } cases[] = {
      {"01234", {0, 1, 2, 3, 4}},
      {"10234", {1, 0, 2, 3, 4}},  // the address column first
      {"02134", {0, 2, 1, 3, 4}},  // the lost leading 0 is put back
      {"43210", {4, 3, 2, 1, 0}},
      {"", {0, 1, 2, 3, 4}},
      {"1234", {0, 1, 2, 3, 4}},     // a column missing
      {"11234", {0, 1, 2, 3, 4}},    // a column twice
      {"012345", {0, 1, 2, 3, 4}},   // a sixth column
      {"abc", {0, 1, 2, 3, 4}},
      {"99999999999", {0, 1, 2, 3, 4}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(KeeperSettings::ParseColumnOrder(c.text), c.order) << c.text;
}

class KeeperSettingsTest : public testing::Test {
 protected:
  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
  desktop::MapTexts texts_{
      {{10000, "Software\\\\Zelt\\\\BRD"},
       {10005, "Software\\\\Zelt\\\\Running"},
       {10019, "Software\\\\Zelt\\\\BRD"}}};
  KeeperSettings settings_{texts_};
  void Set(const std::string& key, const std::string& name,
           const platform::RegValue& v) {
    env_.registry().SetValue(platform::RegRoot::kCurrentUser, key, name, v);
  }
};

TEST_F(KeeperSettingsTest, PathsAreCollapsed) {
  EXPECT_EQ(settings_.base_key(), "Software\\Zelt\\BRD");
  EXPECT_EQ(settings_.running_key(), "Software\\Zelt\\Running");
}

TEST_F(KeeperSettingsTest, TheColumnOrderIsReadFromItsKey) {
  EXPECT_EQ(KeeperSettings::ReadColumnOrder(), (ColumnOrder{0, 1, 2, 3, 4}));
  Set(kColumnOrderKey, kColumnOrderValue, platform::RegValue::String("10234"));
  EXPECT_EQ(KeeperSettings::ReadColumnOrder(), (ColumnOrder{1, 0, 2, 3, 4}));
  Set(kColumnOrderKey, kColumnOrderValue, platform::RegValue::Dword(43210));
  EXPECT_EQ(KeeperSettings::ReadColumnOrder(), (ColumnOrder{4, 3, 2, 1, 0}));
  // Written as its digits, the leading 0 included.
  ASSERT_TRUE(KeeperSettings::WriteColumnOrder({0, 2, 1, 3, 4}));
  EXPECT_EQ(env_.registry().GetValue(platform::RegRoot::kCurrentUser,
                                     kColumnOrderKey, kColumnOrderValue),
            platform::RegValue::String("02134"));
  EXPECT_FALSE(KeeperSettings::WriteColumnOrder({0, 0, 1, 3, 4}));
  EXPECT_EQ(KeeperSettings::ReadColumnOrder(), (ColumnOrder{0, 2, 1, 3, 4}));
}

TEST_F(KeeperSettingsTest, OnlyCompleteEntriesAreDevices) {
  for (int n : {0, 3, 63, 64}) {
    const std::string i = std::to_string(n);
    for (const char* v : {"Address", "Name", "Model", "Location", "SNMP Version"})
      Set("Software\\Zelt\\BRD", v + i,
          platform::RegValue::String(std::string(v) + "-" + i));
  }
  env_.registry().DeleteValue(platform::RegRoot::kCurrentUser,
                              "Software\\Zelt\\BRD", "Model3");
  auto list = settings_.ReadDiscovered();
  ASSERT_EQ(list.size(), 2u);  // 3 is incomplete, 64 is past the end
  EXPECT_EQ(list[0].index, 0);
  EXPECT_EQ(list[1].index, 63);
  EXPECT_EQ(list[1].model, "Model-63");
  EXPECT_EQ(settings_.ModelOf("Address-63"), "Model-63");
  EXPECT_EQ(settings_.ModelOf("Address-3"), "");
}

TEST_F(KeeperSettingsTest, CommunityAndLongValues) {
  EXPECT_EQ(settings_.Community(), "public");
  Set("Software\\Zelt\\BRD", "SNMPCommunityName",
      platform::RegValue::String("lab"));
  EXPECT_EQ(settings_.Community(), "lab");

  SelectedDevice d{std::string(300, 'x'), "n", "l", "V3", ""};
  ASSERT_TRUE(settings_.WriteSelected(d));
  auto read = settings_.ReadSelected();
  ASSERT_TRUE(read);
  EXPECT_EQ(read->address.size(), kSelectedValueMax);
  EXPECT_EQ(read->snmp_version, "V3");
}

TEST_F(KeeperSettingsTest, TheRunningInstanceKeyComesAndGoes) {
  ASSERT_TRUE(settings_.RegisterRunningInstance("Tarn Box Keeper"));
  auto& reg = env_.registry();
  EXPECT_EQ(reg.GetValue(platform::RegRoot::kCurrentUser,
                         "Software\\Zelt\\Running", "CLSID"),
            platform::RegValue::String("ZELT"));
  settings_.RemoveRunningInstance();
  EXPECT_FALSE(reg.KeyExists(platform::RegRoot::kCurrentUser,
                             "Software\\Zelt\\Running"));
}

}  // namespace
}  // namespace keeper
