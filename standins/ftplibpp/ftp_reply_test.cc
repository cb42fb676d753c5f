#include "standins/ftplibpp/ftp_reply.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace ftpc {
namespace {

TEST(ReplyAssemblerTest, SplitsRepliesAndWaitsForTheirLastLine) {
  ReplyAssembler a;
  a.Feed("220-Welcome\r\n220-second line\r\n");
  EXPECT_FALSE(a.Next().has_value()) << "multi-line reply is not complete";
  a.Feed("  230 inside the text, not an end\r\n220 ready\r\n331 pass");
  auto r = a.Next();
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->code, 220);
  EXPECT_EQ(r->text,
            "220-Welcome\r\n220-second line\r\n  230 inside the text, not an "
            "end\r\n220 ready\r\n");
  EXPECT_FALSE(a.Next().has_value()) << "no line feed yet";
  a.Feed("word\n");
  r = a.Next();
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->code, 331);
  EXPECT_EQ(r->text, "331 password\r\n") << "bare LF normalised to CR LF";
}

TEST(ReplyAssemblerTest, OtherCodeInsideMultiLineDoesNotEndIt) {
  ReplyAssembler a;
  a.Feed("211-Features\r\n211x no\r\n200 not the end\r\n211 End\r\n");
  auto r = a.Next();
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->code, 211);
  EXPECT_NE(r->text.find("200 not the end"), std::string::npos);
}

TEST(ReplyAssemblerTest, ReplyAcrossManyFeeds) {
  ReplyAssembler a;
  for (char c : std::string("250 Directory changed\r\n")) {
    EXPECT_FALSE(a.Next().has_value());
    a.Feed(std::string(1, c));
  }
  auto r = a.Next();
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->code, 250);
}

TEST(PassiveReplyTest, Pasv) {
  struct Case {
    const char* text;
    bool ok;
    const char* host;
    uint16_t port;
  } cases[] = {
      {"227 Entering Passive Mode (127,1,2,3,195,80).", true, "127.1.2.3", 50000},
      {"227 Entering Passive Mode 10,0,0,1,0,21", true, "10.0.0.1", 21},
      {"227 Entering Passive Mode (300,1,2,3,1,1)", false, "", 0},
      {"227 nothing here", false, "", 0},
  };
  for (const auto& c : cases) {
    std::string host;
    uint16_t port = 0;
    EXPECT_EQ(ParsePasvReply(c.text, &host, &port), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(host, c.host) << c.text;
      EXPECT_EQ(port, c.port) << c.text;
    }
  }
}

TEST(PassiveReplyTest, Epsv) {
  struct Case {
    const char* text;
    bool ok;
    uint16_t port;
  } cases[] = {
      {"229 Entering Extended Passive Mode (|||6446|)", true, 6446},
      {"229 ok (!!!21!)", true, 21},
      {"229 Entering Extended Passive Mode (||6446|)", false, 0},
      {"229 Entering Extended Passive Mode (|||70000|)", false, 0},
      {"229 Entering Extended Passive Mode (|||6446", false, 0},
  };
  for (const auto& c : cases) {
    uint16_t port = 0;
    EXPECT_EQ(ParseEpsvReply(c.text, &port), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(port, c.port) << c.text;
    }
  }
}

TEST(ActiveArgumentTest, PortAndEprt) {
  SockAddr v4;
  auto* in = reinterpret_cast<sockaddr_in*>(&v4.storage);
  in->sin_family = AF_INET;
  inet_pton(AF_INET, "127.9.8.7", &in->sin_addr);
  v4.length = sizeof *in;
  v4.set_port(50001);
  EXPECT_EQ(PortArgument(v4), "127,9,8,7,195,81");
  EXPECT_EQ(EprtArgument(v4), "|1|127.9.8.7|50001|");

  SockAddr v6;
  auto* in6 = reinterpret_cast<sockaddr_in6*>(&v6.storage);
  in6->sin6_family = AF_INET6;
  inet_pton(AF_INET6, "::1", &in6->sin6_addr);
  v6.length = sizeof *in6;
  v6.set_port(2121);
  EXPECT_EQ(EprtArgument(v6), "|2|::1|2121|");
}

}  // namespace
}  // namespace ftpc
