#include "finder/ipv6_text.h"

#include <gtest/gtest.h>

namespace finder {
namespace {

TEST(Ipv6TextTest, ValidTexts) {
  struct Case {
    const char* text;
    bool valid;
  } cases[] = {
      {"2001:db8::1", true},
      {"   2001:db8::1", true},  // leading blanks are ignored
      {"2001:db8:: 1", false},   // any other blank is not
      {"2001:db8::1 ", false},
      {"::", true},
      {"::1", true},
      {"fe80::", true},
      {"1:2:3:4:5:6:7:8", true},
      {"1:2:3:4:5:6:7", false},      // seven groups without "::"
      {"1:2:3:4:5:6:7:8:9", false},  // eight colons
      {"1:2:3:4:5:6:7::", true},     // eight colons with "::" at an end
      {"::2:3:4:5:6:7:8", true},
      {"1:2:3::5:6:7:8:9", false},
      {"1:2:3:4::5:6:7:8", false},   // "::" with eight groups
      {"1::2::3", false},            // "::" twice
      {":::", false},
      {":1:2:3:4:5:6:7", false},     // a lone leading colon
      {"1:2:3:4:5:6:7:", false},
      {"12345::1", false},           // five digits in a group
      {"2001:db8::g", false},        // not hexadecimal
      {"1:2", false},                // one colon
      {"::ffff:10.0.0.1", true},
      {"1:2:3:4:5:6:10.0.0.1", true},  // the tail counts as two groups
      {"1:2:3:4:5:6:7:10.0.0.1", false},
      {"::10.0.0", false},             // two dots
      {"::10.0.0.256", false},
      {"::10.0.00.1", false},          // "00" is neither 1-255 nor "0"
      {"::10.0.0.0", true},
      {"::1.2.3.4:5", false},          // the tail must come last
      {"ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff", true},  // 39 characters
      {"0ffff:ffff:ffff:ffff:ffff:ffff:ffff:fff", false},
      {"", false},
      {"   ", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsValidIpv6Text(c.text), c.valid) << "\"" << c.text << "\"";
}

TEST(Ipv6TextTest, FullAndCompressedForms) {
  struct Case {
    const char* text;
    const char* full;
    const char* compressed;
  } cases[] = {
      {"2001:DB8::1", "2001:0db8:0000:0000:0000:0000:0000:0001", "2001:db8::1"},
      {"::", "0000:0000:0000:0000:0000:0000:0000:0000", "::"},
      {"fe80::", "fe80:0000:0000:0000:0000:0000:0000:0000", "fe80::"},
      {"::1", "0000:0000:0000:0000:0000:0000:0000:0001", "::1"},
      // The first run of zero groups is compressed, even a single group,
      // though a longer one follows.
      {"1:0:2:0:0:0:0:3", "0001:0000:0002:0000:0000:0000:0000:0003", "1::2:0:0:0:0:3"},
      {"1:2:3:4:5:6:7:0", "0001:0002:0003:0004:0005:0006:0007:0000", "1:2:3:4:5:6:7::"},
      {"::ffff:10.0.0.1", "0000:0000:0000:0000:0000:ffff:0a00:0001", "::ffff:a00:1"},
      {"  2001:db8::ff", "2001:0db8:0000:0000:0000:0000:0000:00ff", "2001:db8::ff"},
      // A tail number with leading zeros is still the number.
      {"::ffff:19.1.02.001", "0000:0000:0000:0000:0000:ffff:1301:0201", "::ffff:1301:201"},
  };
  for (const Case& c : cases) {
    auto full = FullIpv6(c.text);
    ASSERT_TRUE(full) << c.text;
    EXPECT_EQ(*full, c.full) << c.text;
    EXPECT_EQ(CompressIpv6(*full).value_or("<none>"), c.compressed) << c.text;
    // The compressed form reads back to the same address.
    EXPECT_EQ(FullIpv6(*CompressIpv6(*full)).value_or("<none>"), c.full);
  }
  EXPECT_FALSE(FullIpv6("1::2::3"));
  EXPECT_FALSE(CompressIpv6("2001:db8::1"));  // not a full form
  EXPECT_TRUE(IsZeroIpv6("0000:0000:0000:0000:0000:0000:0000:0000"));
  EXPECT_FALSE(IsZeroIpv6("0000:0000:0000:0000:0000:0000:0000:0001"));
  EXPECT_TRUE(IsAllOnesIpv6("FFFF:ffff:ffff:ffff:ffff:ffff:ffff:ffff"));
  EXPECT_FALSE(IsAllOnesIpv6("ffff:ffff:ffff:ffff:ffff:ffff:ffff:fffe"));
}

}  // namespace
}  // namespace finder
