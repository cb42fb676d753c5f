#include "devsim/ftp/ftp_listing.h"

#include <gtest/gtest.h>

#include <sstream>

namespace devsim {
namespace {

std::vector<std::string> Lines(const std::string& text, char end) {
  std::vector<std::string> out;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line, end)) out.push_back(line);
  return out;
}

TEST(FtpListingTest, FixedColumnsPutNameAt57thCharacter) {
  std::vector<FtpListEntry> entries = {
      {"B0000001", true, 4096, 1700000000},
      {"B0000001.XML", false, 12345678901ULL, 1700000000},
      {"name with spaces ä", false, 1, 0}};
  std::string text = FormatListing(FtpDialect::kFixedColumns, entries);
  EXPECT_EQ(text.find('\r'), std::string::npos) << "single line feeds only";
  auto lines = Lines(text, '\n');
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_TRUE(lines[0].starts_with("total "));
  EXPECT_EQ(lines[1], "") << "second header line";
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto& l = lines[i + 2];
    EXPECT_EQ(l[0], entries[i].folder ? 'd' : '-');
    EXPECT_EQ(l.substr(kFixedNameColumn), entries[i].name) << l;
  }
}

TEST(FtpListingTest, UnixLinesHaveNameFromNinthField) {
  FtpListEntry e{"my folder", true, 4096, 1700000000};
  std::string line = FormatUnixLine(e);
  std::istringstream in(line);
  std::string field;
  for (int i = 0; i < 8; ++i) in >> field;
  EXPECT_NE(field.find(':'), std::string::npos) << "8th field is the time";
  std::string rest;
  std::getline(in >> std::ws, rest);
  EXPECT_EQ(rest, "my folder");
  EXPECT_EQ(line[0], 'd');
  std::string listing = FormatListing(FtpDialect::kUnixLong, {e});
  EXPECT_TRUE(listing.starts_with("total 4\r\n"));
  EXPECT_TRUE(listing.ends_with("my folder\r\n"));
}

}  // namespace
}  // namespace devsim
