// Opening and closing sessions and the two transports against the
// simulated device's web server, in test time.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <sys/stat.h>

#include "boxlink.h"
#include "boxlink/client/cgi.h"
#include "boxlink/client/engine_cache.h"
#include "boxlink/client/http_transport.h"
#include "boxlink/base/logger.h"
#include "boxlink/client/session_hooks.h"
#include "boxlink/base/model_addition_check.h"
#include "boxlink/base/model_file.h"
#include "devsim/core/device.h"
#include "devsim/core/loopback.h"
#include "devsim/web/web_service.h"
#include "platform/last_error.h"
#include "platform/mem_block.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"
#include "platform/text.h"
#include "standins/inet/http.h"
#include "standins/inet/net_state.h"

namespace boxlink {
namespace {

using devsim::Fault;

Fault F(Fault::Kind kind, int code = 0, int delay_ms = 0, std::string body = "") {
  Fault f;
  f.kind = kind;
  f.code = code;
  f.delay = std::chrono::milliseconds(delay_ms);
  f.body = std::move(body);
  return f;
}

constexpr char kGetEngine[] = "Varda 560 Series V4.0.0.0";
constexpr char kPostEngine[] = "Varda 4720c Series V2.0.0.0";

// What the SNMP probes would have found: set by the fixture per device.
uint16_t g_web_port = 8080;
bool g_web_tls = false;
void ProbeWeb(ZBSESSION* s, const void*) {
  s->WebPort = g_web_port;
  s->WebSecure = g_web_tls ? 1 : 0;
  s->Port = s->WebPort;
}
void ProbeFtp(ZBSESSION* s, const void*) {
  s->FtpPort = 21;
  s->FtpSecure = 0;
}

struct Offline : inet::NetworkState {
  bool ConnectedState(bool* online) override { return *online = false, true; }
  bool CheckConnection(std::string_view, bool) override { return false; }
};

class SessionDeviceTest : public ::testing::Test {
 protected:
  // A hundredfold: the connect CGI's 60 s are 0.6 s of real time, enough
  // for a busy machine, and every wait of the tests stays well under a
  // second or two.
  explicit SessionDeviceTest(uint32_t clock_scale = 100) : env_(clock_scale) {}

  void SetUp() override { ClearEngineInfoCache(); }
  void TearDown() override {
    if (session_.ConnectHandle) zbBoxCloseConnection(&session_);
    CLogger::StopLog();
    if (device_) device_->Stop();
    ClearEngineInfoCache();
  }

  void StartDevice(std::string engine = kGetEngine, bool tls = false,
                   std::map<std::string, std::string> extra = {}) {
    devsim::Profile profile = devsim::Profile::Defaults(devsim::Layout::kShared);
    profile.engine_version = std::move(engine);
    profile.web_tls = tls;
    profile.extra = std::move(extra);
    device_ = std::make_unique<devsim::Device>(profile, store_.path(),
                                               devsim::AllocateLoopbackAddress());
    device_->services() = {"web"};
    std::string error;
    ASSERT_TRUE(device_->Start(&error)) << error;
    g_web_port = profile.web_port;
    g_web_tls = tls;
    std::snprintf(session_.Host, sizeof session_.Host, "%s", device_->address().c_str());
    session_.Port = 8080;
  }

  devsim::web::WebService& web() { return *devsim::web::WebService::Of(*device_); }
  devsim::FaultPlan& faults() { return device_->faults(); }

  std::string Log() {
    std::ifstream in(CLogger::LogFilePath());
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool Logged(const std::string& label, uint32_t code) {
    return Log().find("\n ==> " + label + " Failed With ERROR - " + std::to_string(code)) !=
           std::string::npos;
  }
  void SetMarker(const char* name) {
    std::string dir = env_.UserProfileDir() + "/ZELT";
    ::mkdir(env_.UserProfileDir().c_str(), 0700);
    ::mkdir(dir.c_str(), 0700);
    std::ofstream(dir + "/" + name).put('\n');
  }
  // Closed as the exports see it: no handles. (A failed open that never
  // reached the device leaves SessionId as the open set it.)
  bool Closed() const { return !session_.ConnectHandle && !session_.InternetHandle; }
  // A GET through the open session; the reply text, or "" with *code set.
  std::string Get(const std::string& target, uint32_t* code) {
    platform::UniqueBlock block(_zbBoxProcGet(&session_, target, false));
    *code = block ? 0 : platform::GetLastError();
    if (!block) return "";
    return std::string(static_cast<const char*>(platform::BlockLock(block.get())),
                       platform::BlockSize(block.get()));
  }
  std::string Sid() const {
    char text[16];
    std::snprintf(text, sizeof text, "SID=%08u", session_.SessionId);
    return text;
  }

  platform::FakeEnv env_;
  platform::ScopedEnv use_env_{&env_};
  ScopedPortProbes probes_{{&ProbeWeb, &ProbeFtp}};
  platform::ScopedTempDir store_;
  std::unique_ptr<devsim::Device> device_;
  ZBSESSION session_{};
};

// TLS handshakes need more real time than the default compression leaves.
class SlowClockSessionTest : public SessionDeviceTest {
 protected:
  SlowClockSessionTest() : SessionDeviceTest(20) {}
};

TEST_F(SessionDeviceTest, OpenAndCloseInEveryAccessMode) {
  struct Case {
    const char* mode;
    uint32_t open_result;
    uint32_t access_mode;
    bool stays_open;
  };
  const Case cases[] = {{"none", 0, 0, true},
                        {"0", 0, 0, true},
                        {"1", 0, 1, true},
                        {"2", 1327, 2, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    StartDevice(kGetEngine, false, {{"web.access_mode", c.mode}});
    session_ = ZBSESSION{};
    std::snprintf(session_.Host, sizeof session_.Host, "%s", device_->address().c_str());
    session_.AccessMode = 7;  // not reset before the reply says otherwise
    EXPECT_EQ(zbBoxOpenConnection(&session_, nullptr), c.open_result);
    EXPECT_EQ(session_.AccessMode, c.access_mode);
    EXPECT_STREQ(EngineInfoCache().EngineVersion, kGetEngine);
    EXPECT_EQ(session_.Alive, 1u);
    auto connects = web().RequestsTo("boxnwConnect");
    ASSERT_EQ(connects.size(), 1u);
    EXPECT_EQ(connects[0].method, "GET");
    EXPECT_EQ(connects[0].target, "/TarnBox/boxnwConnect");
    if (c.stays_open) {
      EXPECT_NE(session_.SessionId, 0u);
      EXPECT_TRUE(web().SessionOpen(session_.SessionId));
      std::string sid = Sid();
      EXPECT_EQ(zbBoxCloseConnection(&session_), 0u);
      auto disconnects = web().RequestsTo("boxnwDisconnect");
      ASSERT_EQ(disconnects.size(), 1u);
      EXPECT_EQ(disconnects[0].method, "GET");
      EXPECT_EQ(disconnects[0].query, sid);
    } else {
      EXPECT_TRUE(Logged("zbBoxOpenConnection", c.open_result));
    }
    EXPECT_TRUE(Closed());
    EXPECT_EQ(session_.SessionId, 0u);
    EXPECT_EQ(web().OpenSessionCount(), 0u);
    EXPECT_EQ(zbBoxCloseConnection(&session_), 87u);  // closing twice
    device_->Stop();
  }
}

TEST_F(SessionDeviceTest, EngineVersionCases) {
  // Retired: 50, the session stays open until the caller closes it.
  StartDevice("Varda720/740 V1.1");
  EXPECT_EQ(zbBoxOpenConnection(&session_, nullptr), 50u);
  EXPECT_NE(session_.ConnectHandle, nullptr);
  EXPECT_TRUE(web().SessionOpen(session_.SessionId));
  // Opening the open record again replaces its handles (none are lost).
  EXPECT_EQ(zbBoxOpenConnection(&session_, nullptr), 50u);
  EXPECT_EQ(zbBoxCloseConnection(&session_), 0u);
  EXPECT_TRUE(Closed());
  device_->Stop();

  // Unknown: 1605, closed by the open itself.
  StartDevice("Varda 999 Series V9.9");
  EXPECT_EQ(zbBoxOpenConnection(&session_, nullptr), 1605u);
  EXPECT_TRUE(Closed());
  EXPECT_EQ(web().RequestsTo("boxnwDisconnect").size(), 1u);
  EXPECT_TRUE(Logged("zbBoxOpenConnection", 1605));
  device_->Stop();

  // A model that only the program's model file knows comes in through the
  // restricted session (connect result 4), where the version lists are not
  // asked; offered a full session it is as unknown as any other, model file
  // or not.
  std::string dir = env_.root() + "/program";
  std::filesystem::create_directories(dir);
  env_.SetProgramDir(dir);
  ASSERT_TRUE(WriteModelFile(dir + "/" + kModelInfoFileName,
                             {{kSupportedModelsCategory, {"Varda 8000"}}}));
  ModelAdditionCheck::ResetForTesting();
  for (bool restricted : {true, false}) {
    SCOPED_TRACE(restricted ? "restricted session" : "full session");
    std::map<std::string, std::string> extra;
    if (restricted) extra["web.connect_result"] = "4";
    StartDevice("Varda 8000 Series V1.0 build 12", false, extra);
    session_ = ZBSESSION{};
    std::snprintf(session_.Host, sizeof session_.Host, "%s", device_->address().c_str());
    EXPECT_EQ(zbBoxOpenConnection(&session_, nullptr), restricted ? 1u : 1605u);
    EXPECT_EQ(Closed(), !restricted);
    if (restricted) {
      EXPECT_EQ(zbBoxCloseConnection(&session_), 0u);
    }
    device_->Stop();
  }
  ModelAdditionCheck::ResetForTesting();

  // Connect Result 4: the restricted session, open with id 1.
  StartDevice(kGetEngine, false, {{"web.connect_result", "4"}});
  session_ = ZBSESSION{};
  std::snprintf(session_.Host, sizeof session_.Host, "%s", device_->address().c_str());
  EXPECT_EQ(zbBoxOpenConnection(&session_, nullptr), 1u);
  EXPECT_EQ(session_.AccessMode, 20u);
  EXPECT_EQ(session_.SessionId, 1u);
  EXPECT_NE(session_.ConnectHandle, nullptr);
  EXPECT_EQ(zbBoxCloseConnection(&session_), 0u);
  EXPECT_EQ(web().RequestsTo("boxnwDisconnect").at(0).query, "SID=00000001");
}

TEST_F(SessionDeviceTest, TheMarkedEngineTurnsGatedCgisIntoPosts) {
  StartDevice(kPostEngine);
  ASSERT_EQ(zbBoxOpenConnection(&session_, nullptr), 0u);
  std::string sid = Sid();
  EXPECT_EQ(zbBoxCloseConnection(&session_), 0u);
  auto connects = web().RequestsTo("boxnwConnect");
  auto disconnects = web().RequestsTo("boxnwDisconnect");
  ASSERT_EQ(disconnects.size(), 1u);
  EXPECT_EQ(connects.at(0).method, "GET");  // connect is never gated
  EXPECT_EQ(disconnects[0].method, "POST");
  EXPECT_EQ(disconnects[0].target, "/TarnBox/boxnwDisconnect");
  EXPECT_EQ(disconnects[0].body, sid);
}

TEST_F(SessionDeviceTest, HttpStatusesAndResultsBecomeErrorCodes) {
  StartDevice();
  const std::pair<int, uint32_t> statuses[] = {{302, 12}, {400, 87}, {404, 2}, {405, 50},
                                               {500, 58}, {503, 100}, {600, 12004}};
  for (auto [status, code] : statuses) {
    SCOPED_TRACE(status);
    ASSERT_EQ(zbBoxOpenConnection(&session_, nullptr), 0u);
    faults().Arm("web.boxnwDisconnect", F(Fault::Kind::kFailWith, status));
    EXPECT_EQ(zbBoxCloseConnection(&session_), code);
    EXPECT_TRUE(Closed());
    EXPECT_TRUE(Logged(" _zbBoxProcGet - translateHttpStatusCode ", code));
    EXPECT_TRUE(Logged("zbBoxCloseConnection", code));
  }
  const std::pair<int, uint32_t> results[] = {{4, 1}, {201, 170}, {605, 1909}, {213, 1359}};
  for (auto [result, code] : results) {
    SCOPED_TRACE(result);
    ASSERT_EQ(zbBoxOpenConnection(&session_, nullptr), 0u);
    faults().Arm("web.boxnwDisconnect.result", F(Fault::Kind::kFailWith, result));
    EXPECT_EQ(zbBoxCloseConnection(&session_), code);
  }
  // A failed connect request closes the session again.
  faults().Arm("web.boxnwConnect", F(Fault::Kind::kFailWith, 404));
  EXPECT_EQ(zbBoxOpenConnection(&session_, nullptr), 2u);
  EXPECT_TRUE(Closed());
  EXPECT_TRUE(Logged("zbBoxOpenConnection - _zbBoxProcGet", 2));
  // Replies that are not XML, or lack the Result.
  faults().Arm("web.boxnwConnect", F(Fault::Kind::kFailWith, 200, 0, "not xml"));
  EXPECT_EQ(zbBoxOpenConnection(&session_, nullptr), 13u);
  faults().Arm("web.boxnwConnect",
               F(Fault::Kind::kFailWith, 200, 0, "<BoxNwLib><Header><Version>v</Version></Header></BoxNwLib>"));
  EXPECT_EQ(zbBoxOpenConnection(&session_, nullptr), 11u);
}

TEST_F(SessionDeviceTest, ResetsAreRetriedTenSecondsApartUpToSevenAttempts) {
  StartDevice();
  ASSERT_EQ(zbBoxOpenConnection(&session_, nullptr), 0u);
  faults().Arm("web.boxnwDisconnect", F(Fault::Kind::kDropConnection), 3);
  uint64_t before = env_.test_clock().NowMillis();
  EXPECT_EQ(zbBoxCloseConnection(&session_), 0u);
  EXPECT_GE(env_.test_clock().NowMillis() - before, 30'000u);
  EXPECT_EQ(web().RequestsTo("boxnwDisconnect").size(), 4u);

  ASSERT_EQ(zbBoxOpenConnection(&session_, nullptr), 0u);
  web().ClearRequests();
  faults().Arm("web.boxnwDisconnect", F(Fault::Kind::kDropConnection), 7);
  EXPECT_EQ(zbBoxCloseConnection(&session_), 12004u);
  EXPECT_EQ(web().RequestsTo("boxnwDisconnect").size(), 7u);
  EXPECT_TRUE(Logged("_zbBoxProcGet - HttpSendRequest-1", 12031));
  EXPECT_TRUE(Closed());

  // POST: the same retries, the same end.
  ClearEngineInfoCache();
  device_->Stop();
  StartDevice(kPostEngine);
  ASSERT_EQ(zbBoxOpenConnection(&session_, nullptr), 0u);
  faults().Arm("web.boxnwDisconnect", F(Fault::Kind::kDropConnection), 7);
  EXPECT_EQ(zbBoxCloseConnection(&session_), 12004u);
  EXPECT_EQ(web().RequestsTo("boxnwDisconnect").size(), 7u);
  EXPECT_TRUE(Logged("_zbBoxProcPost - HttpSendRequestWithRetry", 12031));
}

// The machine's own connection check, counted.
struct CountingNetwork : inet::NetworkState {
  bool ConnectedState(bool* online) override { return system.ConnectedState(online); }
  bool CheckConnection(std::string_view url, bool force) override {
    std::lock_guard<std::mutex> g(mu);
    urls.push_back(std::string(url));
    return system.CheckConnection(url, force);
  }
  size_t count() {
    std::lock_guard<std::mutex> g(mu);
    return urls.size();
  }
  inet::SystemNetworkState system;
  std::mutex mu;
  std::vector<std::string> urls;
};

TEST_F(SessionDeviceTest, AGetIsWatchedUntilTheDeviceStopsAnsweringTheCheck) {
  StartDevice();
  ASSERT_EQ(zbBoxOpenConnection(&session_, nullptr), 0u);
  CountingNetwork net;
  inet::ScopedNetworkState use(&net);
  // Still answering: a slow reply is waited for, with checks meanwhile.
  // The check only connects: the device sees no request for it.
  faults().Arm("web.boxnwGetEngineVersion", F(Fault::Kind::kDelay, 0, 1000));
  web().ClearRequests();
  uint32_t code = 1;
  std::string reply = Get("/TarnBox/Admin/boxnwGetEngineVersion?" + Sid(), &code);
  EXPECT_EQ(code, 0u);
  EXPECT_NE(reply.find("<EngineVersion>"), std::string::npos);
  EXPECT_GE(net.count(), 1u);
  EXPECT_EQ(net.urls[0], "http://" + device_->address() + ":8080/TarnBox/Tnb.html?");
  EXPECT_EQ(web().Requests().size(), 1u);

  // Stopped answering: 12004 at the next check, and the request is
  // abandoned (the device sees no second attempt).
  size_t checks = net.count();
  faults().Arm("web.boxnwGetEngineVersion", F(Fault::Kind::kHang));
  web().ClearRequests();
  std::thread unplug([&] {
    while (web().RequestsTo("boxnwGetEngineVersion").empty())
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    web().StopListening();
  });
  reply = Get("/TarnBox/Admin/boxnwGetEngineVersion?" + Sid(), &code);
  unplug.join();
  EXPECT_EQ(code, 12004u);
  EXPECT_GT(net.count(), checks);
  EXPECT_TRUE(Logged("_zbBoxProcGet - HttpSendRequest-1", 12004));
  EXPECT_EQ(web().RequestsTo("boxnwGetEngineVersion").size(), 1u);
}

TEST_F(SessionDeviceTest, WithNewTimeoutASlowGetFailsAfterItsWaitTime) {
  SetMarker("NewTimeout");
  StartDevice();
  ASSERT_EQ(zbBoxOpenConnection(&session_, nullptr), 0u);
  CountingNetwork net;
  inet::ScopedNetworkState use(&net);
  faults().Arm("web.boxnwGetEngineVersion", F(Fault::Kind::kHang));
  uint64_t before = env_.test_clock().NowMillis();
  uint32_t code = 0;
  Get("/TarnBox/Admin/boxnwGetEngineVersion?" + Sid(), &code);
  EXPECT_EQ(code, 12004u);
  EXPECT_GE(env_.test_clock().NowMillis() - before, 250'000u);
  EXPECT_EQ(net.count(), 0u);  // no checks with the marker
}

TEST_F(SessionDeviceTest, ConnectTimeOutIsDeviceNotAvailable) {
  StartDevice();
  faults().Arm("web.boxnwConnect", F(Fault::Kind::kHang));
  EXPECT_EQ(zbBoxOpenConnection(&session_, nullptr), 4319u);
  EXPECT_TRUE(Closed());
  EXPECT_TRUE(Logged("zbBoxOpenConnection - _zbBoxProcGet", 12002));
}

TEST_F(SessionDeviceTest, RefusedConnections) {
  StartDevice();
  std::string address = device_->address();
  device_->Stop();
  EXPECT_EQ(zbBoxOpenConnection(&session_, nullptr), 12029u);
  EXPECT_TRUE(Closed());

  StartDevice();
  ASSERT_EQ(zbBoxOpenConnection(&session_, nullptr), 0u);
  device_->Stop();
  EXPECT_EQ(zbBoxCloseConnection(&session_), 12029u);
  EXPECT_TRUE(Closed());
}

TEST_F(SessionDeviceTest, OfflineComputer) {
  StartDevice();
  Offline offline;
  {
    inet::ScopedNetworkState use(&offline);
    EXPECT_EQ(zbBoxOpenConnection(&session_, nullptr), 2250u);
    EXPECT_TRUE(Closed());
    EXPECT_TRUE(Logged("zbBoxOpenConnection - _zbOpenSession", 2250));
  }
  EXPECT_TRUE(web().Requests().empty());
  ASSERT_EQ(zbBoxOpenConnection(&session_, nullptr), 0u);
  inet::ScopedNetworkState use(&offline);
  EXPECT_EQ(zbBoxCloseConnection(&session_), 12004u);
  EXPECT_TRUE(Logged("_zbBoxProcGet - fnGetInternetConnectedState", 12004));
  EXPECT_EQ(web().RequestsTo("boxnwDisconnect").size(), 0u);
  EXPECT_TRUE(Closed());
}

TEST_F(SessionDeviceTest, RepliesAreCutAtTheCap) {
  StartDevice();
  ASSERT_EQ(zbBoxOpenConnection(&session_, nullptr), 0u);
  for (size_t size : {kReplyCapacity - 1, kReplyCapacity, kReplyCapacity + 12345}) {
    SCOPED_TRACE(size);
    std::string body(size, 'a');
    body[0] = '<';
    body[kReplyCapacity - 2] = 'Z';
    faults().Arm("web.boxnwGetEngineVersion", F(Fault::Kind::kFailWith, 200, 0, body));
    uint32_t code = 1;
    std::string reply = Get("/TarnBox/Admin/boxnwGetEngineVersion?" + Sid(), &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(reply.size(), std::min(size, kReplyCapacity)) << Log();
    EXPECT_TRUE(reply == body.substr(0, kReplyCapacity));
  }
}

TEST_F(SessionDeviceTest, TargetsAsTheySendThem) {
  StartDevice();
  ASSERT_EQ(zbBoxOpenConnection(&session_, nullptr), 0u);
  uint32_t code = 0;
  Get("/TarnBox/Admin/boxnwGetEngineVersion?" + Sid() + "&PWD=\xE4 &x", &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(web().RequestsTo("boxnwGetEngineVersion").back().query, Sid() + "&PWD=%E4%20&x");
  // The cluster change goes out in full (the device answers it with a
  // Result of its own for the missing fields, which the transport does not
  // look at).
  std::string cluster = "/TarnBox/Admin/boxnwDirSerialClusterChange?" + Sid() + "&BNO=001";
  Get(cluster, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(web().Requests().back().target, cluster);
  // UTF-16 forms: no percent-encoding of their own, UTF-8 on the wire.
  platform::UniqueBlock b(_zbBoxProcGet(&session_, u"/TarnBox/Admin/boxnwGetEngineVersion?" +
                                                       platform::Utf8ToUtf16(Sid()) + u"&N=\u00e4"));
  EXPECT_TRUE(b);
  EXPECT_EQ(web().Requests().back().query, Sid() + "&N=\xC3\xA4");
  platform::UniqueBlock p(_zbBoxProcPost(&session_, "/TarnBox/Admin/boxnwGetEngineVersion",
                                         platform::Utf8ToUtf16(Sid()) + u"&N=\u00e4"));
  EXPECT_TRUE(p);
  EXPECT_EQ(web().Requests().back().body, Sid() + "&N=\xC3\xA4");
  std::string body = Sid() + "&N=\xE4";
  platform::UniqueBlock q(_zbBoxProcPost(&session_, "/TarnBox/Admin/boxnwGetEngineVersion", &body));
  EXPECT_TRUE(q);
  EXPECT_EQ(body, Sid() + "&N=%E4");
  EXPECT_EQ(web().Requests().back().body, body);
}

// A target that does not fit the transport's buffer (as it goes out,
// after encoding) is refused whole: a shortened query could name another
// document or lose its password.
TEST_F(SessionDeviceTest, OverLongTargetsAreRefusedNotCut) {
  StartDevice();
  ASSERT_EQ(zbBoxOpenConnection(&session_, nullptr), 0u);
  const std::string head = "/TarnBox/Admin/boxnwGetEngineVersion?" + Sid() + "&N=";
  struct Case {
    const char* what;
    std::string target;
    bool sent;
  } cases[] = {
      {"just fits", head + std::string(kTargetCapacity - 1 - head.size(), 'a'), true},
      {"one byte more", head + std::string(kTargetCapacity - head.size(), 'a'), false},
      {"fits only before encoding", head + std::string(700, '\xE4'), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    web().ClearRequests();
    uint32_t code = 0;
    Get(c.target, &code);
    EXPECT_EQ(code, c.sent ? 0u : 206u);
    EXPECT_EQ(web().RequestsTo("boxnwGetEngineVersion").size(), c.sent ? 1u : 0u);
  }
  EXPECT_TRUE(Logged("_zbBoxProcGet - request target too long", 206)) << Log();
}

TEST_F(SessionDeviceTest, TheSkeletonFillsAnEmptyEngineCacheFirst) {
  StartDevice();
  ASSERT_EQ(zbBoxOpenConnection(&session_, nullptr), 0u);
  ClearEngineInfoCache();
  const EngineInfoFill installed = GetEngineInfoFill();
  SetEngineInfoFill([](ZBSESSION* s, const char*, EngineInfoRecord* info) -> uint32_t {
    return RunGuarded("zbBoxGetEngineInfo", [&] {
      CgiCall call(s);
      CgiReply reply = call.Send("/TarnBox/Admin/boxnwGetEngineVersion",
                                 Format("SID=%08lu&PWD=", call.sid()));
      GetNodeText(reply.doc(), "BoxNwLib/Message/VersionInfo/EngineVersion",
                  info->EngineVersion, sizeof info->EngineVersion);
    });
  });
  web().ClearRequests();
  EXPECT_EQ(zbBoxCloseConnection(&session_), 0u);
  SetEngineInfoFill(installed);
  auto requests = web().Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].path, "/TarnBox/Admin/boxnwGetEngineVersion");
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[1].path, "/TarnBox/boxnwDisconnect");
  EXPECT_STREQ(EngineInfoCache().EngineVersion, kGetEngine);
}

TEST_F(SlowClockSessionTest, TlsDevice) {
  StartDevice(kGetEngine, /*tls=*/true);
  ASSERT_EQ(zbBoxOpenConnection(&session_, nullptr), 0u);
  EXPECT_EQ(session_.WebSecure, 1u);
  // A request not told about the self-made certificate is refused with
  // 12045 once and then sent again accepting it.
  auto* connection = static_cast<inet::HttpConnection*>(session_.ConnectHandle);
  auto request = inet::HttpRequest::Open(*connection, "GET", "/TarnBox/Tnb.html?", "HTTP/1.0",
                                         inet::kFlagSecure | inet::kFlagIgnoreCertNameInvalid |
                                             inet::kFlagIgnoreCertDateInvalid);
  EXPECT_TRUE(HttpSendRequestWithRetry(*request, nullptr, 0, nullptr, 0));
  EXPECT_TRUE(request->security_flags() & inet::kSecurityIgnoreUnknownCa);
  request.reset();
  EXPECT_EQ(zbBoxCloseConnection(&session_), 0u);
  EXPECT_EQ(web().RequestsTo("boxnwDisconnect").size(), 1u);
}

TEST_F(SessionDeviceTest, SessionTimeOutsAndProxyOptions) {
  StartDevice();
  ASSERT_EQ(zbBoxOpenConnection(&session_, nullptr), 0u);
  auto* internet = static_cast<inet::Session*>(session_.InternetHandle);
  EXPECT_EQ(internet->user_agent(), "zbBoxFTPAcs");
  EXPECT_EQ(internet->timeouts().receive_ms, 75'000u);
  inet::ProxyOptions proxy = internet->proxy();
  EXPECT_EQ(proxy.server, "http://" + device_->address() + ":8080/Halvo");
  EXPECT_EQ(proxy.flags, inet::kProxyDirect | inet::kProxyNamed);
  EXPECT_EQ(proxy.bypass, "<local>");
  EXPECT_EQ(internet->refresh_count(), 1);
  EXPECT_EQ(internet->ProxyFor(device_->address()), "");  // devices are reached directly
  EXPECT_EQ(zbBoxCloseConnection(&session_), 0u);

  // Port printed with four digits at least; the marker leaves the client's
  // own time-outs alone.
  SetMarker("NewTimeout");
  session_.Port = 80;
  g_web_port = device_->profile().web_port;
  ASSERT_EQ(zbBoxOpenConnection(&session_, nullptr), 0u);
  internet = static_cast<inet::Session*>(session_.InternetHandle);
  EXPECT_EQ(internet->timeouts().receive_ms, inet::Timeouts{}.receive_ms);
  EXPECT_EQ(internet->proxy().server, "http://" + device_->address() + ":0080/Halvo");
}

TEST_F(SessionDeviceTest, LinkLocalHostsNeedAScopeId) {
  int asked = 0;
  int64_t answer = -1;
  ScopedScopeIdSource source([&] {
    ++asked;
    return answer;
  });
  Offline offline;
  inet::ScopedNetworkState use(&offline);  // stop right after the scope step
  std::snprintf(session_.Host, sizeof session_.Host, "FE80::1");
  EXPECT_EQ(zbBoxOpenConnection(&session_, nullptr), 87u);
  EXPECT_NE(Log().find("Scope ID information for the client machine is not available"),
            std::string::npos);
  EXPECT_EQ(asked, 1);
  answer = 5;
  EXPECT_EQ(zbBoxOpenConnection(&session_, nullptr), 2250u);
  EXPECT_EQ(session_.ScopeId, 5u);
  for (const char* host : {"fe8::1", "10.1.2.3", "printer", "::1"}) {
    std::snprintf(session_.Host, sizeof session_.Host, "%s", host);
    EXPECT_EQ(zbBoxOpenConnection(&session_, nullptr), 2250u);
    EXPECT_EQ(session_.ScopeId, 0u);
  }
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(zbBoxOpenConnection(nullptr, nullptr), 87u);
}

}  // namespace
}  // namespace boxlink
