#include "keeper/app/progress_text.h"

#include <gtest/gtest.h>

#include "keeper/app/strings.h"

namespace keeper {
namespace {

TEST(ProgressTextTest, PhaseStringsByState) {
  const uint32_t expected[][2] = {{1, 90}, {2, 91}, {3, 92}, {4, 93},
                                  {5, 94}, {6, 0},  {7, 95}, {8, 96},
                                  {9, 0},  {10, 0}, {0, 0}};
  for (const auto& e : expected)
    EXPECT_EQ(PhaseStringForState(e[0]), e[1]) << "state " << e[0];
  for (uint32_t id : {90u, 91u, 92u, 93u, 94u, 95u, 96u, 45u, 46u})
    EXPECT_FALSE(KeeperString(id).empty()) << id;
}

TEST(ProgressTextTest, CountLine) {
  EXPECT_EQ(CountLine(3, 12), std::string(KeeperString(113)) + " 3 / 12");
}

TEST(ProgressTextTest, NameLineShortensFolderThenDocumentThenBox) {
  struct Case {
    const char* box;
    const char* folder;
    const char* doc;
    size_t width;
    const char* expected;
  } cases[] = {
      {"Sales", "Invoices", "Scan-001", 40, "Sales\\Invoices\\Scan-001"},
      {"Sales", "", "Scan-001", 40, "Sales\\Scan-001"},
      {"Sales", "", "", 40, "Sales"},
      {"Sales", "Invoices", "Scan-001", 20, "Sales\\...\\Scan-001"},
      {"Sales", "Invoices", "Scan-001", 14, "Sales\\...\\Scan"},
      {"Sales", "", "Scan-001", 10, "Sales\\Scan"},
      {"SalesDepartment", "Invoices", "Scan-001", 8, "SalesDep"},
      // Cuts count characters, not bytes.
      {"Büro", "", "Überweisung", 8, "Büro\\Übe"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(NameLine(c.box, c.folder, c.doc, c.width), c.expected)
        << c.box << "|" << c.folder << "|" << c.doc << " @" << c.width;
}

}  // namespace
}  // namespace keeper
