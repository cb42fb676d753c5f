#include "boxlink/convert/legacy_layout.h"

#include <gtest/gtest.h>

namespace boxlink::legacy {
namespace {

uint8_t At(const std::string& b, size_t i) { return static_cast<uint8_t>(b[i]); }

TEST(LegacyLayoutTest, DescriptorFieldsSitAtTheirOffsets) {
  Descriptor d;
  d.number = 7;
  d.name = u"Ab\u00e9";
  d.job_source = kSourceCopy | kSourceFax;
  d.paper_flags = 0x01024000;
  d.paper_type = 0x8100;
  d.colour_flags = 0x0204;
  d.pages = 0x0123;
  d.data_size = 0x0A0B0C0D;
  std::string b = EncodeDescriptor(d, false);
  ASSERT_EQ(b.size(), kDescriptorBytes);
  EXPECT_EQ(b.substr(0, 8), "D0000007");
  EXPECT_EQ(At(b, 8), 0);
  // The name, UTF-16 with the low byte first, from byte 9.
  EXPECT_EQ(b.substr(9, 8), std::string("A\0b\0\xe9\0\0\0", 8));
  EXPECT_EQ(At(b, 157), kSourceCopy | kSourceFax);
  EXPECT_EQ(b.substr(160, 4), std::string("\x01\x02\x40\x00", 4));  // big-endian
  EXPECT_EQ(b.substr(164, 2), std::string("\x81\x00", 2));
  EXPECT_EQ(b.substr(166, 2), std::string("\x04\x02", 2));  // low byte first
  EXPECT_EQ(b.substr(169, 2), std::string("\x23\x01", 2));  // low byte first
  EXPECT_EQ(b.substr(172, 4), std::string("\x0a\x0b\x0c\x0d", 4));

  Descriptor back = DecodeDescriptor(b);
  EXPECT_EQ(back.number, 7u);
  EXPECT_EQ(back.name, d.name);
  EXPECT_EQ(back.paper_flags, d.paper_flags);
  EXPECT_EQ(back.colour_flags, d.colour_flags);
  EXPECT_EQ(back.pages, d.pages);
  EXPECT_EQ(back.data_size, d.data_size);
  EXPECT_TRUE(back.IsColour());
  EXPECT_TRUE(back.IsWidePaper());
  EXPECT_TRUE(back.IsCompoundCopy());
}

TEST(LegacyLayoutTest, TheThreeChecksLookAtTheirBitsOnly) {
  struct Case {
    uint8_t source;
    uint32_t paper;
    uint16_t colour;
    bool compound, wide, colourful;
  } cases[] = {
      {kSourceCopy, 4, 1, false, false, false},
      {kSourceCopy | kSourceScan, 4, 1, true, false, false},
      {kSourceCopy | kSourcePrint, 4, 1, true, false, false},
      {kSourceCopy | kSourceFax, 4, 1, true, false, false},
      {kSourceScan | kSourcePrint, 4, 1, false, false, false},  // no copy
      {kSourceReceived | kSourceCopy, 4, 1, false, false, false},
      {kSourceScan, 1u << 14, 1, false, true, false},
      {kSourceScan, 1u << 15, 1, false, true, false},
      {kSourceScan, 1u << 13 | 1u << 16, 1, false, false, false},  // neighbours
      {kSourceScan, 4, 1u << 9, false, false, true},
      {kSourceScan, 4, 1u << 10, false, false, true},
      {kSourceScan, 4, 1u << 8 | 1u << 11 | 0xF, false, false, false},
  };
  for (const Case& c : cases) {
    Descriptor d;
    d.job_source = c.source;
    d.paper_flags = c.paper;
    d.colour_flags = c.colour;
    Descriptor back = DecodeDescriptor(EncodeDescriptor(d, false));
    EXPECT_EQ(back.IsCompoundCopy(), c.compound) << int(c.source);
    EXPECT_EQ(back.IsWidePaper(), c.wide) << c.paper;
    EXPECT_EQ(back.IsColour(), c.colourful) << c.colour;
  }
}

TEST(LegacyLayoutTest, ShortAndOddInputDecodesToZerosAndCutTexts) {
  Descriptor empty = DecodeDescriptor("");
  EXPECT_EQ(empty.number, 0u);
  EXPECT_TRUE(empty.name.empty());
  EXPECT_EQ(empty.pages, 0u);
  // A name without a terminator stops at its field: 63 units and the rest
  // of the 128 bytes.
  std::string b(kDescriptorBytes, '\0');
  for (size_t i = 9; i < 9 + 200 && i < b.size(); ++i) b[i] = 'x';
  Descriptor d = DecodeDescriptor(b);
  EXPECT_EQ(d.name.size(), 64u);
  // Digits read up to the first other character.
  EXPECT_EQ(DecodeDescriptor("D12x4567").number, 12u);
  // An encoded name too long for its field is cut, never past the field.
  Descriptor long_name;
  long_name.name = std::u16string(100, u'n');
  std::string enc = EncodeDescriptor(long_name, true);
  EXPECT_EQ(enc.substr(0, 1), "F");
  EXPECT_EQ(DecodeDescriptor(enc).name.size(), 63u);
  EXPECT_EQ(At(enc, 137), 0);
}

TEST(LegacyLayoutTest, PageJobAndBoxDescriptorsRoundTrip) {
  PageDescriptor p;
  p.number = 3;
  p.file_size = 123456;
  p.job_type = 2;
  p.paper_size = 0x800000;
  p.resolution = 64;
  p.colour_mode = 4;
  p.width = -5;
  p.height = 3508;
  p.adjusted_width = 2400;
  p.adjusted_height = 3400;
  p.angle = 270;
  p.orientation = 256;
  std::string pb = EncodePageDescriptor(p);
  ASSERT_EQ(pb.size(), kPageDescriptorBytes);
  EXPECT_EQ(pb.substr(12, 4), std::string("\x00\x01\xe2\x40", 4));
  EXPECT_EQ(pb.substr(42, 2), std::string("\xff\xfb", 2));
  PageDescriptor pback = DecodePageDescriptor(pb);
  EXPECT_EQ(pback.number, 3u);
  EXPECT_EQ(pback.paper_size, p.paper_size);
  EXPECT_EQ(pback.width, -5);
  EXPECT_EQ(pback.angle, 270);
  EXPECT_EQ(pback.orientation, 256);

  JobFile j;
  j.job_type = 2;
  j.paper_size = 0x4000;
  j.copies = 3;
  j.output_tray = 6;
  JobFile jback = DecodeJobFile(EncodeJobFile(j));
  EXPECT_EQ(jback.job_type, 2);
  EXPECT_EQ(jback.paper_size, 0x4000u);
  EXPECT_EQ(jback.copies, 3);
  EXPECT_EQ(jback.output_tray, 6);

  BoxDescriptor bd;
  bd.number_text = "12";
  bd.name = u"\u65e5\u672c";
  bd.user = "owner";
  bd.password = "pw";
  bd.created = 0x11223344;
  bd.preserve_days = -2;
  bd.notify = 5;
  bd.email = "a@b.test";
  std::string bb = EncodeBoxDescriptor(bd);
  ASSERT_EQ(bb.size(), kBoxDescriptorBytes);
  EXPECT_EQ(bb.substr(585, 3), std::string("pw\0", 3));
  EXPECT_EQ(bb.substr(716, 4), std::string("\x11\x22\x33\x44", 4));
  BoxDescriptor bback = DecodeBoxDescriptor(bb);
  EXPECT_EQ(bback.number_text, "12");
  EXPECT_EQ(bback.name, bd.name);
  EXPECT_EQ(bback.user, "owner");
  EXPECT_EQ(bback.password, "pw");
  EXPECT_EQ(bback.preserve_days, -2);
  EXPECT_EQ(bback.notify, 5);
  EXPECT_EQ(bback.email, "a@b.test");
}

TEST(LegacyLayoutTest, NumbersComeFromFileNames) {
  EXPECT_EQ(DescriptorNumber("D0000005.XML", 'D'), 5u);
  EXPECT_EQ(DescriptorNumber("D0000123.xml", 'D'), 123u);
  EXPECT_EQ(DescriptorNumber("D00001000.XML", 'D'), 1000u);
  EXPECT_EQ(DescriptorNumber("F0000002.XML", 'F'), 2u);
  EXPECT_FALSE(DescriptorNumber("F0000002.XML", 'D'));
  EXPECT_FALSE(DescriptorNumber("D0000005", 'D'));
  EXPECT_FALSE(DescriptorNumber("D000005.XML", 'D'));
  EXPECT_FALSE(DescriptorNumber("D00000x5.XML", 'D'));
  EXPECT_FALSE(DescriptorNumber("D0001005.XML", 'D'));
  EXPECT_EQ(PageNumber("PAGE001.XML"), 1u);
  EXPECT_EQ(PageNumber("PAGE042.tjp"), 42u);
  EXPECT_FALSE(PageNumber("PRINTJOB.XML"));
  EXPECT_FALSE(PageNumber("12"));
}

}  // namespace
}  // namespace boxlink::legacy
