#include "keeper/app/archive_info.h"

#include <gtest/gtest.h>

namespace keeper {
namespace {

TEST(ArchiveInfoTest, SuitabilityBetweenSeries) {
  struct Case {
    const char* archive;
    const char* device;
    bool ok;
  } cases[] = {
      {"Varda 340 Series V1.0", "Varda 540 Series V1.0", true},
      {"Varda 340 Series V1.0", "Varda 930 Series V1.0", false},
      {"Varda 910 Series V1.0", "Varda 930 Series V1.0", true},
      {"Varda 910 Series V1.0", "Varda 5730C Series V3.0", false},
      {"Varda 4720c Series V2.0.1.0", "Varda 4720c Series V2.0.0.0", false},
      {"Varda 4720c Series V2.0.0.0", "Varda 4720c Series V2.0.1.0", true},
      {"Varda7120/7140 V1.3", "Varda7120/7140 V1.3", true},
      {"Varda7120/7140 V1.3", "", false},
      {"Varda 5730C Series V3.0", "Varda 7730C Series V3.0", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ArchiveSuitsDevice(c.archive, c.device), c.ok)
        << c.archive << " -> " << c.device;
}

TEST(ArchiveInfoTest, SizeTexts) {
  EXPECT_EQ(SizeText(1500), "1500 KB");
  EXPECT_EQ(SizeText(2048), "2 MB");
  EXPECT_EQ(SizeText(2047), "2047 KB");  // 2047 / 1024 is 1, not above
  EXPECT_EQ(SizeText(0), "1 KB");
  EXPECT_EQ(SizeText(5 * 1024 + 10), "5 MB");
}

}  // namespace
}  // namespace keeper
