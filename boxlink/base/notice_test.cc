#include "boxlink/base/notice.h"

#include <gtest/gtest.h>

#include "boxlink/base/logger.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/recording_notifier.h"

namespace {

TEST(NoticeTest, GoesToTheInstalledNotifier) {
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  platform::RecordingNotifier rec;
  platform::ScopedNotifier install(&rec);
  boxlink::ShowNotice("endOfFile reached", "endOfFile");
  auto n = rec.notices();
  ASSERT_EQ(n.size(), 1u);
  EXPECT_EQ(n[0].text, "endOfFile reached");
  EXPECT_EQ(n[0].caption, "endOfFile");
  EXPECT_EQ(n[0].kind, platform::NoticeKind::kError);
}

TEST(NoticeTest, WithoutNotifierTheTextReachesTheDiagnosticLog) {
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  ASSERT_EQ(platform::Notifier::Installed(), nullptr);
  boxlink::ShowNotice("ModelAdditioncheck pointer is NULL", "");
  std::string path = boxlink::CLogger::LogFilePath();
  boxlink::CLogger::StopLog();
  std::string log = platform::ReadTestFile(path);
  EXPECT_NE(log.find("ModelAdditioncheck pointer is NULL"), std::string::npos)
      << log;
}

}  // namespace
