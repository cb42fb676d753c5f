#include "finder/discovery_list.h"

#include <chrono>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "desktop/testing/fake_screen.h"
#include "desktop/testing/map_texts.h"
#include "finder/manual_selection.h"
#include "finder/product_definition.h"
#include "finder/search_settings_dialog.h"
#include "finder/testing/scripted_host.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace finder {
namespace {

constexpr char kBase[] = "Software\\TALLIS\\Corvane TALLIS Client";
constexpr char kKey[] = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";

class DiscoveryListTest : public ::testing::Test {
 protected:
  DiscoveryListTest() : use_(&env_) {
    module_.set_module_type("ZELT");
    module_.mutable_generic().Set(kResCommunityName, 1);
    module_.mutable_generic().Set(kResStoreRegBase, 141);
    module_.mutable_generic().Set(kResDiscoveryRegBase, 141);
    module_.mutable_generic().Set(kResIdFileLibrary, 224);
    module_.mutable_generic().Set("HELP", 172);
    COID p;
    p.key = "P";
    p.id = "1.3.6.1.4.1.58231.2.3.14";
    p.enabled = p.checked = true;
    p.family = 1;
    module_.products().Add(p);
  }

  // Both families can be typed in by hand, but TCP/IP counts as unusable:
  // a run started here sends nothing.
  static Protocols Offline() {
    Protocols p;
    p.ipv4 = p.ipv6 = true;
    return p;
  }
  std::unique_ptr<DiscoveryListLogic> Open(Protocols protocols = Offline()) {
    ListOptions o;
    o.folder = env_.root();
    o.protocols = protocols;
    o.v3_support = true;
    o.get = [this](const std::string& address, const std::string& oid, int version) {
      std::lock_guard<std::mutex> g(mu_);
      asked_.insert(address + " v" + std::to_string(version));
      if (silent_.count(address)) return std::optional<std::string>();
      return std::optional<std::string>(oid == kOidSysObjectId ? "1.3.6.1.4.1.58231.2.3.14.1"
                                                               : "Varda");
    };
    auto logic = std::make_unique<DiscoveryListLogic>(module_, texts_, screen_, host_,
                                                      std::move(o));
    logic->Init();
    return logic;
  }
  // Polls until `done` holds (the window's timer does this).
  static bool PollUntil(DiscoveryListLogic& d, const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i) {
      d.Poll();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
  }
  // Adds a row as the manual selection would.
  void AddByHand(DiscoveryListLogic& d, const std::string& address, const char* name) {
    host_.manual_selection = [&](ManualSelectionLogic& m) {
      if (address.find(':') != std::string::npos) {
        m.ChooseIpv6(true);
        m.EditIpv6(address);
      } else {
        m.EditIpv4(address);
      }
      m.EditName(name);
      return m.Ok();
    };
    d.ManualSelection();
  }
  std::optional<platform::RegValue> Value(const std::string& key, const char* name) {
    return env_.registry().GetValue(platform::RegRoot::kCurrentUser, key, name);
  }

  platform::FakeEnv env_;
  platform::ScopedEnv use_;
  CDiscoveryModule module_;
  desktop::MapTexts texts_{{{139, kBase},
                            {141, kBase},
                            {149, std::string(kBase) + "\\Discovery"},
                            {172, "help/finder.html"},
                            {193, "V3"},
                            {224, "idfile"},
                            {13022, "The help page %s cannot be opened."}}};
  desktop::FakeScreen screen_{&texts_};
  testing::ScriptedHost host_;
  std::mutex mu_;
  std::set<std::string> asked_;
  std::set<std::string> silent_;
};

TEST_F(DiscoveryListTest, NothingToSearchLeavesTheListEmpty) {
  auto d = Open();
  d->StartStop();
  EXPECT_FALSE(d->view().running);
  EXPECT_TRUE(d->rows().empty());
  EXPECT_TRUE(d->Close());  // not running: Close works

  // TCP/IP usable but its search switched off (and no IPX): no run either.
  env_.registry().SetValue(platform::RegRoot::kCurrentUser,
                           std::string(kBase) + "\\Discovery", "DoIpDiscovery",
                           platform::RegValue::Dword(0));
  Protocols usable = Offline();
  usable.tcpip = true;
  d = Open(usable);
  d->StartStop();
  EXPECT_FALSE(d->view().running);
  EXPECT_EQ(d->view().rows_revision, 1u);  // the list was emptied
}

TEST_F(DiscoveryListTest, SelectionEnablesOkAndFindsTheDevicePage) {
  auto d = Open();
  AddByHand(*d, "10.0.0.5", "Office");
  AddByHand(*d, "2001:db8::5", "Lab");
  AddByHand(*d, "10.0.0.6", "Gone");
  silent_.insert("10.0.0.6");
  ASSERT_EQ(d->rows().size(), 3u);
  EXPECT_EQ(d->rows()[1].address, "2001:db8::5");  // compressed, as entered
  EXPECT_FALSE(d->view().ok_enabled);

  d->Select(0);
  EXPECT_TRUE(d->view().ok_enabled);
  EXPECT_EQ(d->view().link, "");  // until the device answers
  ASSERT_TRUE(PollUntil(*d, [&] { return !d->view().link.empty(); }));
  EXPECT_EQ(d->view().link, "http://10.0.0.5:8080");
  EXPECT_TRUE(module_.products().ByKey("P")->found);
  d->OpenLink();
  EXPECT_EQ(screen_.urls(), std::vector<std::string>{"http://10.0.0.5:8080"});

  d->Select(1);
  ASSERT_TRUE(PollUntil(*d, [&] { return !d->view().link.empty(); }));
  EXPECT_EQ(d->view().link, "http://[2001:db8::5]:8080");

  d->Select(2);  // no answer: no link
  PollUntil(*d, [&] { return asked_.count("10.0.0.6 v1") > 0; });
  for (int i = 0; i < 20; ++i) d->Poll();
  EXPECT_EQ(d->view().link, "");
  d->Select(std::nullopt);
  EXPECT_FALSE(d->view().ok_enabled);
}

TEST_F(DiscoveryListTest, OkStoresTheSelectionAndCancelLeavesIt) {
  auto& reg = env_.registry();
  auto user = platform::RegRoot::kCurrentUser;
  reg.SetValue(user, kKey, "Last Selected IP", platform::RegValue::String("10.9.9.9"));
  reg.SetValue(user, std::string(kBase) + "\\LDTabOrder", "ColumnOrder",
               platform::RegValue::String("10234"));
  {
    auto d = Open();
    EXPECT_EQ(d->view().column_order, (ColumnOrder{1, 0, 2, 3, 4}));
    AddByHand(*d, "10.0.0.5", "Office");
    d->Select(0);
    d->SetColumnOrder({3, 0, 1, 2, 4});
    d->Cancel();
    EXPECT_EQ(Value(kKey, "Last Selected IP"), platform::RegValue::String("10.9.9.9"));
    EXPECT_FALSE(Value(kKey, "Address0"));
    // The column order is kept whichever way the dialog ends.
    EXPECT_EQ(Value(std::string(kBase) + "\\LDTabOrder", "ColumnOrder"),
              platform::RegValue::String("30124"));
  }
  // What an earlier confirmed discovery stored beside the settings of the
  // program and of the device library under the same key.
  for (int n = 0; n < 3; ++n)
    for (const char* v : {"Address", "Name", "SNMP Version", "Location", "Model"})
      reg.SetValue(user, kKey, v + std::to_string(n), platform::RegValue::String("old"));
  reg.SetValue(user, kKey, "Lock", platform::RegValue::Dword(1));
  reg.SetValue(user, kKey, "EnableLog", platform::RegValue::String("1"));
  reg.SetValue(user, kKey, "RetryCount", platform::RegValue::String("4"));
  reg.SetValue(user, kKey, "SNMPCommunityName", platform::RegValue::String("office-net"));
  reg.SetValue(user, kKey, "Address", platform::RegValue::String("not a row"));
  auto d = Open();
  AddByHand(*d, "10.0.0.5", "Office");
  AddByHand(*d, "10.0.0.7", "Hall");
  d->Select(1);
  ASSERT_TRUE(d->Ok());
  // The new list replaces the old one whole...
  for (const char* v : {"Address", "Name", "SNMP Version", "Location", "Model"})
    EXPECT_FALSE(Value(kKey, (std::string(v) + "2").c_str())) << v;
  EXPECT_EQ(Value(kKey, "Name1"), platform::RegValue::String("Hall"));
  // ...and every other value stays.
  EXPECT_EQ(Value(kKey, "Lock"), platform::RegValue::Dword(1));
  EXPECT_EQ(Value(kKey, "EnableLog"), platform::RegValue::String("1"));
  EXPECT_EQ(Value(kKey, "RetryCount"), platform::RegValue::String("4"));
  EXPECT_EQ(Value(kKey, "SNMPCommunityName"), platform::RegValue::String("office-net"));
  EXPECT_EQ(Value(kKey, "Address"), platform::RegValue::String("not a row"));
  EXPECT_EQ(Value(kKey, "Last Selected IP"), platform::RegValue::String("10.0.0.7"));
  EXPECT_EQ(Value(kKey, "Last Selected Name"), platform::RegValue::String("Hall"));
  EXPECT_EQ(Value(kKey, "Last Selected SNMP Version"), platform::RegValue::String("V1/V2"));
  EXPECT_EQ(Value(kKey, "Address0"), platform::RegValue::String("10.0.0.5"));
  // The search settings are stored with it.
  EXPECT_EQ(Value(std::string(kBase) + "\\Discovery", "DoIpDiscovery"),
            platform::RegValue::Dword(1));
}

TEST_F(DiscoveryListTest, ManualSelectionIsRefusedWithAFullList) {
  auto d = Open();
  int opened = 0;
  for (int i = 0; i < 64; ++i) {
    host_.manual_selection = [&](ManualSelectionLogic& m) {
      ++opened;
      m.EditIpv4("10.0.1." + std::to_string(i + 1));
      m.EditName("D" + std::to_string(i));
      return m.Ok();
    };
    d->ManualSelection();
  }
  ASSERT_EQ(d->rows().size(), 64u);
  d->ManualSelection();
  EXPECT_EQ(opened, 64);  // the 65th was not opened
  EXPECT_EQ(screen_.shown().back().message.text.id, 47u);
}

TEST_F(DiscoveryListTest, SettingsTakeOverAndSnmpV3RowsAreAskedAgain) {
  // TCP/IP usable for the settings dialog; no run is started in this test.
  Protocols p = Offline();
  p.tcpip = true;
  p.local_ipv4 = 0x0A000001;
  p.mask = 0xFFFFFF00;
  auto d = Open(p);
  d->Select(std::nullopt);
  // Two SNMPv3 rows as a run would have listed them; one device stops
  // answering with the new ID file.
  auto& reg = env_.registry();
  const std::string id = env_.root() + "/v3.id";
  ASSERT_TRUE(IdFileLibrary("idfile").Encrypt(id, {"MFP", "u", "authpass123", "", 2, 1}));
  reg.SetValue(platform::RegRoot::kCurrentUser, kKey, "SNMPVersion", platform::RegValue::Dword(3));
  reg.SetValue(platform::RegRoot::kCurrentUser, kKey, "IDFilePath", platform::RegValue::String(id));
  AddByHand(*d, "10.0.0.5", "Stays");
  AddByHand(*d, "10.0.0.6", "Goes");
  ASSERT_EQ(d->rows().size(), 2u);
  ASSERT_EQ(d->rows()[1].version, 3);
  d->Select(1);
  silent_.insert("10.0.0.6");

  bool cancelled_once = false;
  host_.search_settings = [&](SearchSettingsLogic& s) {
    if (!cancelled_once) {
      cancelled_once = true;
      s.SetIpv6(false);
      return false;
    }
    s.SetIpv6(false);
    s.SetUseSubnet(false);
    return s.Ok();
  };
  d->Advanced();  // cancelled: nothing taken over
  EXPECT_TRUE(d->session().search_settings().use_subnet);
  d->Advanced();
  EXPECT_FALSE(d->session().search_settings().use_subnet);
  ASSERT_TRUE(PollUntil(*d, [&] { return d->rows().size() == 1; }));
  EXPECT_EQ(d->rows()[0].name, "Stays");
  EXPECT_FALSE(d->view().selected);  // the selected row went
  EXPECT_FALSE(d->view().ok_enabled);
}

TEST_F(DiscoveryListTest, HelpOpensTheListPage) {
  auto d = Open();
  d->Help();
  ASSERT_EQ(screen_.shown().size(), 1u);
  EXPECT_EQ(screen_.shown()[0].text,
            "The help page " + env_.root() + "/help/finder-1002.html cannot be opened.");
  platform::WriteTestFile(env_.root() + "/help/finder-1002.html", "<html></html>");
  d->Help();
  EXPECT_EQ(screen_.urls(),
            std::vector<std::string>{"file://" + env_.root() + "/help/finder-1002.html"});
}

}  // namespace
}  // namespace finder
