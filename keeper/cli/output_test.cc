#include "keeper/cli/output.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "keeper/app/strings.h"

namespace keeper::cli {
namespace {

ProgressView View(uint32_t percent, uint32_t phase) {
  ProgressView v;
  v.percent = percent;
  v.phase_string = phase;
  v.phase = std::string(KeeperString(phase));
  v.counts = "Documents: 3 / 12";
  v.record.box_name = "Sales";
  v.record.folder_name = "Invoices";
  v.record.doc_name = "Scan-001";
  return v;
}

TEST(OutputTest, BarLine) {
  EXPECT_EQ(BarLine(View(50, 92), 200),
            "[##########----------]  50%  Downloading data  "
            "Documents: 3 / 12  Sales\\Invoices\\Scan-001");
  // Narrow terminals lose the folder first, then everything past the width.
  std::string narrow = BarLine(View(100, 90), 80);
  EXPECT_EQ(narrow.rfind("[####################] 100%  Packing data", 0), 0u);
  EXPECT_LE(narrow.size(), 80u);
  EXPECT_EQ(BarLine(View(0, 94), 10), "[---------");
}

TEST(OutputTest, PlainLinesOnlyWhenSomethingChanged) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  ProgressPrinter p(f, /*bar=*/false, 80);
  p.OnProgress(View(5, 94));
  p.OnProgress(View(7, 94));   // same phase, same tenth: nothing
  p.OnProgress(View(12, 94));  // next tenth
  p.OnProgress(View(12, 92));  // new phase
  p.Finish();
  std::rewind(f);
  std::string out;
  char buf[256];
  while (std::fgets(buf, sizeof buf, f)) out += buf;
  std::fclose(f);
  EXPECT_EQ(out,
            "  5% Preparing, Documents: 3 / 12, Sales\n"
            " 12% Preparing, Documents: 3 / 12, Sales\n"
            " 12% Downloading data, Documents: 3 / 12, Sales\n");
}

TEST(OutputTest, Tables) {
  ZBSYSTEMTIME t{2026, 1, 1, 5, 14, 3, 9, 0};
  ZBSYSTEMTIME never{1970, 1, 4, 1, 0, 0, 0, 0};
  std::vector<BoxEntry> boxes = {
      {7, "Sales", true, t}, {12, "Büro", false, {}}, {13, "Scans", false, never}};
  EXPECT_EQ(BoxTable(boxes),
            "box  protected  last backup          name\n"
            "007  yes        2026-01-05 14:03:09  Sales\n"
            "012  no         -- -- --             Büro\n"
            "013  no         never                Scans\n");
  ArchiveInfo info;
  info.backup_type = 1;
  info.date = t;
  info.engine_version = "Varda 910 Series V1.0";
  info.boxes.push_back({3, "Scans", false, 2, 40, 2048, {}});
  std::string text = ArchiveText(info);
  EXPECT_NE(text.find("type:    incremental"), std::string::npos) << text;
  EXPECT_NE(text.find("003        2         40  2 MB      Scans"),
            std::string::npos)
      << text;
}

}  // namespace
}  // namespace keeper::cli
