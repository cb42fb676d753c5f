#include "keeper/app/about_info.h"

#include <gtest/gtest.h>

#include <fstream>

#include "desktop/testing/map_texts.h"
#include "platform/testing/temp_dir.h"

namespace keeper {
namespace {

TEST(AboutInfoTest, VersionFromTheSettingsFile) {
  platform::ScopedTempDir dir;
  desktop::MapTexts texts({{12005, "keeper.ini"}, {211, "about.png"}});
  AboutInfo none = ReadAboutInfo(texts, dir.path());
  EXPECT_EQ(none.version, "") << "no settings file: nothing";
  EXPECT_EQ(none.picture_path, std::string(dir.path()) + "/about.png");

  std::ofstream(std::string(dir.path()) + "/keeper.ini")
      << "; settings\n[Other]\nAppVersion=9\n\n[zelt]\r\n"
         "  AppVersion = 2.4.1 \r\n";
  EXPECT_EQ(ReadAboutInfo(texts, dir.path()).version, "2.4.1");
  EXPECT_FALSE(ReadIniValue(std::string(dir.path()) + "/keeper.ini", "ZELT",
                            "Missing"));
}

}  // namespace
}  // namespace keeper
