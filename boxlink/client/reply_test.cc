#include "boxlink/client/reply.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "boxlink/base/box_error.h"
#include "boxlink/testing/raised_code_testing.h"
#include "platform/last_error.h"
#include "platform/testing/fake_env.h"
#include "platform/text.h"

namespace boxlink {
namespace {

constexpr char kBoxList[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<BoxNwLib><Header><Version>Varda 560 Series V4.0.0.0</Version></Header>"
    "<Message><Result>0</Result>"
    "<Boxes NumOfBoxes=\"3\">"
    "<BoxProp BoxNo=\"1\"><Name>営業部の書類箱です営業部の書類箱です営業</Name>"
    "<LastUpdateDate>0</LastUpdateDate><Docs> 42abc</Docs></BoxProp>"
    "<BoxProp BoxNo=\"12\"><Name><![CDATA[R&D <scans>]]></Name>"
    "<LastUpdateDate>1767225600</LastUpdateDate><Docs>-7</Docs></BoxProp>"
    "</Boxes></Message></BoxNwLib>";

constexpr char kItem[] = "BoxNwLib/Message/Boxes/BoxProp";


TEST(ReplyLoadTest, MinimalReplyLoadsAndMissingHeaderIs11) {
  auto doc = ReplyDocument::Load(
      "<BoxNwLib><Message><Result>0</Result></Message></BoxNwLib>");
  ASSERT_NE(doc, nullptr);
  char buf[256] = "unchanged";
  EXPECT_EQ(GetNodeText(*doc, "BoxNwLib/Header/Version", buf, sizeof buf), 11u);
  EXPECT_EQ(GetNodeText(*doc, "BoxNwLib/Message/Result", buf, sizeof buf), 0u);
  EXPECT_STREQ(buf, "0");
}

TEST(ReplyLoadTest, NotWellFormedRepliesGiveNoDocument) {
  const char* bad[] = {
      "",
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>500 "
      "Internal Server Error</title></head><body><h1>Error</h1><br>"
      "</body></html>",
      "<BoxNwLib><Message><Result>0</Result></Message>",      // cut short
      "<a/><b/>",                                              // two roots
      "<BoxNwLib/>trailing text",
      "just text",
      "<?xml version=\"1.0\" encoding=\"NO-SUCH-CHARSET\"?><a/>",
  };
  for (const char* reply : bad) {
    platform::SetLastError(0);
    EXPECT_EQ(ReplyDocument::Load(reply), nullptr) << reply;
    EXPECT_EQ(platform::GetLastError(), 11u) << reply;
  }
}

TEST(ReplyLoadTest, ExternalEntitiesAreNeverFetched) {
  platform::ScopedTempDir dir;
  platform::WriteTestFile(dir.Sub("secret.txt"), "SECRET");
  std::string reply = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"" +
                      dir.Sub("secret.txt") +
                      "\">]><r><v>&x;</v></r>";
  auto doc = ReplyDocument::Load(reply);
  if (doc) {
    auto v = doc->Text("r/v");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->find("SECRET"), std::string::npos);
  }
}

TEST(ReplyLoadTest, TheDeclarationDecidesTheCharacterSet) {
  // "箱" in Shift_JIS is 0x94 0xA0.
  std::string sjis =
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><r><n>\x94\xA0</n></r>";
  auto doc = ReplyDocument::Load(sjis);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->Text("r/n"), "箱");

  std::u16string utf16 = u"\uFEFF<r><n>箱</n></r>";
  std::string bytes(reinterpret_cast<const char*>(utf16.data()),
                    utf16.size() * 2);
  doc = ReplyDocument::Load(bytes);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->Text("r/n"), "箱");
}

TEST(ReplyReadTest, TextsAreCutAtCapacityAndAlwaysTerminated) {
  auto doc = ReplyDocument::Load(kBoxList);
  ASSERT_NE(doc, nullptr);
  char small[8];
  ASSERT_EQ(GetNodeText(*doc, "BoxNwLib/Header/Version", small, sizeof small),
            0u);
  EXPECT_STREQ(small, "Varda 5");
  char full[256];
  ASSERT_EQ(GetChildText(*doc, "BoxNwLib/Header", "Version", full, sizeof full),
            0u);
  EXPECT_STREQ(full, "Varda 560 Series V4.0.0.0");
  EXPECT_EQ(GetChildText(*doc, "BoxNwLib/Header", "Nope", full, sizeof full),
            11u);
}

TEST(ReplyReadTest, JapaneseBoxNameComesOutAsFullUtf8) {
  auto doc = ReplyDocument::Load(kBoxList);
  ASSERT_NE(doc, nullptr);
  char name[256];
  std::memset(name, 'X', sizeof name);
  GetItemChildText(*doc, kItem, 0, "Name", name, sizeof name);
  EXPECT_EQ(std::strlen(name), 60u);
  EXPECT_STREQ(name, "営業部の書類箱です営業部の書類箱です営業");

  char16_t wide[64];
  GetItemChildWideText(*doc, kItem, 0, "Name", wide, 64);
  EXPECT_EQ(platform::U16Length(wide), 20u);
  GetItemChildWideText(*doc, kItem, 1, "Name", wide, 64);
  EXPECT_EQ(std::u16string(wide), u"R&D <scans>");  // CDATA is text too
}

TEST(ReplyReadTest, ListReadsAndACountLargerThanTheItems) {
  auto doc = ReplyDocument::Load(kBoxList);
  ASSERT_NE(doc, nullptr);
  int32_t count =
      GetNodeAttributeNumber(*doc, "BoxNwLib/Message/Boxes", "NumOfBoxes");
  ASSERT_EQ(count, 3);
  EXPECT_EQ(GetItemAttributeNumber(*doc, kItem, 0, "BoxNo"), 1);
  EXPECT_EQ(GetItemAttributeNumber(*doc, kItem, 1, "BoxNo"), 12);
  char no[4];
  GetItemAttribute(*doc, kItem, 1, "BoxNo", no, sizeof no);
  EXPECT_STREQ(no, "12");
  EXPECT_EQ(GetItemChildNumber(*doc, kItem, 0, "Docs"), 42);
  EXPECT_EQ(GetItemChildNumber(*doc, kItem, 1, "Docs"), -7);
  char buf[256];
  EXPECT_EQ(RaisedCode([&] { GetItemChildText(*doc, kItem, 2, "Name", buf, 256); }),
            11u);
  EXPECT_EQ(RaisedCode([&] { GetItemChildNumber(*doc, kItem, 0, "Missing"); }),
            11u);
  EXPECT_EQ(RaisedCode([&] { GetItemAttributeNumber(*doc, kItem, 0, "No"); }),
            11u);
  EXPECT_EQ(RaisedCode([&] { GetChildNumber(*doc, "BoxNwLib", "Nope"); }), 11u);
  EXPECT_EQ(GetNodeAttribute(*doc, "BoxNwLib/Message/Boxes", "Other", buf, 256),
            11u);
  EXPECT_EQ(RaisedCode([&] { GetItemChildNumber(*doc, "bad[[path", 0, "x"); }),
            11u);
}

TEST(ReplyReadTest, NumbersReadLikeTheCLibrary) {
  const std::pair<const char*, int32_t> cases[] = {
      {"0", 0},         {"00", 0},         {" 42abc", 42},
      {"-7", -7},       {"+5", 5},         {"abc", 0},
      {"", 0},          {"\t\n 13", 13},   {"99999999999", INT32_MAX},
      {"-99999999999", INT32_MIN},         {"4294967295", INT32_MAX},
  };
  for (auto [text, value] : cases) EXPECT_EQ(ParseDecimal(text), value) << text;
}

TEST(ReplyReadTest, TimesInUtcAndLocal) {
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  env.SetFixedTimeZone(9 * 60);
  auto doc = ReplyDocument::Load(kBoxList);
  ASSERT_NE(doc, nullptr);
  platform::SystemTime t;
  GetItemChildTime(*doc, kItem, 0, "LastUpdateDate", &t, true);
  EXPECT_EQ(t.year, 1970);  // 0 stays at the origin even in local time
  EXPECT_EQ(t.month, 1);
  EXPECT_EQ(t.day, 1);
  EXPECT_EQ(t.hour, 0);
  GetItemChildTime(*doc, kItem, 1, "LastUpdateDate", &t, false);
  EXPECT_EQ(t.year, 2026);
  EXPECT_EQ(t.hour, 0);
  EXPECT_EQ(t.day_of_week, 4);
  GetItemChildTime(*doc, kItem, 1, "LastUpdateDate", &t, true);
  EXPECT_EQ(t.hour, 9);
  EXPECT_EQ(
      RaisedCode([&] { GetChildTime(*doc, "BoxNwLib", "None", &t, false); }),
      11u);
}

TEST(ReplyReadTest, UtcToLocalTimeAddsTheDaylightBiasWithoutTheFlag) {
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  env.SetFixedTimeZone(60, 60);
  platform::SystemTime t = platform::SystemTimeFromUnix(1767225600);  // Jan
  UtcToLocalTime(&t, true);
  EXPECT_EQ(t.hour, 1);
  t = platform::SystemTimeFromUnix(1767225600);
  UtcToLocalTime(&t, false);  // bias -60 added afterwards
  EXPECT_EQ(t.hour, 0);
  EXPECT_EQ(t.day, 1);
  platform::SystemTime bad{2026, 2, 0, 30, 0, 0, 0, 0};
  platform::SystemTime copy = bad;
  UtcToLocalTime(&bad, true);
  EXPECT_EQ(std::memcmp(&bad, &copy, sizeof bad), 0);
}

TEST(ReplyChangeTest, FileNodeTextReadsAndRewritesInPlace) {
  platform::ScopedTempDir dir;
  std::string file = dir.Sub("DocProp.xml");
  const std::string original =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Doc>\r\n  "
      "<Name>Scan</Name>\r\n  <Access>100</Access>\r\n</Doc>";
  platform::WriteTestFile(file, original);

  char16_t out[16];
  EXPECT_EQ(FileNodeText(file, "Doc/Name", u"", 1, out, 16), 0u);
  EXPECT_EQ(std::u16string(out), u"Scan");
  EXPECT_EQ(platform::ReadTestFile(file), original);

  EXPECT_EQ(FileNodeText(file, "Doc/Name", u"Scan-001 箱", 0, out, 16), 0u);
  std::string changed = platform::ReadTestFile(file);
  std::string expected = original;
  expected.replace(expected.find("Scan"), 4, "Scan-001 箱");
  EXPECT_EQ(changed, expected);

  platform::SetLastError(0);
  EXPECT_EQ(FileNodeText(file, "Doc/Missing", u"x", 0, out, 16), 11u);
  EXPECT_EQ(platform::GetLastError(), 11u);
  EXPECT_EQ(FileNodeText(dir.Sub("none.xml"), "Doc/Name", u"", 1, out, 16),
            11u);
  platform::WriteTestFile(dir.Sub("bad.xml"), "<Doc>");
  EXPECT_EQ(FileNodeText(dir.Sub("bad.xml"), "Doc", u"", 1, out, 16), 11u);
}

TEST(ReplyChangeTest, FileNodeTextKeepsAUtf16File) {
  platform::ScopedTempDir dir;
  std::string file = dir.Sub("p.xml");
  std::u16string text = u"\uFEFF<Doc><Name>旧</Name></Doc>";
  platform::WriteTestFile(
      file, std::string(reinterpret_cast<const char*>(text.data()),
                        text.size() * 2));
  char16_t out[8];
  ASSERT_EQ(FileNodeText(file, "Doc/Name", u"新しい", 0, out, 8), 0u);
  std::string bytes = platform::ReadTestFile(file);
  std::u16string back(reinterpret_cast<const char16_t*>(bytes.data()),
                      bytes.size() / 2);
  EXPECT_EQ(back, u"\uFEFF<Doc><Name>新しい</Name></Doc>");
}

TEST(ReplyChangeTest, SetNodeTextReplacesTheValue) {
  auto doc = ReplyDocument::Load(kBoxList);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(SetNodeText(*doc, "BoxNwLib/Header/Version", "Varda 930 Series V1.0"),
            0u);
  EXPECT_EQ(doc->Text("BoxNwLib/Header/Version"), "Varda 930 Series V1.0");
  EXPECT_EQ(SetNodeText(*doc, "BoxNwLib/Message/Boxes/@NumOfBoxes", "2"), 0u);
  EXPECT_EQ(GetNodeAttributeNumber(*doc, "BoxNwLib/Message/Boxes", "NumOfBoxes"),
            2);
  EXPECT_EQ(SetNodeText(*doc, "BoxNwLib/Nope", "x"), 11u);
}

}  // namespace
}  // namespace boxlink
