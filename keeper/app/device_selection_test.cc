// Choosing the device: the discovery at the first start, Device Discovery
// (with the way back when the new device's password is not given), the list
// of devices found earlier, the not-found dialog's Discover, and the SNMP
// settings each connection is opened with.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "keeper/app/testing/main_window_fixture.h"
#include "platform/event.h"
#include "platform/testing/temp_dir.h"
#include "platform/text.h"
#include "standins/cryptocore/crypto_core.h"

namespace keeper {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;

class DeviceSelectionTest : public MainWindowFixture {
 protected:
  // What the discovery does when the user picks a device: it rewrites the
  // whole key, the list first, the selection last.
  void DiscoveryPicks(const std::string& address, const std::string& name) {
    finder_.user = [this, address, name] {
      Reg().DeleteKeyTree(platform::RegRoot::kCurrentUser, kBaseKey);
      ListDevice(0, kDevA, "Office (renamed)");
      ListDevice(1, kDevB, "Lab");
      Select(address, name);
    };
  }

  // Started and connected to device A (OpenResult `open_a`).
  void StartOnA(uint32_t open_a = 1) {
    Select(kDevA, "Office");
    ListDevice(0, kDevA, "Office");
    Device(kDevA, open_a);
    Answer(u"admin00");
    ASSERT_TRUE(Logic().Open());
    ASSERT_TRUE(Logic().connected());
    service_.ClearCalls();
    view_.log.clear();
  }

  std::string Str(const char* s) { return s; }
};

TEST_F(DeviceSelectionTest, TheFirstStartRunsTheDiscovery) {
  Device(kDevA, 1);
  Answer(u"admin00");
  finder_.user = [this] {
    // The discovery may take the guard: keeper's own is already gone.
    EXPECT_EQ(platform::Event::OpenNamed(kDiscoveryGuardEvent), nullptr);
    ListDevice(0, kDevA, "Office");
    Select(kDevA, "Office");
  };
  ASSERT_TRUE(Logic().Open());
  EXPECT_EQ(finder_.runs, 1);
  EXPECT_THAT(finder_.loaded_names, ElementsAre("finder"));
  EXPECT_THAT(finder_.definitions,
              ElementsAre(platform::Utf8ToUtf16(env_.ProgramDir() +
                                                "/ZELT_Discovery.bin")));
  EXPECT_TRUE(Logic().connected());
  EXPECT_EQ(Logic().app().device.address, kDevA);
  EXPECT_EQ(Logic().app().device.model, "Model of Office");
}

TEST_F(DeviceSelectionTest, AFirstStartWithoutAChoiceEndsTheProgram) {
  ASSERT_FALSE(Logic().Open());
  EXPECT_EQ(finder_.runs, 1);
  EXPECT_THAT(service_.calls, IsEmpty());
  EXPECT_THAT(Messages(), IsEmpty());
}

TEST_F(DeviceSelectionTest, ThreeOfTheFourValuesAreAFirstStart) {
  for (const char* missing : {"Last Selected IP", "Last Selected Name",
                              "Last Selected Location",
                              "Last Selected SNMP Version"}) {
    SCOPED_TRACE(missing);
    logic_.reset();
    finder_.runs = 0;
    Select(kDevA, "Office");
    Reg().DeleteValue(platform::RegRoot::kCurrentUser, kBaseKey, missing);
    EXPECT_FALSE(Logic().Open());
    EXPECT_EQ(finder_.runs, 1);
    EXPECT_THAT(service_.calls, IsEmpty());
  }
}

TEST_F(DeviceSelectionTest, AnOpenDiscoveryOrAMissingLibraryIsSaid) {
  {
    auto open = platform::Event::CreateNamed(kDiscoveryGuardEvent, true, false);
    EXPECT_FALSE(Logic().Open());
    EXPECT_THAT(Messages(), ElementsAre(T(199)));
    EXPECT_THAT(finder_.loaded_names, IsEmpty());
  }
  logic_.reset();
  screen_->Clear();
  finder_.loadable = false;
  EXPECT_FALSE(Logic().Open());
  EXPECT_THAT(Messages(), ElementsAre(T(209)));
  EXPECT_EQ(screen_->shown()[0].caption, T(88));
}

TEST_F(DeviceSelectionTest, DeviceDiscoverySwitchesToTheChosenDevice) {
  StartOnA();
  Device(kDevB, 1).boxes = {{7, "Lab box", false, {}}};
  DiscoveryPicks(kDevB, "Lab");
  Answer(u"admin00");
  Logic().OnDeviceDiscovery();
  EXPECT_EQ(view_.log.front(), "hide");
  EXPECT_THAT(view_.log, Contains("show"));
  EXPECT_TRUE(view_.window_shown);
  EXPECT_EQ(Logic().app().device.address, kDevB);
  EXPECT_EQ(Logic().app().device.model, "Model of Lab");
  EXPECT_TRUE(Logic().connected());
  ASSERT_EQ(Logic().link().boxes.size(), 1u);
  EXPECT_EQ(Logic().link().boxes[0].name, "Lab box");
  EXPECT_EQ(service_.calls.front(), Str("Close ") + kDevA);
  EXPECT_EQ(view_.address, kDevB);
  EXPECT_EQ(Value("Last Selected IP"), kDevB);
  EXPECT_EQ(view_.connecting_open, 0);
  EXPECT_GE(view_.refreshes, 1);
}

TEST_F(DeviceSelectionTest, WithoutThePasswordForTheNewDeviceTheOldOneComesBack) {
  struct Case {
    const char* name;
    uint32_t open_a, open_b;
    bool cancel;  // else a wrong password
  } cases[] = {{"cancelled, restricted", 1, 1, true},
               {"refused, restricted", 1, 1, false},
               {"cancelled, full sessions", 0, 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    logic_.reset();
    service_.devices.clear();
    prompt_.prompts = 0;
    StartOnA(c.open_a);
    Device(kDevB, c.open_b);
    DiscoveryPicks(kDevB, "Lab");
    if (c.cancel)
      Cancel();
    else
      Answer(u"wrong");
    Logic().OnDeviceDiscovery();

    // The old device is back: in memory, in the registry (its list entry
    // as it was), and connected again with its credential, unasked.
    EXPECT_EQ(prompt_.prompts, 2);
    EXPECT_EQ(Logic().app().device.address, kDevA);
    EXPECT_EQ(Logic().app().device.name, "Office");
    EXPECT_EQ(Logic().app().credential, "admin00");
    EXPECT_TRUE(Logic().connected());
    EXPECT_EQ(Logic().link().boxes.size(), 2u);
    EXPECT_EQ(Value("Last Selected IP"), kDevA);
    EXPECT_EQ(Value("Last Selected Name"), "Office");
    EXPECT_EQ(Value("Last Selected SNMP Version"), "V1/V2");
    EXPECT_EQ(Value("Name0"), "Office");
    EXPECT_EQ(Value("Name1"), "Lab");
    EXPECT_EQ(view_.address, kDevA);
    EXPECT_EQ(service_.calls.back(), Str("List ") + kDevA);
    EXPECT_FALSE(Logic().flags().skip_refresh);
  }
}

TEST_F(DeviceSelectionTest, ClosingTheDiscoveryWithoutAChoiceChangesNothing) {
  StartOnA();
  Logic().OnDeviceDiscovery();  // the user closed it
  EXPECT_EQ(finder_.runs, 1);
  EXPECT_THAT(service_.calls, IsEmpty());
  EXPECT_THAT(view_.log, ElementsAre("hide", "show"));
  EXPECT_TRUE(Logic().connected());
}

TEST_F(DeviceSelectionTest, ChoosingTheSameDeviceAgainDoesNotReconnect) {
  StartOnA();
  DiscoveryPicks(kDevA, "Office");
  Logic().OnDeviceDiscovery();
  EXPECT_THAT(service_.calls, IsEmpty());
  EXPECT_EQ(prompt_.prompts, 1);
  EXPECT_TRUE(Logic().connected());
}

TEST_F(DeviceSelectionTest, DiscoverInTheNotFoundDialogLooksForAnotherDevice) {
  Select(kDevA, "Office");
  ListDevice(0, kDevA, "Office");
  // A is switched off; B answers.
  Device(kDevB, 0);
  view_.not_found_answers.push_back(NotFoundChoice::kDiscover);
  DiscoveryPicks(kDevB, "Lab");
  Answer(u"admin00");
  ASSERT_TRUE(Logic().Open());
  EXPECT_EQ(view_.not_found_shown, 1);
  EXPECT_EQ(finder_.runs, 1);
  EXPECT_TRUE(Logic().connected());
  EXPECT_EQ(Logic().app().device.address, kDevB);
}

TEST_F(DeviceSelectionTest, OkInTheNotFoundDialogOpensTheWindowUnconnected) {
  Select(kDevA, "Office");
  ASSERT_TRUE(Logic().Open());
  EXPECT_EQ(view_.not_found_shown, 1);
  EXPECT_EQ(finder_.runs, 0);
  EXPECT_FALSE(Logic().connected());
}

TEST_F(DeviceSelectionTest, TheListOfDevicesFoundEarlier) {
  StartOnA();
  ListDevice(1, kDevB, "Lab");
  // An incomplete entry is no row.
  SetValue("Address5", "192.0.2.99");
  SetValue("Name5", "Half");
  Device(kDevB, 1);
  Answer(u"admin00");
  std::vector<std::string> rows;
  std::optional<size_t> current;
  view_.device_list = [&](DiscoveredDeviceList& list) {
    for (const auto& r : list.rows()) rows.push_back(r.address);
    current = list.current_row();
    EXPECT_FALSE(list.Ok(std::nullopt));  // nothing selected: stays open
    return list.Ok(1);
  };
  Logic().OnSettings();
  EXPECT_THAT(rows, ElementsAre(kDevA, kDevB));
  EXPECT_EQ(current, 0u);
  EXPECT_THAT(Messages(), ElementsAre(T(60)));
  EXPECT_EQ(Value("Last Selected IP"), kDevB);
  EXPECT_EQ(Value("Last Selected Name"), "Lab");
  EXPECT_EQ(Value("Last Selected Location"), "Floor Lab");
  EXPECT_EQ(Value("Last Selected SNMP Version"), "V1/V2");
  EXPECT_EQ(Logic().app().device.model, "Model of Lab");
  EXPECT_TRUE(Logic().connected());
  EXPECT_EQ(Logic().app().device.address, kDevB);
  EXPECT_EQ(Logic().link().auth_dialog_handle, 77u);
}

TEST_F(DeviceSelectionTest, TheSameDeviceFromTheListDoesNotReconnect) {
  StartOnA();
  view_.device_list = [](DiscoveredDeviceList& list) { return list.Ok(0); };
  Logic().OnSettings();
  EXPECT_THAT(service_.calls, IsEmpty());
  view_.device_list = nullptr;  // Cancel
  Logic().OnSettings();
  EXPECT_THAT(service_.calls, IsEmpty());
  EXPECT_TRUE(Logic().connected());
}

TEST_F(DeviceSelectionTest, SnmpSettingsFollowTheDevicesVersion) {
  // No community stored: "public".
  StartOnA();
  EXPECT_STREQ(service_.last_snmp.Community, "public");
  EXPECT_STREQ(service_.last_snmp.UserName, "");

  // An SNMPv3 device: the ID file named under the settings key, read with
  // the cipher library.
  platform::ScopedTempDir dir;
  const std::string id_file = dir.path() + "/v3.id";
  zelt::crypto::IdFileContent content;
  content.context = "ctx";
  content.user_name = "authpriv";
  content.auth_password = "authpass123";
  content.priv_password = "privpass123";
  content.auth_protocol = 2;
  content.priv_protocol = 4;
  ASSERT_TRUE(zelt::crypto::WriteIdFile(id_file, content));
  SetValue("SNMPCommunityName", "lab");
  Device(kDevB, 1);
  DiscoveryPicks(kDevB, "Lab");
  finder_.user = [this, user = finder_.user, id_file] {
    user();
    SetValue("Last Selected SNMP Version", "V3");
    SetValue("IDFilePath", id_file);
  };
  Answer(u"admin00");
  Logic().OnDeviceDiscovery();
  const ZBSNMPSETTINGS& v3 = service_.last_snmp;
  EXPECT_STREQ(v3.UserName, "authpriv");
  EXPECT_STREQ(v3.AuthPassword, "authpass123");
  EXPECT_STREQ(v3.PrivPassword, "privpass123");
  EXPECT_STREQ(v3.Context, "ctx");
  EXPECT_EQ(v3.AuthProtocol, 2u);
  EXPECT_EQ(v3.PrivProtocol, 4u);
  // Nothing of an SNMPv1 device is left to override the version.
  EXPECT_STREQ(v3.Community, "");

  // Back to an SNMPv1 device: its community, and no SNMPv3 user left.
  view_.device_list = [](DiscoveredDeviceList& list) { return list.Ok(0); };
  SetValue("SNMPCommunityName", "lab");
  Answer(u"admin00");
  Logic().OnSettings();
  EXPECT_STREQ(service_.last_snmp.Community, "lab");
  EXPECT_STREQ(service_.last_snmp.UserName, "");
  EXPECT_EQ(service_.last_snmp.AuthProtocol, 0u);
}

}  // namespace
}  // namespace keeper
