#include "finder/search_settings_dialog.h"

#include <gtest/gtest.h>

#include "desktop/testing/fake_screen.h"
#include "desktop/testing/map_texts.h"
#include "finder/product_definition.h"
#include "finder/testing/scripted_host.h"
#include "platform/testing/fake_env.h"

namespace finder {
namespace {

COID Product(const char* key, int priority, const char* find, const char* prefix,
             const char* suffix, bool enabled = true) {
  COID p;
  p.key = key;
  p.id = std::string("1.3.6.1.4.1.58231.2.3.") + key;
  p.priority = priority;
  p.enabled = enabled;
  p.checked = true;
  p.specific.SetFind("FIND", {prefix, suffix, find});
  return p;
}

class SearchSettingsTest : public ::testing::Test {
 protected:
  SearchSettingsTest() : use_(&env_) {
    module_.set_module_type("ZELT");
    module_.mutable_generic().Set(kResCommunityName, 1);
    module_.products().Add(Product("A", 0, "Varda", "1", "1"));
    module_.products().Add(Product("B", 1, "Varda 8000", "1", "0"));
    module_.products().Add(Product("C", 2, "Tarn", "0", "1"));
    available_.protocols.ipv4 = available_.protocols.ipv6 = true;
    available_.protocols.tcpip = true;
    available_.protocols.local_ipv4 = 0x0A010241;  // 10.1.2.65
    available_.protocols.mask = 0xFFFFFF00;
  }

  std::unique_ptr<SearchSettingsLogic> Open(SearchSettings current = {}) {
    StoreContext c;
    c.module_type = "ZELT";
    c.settings_key = "Software\\Test\\BRD";
    return std::make_unique<SearchSettingsLogic>(
        module_, texts_, screen_, host_, available_, current, true,
        CSNMPRegistry(c), ProductLanguage::kOther);
  }
  // The last message box: text, caption, icon.
  std::tuple<uint32_t, uint32_t, desktop::Icon> Last() {
    auto shown = screen_.shown();
    if (shown.empty()) return {0, 0, desktop::Icon::kNone};
    const auto& m = shown.back().message;
    return {m.text.id, m.caption.id, m.icon};
  }

  platform::FakeEnv env_;
  platform::ScopedEnv use_;
  CDiscoveryModule module_;
  desktop::MapTexts texts_{{{12031, "Corvane"}, {12032, "series"}}};
  desktop::FakeScreen screen_{&texts_};
  testing::ScriptedHost host_;
  SearchAvailability available_;
};

TEST_F(SearchSettingsTest, ProductLinesFollowPriorityAndLanguage) {
  module_.products().Add(Product("D", 3, " ", "1", "1"));  // no composed name
  module_.products().Add(Product("E", 4, "Off", "1", "1", false));
  struct Case {
    ProductLanguage language;
    std::vector<std::string> texts;
  } cases[] = {
      {ProductLanguage::kOther, {"Corvane Varda series", "Corvane Varda 8000", "Tarn series", "D"}},
      {ProductLanguage::kJapanese, {"Varda seriesCorvane", "Varda 8000Corvane", "Tarn series", "D"}},
      {ProductLanguage::kTurkish, {"Varda series Corvane", "Varda 8000 Corvane", "Tarn series", "D"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> got;
    for (const ProductLine& l : ProductLines(module_, texts_, c.language)) got.push_back(l.text);
    EXPECT_EQ(got, c.texts);
  }
}

TEST_F(SearchSettingsTest, ControlsFollowTheSwitches) {
  auto d = Open();
  const SearchSettingsView& v = d->view();
  EXPECT_FALSE(v.ipx_enabled);  // no IPX on this system
  EXPECT_TRUE(v.options_enabled && v.ipv4_enabled && v.ipv6_enabled);
  EXPECT_FALSE(v.ipv4_range_enabled || v.ipv6_range_enabled);  // subnet
  EXPECT_EQ(v.values.ipv4_from, "10.1.2.0");
  EXPECT_EQ(v.values.ipv4_to, "10.1.2.255");
  EXPECT_TRUE(v.snmp_button_visible);

  d->SetUseSubnet(false);
  EXPECT_TRUE(v.ipv4_range_enabled && v.ipv6_range_enabled);
  EXPECT_EQ(v.values.ipv4_from, "10.1.2.0");  // the fields keep what they show
  d->EditIpv6From("2001:db8::1");
  d->SetIpv6(false);
  EXPECT_FALSE(v.ipv6_range_enabled);
  d->SetUseSubnet(true);
  EXPECT_EQ(v.values.ipv6_from, "");  // the subnet option empties them
  d->SetTcpip(false);
  EXPECT_FALSE(v.options_enabled || v.ipv4_enabled || v.ipv6_enabled ||
               v.ipv4_range_enabled);

  // IPv6 needs the system gate too.
  available_.ipv6_os_allowed = false;
  auto e = Open();
  EXPECT_FALSE(e->view().ipv6_enabled);
  // SNMP switched off by the definition hides the SNMP Settings button.
  module_.mutable_checks().Set("SNMP_SUPPORT", "OFF");
  EXPECT_FALSE(Open()->view().snmp_button_visible);
}

TEST_F(SearchSettingsTest, OkChecksInOrder) {
  struct Case {
    const char* name;
    std::function<void(SearchSettingsLogic&)> input;
    uint32_t text, caption;
    desktop::Icon icon;
    int focus;
  } cases[] = {
      {"both 0.0.0.0",
       [](SearchSettingsLogic& d) { d.SetIpv6(false); d.SetUseSubnet(false);
         d.EditIpv4From("0.0.0.0"); d.EditIpv4To("0.0.0.0"); },
       54, 46, desktop::Icon::kError, 316},
      {"both broadcast",
       [](SearchSettingsLogic& d) { d.SetIpv6(false); d.SetUseSubnet(false);
         d.EditIpv4From("255.255.255.255"); d.EditIpv4To("255.255.255.255"); },
       24, 46, desktop::Icon::kError, 316},
      {"IPv4 end before start",
       [](SearchSettingsLogic& d) { d.SetIpv6(false); d.SetUseSubnet(false);
         d.EditIpv4From("10.0.0.9"); d.EditIpv4To("10.0.0.1"); },
       24, 26, desktop::Icon::kWarning, 316},
      {"IPv6 from invalid, both filled",
       [](SearchSettingsLogic& d) { d.SetUseSubnet(false);
         d.EditIpv6From("2001:db8::g"); d.EditIpv6To("2001:db8::1"); },
       138, 26, desktop::Icon::kWarning, 3008},
      {"IPv6 to empty",
       [](SearchSettingsLogic& d) { d.SetUseSubnet(false);
         d.EditIpv6From("2001:db8::1"); },
       137, 46, desktop::Icon::kError, 3009},
      {"IPv6 end before start",
       [](SearchSettingsLogic& d) { d.SetUseSubnet(false);
         d.EditIpv6From("2001:db8::ff"); d.EditIpv6To("2001:db8::1"); },
       138, 26, desktop::Icon::kWarning, 3008},
      {"IPv6 all zero",
       [](SearchSettingsLogic& d) { d.SetUseSubnet(false);
         d.EditIpv6From("::"); d.EditIpv6To("0:0:0:0:0:0:0:0"); },
       137, 46, desktop::Icon::kError, 3008},
      {"IPv6 all ones",
       [](SearchSettingsLogic& d) { d.SetUseSubnet(false);
         d.EditIpv6From("ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff");
         d.EditIpv6To("FFFF:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF"); },
       138, 26, desktop::Icon::kWarning, 3008},
      {"nothing to search",
       [](SearchSettingsLogic& d) { d.SetTcpip(false); }, 98, 46,
       desktop::Icon::kError, 0},
      {"no product",
       [](SearchSettingsLogic& d) { for (size_t i = 0; i < 3; ++i) d.SetChecked(i, false); },
       111, 46, desktop::Icon::kError, 0},
      {"no family",
       [](SearchSettingsLogic& d) { d.SetIpv4(false); d.SetIpv6(false); }, 136, 46,
       desktop::Icon::kError, 0},
  };
  for (const Case& c : cases) {
    screen_.Clear();
    auto d = Open();
    c.input(*d);
    EXPECT_FALSE(d->Ok()) << c.name;
    EXPECT_EQ(Last(), std::make_tuple(c.text, c.caption, c.icon)) << c.name;
    EXPECT_EQ(d->view().focus, c.focus) << c.name;
  }
}

TEST_F(SearchSettingsTest, OkKeepsRangesAndChecks) {
  auto d = Open();
  d->SetUseSubnet(false);
  d->EditIpv4From("10.0.0.1");
  d->EditIpv4To("10.0.0.1");  // one address is a range
  d->EditIpv6From("2001:db8::1");
  d->EditIpv6To("2001:DB8::ff");
  d->SetChecked(1, false);
  ASSERT_TRUE(d->Ok());
  EXPECT_TRUE(screen_.shown().empty());
  const SearchSettings& v = d->view().values;
  EXPECT_FALSE(v.use_subnet);
  EXPECT_EQ(v.ipv4_from, "10.0.0.1");
  // Stored in the full form.
  EXPECT_EQ(v.ipv6_from, "2001:0db8:0000:0000:0000:0000:0000:0001");
  EXPECT_EQ(v.ipv6_to, "2001:0db8:0000:0000:0000:0000:0000:00ff");
  EXPECT_TRUE(module_.products().ByKey("A")->checked);
  EXPECT_FALSE(module_.products().ByKey("B")->checked);

  // A stored range opens as it was, with its option.
  auto e = Open(v);
  EXPECT_TRUE(e->view().ipv4_range_enabled);
  EXPECT_EQ(e->view().values.ipv4_to, "10.0.0.1");
  EXPECT_EQ(e->view().lines[1].checked, false);
}

TEST_F(SearchSettingsTest, SnmpButtonAndHelp) {
  auto d = Open();
  d->SnmpSettings();
  EXPECT_EQ(host_.snmp_settings_runs, 1);
  d->set_help_page(env_.root() + "/help/finder-1003.html");
  d->Help();  // the page is missing: said so
  EXPECT_EQ(screen_.urls().size(), 0u);
  ASSERT_EQ(screen_.shown().size(), 1u);
  platform::WriteTestFile(env_.root() + "/help/finder-1003.html", "<html></html>");
  d->Help();
  ASSERT_EQ(screen_.urls().size(), 1u);
  EXPECT_EQ(screen_.urls()[0], "file://" + env_.root() + "/help/finder-1003.html");
}

}  // namespace
}  // namespace finder
