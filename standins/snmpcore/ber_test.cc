#include "snmpcore/ber.h"

#include <gtest/gtest.h>

namespace snmpcore::ber {
namespace {

TEST(BerTest, IntegersUseMinimalTwosComplement) {
  const struct {
    int64_t value;
    std::string encoded;
  } cases[] = {
      {0, std::string("\x02\x01\x00", 3)},
      {127, "\x02\x01\x7F"},
      {128, std::string("\x02\x02\x00\x80", 4)},
      {-1, "\x02\x01\xFF"},
      {-128, "\x02\x01\x80"},
      {-129, "\x02\x02\xFF\x7F"},
      {65507, std::string("\x02\x03\x00\xFF\xE3", 5)},
      {INT32_MAX, "\x02\x04\x7F\xFF\xFF\xFF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Integer(c.value), c.encoded) << c.value;
    Reader r(c.encoded);
    int64_t back = 0;
    ASSERT_TRUE(r.ReadInteger(&back));
    EXPECT_EQ(back, c.value);
  }
}

TEST(BerTest, UnsignedKeepsHighValuesPositive) {
  EXPECT_EQ(Unsigned(0xFFFFFFFFu, kCounter32),
            std::string("\x41\x05\x00\xFF\xFF\xFF\xFF", 7));
  uint64_t v;
  ASSERT_TRUE(DecodeUnsigned(std::string("\x00\xFF\xFF\xFF\xFF", 5), &v));
  EXPECT_EQ(v, 0xFFFFFFFFu);
}

TEST(BerTest, ObjectIdsRoundTrip) {
  std::vector<uint32_t> ids = {1, 3, 6, 1, 4, 1, 58231, 2, 3, 50, 4294967295u};
  std::string tlv = ObjectId(ids);
  Reader r(tlv);
  std::string_view content;
  ASSERT_TRUE(r.Expect(kObjectId, &content));
  std::vector<uint32_t> back;
  ASSERT_TRUE(DecodeObjectId(content, &back));
  EXPECT_EQ(back, ids);
  EXPECT_FALSE(DecodeObjectId("\x2B\x86", &back));  // unfinished
}

TEST(BerTest, LongLengthsAndTruncation) {
  std::string big(300, 'x');
  std::string tlv = OctetString(big);
  EXPECT_EQ(tlv.substr(0, 4), "\x04\x82\x01\x2C");
  Reader r(tlv);
  std::string_view out;
  ASSERT_TRUE(r.ReadOctetString(&out));
  EXPECT_EQ(out, big);
  EXPECT_TRUE(r.empty());
  // Every prefix of a valid encoding is refused, never over-read.
  for (size_t n = 0; n < tlv.size(); ++n) {
    Reader cut(std::string_view(tlv).substr(0, n));
    EXPECT_FALSE(cut.ReadOctetString(&out)) << n;
  }
  const std::string too_long("\x04\x85\x01\x00\x00\x00\x00", 7);
  Reader huge(too_long);
  EXPECT_FALSE(huge.ReadOctetString(&out));
}

}  // namespace
}  // namespace snmpcore::ber
