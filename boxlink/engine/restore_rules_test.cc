#include "boxlink/engine/restore_rules.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/testing/temp_dir.h"

namespace boxlink {
namespace {

TEST(RestoreNaming, NumberedNamesUseTheFirstSixtyUnits) {
  EXPECT_EQ(NumberedName(u"Scan", 1), u"Scan-001");
  EXPECT_EQ(NumberedName(u"Scan", 1234), u"Scan-1234");
  std::u16string long_name(70, u'a');
  EXPECT_EQ(NumberedName(long_name, 2), std::u16string(60, u'a') + u"-002");
  // A pair cut at unit 60 is dropped whole.
  std::u16string paired = std::u16string(59, u'b') + u"\U0001D11E";
  EXPECT_EQ(NumberedName(paired, 3), std::u16string(59, u'b') + u"-003");
}

TEST(RestoreNaming, FreeNameSkipsTakenCandidates) {
  struct Case { std::set<std::u16string> taken; std::u16string want; };
  const Case cases[] = {
      {{u"Scan"}, u"Scan-001"},
      {{u"Scan", u"Scan-001"}, u"Scan-002"},
      {{u"Scan", u"Scan-001", u"Scan-003"}, u"Scan-002"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FreeNumberedName(u"Scan", [&](std::u16string_view n) {
                return c.taken.count(std::u16string(n)) > 0;
              }),
              c.want);
  }
}

TEST(RestoreNaming, Renumbering) {
  struct Case {
    std::vector<uint32_t> local;
    std::set<uint32_t> device;
    std::vector<uint32_t> docs, folders;
  };
  const Case cases[] = {
      {{1, 2, 3}, {}, {1, 2, 3}, {1, 2, 3}},
      // The first free number stays; the rest fill from 1 upward.
      {{1, 2, 3}, {1, 2}, {4, 5, 3}, {4, 5, 3}},
      {{5, 6}, {1}, {5, 2}, {5, 6}},
      // Documents never collide with the kept number.
      {{3, 1}, {2}, {3, 1}, {3, 1}},
      {{2, 9}, {2}, {1, 9}, {1, 9}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RenumberDocuments(c.local, c.device), c.docs);
    EXPECT_EQ(RenumberFolders(c.local, c.device), c.folders);
  }
}

TEST(RestoreSpace, SmallReportsAreScaled) {
  struct Case { uint32_t free_space, needed; bool enough; };
  const Case cases[] = {
      {5000, 4999, true},  {5000, 5000, false}, {1023, 0, true},
      {1023, 1, false},    {1024, 1023, true},  {1, 0, true},
      {0, 0, false},       {4000000000u, 5000000, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(EnoughSpace(c.free_space, c.needed), c.enough)
        << c.free_space << " " << c.needed;
}

TEST(RestoreTarget, CompatibilityGroups) {
  struct Case { const char* archive; const char* target; bool ok; };
  const Case cases[] = {
      {"Varda 910 Series V1.0", "Varda 930 Series V1.0", true},
      {"Varda 910 Series V1.0", "Varda 5730C Series V3.0", false},
      {"Varda 530 Series V1.0", "Varda 540 Series V1.0", true},
      {"Varda 530 Series V1.0", "Varda 910 Series V1.0", false},
      {"Varda 5730C Series V3.0", "Varda 5730C Series V3.0", true},
      {"Varda 5730C Series V3.0", "Varda 6000 Series V4.0", false},
      {"Varda 4720c Series V2.0", "Varda 4720c Series V2.0 ", false},
      {"Varda 4720c Series V2.0", "Varda 8 Series V2.0 17", true},
      {"Varda 4720c Series V2.0", "Varda 8 Series V2.0 00", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CompatibleTarget(c.archive, c.target), c.ok) << c.archive << " -> " << c.target;
}

std::string Read(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
void Write(const std::string& p, const std::string& b) {
  std::ofstream(p, std::ios::binary) << b;
}

TEST(RestoreItemFiles, LastAccessAndNamesAreRewrittenInPlace) {
  platform::ScopedTempDir dir;
  std::string path = dir.Sub("D0000001.XML");
  std::string original(160, '\x7f');
  Write(path, original);
  ASSERT_TRUE(WriteItemLastAccess(path, BigEndian(0x5F5E1234)));
  std::string b = Read(path);
  EXPECT_EQ(b.substr(148, 4), "\x5f\x5e\x12\x34");
  EXPECT_EQ(b.substr(0, 148), original.substr(0, 148));
  EXPECT_EQ(b.substr(152), original.substr(152));

  ASSERT_TRUE(WriteItemNames(path, "D0000004", u"Scan-001"));
  std::string own;
  std::u16string name;
  ASSERT_TRUE(ReadItemFile(path, &own, &name));
  EXPECT_EQ(own, "D0000004");
  EXPECT_EQ(name, u"Scan-001");
  b = Read(path);
  EXPECT_EQ(b.substr(9 + 16, 146 - 25), std::string(146 - 25, '\0'));
  EXPECT_EQ(b.substr(146), original.substr(146, 2) + "\x5f\x5e\x12\x34" + original.substr(152));

  ASSERT_TRUE(WriteItemOwnName(path, "D0000009"));
  ASSERT_TRUE(ReadItemFile(path, &own, &name));
  EXPECT_EQ(own, "D0000009");
  EXPECT_EQ(name, u"Scan-001");

  Write(path, std::string(151, '\0'));
  EXPECT_FALSE(WriteItemLastAccess(path, BigEndian(1)));
}

TEST(RestorePropertyFiles, ElementsChangeAndTheRestOfTheFileStays) {
  platform::ScopedTempDir dir;
  const std::string path = dir.Sub("documentproperties.xml");
  // As devices write them: a declaration and namespace attributes on the root.
  Write(path,
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<BoxDocument xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n"
        "  <documentName>A &amp; B \xce\xb1</documentName>\n"
        "  <lastAccessDate>1</lastAccessDate>\n"
        "  <jobType>2</jobType>\n"
        "</BoxDocument>\n");
  EXPECT_EQ(ReadPropertyElement(path, "documentName"), u"A & B \u03b1");
  ASSERT_TRUE(RewritePropertyFile(path, "lastAccessDate", u"1700000000"));
  ASSERT_TRUE(RewritePropertyFile(path, "documentName", u"A<1>-001"));
  EXPECT_EQ(ReadPropertyElement(path, "lastAccessDate"), u"1700000000");
  EXPECT_EQ(ReadPropertyElement(path, "documentName"), u"A<1>-001");
  EXPECT_EQ(ReadPropertyElement(path, "jobType"), u"2");
  std::ifstream in(path);
  std::string text{std::istreambuf_iterator<char>(in), {}};
  EXPECT_NE(text.find("xmlns:xs=\"http://www.w3.org/2001/XMLSchema\""), std::string::npos);
  EXPECT_NE(text.find("A&lt;1&gt;-001"), std::string::npos);

  // A missing element or a file that is no property file is refused.
  EXPECT_FALSE(ReadPropertyElement(path, "folderName"));
  EXPECT_FALSE(RewritePropertyFile(path, "folderName", u"F"));
  Write(path, "<Other/>");
  EXPECT_FALSE(RewritePropertyFile(path, "documentName", u"F"));
  EXPECT_FALSE(RewritePropertyFile(dir.Sub("missing.xml"), "documentName", u"F"));
}

// Item and property files come from the archive; one of them can be far
// larger than a device ever writes. Such a file is not read into memory:
// it counts as unreadable.
TEST(RestorePropertyFiles, OversizedFilesAreNotRead) {
  platform::ScopedTempDir dir;
  const std::string padding(2 << 20, 'x');
  const std::string props = dir.Sub("documentproperties.xml");
  platform::WriteTestFile(props, "<BoxDocument><documentName>Scan</documentName><!--" +
                                     padding + "--></BoxDocument>");
  EXPECT_FALSE(ReadPropertyElement(props, "documentName"));
  EXPECT_FALSE(RewritePropertyFile(props, "documentName", u"Other"));

  std::string item(180, '\0');
  item.replace(0, 8, "D0000001");
  item[9] = 'S';
  const std::string path = dir.Sub("D0000001.XML");
  platform::WriteTestFile(path, item + padding);
  std::string own;
  std::u16string name;
  EXPECT_FALSE(ReadItemFile(path, &own, &name));
  EXPECT_FALSE(WriteItemLastAccess(path, std::string(4, '\1')));
  EXPECT_FALSE(WriteItemNames(path, "D0000002", u"Other"));
  // The same file at its usual size is read.
  platform::WriteTestFile(path, item);
  EXPECT_TRUE(ReadItemFile(path, &own, &name));
  EXPECT_EQ(name, u"S");
}

}  // namespace
}  // namespace boxlink
