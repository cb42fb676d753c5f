// The simulated web server seen from a plain HTTP client.
#include "devsim/web/web_service.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <thread>

#include "devsim/core/device.h"
#include "devsim/core/loopback.h"
#include "devsim/web/cgi_table.h"
#include "platform/testing/temp_dir.h"
#include "standins/cryptocore/crypto_core.h"

namespace devsim::web {
namespace {

// A CGI of the test's own: the table takes CGIs from any file.
CgiAnswer Echo(CgiContext& ctx) {
  std::string xml;
  for (const auto& [k, v] : ctx.params) xml += "<P k=\"" + XmlEscape(k) + "\">" + XmlEscape(v) + "</P>";
  return ctx.Reply(0, "<Method>" + ctx.method + "</Method>" + xml);
}
DEVSIM_WEB_CGI(testEcho, "/TarnBox/Admin/testEcho", Echo);

Fault Make(Fault::Kind kind, int code = 0, std::string body = "") {
  Fault f;
  f.kind = kind;
  f.code = code;
  f.body = std::move(body);
  return f;
}

class WebServiceTest : public ::testing::Test {
 protected:
  void Start(bool tls = false) {
    Profile p = Profile::Defaults(Layout::kShared);
    p.engine_version = "Varda 540 Series V1.0";
    p.web_tls = tls;
    device_ = std::make_unique<Device>(p, dir_.path(), AllocateLoopbackAddress());
    device_->services() = {"web"};
    std::string error;
    ASSERT_TRUE(device_->Start(&error)) << error;
    if (tls) {
      auto c = std::make_unique<httplib::SSLClient>(device_->address(), p.web_port);
      c->enable_server_certificate_verification(false);
      client_ = std::move(c);
    } else {
      client_ = std::make_unique<httplib::ClientImpl>(device_->address(), p.web_port);
    }
    client_->set_read_timeout(10, 0);
  }
  WebService& web() { return *WebService::Of(*device_); }
  std::string Sid() {
    auto r = client_->Get("/TarnBox/boxnwConnect");
    EXPECT_TRUE(r);
    std::string body = r ? r->body : "";
    size_t a = body.find("<WebSessionID>") + 14;
    return body.substr(a, body.find('<', a) - a);
  }

  platform::ScopedTempDir dir_;
  std::unique_ptr<Device> device_;
  std::unique_ptr<httplib::ClientImpl> client_;
};

TEST_F(WebServiceTest, CgisFromAnyFileAnswerBothFormsAndEveryRequestIsRecorded) {
  Start();
  auto get = client_->Get("/TarnBox/Admin/testEcho?SID=00000042&PWD=%E4b&X=");
  ASSERT_TRUE(get);
  EXPECT_EQ(get->status, 200);
  EXPECT_NE(get->body.find("<Method>GET</Method><P k=\"PWD\">\xE4" "b</P><P k=\"SID\">00000042</P><P k=\"X\"></P>"),
            std::string::npos)
      << get->body;
  EXPECT_NE(get->body.find("<Header><Version>Varda 540 Series V1.0</Version></Header>"),
            std::string::npos);
  auto post = client_->Post("/TarnBox/Admin/testEcho", "SID=7&BNO=001,012", "text/plain");
  ASSERT_TRUE(post);
  EXPECT_NE(post->body.find("<Method>POST</Method><P k=\"BNO\">001,012</P>"), std::string::npos);
  auto recorded = web().RequestsTo("testEcho");
  ASSERT_EQ(recorded.size(), 2u);
  EXPECT_EQ(recorded[0].target, "/TarnBox/Admin/testEcho?SID=00000042&PWD=%E4b&X=");
  EXPECT_EQ(recorded[0].query, "SID=00000042&PWD=%E4b&X=");
  EXPECT_EQ(recorded[1].body, "SID=7&BNO=001,012");
  EXPECT_EQ(client_->Get("/TarnBox/nothing")->status, 404);
  EXPECT_EQ(client_->Get("/Halvo")->status, 200);
  EXPECT_EQ(client_->Get("/TarnBox/Tnb.html?")->status, 200);
  EXPECT_EQ(web().Requests().size(), 5u);
}

TEST_F(WebServiceTest, SessionsOpenAndClose) {
  Start();
  std::string sid = Sid();
  EXPECT_EQ(sid.size(), 8u);
  auto engine = client_->Get(("/TarnBox/Admin/boxnwGetEngineVersion?SID=" + sid + "&PWD=").c_str());
  ASSERT_TRUE(engine);
  EXPECT_NE(engine->body.find("<Result>0</Result><VersionInfo><EngineVersion>Varda 540 Series V1.0"),
            std::string::npos);
  auto bye = client_->Post("/TarnBox/boxnwDisconnect", "SID=" + sid, "text/plain");
  EXPECT_NE(bye->body.find("<Result>0</Result>"), std::string::npos);
  bye = client_->Get(("/TarnBox/boxnwDisconnect?SID=" + sid).c_str());
  EXPECT_NE(bye->body.find("<Result>3</Result>"), std::string::npos);
  EXPECT_EQ(web().OpenSessionCount(), 0u);
  device_->mutable_profile().extra["web.access_mode"] = "1";
  auto mode = client_->Get("/TarnBox/boxnwConnect");
  EXPECT_NE(mode->body.find("</SessionInfo><AccessMode>1</AccessMode>"), std::string::npos);
  device_->mutable_profile().extra["web.connect_result"] = "4";
  auto restricted = client_->Get("/TarnBox/boxnwConnect");
  EXPECT_NE(restricted->body.find("<Result>4</Result></Message>"), std::string::npos);
  EXPECT_TRUE(web().SessionOpen(1));
}

TEST_F(WebServiceTest, ProtectedBoxOpensWithItsPasswordOrTheAdministrators) {
  Start();
  BoxInfo box;
  box.number = 4;
  box.name = "Locked";
  box.password = "1234";
  std::string error;
  ASSERT_TRUE(device_->store().CreateBox(box, &error)) << error;
  const std::string digest = zelt::crypto::EncodeCredentialMode2("admin00");
  struct Case {
    bool restricted;
    std::string pwd;
    bool opens;
  };
  const Case cases[] = {
      {false, "1234", true},   {false, "admin00", true}, {false, digest, true},
      {false, "wrong", false}, {true, "1234", true},     {true, "admin00", true},
      {true, digest, true},    {true, "wrong", false},   {true, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE((c.restricted ? "restricted, " : "full, ") + c.pwd);
    std::string sid = "1";
    device_->mutable_profile().extra["web.connect_result"] = c.restricted ? "4" : "0";
    if (c.restricted)
      ASSERT_TRUE(client_->Get("/TarnBox/boxnwConnect"));
    else
      sid = Sid();
    httplib::Params q{{"SID", sid}, {"BNO", "004"}, {"PWD", c.pwd}};
    auto r = client_->Post("/TarnBox/Admin/boxnwGetBoxProperty", q);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->body.find("<Result>0</Result>") != std::string::npos, c.opens) << r->body;
  }
}

TEST_F(WebServiceTest, FaultsPerCgi) {
  Start();
  device_->faults().Arm("web.boxnwConnect", Make(Fault::Kind::kFailWith, 503));
  EXPECT_EQ(client_->Get("/TarnBox/boxnwConnect")->status, 503);
  EXPECT_EQ(client_->Get("/TarnBox/boxnwConnect")->status, 200);  // once only
  device_->faults().Arm("web.boxnwConnect.result", Make(Fault::Kind::kFailWith, 213));
  auto r = client_->Get("/TarnBox/boxnwConnect");
  EXPECT_NE(r->body.find("<Result>213</Result></Message>"), std::string::npos);
  device_->faults().Arm("web.boxnwConnect", Make(Fault::Kind::kDropConnection), 2);
  EXPECT_FALSE(client_->Get("/TarnBox/boxnwConnect"));
  EXPECT_FALSE(client_->Get("/TarnBox/boxnwConnect"));
  EXPECT_TRUE(client_->Get("/TarnBox/boxnwConnect"));
  EXPECT_EQ(device_->faults().Hits("web.boxnwConnect"), 6);
  device_->faults().Arm("web.Tnb.html", Make(Fault::Kind::kFailWith, 200, "<odd/>"));
  EXPECT_EQ(client_->Get("/TarnBox/Tnb.html")->body, "<odd/>");
}

TEST_F(WebServiceTest, StopEndsAHangingRequest) {
  Start();
  device_->faults().Arm("web.boxnwConnect", Make(Fault::Kind::kHang));
  bool answered = true;
  std::thread t([&] { answered = static_cast<bool>(client_->Get("/TarnBox/boxnwConnect")); });
  while (web().RequestsTo("boxnwConnect").empty()) std::this_thread::yield();
  device_->Stop();
  t.join();
  EXPECT_FALSE(answered);
}

TEST_F(WebServiceTest, TlsWithACertificateMadeAtStart) {
  Start(/*tls=*/true);
  EXPECT_TRUE(web().tls());
  auto r = client_->Get("/TarnBox/boxnwConnect");
  ASSERT_TRUE(r);
  EXPECT_NE(r->body.find("<WebSessionID>"), std::string::npos);
}

TEST(WebCgiTableTest, ParamsAreSplitAndDecoded) {
  auto p = ParseParams("A=1&B=%41%zz&C&=x&D=a+b");
  EXPECT_EQ(p.find("A")->second, "1");
  EXPECT_EQ(p.find("B")->second, "A%zz");
  EXPECT_EQ(p.find("C")->second, "");
  EXPECT_EQ(p.find("D")->second, "a b");  // form decoding: "+" is a space
  EXPECT_EQ(ParseParams("E=a%2Bb").find("E")->second, "a+b");
  EXPECT_EQ(p.find("")->second, "x");
  EXPECT_NE(FindCgi("/TarnBox/boxnwConnect"), nullptr);
  EXPECT_EQ(FindCgi("/TarnBox/boxnwconnect"), nullptr);
  EXPECT_EQ(XmlEscape("a<&>\""), "a&lt;&amp;&gt;&quot;");
}

}  // namespace
}  // namespace devsim::web
