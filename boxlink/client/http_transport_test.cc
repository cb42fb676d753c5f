// The pure parts of the transport: status translation, percent-encoding
// and wait times.
#include "boxlink/client/http_transport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace boxlink {
namespace {

TEST(HttpStatusTest, TranslatedAsTheTableSays) {
  const std::pair<uint32_t, uint32_t> table[] = {
      {200, 0},  {204, 0},  {299, 0},  {300, 12},  {302, 12},   {400, 87},  {401, 12},
      {404, 2},  {405, 50}, {499, 12}, {500, 58},  {503, 100},  {599, 58},  {0, 58},
      {100, 58}, {199, 58}, {600, 12004}, {999, 12004}};
  for (auto [status, code] : table) EXPECT_EQ(translateHttpStatusCode(status), code) << status;
}

TEST(PercentEncodeTest, OnlyHighBytesAreEncoded) {
  char text[kTargetCapacity] = "/a?X=\xE4 &=%\x7F\x80\xFF";
  PercentEncodeHigh(text, sizeof text);
  EXPECT_STREQ(text, "/a?X=%E4 &=%\x7F%80%FF");
  EXPECT_EQ(PercentEncodeHigh(std::string_view("\xC3\xA4")), "%C3%A4");
}

TEST(PercentEncodeTest, NeverWritesPastItsBufferNorSplitsAnEscape) {
  char text[8] = "ab\xE4\xE4\xE4";  // would need 11 bytes
  PercentEncodeHigh(text, sizeof text);
  EXPECT_STREQ(text, "ab%E4");  // "ab%E4%E4" needs 9 bytes
  std::string big(2047, '\xE9');
  char full[kTargetCapacity];
  std::memcpy(full, big.c_str(), big.size() + 1);
  PercentEncodeHigh(full, sizeof full);
  EXPECT_EQ(std::strlen(full), 2046u);  // 682 whole escapes
}

TEST(WaitTimeTest, ByPathSubstrings) {
  EXPECT_EQ(GetWaitTimeForPath("/TarnBox/Admin/boxnwGetBoxList?SID=1"), 7'500'000u);
  EXPECT_EQ(GetWaitTimeForPath("/TarnBox/Admin/boxnwGetFolderDocList?x"), 7'500'000u);
  EXPECT_EQ(GetWaitTimeForPath("/TarnBox/Admin/boxnwGetBoxProperty"), 7'500'000u);
  EXPECT_EQ(GetWaitTimeForPath("/TarnBox/boxnwConnect"), 60'000u);
  EXPECT_EQ(GetWaitTimeForPath("/TarnBox/boxnwDisconnect?SID=00000001"), 250'000u);
  EXPECT_EQ(GetWaitTimeForPath(u"/TarnBox/boxnwConnect"), 60'000u);
  EXPECT_EQ(UrlHost("fe80::1"), "[fe80::1]");
  EXPECT_EQ(UrlHost("10.1.2.3"), "10.1.2.3");
}

}  // namespace
}  // namespace boxlink
