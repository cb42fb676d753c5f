// The administrative exports against the simulated device: the exclusive
// job mode and its patient release, FTP accounts, deletions, renumbering
// and last backup dates.
#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "boxlink.h"
#include "boxlink/testing/device_session_fixture.h"
#include "platform/env.h"
#include "platform/registry.h"
#include "standins/ftplibpp/ftplib.h"
#include "standins/inet/net_state.h"

namespace {

using boxlink::testing::DeviceSession;
using boxlink::testing::kAdmin;
using devsim::Fault;
using boxlink::testing::ResultFault;

constexpr char kTuningKey[] = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";

// Answers the release retry's reachability check as the test says.
class FakeNetwork final : public inet::NetworkState {
 public:
  explicit FakeNetwork(bool reachable) : reachable_(reachable) {}
  bool ConnectedState(bool* online) override {
    *online = true;
    return true;
  }
  bool CheckConnection(std::string_view url, bool force) override {
    std::lock_guard<std::mutex> g(mu_);
    checks_.push_back(std::string(url) + (force ? " forced" : ""));
    return reachable_;
  }
  std::vector<std::string> checks() const {
    std::lock_guard<std::mutex> g(mu_);
    return checks_;
  }

 private:
  const bool reachable_;
  mutable std::mutex mu_;
  std::vector<std::string> checks_;
};

// Whether the device's FTP service lets this login in.
bool FtpLoginWorks(DeviceSession& d, const char* user, const char* password) {
  ftplib ftp(0, 0);
  if (!ftp.Connect(d.dev().address().c_str(), d.dev().profile().ftp_port, 0))
    return false;
  bool ok = ftp.Login(user, password) != 0;
  ftp.Quit();
  return ok;
}

class AdminOpsTest : public ::testing::TestWithParam<bool> {};

TEST_P(AdminOpsTest, ExclusiveModeIsHeldUntilReleased) {
  DeviceSession d(GetParam());
  uint32_t device_time = 1;
  ASSERT_EQ(zbBoxLockUiJob(d.s(), kAdmin, 1, &device_time), 0u);
  EXPECT_TRUE(d.state().exclusive());
  EXPECT_EQ(d.state().exclusive_mode(), 1u);
  EXPECT_EQ(d.state().exclusive_session(), d.s()->SessionId);
  EXPECT_NEAR(static_cast<double>(device_time),
              static_cast<double>(platform::Env::Current()->clock().UnixTime()), 5);
  uint32_t again = 0;
  EXPECT_EQ(zbBoxLockUiJob(d.s(), kAdmin, 0, &again), 170u) << "busy";
  EXPECT_EQ(again, 0u);
  EXPECT_EQ(zbBoxUnlockUiJob(d.s(), kAdmin, 1), 0u);
  EXPECT_FALSE(d.state().exclusive());
}

TEST_P(AdminOpsTest, FtpAccountComesAndGoes) {
  const bool restricted = GetParam();
  DeviceSession d(restricted);
  std::strcpy(d.s()->FtpPassword, "caller's");
  char login[256] = {};
  ASSERT_EQ(zbBoxCreateFTPAccount(d.s(), kAdmin, login), 0u);
  EXPECT_EQ(std::string(login), d.state().ftp_user(d.s()->SessionId));
  const devsim::FtpAccount* account = nullptr;
  for (const auto& a : d.dev().profile().ftp_accounts)
    if (a.user == login) account = &a;
  ASSERT_NE(account, nullptr);
  if (restricted) {
    EXPECT_EQ(std::string(d.s()->FtpPassword), account->password);
    EXPECT_FALSE(account->password.empty());
  } else {
    EXPECT_STREQ(d.s()->FtpPassword, "caller's");
    EXPECT_EQ(account->password, kAdmin);
  }
  const std::string password = account->password;
  EXPECT_TRUE(FtpLoginWorks(d, login, password.c_str()));
  EXPECT_FALSE(FtpLoginWorks(d, login, "not it"));
  ASSERT_EQ(zbBoxDeleteFTPAccount(d.s(), kAdmin), 0u);
  for (const auto& a : d.dev().profile().ftp_accounts) EXPECT_NE(a.user, login);
  EXPECT_FALSE(FtpLoginWorks(d, login, password.c_str()));
}

TEST_P(AdminOpsTest, DeletionsRenumberingAndBackupDatesReachTheStore) {
  const bool restricted = GetParam();
  DeviceSession d(restricted);
  devsim::BoxStore& store = d.dev().store();
  ASSERT_TRUE(store.GetItem(7, 0, devsim::ItemKind::kDocument, 1));
  ASSERT_EQ(zbBoxDeleteDocument(d.s(), 7, kAdmin, 0, 1, "", "D0000001"), 0u);
  EXPECT_FALSE(store.GetItem(7, 0, devsim::ItemKind::kDocument, 1));
  // A document inside a folder.
  std::vector<devsim::ItemInfo> in_folder = store.ListItems(7, 1);
  ASSERT_FALSE(in_folder.empty());
  const uint32_t doc = in_folder.front().number;
  ASSERT_EQ(zbBoxDeleteDocument(d.s(), 7, kAdmin, 1, doc, "F0000001",
                                ("D000000" + std::to_string(doc)).c_str()),
            0u);
  EXPECT_FALSE(store.GetItem(7, 1, devsim::ItemKind::kDocument, doc));
  EXPECT_EQ(d.LastQuery("boxnwDeleteDoc"),
            d.Sid() + "&BNO=007&PWD=admin00&FID=F0000001&DID=D000000" +
                std::to_string(doc));

  ASSERT_EQ(zbBoxDirSerialClusterChange(d.s(), 7, kAdmin, 0, 0, 2, 1), 0u);
  ASSERT_EQ(zbBoxDirSerialClusterChange(d.s(), 8, kAdmin, 3, 4, 0, 0), 0u);
  auto changes = d.state().cluster_changes();
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].box, 7u);
  EXPECT_EQ(changes[0].fid, "");
  EXPECT_EQ(changes[0].did, "");
  EXPECT_EQ(changes[0].noc, "2");
  EXPECT_EQ(changes[0].mod, "1");
  EXPECT_EQ(changes[1].fid, "F0000003");
  EXPECT_EQ(changes[1].did, "D0000004");

  const uint32_t boxes[] = {8, 7};
  ASSERT_EQ(zbBoxUpdateLastBackupDates(d.s(), kAdmin, 1767225600, 2, boxes), 0u);
  EXPECT_EQ(d.LastMethod("boxnwChangeLastBackupDate"), "POST");
  EXPECT_EQ(store.GetBox(7)->last_backup_date, 1767225600u);
  EXPECT_EQ(store.GetBox(8)->last_backup_date, 1767225600u);

  ASSERT_EQ(zbBoxDeleteAllBox(d.s(), kAdmin), 0u);
  EXPECT_TRUE(store.ListBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Sessions, AdminOpsTest, ::testing::Bool(),
                         [](const auto& info) {
                           return info.param ? "Restricted" : "Normal";
                         });

TEST(AdminOpsLockTest, LockSwitchLeavesThePanelAlone) {
  DeviceSession d(false);
  ASSERT_TRUE(platform::Env::Current()->registry().SetValue(
      platform::RegRoot::kCurrentUser, kTuningKey, "Lock",
      platform::RegValue::Dword(1)));
  d.s()->Alive = 0;
  uint32_t device_time = 12345;
  EXPECT_EQ(zbBoxLockUiJob(d.s(), kAdmin, 0, &device_time), 0u);
  EXPECT_EQ(device_time, 12345u);
  EXPECT_EQ(d.s()->Alive, 1u);
  EXPECT_EQ(d.Count("boxnwBoxExModeIn"), 0u);
  EXPECT_FALSE(d.state().exclusive());
  EXPECT_EQ(zbBoxUnlockUiJob(d.s(), kAdmin, 0), 0u);
  EXPECT_EQ(d.Count("boxnwBoxExModeOut"), 1u);
  // Zero is the same as no switch.
  ASSERT_TRUE(platform::Env::Current()->registry().SetValue(
      platform::RegRoot::kCurrentUser, kTuningKey, "Lock",
      platform::RegValue::Dword(0)));
  EXPECT_EQ(zbBoxLockUiJob(d.s(), kAdmin, 0, &device_time), 0u);
  EXPECT_EQ(d.Count("boxnwBoxExModeIn"), 1u);
}

TEST(AdminOpsRetryTest, ReleaseSucceedsOnTheThirdTryAfterTwoMinutes) {
  DeviceSession d(false);
  FakeNetwork net(true);
  inet::ScopedNetworkState use(&net);
  d.dev().faults().Arm("web.boxnwBoxExModeOut.result", ResultFault(203), 2);
  const size_t sleeps_before = d.env().test_clock().Sleeps().size();
  EXPECT_EQ(zbBoxRetryUnlockUiJob(d.s(), kAdmin, 0), 0u);
  EXPECT_EQ(zbBoxGetLastError(), 0u);
  EXPECT_EQ(d.Count("boxnwBoxExModeOut"), 3u);
  std::vector<uint32_t> sleeps = d.env().test_clock().Sleeps();
  std::vector<uint32_t> ours(sleeps.begin() + sleeps_before, sleeps.end());
  std::erase_if(ours, [](uint32_t ms) { return ms != 60000; });
  EXPECT_EQ(ours, (std::vector<uint32_t>{60000, 60000}));
  std::vector<std::string> checks = net.checks();
  std::erase_if(checks, [](const std::string& c) { return c.find("/Halvo") == std::string::npos; });
  ASSERT_EQ(checks.size(), 2u);
  EXPECT_EQ(checks[0], "http://" + d.dev().address() + ":8080/Halvo forced");
}

// The reachability check between the release attempts asks the device's
// web server in the protocol it speaks: on a TLS device the retry goes on
// instead of ending after the first refusal.
void TlsWebProbe(ZBSESSION* s, const void*) {
  s->WebPort = 8080;
  s->WebSecure = 1;
  s->Port = 8080;
}

TEST(AdminOpsRetryTest, ReleaseOnATlsDeviceIsRetried) {
  platform::FakeEnv env(20);  // TLS handshakes need some real time
  platform::ScopedEnv use(&env);
  boxlink::ScopedPortProbes probes({&TlsWebProbe, &boxlink::testing::FixedFtpProbe});
  devsim::Profile p = devsim::Profile::Defaults(devsim::Layout::kClassic);
  p.web_tls = true;
  devsim::ScopedDevice dev(p, {"web"}, boxlink::testing::Boxes());
  ASSERT_TRUE(dev.ok()) << dev.error();
  ZBSESSION s{};
  std::snprintf(s.Host, sizeof s.Host, "%s", dev->address().c_str());
  s.Port = 8080;
  ASSERT_EQ(zbBoxOpenConnection(&s, nullptr), 0u);
  dev->faults().Arm("web.boxnwBoxExModeOut.result", ResultFault(203), 2);
  EXPECT_EQ(zbBoxRetryUnlockUiJob(&s, kAdmin, 0), 0u);
  EXPECT_EQ(devsim::web::WebService::Of(*dev)->RequestsTo("boxnwBoxExModeOut").size(), 3u);
  EXPECT_EQ(zbBoxCloseConnection(&s), 0u);
  boxlink::CLogger::StopLog();
}

TEST(AdminOpsRetryTest, ReleaseGivesUpAfterTenRetries) {
  DeviceSession d(false);
  FakeNetwork net(true);
  inet::ScopedNetworkState use(&net);
  d.dev().faults().Arm("web.boxnwBoxExModeOut.result", ResultFault(203), -1);
  EXPECT_EQ(zbBoxRetryUnlockUiJob(d.s(), kAdmin, 0), 1279u);
  EXPECT_EQ(zbBoxGetLastError(), 1279u);
  EXPECT_EQ(d.Count("boxnwBoxExModeOut"), 11u);
}

TEST(AdminOpsRetryTest, ReleaseEndsAtOnceForAGoneDeviceOrSession) {
  {
    DeviceSession d(false);
    FakeNetwork net(false);
    inet::ScopedNetworkState use(&net);
    d.dev().faults().Arm("web.boxnwBoxExModeOut.result", ResultFault(203), -1);
    EXPECT_EQ(zbBoxRetryUnlockUiJob(d.s(), kAdmin, 0), 12029u);
    EXPECT_EQ(d.Count("boxnwBoxExModeOut"), 1u);
  }
  {
    DeviceSession d(false);
    FakeNetwork net(true);
    inet::ScopedNetworkState use(&net);
    d.dev().faults().Arm("web.boxnwBoxExModeOut.result", ResultFault(203), -1);
    d.s()->Alive = 0;
    EXPECT_EQ(zbBoxRetryUnlockUiJob(d.s(), kAdmin, 0), 170u);
    EXPECT_EQ(d.Count("boxnwBoxExModeOut"), 1u);
  }
}

TEST(AdminOpsAliveTest, WipeThatTimesOutMarksTheConnectionGone) {
  DeviceSession d(false);
  Fault hang;
  hang.kind = Fault::Kind::kHang;
  d.dev().faults().Arm("web.boxnwDeleteAllBox", hang);
  ASSERT_EQ(d.s()->Alive, 1u);
  EXPECT_EQ(zbBoxDeleteAllBox(d.s(), kAdmin), 12002u);
  EXPECT_EQ(d.s()->Alive, 0u);
  EXPECT_EQ(d.dev().store().ListBoxes().size(), 2u);
  // Any other failure leaves the flag alone.
  d.s()->Alive = 1;
  d.dev().faults().Arm("web.boxnwDeleteAllBox.result", ResultFault(203));
  EXPECT_EQ(zbBoxDeleteAllBox(d.s(), kAdmin), 170u);
  EXPECT_EQ(d.s()->Alive, 1u);
}

TEST(AdminOpsFormTest, PostEnginesSendBodiesAndRestrictedDeletesGoAsUtf16) {
  devsim::Profile p = devsim::Profile::Defaults(devsim::Layout::kClassic);
  p.engine_version = "Varda 4720c Series V2.0.0.0";
  DeviceSession d(p, false);
  ASSERT_EQ(zbBoxDeleteAllBox(d.s(), kAdmin), 0u);
  EXPECT_EQ(d.LastMethod("boxnwDeleteAllBox"), "POST");
  EXPECT_EQ(d.LastQuery("boxnwDeleteAllBox"), d.Sid() + "&PWD=admin00");

}

TEST(AdminOpsFormTest, RestrictedDeleteNamesTheDocumentInUtf16) {
  // The storage layout names its items; the restricted session passes the
  // name through, whatever its characters.
  DeviceSession d(true, devsim::Layout::kStorage);
  devsim::BoxStore& store = d.dev().store();
  std::string error;
  auto doc = store.CreateDocument(7, 0, "Gr\xC3\xBC\xC3\x9F \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x93\x84",
                                  {"page"}, 1700000000, &error);
  ASSERT_TRUE(doc) << error;
  ASSERT_EQ(zbBoxDeleteDocument(d.s(), 7, "boxpw", 0, 0, "", doc->name.c_str()), 0u);
  std::vector<devsim::web::RecordedRequest> r = d.web()->RequestsTo("boxnwDeleteDoc");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].method, "GET");
  // Characters beyond ASCII go out as UTF-8 bytes, not percent-encoded.
  EXPECT_NE(r[0].target.find("&PWD=boxpw&FID=&DID=Gr\xC3\xBC\xC3\x9F"),
            std::string::npos)
      << r[0].target;
  for (const auto& item : store.ListItems(7, 0)) EXPECT_NE(item.name, doc->name);
  // An empty document id is refused before any request.
  EXPECT_EQ(zbBoxDeleteDocument(d.s(), 7, "", 0, 5, "", ""), 87u);
  EXPECT_EQ(d.web()->RequestsTo("boxnwDeleteDoc").size(), 1u);
}

// Names and passwords reach the device as typed, whatever they hold: a
// character that would end a query field, start another, begin a
// fragment, or read as an escape or a space is encoded, and the device
// decodes it as web servers do.
constexpr const char* kReserved[] = {"&", "=", "#", "%", "+", " "};

bool HasItem(const devsim::BoxStore& store, uint32_t box, const std::string& name) {
  for (const auto& item : store.ListItems(box, 0))
    if (item.name == name) return true;
  return false;
}

TEST(AdminOpsQueryValueTest, PasswordsWithReservedCharactersOpenTheDevice) {
  for (bool post : {false, true}) {
    for (const char* c : kReserved) {
      SCOPED_TRACE(std::string(post ? "POST " : "GET ") + "'" + c + "'");
      devsim::Profile p = devsim::Profile::Defaults(devsim::Layout::kClassic);
      if (post) p.engine_version = "Varda 4720c Series V2.0.0.0";
      p.admin_password = std::string("ad") + c + "PWD=41" + c + "min";
      DeviceSession d(p, false);
      uint32_t device_time = 0;
      EXPECT_EQ(zbBoxLockUiJob(d.s(), p.admin_password.c_str(), 0, &device_time), 0u);
      EXPECT_TRUE(d.state().exclusive());
      EXPECT_EQ(zbBoxUnlockUiJob(d.s(), p.admin_password.c_str(), 0), 0u);
      // The wrong password is still wrong.
      EXPECT_NE(zbBoxLockUiJob(d.s(), "ad", 0, &device_time), 0u);

      ZBSECURITY sec{};
      sec.AuthenticationMethod = 2;
      std::snprintf(sec.Password, sizeof sec.Password, "%s", p.admin_password.c_str());
      EXPECT_EQ(zbBoxAuthenticate(d.s(), &sec), 0u);
    }
  }
}

TEST(AdminOpsQueryValueTest, RestrictedNamesAndBoxPasswordsArriveWhole) {
  DeviceSession d(true, devsim::Layout::kStorage);
  devsim::BoxStore& store = d.dev().store();
  std::string error;
  int round = 0;
  for (const char* c : kReserved) {
    SCOPED_TRACE(std::string("'") + c + "'");
    // The document to delete, and the one a cut or misread name would hit.
    const std::string x = "n" + std::to_string(++round) + "x";
    const std::string name = x + c + "41y";
    const std::string cs = c;
    const std::string decoy = cs == "%"                ? x + "Ay"
                              : cs == "+"              ? x + " 41y"
                              : cs == "&" || cs == "#" ? x
                                                       : name;
    ASSERT_TRUE(store.CreateDocument(7, 0, name, {"page"}, 1700000000, &error)) << error;
    if (decoy != name && !HasItem(store, 7, decoy)) {
      ASSERT_TRUE(store.CreateDocument(7, 0, decoy, {"page"}, 1700000000, &error)) << error;
    }
    EXPECT_EQ(zbBoxDeleteDocument(d.s(), 7, "", 0, 0, "", name.c_str()), 0u);
    EXPECT_FALSE(HasItem(store, 7, name));
    if (decoy != name) {
      EXPECT_TRUE(HasItem(store, 7, decoy));
    }

    // A protected box opens with its own password as typed.
    devsim::BoxInfo box = *store.GetBox(8);
    box.password = std::string("9") + c + "BNO=007";
    ASSERT_TRUE(store.UpdateBox(box, &error)) << error;
    ZBBOXPROPERTY prop{};
    EXPECT_EQ(zbBoxGetBoxProperty(d.s(), 8, box.password.c_str(), &prop), 0u);
    EXPECT_EQ(prop.BoxNo, 8u);
  }
}

}  // namespace
