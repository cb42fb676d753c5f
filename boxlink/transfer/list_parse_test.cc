#include "boxlink/transfer/list_parse.h"

#include <gtest/gtest.h>

namespace boxlink::transfer {
namespace {

std::vector<std::string> Names(const FindDataList& l) {
  std::vector<std::string> out;
  for (const auto& e : l) out.push_back(e.name);
  return out;
}

TEST(BriskListAnswerTest, Table) {
  using V = std::vector<std::string>;
  struct Case {
    const char* text;
    V folders, files;
  } cases[] = {
      // Header line, then one more character is dropped (the empty line).
      {"total 8\n\ndrwxr-xr-x  1 device device 0 Jan 01 12:00 B0000001\n"
       "-rw-r--r--  1 device device 10 Jan 01 12:00 B0000001.XML\n",
       {"B0000001"}, {"B0000001.XML"}},
      {"header\n\nlast line without feed CREATE.STS", {}, {"CREATE.STS"}},
      {"no line feed at all", {}, {}},
      {"h\n\nab\nx.y\n", {"ab", "x.y"}, {}},
      // A carriage return before the line feed stays part of the name.
      {"h\n\n- 1 B0000001.XML\r\n", {"B0000001.XML\r"}, {}},
  };
  for (const auto& c : cases) {
    FindDataList folders, files;
    ParseBriskListAnswer(c.text, &folders, &files);
    EXPECT_EQ(Names(folders), c.folders) << c.text;
    EXPECT_EQ(Names(files), c.files) << c.text;
  }
}

TEST(OrielNameListTest, DefaultAndMarkerRules) {
  struct Case {
    const char* line;
    bool marker;
    bool ok;
    int kind;
    const char* name;
  } cases[] = {
      {"drwxr-xr-x   2 root root 4096 Jan 01 12:00 my folder", false, true, 1,
       "my folder"},
      {"drwxr-xr-x 2 root root 4096 Jan 01 12:00 my  folder", false, true, 1,
       "my  folder"},
      {"total 12", false, true, 0, ""},
      {"", false, true, 0, ""},
      {"lrwxrwxrwx 1 a b 1 Jan 01 12:00 link -> x", false, true, 0, ""},
      {"drwxr-xr-x 2 root root 4096 Jan 01 12:00 .", false, true, 0, ""},
      {"drwxr-xr-x 2 root root 4096 Jan 01 12:00 ..", false, true, 0, ""},
      {"-rw-r--r-- 1 root root 1 Jan 01 12:00 ..", false, true, 2, ".."},
      {"-rw-r--r-- 1 root root 10 Jan 01", false, false, 0, ""},
      {"-rw-r--r-- 1 root root 10 Jan 01 12:00 A.XML", true, true, 2, "A.XML"},
      {"-rw-r--r-- 1 root root 10 Jan 01 12:00 a b.XML", true, true, 2,
       "a b.XML"},
      {"-no colon at all", true, true, 2, "-no colon at all"},
      {"dname ends with colon:", true, true, 1, "dname ends with colon"},
  };
  for (const auto& c : cases) {
    int kind = -1;
    std::string name;
    EXPECT_EQ(ParseOrielNameListLine(c.line, c.marker, &kind, &name), c.ok)
        << c.line;
    if (!c.ok) continue;
    EXPECT_EQ(kind, c.kind) << c.line;
    if (kind) {
      EXPECT_EQ(name, c.name) << c.line;
    }
  }
}

TEST(BriskNameListTest, NameFrom57thCharacter) {
  std::string pad(55, ' ');
  bool folder = false;
  std::string name;
  ASSERT_TRUE(ParseBriskNameListLine("d" + pad + "B0000001", &folder, &name));
  EXPECT_TRUE(folder);
  EXPECT_EQ(name, "B0000001");
  ASSERT_TRUE(ParseBriskNameListLine("x" + pad + "A B.XML", &folder, &name));
  EXPECT_FALSE(folder) << "any type but d is a file";
  EXPECT_EQ(name, "A B.XML");
  EXPECT_FALSE(ParseBriskNameListLine("", &folder, &name)) << "empty line ends";
  EXPECT_FALSE(ParseBriskNameListLine("d" + pad, &folder, &name));
}

}  // namespace
}  // namespace boxlink::transfer
