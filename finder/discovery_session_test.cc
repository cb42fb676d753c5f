#include "finder/discovery_session.h"

#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "finder/product_definition.h"
#include "desktop/testing/fake_screen.h"
#include "desktop/testing/map_texts.h"
#include "finder/texts.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace finder {
namespace {

constexpr char kBase[] = "Software\\TALLIS\\Corvane TALLIS Client";
constexpr char kKey[] = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";

class DiscoverySessionTest : public ::testing::Test {
 protected:
  DiscoverySessionTest() : use_(&env_) {
    module_.set_module_type("ZELT");
    module_.mutable_generic().Set(kResCommunityName, 1);
    module_.mutable_generic().Set(kResStoreRegBase, 141);
    module_.mutable_generic().Set(kResDiscoveryRegBase, 141);
    module_.mutable_generic().Set(kResIdFileLibrary, 224);
    COID p;
    p.key = "P";
    p.id = "1.3";
    p.family = 1;
    module_.products().Add(p);
    texts_.Set(141, kBase);
    texts_.Set(149, std::string(kBase) + "\\Discovery");
    texts_.Set(193, "V3");
    texts_.Set(224, "idfile");
  }
  platform::FakeEnv env_;
  platform::ScopedEnv use_;
  CDiscoveryModule module_;
  desktop::MapTexts texts_{{}};
  desktop::FakeScreen screen_{&texts_};
};

TEST_F(DiscoverySessionTest, SettingsAndRange) {
  auto& reg = env_.registry();
  const std::string settings = std::string(kBase) + "\\Discovery";
  reg.SetValue(platform::RegRoot::kCurrentUser, settings, "DoIpDiscoveryUseSubnet",
               platform::RegValue::Dword(0));
  reg.SetValue(platform::RegRoot::kCurrentUser, settings, "DoIpDiscoveryRangeFrom",
               platform::RegValue::String("10.0.0.1"));
  reg.SetValue(platform::RegRoot::kCurrentUser, settings, "DoIpDiscoveryRangeTo",
               platform::RegValue::String("10.0.0.9"));
  Protocols p;
  p.ipv4 = p.tcpip = true;
  p.local_ipv4 = 0xAC102505;  // 172.16.37.5
  p.mask = 0xFFFFF000;
  DiscoverySession s(module_, texts_, screen_);
  s.Init(p);
  EXPECT_EQ(s.config().ipv4_range.from, 0x0A000001u);  // the stored range
  EXPECT_EQ(s.config().ipv4_range.to, 0x0A000009u);
  EXPECT_EQ(s.config().snmp_mode, 1u);  // nothing stored
  EXPECT_EQ(s.config().actual_wait_seconds, 15);

  // A bound that is no address gives the subnet range.
  reg.SetValue(platform::RegRoot::kCurrentUser, settings, "DoIpDiscoveryRangeTo",
               platform::RegValue::String("10.0.0"));
  DiscoverySession t(module_, texts_, screen_);
  t.Init(p);
  EXPECT_EQ(Ipv4Text(t.config().ipv4_range.from), "172.16.32.0");
  EXPECT_EQ(Ipv4Text(t.config().ipv4_range.to), "172.16.47.255");
  // Nothing usable: nothing starts.
  DiscoverySession u(module_, texts_, screen_);
  u.Init(Protocols{});
  EXPECT_FALSE(u.Start());
}

TEST_F(DiscoverySessionTest, CancelKeepsWhatWasThereAtStart) {
  StoreContext store = ContextFor(module_, texts_, kResStoreRegBase);
  CSNMPRegistry settings(store);
  IdFileLibrary lib("idfile");
  const V3Credentials before{"MFP", "authonly", "authpass123", "", 2, 1};
  std::filesystem::create_directories(
      std::filesystem::path(settings.active_id_file()).parent_path());
  ASSERT_TRUE(lib.Encrypt(settings.active_id_file(), before));
  ASSERT_TRUE(WriteCommNameToRegistry("lab", store));
  env_.registry().SetValue(platform::RegRoot::kCurrentUser, kKey, "Last Selected IP",
                           platform::RegValue::String("10.0.0.5"));

  DiscoverySession s(module_, texts_, screen_);
  s.Init(Protocols{});
  // Meanwhile the settings dialog changed both.
  ASSERT_TRUE(lib.Encrypt(settings.active_id_file(),
                          {"MFP", "other", "otherpass123", "", 1, 1}));
  ASSERT_TRUE(WriteCommNameToRegistry("changed", store));
  s.AddRow({"N", "10.0.0.9", 1, "L", "M"});
  s.Cancel();
  EXPECT_TRUE(screen_.shown().empty());
  EXPECT_EQ(lib.Decrypt(settings.active_id_file()), before);
  EXPECT_EQ(lib.Decrypt(settings.backup_id_file()), before);
  EXPECT_EQ(ReadCommNameFromRegistry(store), "lab");
  EXPECT_EQ(env_.registry().GetValue(platform::RegRoot::kCurrentUser, kKey,
                                     "Last Selected IP"),
            platform::RegValue::String("10.0.0.5"));
  EXPECT_FALSE(env_.registry().GetValue(platform::RegRoot::kCurrentUser, kKey, "Name0"));
}

TEST_F(DiscoverySessionTest, LastDiscoveredKeepsEachAddressOnce) {
  const std::string key = std::string(kBase) + "\\LastDiscovered";
  env_.registry().SetValue(platform::RegRoot::kCurrentUser, key, "7",
                           platform::RegValue::String("old"));
  ASSERT_TRUE(WriteLastDiscovered(key, {"10.0.0.1", "FE80::1", "fe80::1", "10.0.0.2"}));
  auto values = env_.registry().EnumValues(platform::RegRoot::kCurrentUser, key);
  ASSERT_EQ(values.size(), 3u);
  std::map<std::string, std::string> got;
  for (const auto& [name, v] : values) got[name] = v.text;
  EXPECT_EQ(got, (std::map<std::string, std::string>{
                     {"0", "10.0.0.1"}, {"1", "FE80::1"}, {"2", "10.0.0.2"}}));
}

}  // namespace
}  // namespace finder
