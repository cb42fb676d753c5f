#include "keeper/app/file_dialog_logic.h"

#include <gtest/gtest.h>

#include "desktop/testing/fake_screen.h"
#include "desktop/testing/map_texts.h"
#include "platform/testing/temp_dir.h"

namespace keeper {
namespace {

TEST(FileDialogLogicTest, FreeSpaceLine) {
  desktop::MapTexts texts({{81, "Free space on"}, {82, "is"}});
  auto fixed = [](uint64_t bytes) {
    return [bytes](const std::string&) -> std::optional<FreeSpace> {
      return FreeSpace{"/home", bytes};
    };
  };
  EXPECT_EQ(FreeSpaceLine("/home/a", texts, fixed(5ull << 30)),
            "Free space on  /home  is  5120  MB");
  EXPECT_EQ(FreeSpaceLine("/home/a", texts, fixed(1048575)),
            "Free space on  /home  is  1023  KB");
  EXPECT_EQ(FreeSpaceLine("/home/a", texts, fixed(1048576)),
            "Free space on  /home  is  1  MB");
  // No line for network paths, relative paths and unreadable folders.
  EXPECT_EQ(FreeSpaceLine("//server/share", texts, fixed(1 << 30)), "");
  EXPECT_EQ(FreeSpaceLine("backups", texts, fixed(1 << 30)), "");
  EXPECT_EQ(FreeSpaceLine("/gone", texts,
                          [](const std::string&) -> std::optional<FreeSpace> {
                            return std::nullopt;
                          }),
            "");
}

TEST(FileDialogLogicTest, FreeSpaceOfARealFolder) {
  platform::ScopedTempDir dir;
  auto space = FreeSpaceOf(dir.path());
  ASSERT_TRUE(space);
  EXPECT_GT(space->free_bytes, 0u);
  EXPECT_EQ(space->root.front(), '/');
  EXPECT_EQ(std::string(dir.path()).rfind(space->root == "/" ? "/" : space->root, 0), 0u);
  EXPECT_FALSE(FreeSpaceOf("/nonexistent/folder"));
}

TEST(FileDialogLogicTest, NamesWithReservedCharactersAreRefused) {
  desktop::FakeScreen screen;
  for (const char* good : {"backup.zip", "B\xC3\xBCro 2024.zip", "a-b_c.zip"})
    EXPECT_TRUE(CheckFileName(good, screen)) << good;
  EXPECT_TRUE(screen.shown().empty());
  for (const char* bad : {"what?.zip", "a*.zip", "x\"y", "a<b", "a>b", "a|b",
                          "a\\b"}) {
    screen.Clear();
    EXPECT_FALSE(CheckFileName(bad, screen)) << bad;
    auto shown = screen.shown();
    ASSERT_EQ(shown.size(), 1u) << bad;
    EXPECT_EQ(shown[0].message.text.id, 75u);
    EXPECT_EQ(shown[0].message.caption.id, 88u);
    EXPECT_EQ(shown[0].message.icon, desktop::Icon::kError);
  }
}

}  // namespace
}  // namespace keeper
