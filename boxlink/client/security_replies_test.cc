#include "boxlink/client/security_replies.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "boxlink/base/box_error.h"
#include "boxlink/testing/raised_code_testing.h"

namespace {

using boxlink::RaisedCode;
using boxlink::ReplyDocument;


std::string Settings(std::string mode, std::string enable, std::string method,
                     std::string hash, bool domain = true) {
  auto tag = [](std::string_view n, const std::string& v) {
    return v == "-" ? std::string()
                    : "<" + std::string(n) + ">" + v + "</" + std::string(n) +
                          ">";
  };
  return "<BoxNwLib><Header><Version>v</Version></Header><Message><Result>0"
         "</Result><SecuritySetting>" +
         tag("SecurityMode", mode) + tag("AuthenticationEnable", enable) +
         tag("AuthenticationMethod", method) + tag("HashAlgorithm", hash) +
         (domain ? "<AuthenticationDomainName>corp.example</"
                   "AuthenticationDomainName>"
                 : "") +
         "</SecuritySetting></Message></BoxNwLib>";
}

TEST(SecurityRepliesTest, SettingsAreMappedAndRangeChecked) {
  struct Case {
    std::string mode, enable, method, hash;
    uint32_t code;
    uint32_t want_method;
  } cases[] = {
      {"1", "1", "0", "1", 0, 2},  {"2", "1", "1", "2", 0, 4},
      {"1", "1", "2", "3", 0, 3},  {"1", "1", "3", "1", 0, 0},
      {"1", "0", "1", "1", 0, 0},  // disabled: method 0
      {"3", "1", "0", "1", 13, 0}, {"0", "1", "0", "1", 13, 0},
      {"1", "2", "0", "1", 13, 0}, {"1", "1", "4", "1", 13, 0},
      {"1", "0", "4", "1", 13, 0},  // range checked even when disabled
      {"1", "1", "0", "0", 13, 0}, {"1", "1", "0", "4", 13, 0},
      {"-", "1", "0", "1", 11, 0}, {"1", "-", "0", "1", 11, 0},
      {"1", "1", "-", "1", 11, 0}, {"1", "1", "0", "-", 11, 0},
  };
  for (const Case& c : cases) {
    auto doc = ReplyDocument::Load(Settings(c.mode, c.enable, c.method, c.hash));
    ASSERT_NE(doc, nullptr);
    ZBSECURITY s{};
    std::strcpy(s.Password, "kept");
    uint32_t code = RaisedCode([&] { boxlink::ParseSecuritySettings(*doc, &s); });
    SCOPED_TRACE(c.mode + c.enable + c.method + c.hash);
    EXPECT_EQ(code, c.code);
    if (code == 0) {
      EXPECT_EQ(s.SecurityMode, static_cast<uint32_t>(std::stoi(c.mode)));
      EXPECT_EQ(s.AuthenticationEnable,
                static_cast<uint32_t>(std::stoi(c.enable)));
      EXPECT_EQ(s.AuthenticationMethod, c.want_method);
      EXPECT_EQ(s.HashAlgorithm, static_cast<uint32_t>(std::stoi(c.hash)));
      EXPECT_STREQ(s.AuthenticationDomainName, "corp.example");
      EXPECT_STREQ(s.Password, "kept");
    }
  }
  auto nodomain = ReplyDocument::Load(Settings("1", "1", "0", "1", false));
  ZBSECURITY s{};
  EXPECT_EQ(RaisedCode([&] { boxlink::ParseSecuritySettings(*nodomain, &s); }),
            11u);
}

std::string Auth(std::string body) {
  return "<BoxNwLib><Message><Result>0</Result><AuthenticateResult>" + body +
         "</AuthenticateResult></Message></BoxNwLib>";
}

TEST(SecurityRepliesTest, Authorization) {
  uint32_t sid = 5;
  auto ok = ReplyDocument::Load(
      Auth("<Authorize>1</Authorize><WebSessionID>4711</WebSessionID>"));
  EXPECT_TRUE(boxlink::ParseAuthorization(*ok, &sid));
  EXPECT_EQ(sid, 4711u);

  auto refused = ReplyDocument::Load(Auth("<Authorize>2</Authorize>"));
  sid = 5;
  EXPECT_FALSE(boxlink::ParseAuthorization(*refused, &sid));
  EXPECT_EQ(sid, 0u);

  auto noid = ReplyDocument::Load(Auth("<Authorize>1</Authorize>"));
  EXPECT_EQ(RaisedCode([&] { boxlink::ParseAuthorization(*noid, &sid); }), 11u);
  auto nothing = ReplyDocument::Load(Auth(""));
  EXPECT_EQ(RaisedCode([&] { boxlink::ParseAuthorization(*nothing, &sid); }), 11u);
}

TEST(SecurityRepliesTest, ServiceStatus) {
  auto on = ReplyDocument::Load(
      "<BoxNwLib><Message><Result>0</Result><AccessMode><Status>3</Status>"
      "</AccessMode></Message></BoxNwLib>");
  EXPECT_EQ(boxlink::ParseServiceStatus(*on), 3);
  auto missing = ReplyDocument::Load(
      "<BoxNwLib><Message><Result>0</Result><AccessMode>1</AccessMode>"
      "</Message></BoxNwLib>");
  EXPECT_EQ(RaisedCode([&] { boxlink::ParseServiceStatus(*missing); }), 11u);
}

}  // namespace
