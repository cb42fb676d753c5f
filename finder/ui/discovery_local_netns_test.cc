// The device list as keeper opens it: libfinder.so loaded by path,
// DoNetworkDiscoveryEx with keeper's product definition, the dialog driven
// with QTest while simulated devices answer in a network of the test's own
// (every broadcast stays inside namespaces this test makes).
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "finder/finder.h"
#include "finder/id_file.h"
#include "finder/testing/discovery_lab.h"
#include "platform/env.h"
#include "platform/event.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"
#include "platform/text.h"
#include "snmpcore/snmp.h"

namespace finder {
namespace {

using testing::TestNetwork;

constexpr char kKey[] = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";
constexpr auto kUser = platform::RegRoot::kCurrentUser;

// Runs `script` on the list dialog once it is up, inside the call that
// shows it.
void OnDialog(std::function<void(QDialog*)> script,
              const char* name = "CDiscoveryLocal") {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, script, name] {
    auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!d || !d->isVisible() || d->objectName() != name) return;
    timer->stop();
    timer->deleteLater();
    script(d);
  });
  timer->start();
}

QPushButton* Button(QDialog* d, const char* name) {
  return d->findChild<QPushButton*>(name);
}

void Click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

// Waits (handling events) until the list shows a row of that name and
// version label; its index, or -1.
int WaitForRow(QDialog* d, const QString& name, const QString& version) {
  auto* list = d->findChild<QTreeWidget*>("devices");
  for (int i = 0; i < 600; ++i) {
    for (int r = 0; r < list->topLevelItemCount(); ++r) {
      QTreeWidgetItem* item = list->topLevelItem(r);
      if (item->text(0) == name && item->text(2) == version) return r;
    }
    QTest::qWait(50);
  }
  return -1;
}

class DiscoveryLocalNetnsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    lab_ = testing::DiscoveryLab::Create(&why_).release();
    if (lab_) snmpcore::SetTimeoutDivisor(4);
  }
  static void TearDownTestSuite() {
    snmpcore::SetTimeoutDivisor(1);
    delete lab_;
    lab_ = nullptr;
  }

  void SetUp() override {
    if (!lab_) GTEST_SKIP() << "no test network: " << why_;
    std::string error;
    ASSERT_TRUE(lab_->RestartDummyOnly(&error)) << error;
    handle_ = dlopen((platform::Env::Default()->ProgramDir() + "/libfinder.so").c_str(),
                     RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    discover_ = reinterpret_cast<decltype(&DoNetworkDiscoveryEx)>(
        dlsym(handle_, "DoNetworkDiscoveryEx"));
    ASSERT_NE(discover_, nullptr);
    // Stored settings: both SNMP versions with an ID file, the community
    // name, a short actual pass, and the device chosen before.
    const std::string id_file = env_.root() + "/lab.id";
    ASSERT_TRUE(IdFileLibrary("idfile").Encrypt(
        id_file, {"MFP", "authpriv", "authpass123", "privpass123", 2, 4}));
    auto& reg = env_.registry();
    reg.SetValue(kUser, kKey, "SNMPVersion", platform::RegValue::Dword(13));
    reg.SetValue(kUser, kKey, "IDFilePath", platform::RegValue::String(id_file));
    reg.SetValue(kUser, kKey, "SNMPCommunityName", platform::RegValue::String("public"));
    for (auto [name, value] : kBefore)
      reg.SetValue(kUser, kKey, name, platform::RegValue::String(value));
    platform::WriteTestFile(env_.ProgramDataDir() + "/finder-timeout.ini",
                            "[BroadcastTimeout]\nTimeoutValue=3\n");
  }
  void TearDown() override {
    if (handle_) dlclose(handle_);
  }

  int Discover() {
    std::u16string path = platform::Utf8ToUtf16(platform::Env::Default()->ProgramDir() +
                                                "/ZELT_Discovery.bin");
    return discover_(path.c_str());
  }
  std::string Get(const char* name) {
    auto v = env_.registry().GetValue(kUser, kKey, name);
    return v ? v->text : "<none>";
  }
  void ExpectTheDeviceChosenBefore() {
    for (auto [name, value] : kBefore) EXPECT_EQ(Get(name), value) << name;
    EXPECT_EQ(Get("Address0"), "<none>");
  }

  static constexpr std::pair<const char*, const char*> kBefore[] = {
      {"Last Selected IP", "10.9.9.9"},
      {"Last Selected Name", "Before"},
      {"Last Selected Location", "Elsewhere"},
      {"Last Selected SNMP Version", "V1/V2"}};

  static testing::DiscoveryLab* lab_;
  static std::string why_;
  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
  void* handle_ = nullptr;
  decltype(&DoNetworkDiscoveryEx) discover_ = nullptr;
};

testing::DiscoveryLab* DiscoveryLocalNetnsTest::lab_ = nullptr;
std::string DiscoveryLocalNetnsTest::why_;

TEST_F(DiscoveryLocalNetnsTest, StartSelectOkStoresTheSelectionForKeeper) {
  TestNetwork::Inside inside(lab_->network().client());
  ASSERT_TRUE(inside.entered());
  int second_call = -1;
  OnDialog([&](QDialog* d) {
    // Another discovery while this one is open is refused at once.
    second_call = Discover();
    Click(Button(d, "start"));
    int row = WaitForRow(d, "DEV1", "V3");
    ASSERT_GE(row, 0) << "the dual device never answered with SNMPv3";
    auto* list = d->findChild<QTreeWidget*>("devices");
    QRect r = list->visualItemRect(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    ASSERT_TRUE(Button(d, "ok")->isEnabled());
    Click(Button(d, "ok"));
  });
  EXPECT_EQ(Discover(), 1);
  EXPECT_EQ(second_call, 0);
  // As the list's OK writes it, where keeper reads it.
  EXPECT_EQ(Get("Last Selected IP"), "10.77.0.12");
  EXPECT_EQ(Get("Last Selected Name"), "DEV1");
  EXPECT_EQ(Get("Last Selected Location"), "Room 1");
  EXPECT_EQ(Get("Last Selected SNMP Version"), "V3");
  EXPECT_EQ(env_.registry().GetValue(kUser, kKey, "SNMPVersion"),
            platform::RegValue::Dword(13));
  EXPECT_EQ(Get("SNMPCommunityName"), "public");
  // Every row listed by then, numbered from 0, each with its five values.
  int rows = 0;
  while (Get(("Address" + std::to_string(rows)).c_str()) != "<none>") {
    const std::string n = std::to_string(rows);
    for (const char* v : {"Name", "SNMP Version", "Location", "Model"})
      EXPECT_NE(Get((v + n).c_str()), "<none>") << v << n;
    ++rows;
  }
  EXPECT_GE(rows, 1);
  // The guard went with the dialog.
  EXPECT_EQ(platform::Event::OpenNamed("LaunchLD"), nullptr);
}

TEST_F(DiscoveryLocalNetnsTest, CancelAndCloseLeaveTheChosenDevice) {
  TestNetwork::Inside inside(lab_->network().client());
  ASSERT_TRUE(inside.entered());
  // Cancel with a row selected.
  OnDialog([&](QDialog* d) {
    Click(Button(d, "start"));
    int row = WaitForRow(d, "DEV0", "V1/V2");
    ASSERT_GE(row, 0);
    d->findChild<QTreeWidget*>("devices")->topLevelItem(row)->setSelected(true);
    Click(Button(d, "cancel"));
  });
  EXPECT_EQ(Discover(), 1);
  ExpectTheDeviceChosenBefore();

  // Close: refused while the search runs, accepted once it is stopped.
  bool stayed_open = false;
  OnDialog([&](QDialog* d) {
    Click(Button(d, "start"));
    ASSERT_GE(WaitForRow(d, "DEV0", "V1/V2"), 0);
    d->findChild<QTreeWidget*>("devices")->topLevelItem(0)->setSelected(true);
    d->close();
    QTest::qWait(50);
    stayed_open = d->isVisible();
    Click(Button(d, "start"));  // Stop
    d->close();
  });
  EXPECT_EQ(Discover(), 1);
  EXPECT_TRUE(stayed_open);
  ExpectTheDeviceChosenBefore();
}

// A device entered by its IPv6 address is asked and listed, and stored
// like any other row.
TEST_F(DiscoveryLocalNetnsTest, ManualIpv6EntryIsAskedAndListed) {
  TestNetwork::Inside inside(lab_->network().client());
  ASSERT_TRUE(inside.entered());
  int listed = -1;
  OnDialog([&](QDialog* d) {
    OnDialog(
        [](QDialog* m) {
          m->findChild<QRadioButton*>("chooseIpv6")->click();
          QTest::keyClicks(m->findChild<QLineEdit*>("ipv6Address"), "FD77::0012");
          QTest::keyClicks(m->findChild<QLineEdit*>("name"), "Lab printer");
          QTest::keyClicks(m->findChild<QLineEdit*>("location"), "Building B");
          Click(m->findChild<QPushButton*>("ok"));
        },
        "CManualSelection");
    Click(Button(d, "manual"));
    listed = WaitForRow(d, "Lab printer", "V1/V2");
    ASSERT_GE(listed, 0);
    auto* list = d->findChild<QTreeWidget*>("devices");
    EXPECT_EQ(list->topLevelItem(listed)->text(1), "fd77::12");
    EXPECT_EQ(list->topLevelItem(listed)->text(4), "DEV1");  // its sysName
    list->topLevelItem(listed)->setSelected(true);
    Click(Button(d, "ok"));
  });
  EXPECT_EQ(Discover(), 1);
  EXPECT_EQ(Get("Last Selected IP"), "fd77::12");
  EXPECT_EQ(Get("Last Selected Name"), "Lab printer");
  EXPECT_EQ(Get("Address0"), "fd77::12");
}

}  // namespace
}  // namespace finder
