#include "boxlink/base/marker_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/testing/fake_env.h"

namespace boxlink {
namespace {

TEST(MarkerFileTest, PresentOnlyAsAReadableFile) {
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  EXPECT_EQ(MarkerFilePath(kMarkerNewTimeout),
            env.UserProfileDir() + "/ZELT/NewTimeout");
  EXPECT_FALSE(HasMarkerFile(kMarkerNewTimeout));

  platform::WriteTestFile(MarkerFilePath(kMarkerNewTimeout), "");  // 0 bytes
  EXPECT_TRUE(HasMarkerFile(kMarkerNewTimeout));

  std::filesystem::create_directories(MarkerFilePath(kMarkerNoEncryption));
  EXPECT_FALSE(HasMarkerFile(kMarkerNoEncryption));

  platform::WriteTestFile(MarkerFilePath(kMarkerDefaultListParser), "x");
  std::filesystem::permissions(MarkerFilePath(kMarkerDefaultListParser),
                               std::filesystem::perms::none);
  if (geteuid() != 0) {  // root reads any file
    EXPECT_FALSE(HasMarkerFile(kMarkerDefaultListParser));
  }
  EXPECT_FALSE(HasMarkerFile(""));
}

}  // namespace
}  // namespace boxlink
