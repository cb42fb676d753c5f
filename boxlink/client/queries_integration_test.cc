// The box, administrative and authentication exports against the simulated
// device, in the normal and in the restricted session, with the exact query
// texts taken from the device's request record.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "boxlink.h"
#include "boxlink/testing/device_session_fixture.h"
#include "boxlink/client/cgi.h"
#include "boxlink/client/engine_cache.h"
#include "boxlink/base/logger.h"
#include "boxlink/client/session_hooks.h"
#include "boxlink/base/model_addition_check.h"
#include "devsim/testing/device_fixture.h"
#include "devsim/web/box_cgi_state.h"
#include "devsim/web/web_service.h"
#include "platform/last_error.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"
#include "standins/cryptocore/crypto_core.h"
#include "standins/inet/net_state.h"

namespace {

using boxlink::testing::DeviceSession;
using boxlink::testing::kAdmin;

struct Call {
  const char* what;
  const char* cgi;
  std::function<uint32_t(ZBSESSION*)> run;
  std::string normal;      // query after the SID field
  std::string restricted;
  uint32_t result = 0;     // on the populated device
};

uint32_t HandleResult(ZBBLOCK b) {
  uint32_t code = b ? 0 : zbBoxGetLastError();
  zbBoxFreeBlock(b);
  return code;
}

std::vector<Call> QueryCases() {
  static uint32_t count, since = 0, capacity, available, device_time;
  static ZBENGINEINFO info;
  static ZBBOXPROPERTY prop;
  static ZBBOX* boxes;
  static ZBCOLLECTIONITEM* items;
  static char login[256];
  static const uint32_t list[] = {1, 12, 123};
  return {
      {"engine info", "boxnwGetEngineVersion",
       [](ZBSESSION* s) { return zbBoxGetEngineInfo(s, kAdmin, &info); },
       "&PWD=admin00", ""},
      {"engine info, no password", "boxnwGetEngineVersion",
       [](ZBSESSION* s) { return zbBoxGetEngineInfo(s, nullptr, &info); },
       "&PWD=", ""},
      {"box list", "boxnwGetBoxList",
       [](ZBSESSION* s) { return HandleResult(zbBoxGetBoxList(s, &count, &boxes)); },
       "", ""},
      {"box property", "boxnwGetBoxProperty",
       [](ZBSESSION* s) { return zbBoxGetBoxProperty(s, 7, kAdmin, &prop); },
       "&BNO=007&PWD=admin00", "&BNO=007&PWD=admin00"},
      {"folder list", "boxnwGetFolderDocList",
       [](ZBSESSION* s) {
         return HandleResult(
             zbBoxGetCollection(s, 7, kAdmin, 1, &count, &items, "F0000001"));
       },
       "&BNO=007&PWD=admin00&FID=F0000001", "&BNO=007&PWD=admin00&FID=F0000001"},
      {"top level", "boxnwGetFolderDocList",
       [](ZBSESSION* s) {
         return HandleResult(
             zbBoxGetCollectionByTime(s, 7, kAdmin, 0, &count, &items, &since, ""));
       },
       "&BNO=007&PWD=admin00&FID=", "&BNO=007&PWD=admin00&FID="},
      {"disk space", "boxnwGetBoxDiskSpace",
       [](ZBSESSION* s) {
         return zbBoxGetBoxDiskSpace(s, kAdmin, &capacity, &available);
       },
       "&PWD=admin00", ""},
      {"lock", "boxnwBoxExModeIn",
       [](ZBSESSION* s) { return zbBoxLockUiJob(s, kAdmin, 0, &device_time); },
       "&PWD=admin00&MOD=0", "&MOD=0"},
      {"unlock", "boxnwBoxExModeOut",
       [](ZBSESSION* s) { return zbBoxUnlockUiJob(s, kAdmin, 1); },
       "&PWD=admin00&MOD=1", "&MOD=1"},
      {"create ftp account", "boxnwCreateFTPAccount",
       [](ZBSESSION* s) { return zbBoxCreateFTPAccount(s, kAdmin, login); },
       "&PWD=admin00", ""},
      {"delete ftp account", "boxnwDeleteFTPAccount",
       [](ZBSESSION* s) { return zbBoxDeleteFTPAccount(s, kAdmin); },
       "&PWD=admin00", ""},
      {"cluster change", "boxnwDirSerialClusterChange",
       [](ZBSESSION* s) {
         return zbBoxDirSerialClusterChange(s, 7, kAdmin, 3, 0, 0, 0);
       },
       "&BNO=007&PWD=admin00&FID=F0000003&DID=&NOC=0&MOD=0",
       "&BNO=007&PWD=admin00&FID=F0000003&DID=&NOC=0&MOD=0"},
      {"last backup dates", "boxnwChangeLastBackupDate",
       [](ZBSESSION* s) {
         return zbBoxUpdateLastBackupDates(s, kAdmin, 1767225600, 3, list);
       },
       "&PWD=admin00&LBD=1767225600&TNB=3&BNO=001,012,123",
       "&LBD=1767225600&TNB=3&BNO=001,012,123",
       161},  // the device has no boxes 1, 12 and 123
      {"delete document", "boxnwDeleteDoc",
       [](ZBSESSION* s) {
         return zbBoxDeleteDocument(s, 7, kAdmin, 0, 1, "", "D0000001");
       },
       "&BNO=007&PWD=admin00&FID=&DID=D0000001",
       "&BNO=007&PWD=admin00&FID=&DID=D0000001"},
      {"delete all boxes", "boxnwDeleteAllBox",
       [](ZBSESSION* s) { return zbBoxDeleteAllBox(s, kAdmin); },
       "&PWD=admin00", ""},
  };
}

class QueryTextTest : public ::testing::TestWithParam<bool> {};

TEST_P(QueryTextTest, EveryExportSendsItsExactQuery) {
  const bool restricted = GetParam();
  DeviceSession d(restricted);
  for (const Call& c : QueryCases()) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.run(d.s()), c.result);
    EXPECT_EQ(d.LastQuery(c.cgi),
              d.Sid() + (restricted ? c.restricted : c.normal));
  }
  ZBSECURITY sec{};
  std::strcpy(sec.Password, kAdmin);
  EXPECT_EQ(zbBoxGetServiceStatus(d.s()), 0u);
  EXPECT_EQ(d.LastQuery("boxnwGetServiceStatus"), "APL=ZELT");
  EXPECT_EQ(zbBoxGetSecuritySettings(d.s(), &sec), 0u);
  EXPECT_EQ(d.LastQuery("boxnwGetSecuritySetting"), "");
  EXPECT_EQ(zbBoxAuthenticate(d.s(), &sec), 0u);
  EXPECT_EQ(d.LastQuery("boxnwAuthenticate"),
            "UID=Admin&PWD=admin00&APL=ZELT&ENC=0");
}

INSTANTIATE_TEST_SUITE_P(Sessions, QueryTextTest, ::testing::Bool(),
                         [](const auto& info) {
                           return info.param ? "Restricted" : "Normal";
                         });

TEST(QueryPreconditionTest, ClosedSessionsAndBadArgumentsSendNothing) {
  DeviceSession d(false);
  ZBSESSION closed{};
  std::strcpy(closed.Host, d.s()->Host);
  for (ZBSESSION* s : {static_cast<ZBSESSION*>(nullptr), &closed}) {
    for (const Call& c : QueryCases()) {
      SCOPED_TRACE(c.what);
      EXPECT_EQ(c.run(s), 87u);
    }
  }
  // Arguments the exports refuse before a request.
  const uint32_t one = 7;
  EXPECT_EQ(zbBoxUpdateLastBackupDates(d.s(), kAdmin, 5, 0, &one), 87u);
  EXPECT_EQ(zbBoxDeleteDocument(d.s(), 7, kAdmin, 0, 0, "", "D0000001"), 87u);
  ZBSECURITY sec{};
  sec.AuthenticationMethod = 2;  // needs a password
  EXPECT_EQ(zbBoxAuthenticate(d.s(), &sec), 1359u);
  EXPECT_EQ(zbBoxGetLastError(), 87u);
  EXPECT_EQ(zbBoxAuthenticate(&closed, &sec), 1359u);
  EXPECT_EQ(zbBoxGetLastError(), 87u);
  EXPECT_EQ(zbBoxGetServiceStatus(&closed), 1359u);
  EXPECT_EQ(zbBoxGetLastError(), 87u);
  EXPECT_EQ(zbBoxGetSecuritySettings(nullptr, &sec), 87u);
  EXPECT_TRUE(d.web()->Requests().empty());
}

}  // namespace
