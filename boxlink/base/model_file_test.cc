#include "boxlink/base/model_file.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using boxlink::AppendFrameworkString;
using boxlink::FrameworkReader;

std::string Hex(std::string_view bytes, size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n && i < bytes.size(); ++i) {
    auto b = static_cast<uint8_t>(bytes[i]);
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

// The prefix switches form exactly at 255 and 0xFFFE characters.
TEST(FrameworkStringTest, LengthPrefixFormsRoundTrip) {
  struct Case {
    size_t length;
    std::string prefix_hex;
  } cases[] = {
      {0, "00"},
      {1, "01"},
      {254, "fe"},
      {255, "ffff00"},
      {0xFFFD, "fffdff"},
      {0xFFFE, "fffffffeff0000"},
      {70000, "ffffff70110100"},
  };
  for (const Case& c : cases) {
    std::string text(c.length, 'x');
    std::string bytes;
    AppendFrameworkString(&bytes, text);
    EXPECT_EQ(Hex(bytes, c.prefix_hex.size() / 2), c.prefix_hex)
        << c.length;
    FrameworkReader in(bytes);
    std::string back;
    ASSERT_TRUE(in.ReadString(&back)) << c.length;
    EXPECT_EQ(back, text);
    EXPECT_TRUE(in.at_end());
  }
}

TEST(FrameworkStringTest, Utf16MarkerIsConvertedToTheCodePage) {
  // 0xFF 0xFFFE, then the length 3 and three UTF-16 units.
  const std::string bytes("\xFF\xFE\xFF\x03" "A\0" "\xFC\0" "B\0", 10);
  FrameworkReader in(bytes);
  std::string text;
  ASSERT_TRUE(in.ReadString(&text));
  EXPECT_EQ(text, "A\xC3\xBC" "B");  // the code page is UTF-8 here

  std::string written;
  AppendFrameworkString(&written, "A\xC3\xBC" "B", /*utf16=*/true);
  EXPECT_EQ(written, bytes);
}

TEST(FrameworkStringTest, ShortDataFailsAndLeavesTheCursor) {
  const std::string cases[] = {
      std::string(),                        // no prefix at all
      std::string("\x05" "abc"),            // characters cut
      std::string("\xFF\x10", 2),           // u16 length cut
      std::string("\xFF\xFF\xFF\xF0\xFF\xFF\xFF", 7),  // 4 GiB asked for
      std::string("\xFF\xFE\xFF\x02" "A\0" "B", 7),    // UTF-16 cut
      std::string("\xFF\xFE\xFF\xFF\xFE\xFF\x01" "A", 8),  // marker twice
  };
  for (const std::string& bytes : cases) {
    FrameworkReader in(bytes);
    std::string text = "unchanged";
    EXPECT_FALSE(in.ReadString(&text)) << Hex(bytes, bytes.size());
    EXPECT_EQ(in.remaining(), bytes.size());
  }
}

TEST(ModelFileTest, EncodesRecordsInOrder) {
  std::string bytes = boxlink::EncodeModelFile(
      {{"KVX_Supported_Models", {"Varda 8000", "Varda 8100"}}, {"B", {}}});
  FrameworkReader in(bytes);
  uint32_t n = 0, m = 0;
  std::string s;
  ASSERT_TRUE(in.ReadU32(&n));
  EXPECT_EQ(n, 2u);
  ASSERT_TRUE(in.ReadString(&s));
  EXPECT_EQ(s, "KVX_Supported_Models");
  ASSERT_TRUE(in.ReadU32(&m));
  EXPECT_EQ(m, 2u);
  ASSERT_TRUE(in.ReadString(&s));
  EXPECT_EQ(s, "Varda 8000");
  ASSERT_TRUE(in.ReadString(&s));
  EXPECT_EQ(s, "Varda 8100");
  ASSERT_TRUE(in.ReadString(&s));
  EXPECT_EQ(s, "B");
  ASSERT_TRUE(in.ReadU32(&m));
  EXPECT_EQ(m, 0u);
  EXPECT_TRUE(in.at_end());
}

}  // namespace
