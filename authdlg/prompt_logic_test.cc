#include "authdlg/prompt_logic.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "desktop/testing/fake_screen.h"
#include "desktop/testing/map_texts.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace authdlg {
namespace {

using platform::RegRoot;

class PromptLogicTest : public testing::Test {
 protected:
  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
  desktop::MapTexts texts_{{{kTextTitle, "Device Password"},
                            {kTextMainTitle, "Box Keeper"},
                            {kTextInternalError, "Internal error"},
                            {kTextErrorCaption, "Error"},
                            {kTextRunningKey, "Software\\\\Zelt\\\\\\\\Run"}}};
  const std::string key_ = "Software\\Zelt\\Run";

  std::optional<std::string> Value(const char* name) {
    auto v = env_.registry().GetValue(RegRoot::kCurrentUser, key_, name);
    if (!v) return std::nullopt;
    return v->text;
  }
};

TEST_F(PromptLogicTest, TheKeyNamesThePromptWhileItIsUp) {
  ASSERT_TRUE(RegisterPrompt(texts_));
  EXPECT_EQ(Value("CLSID"), "ZELT");
  EXPECT_EQ(Value("WndTitle"), "Device Password");
}

TEST_F(PromptLogicTest, ACancelledFirstPromptLeavesNoKey) {
  ASSERT_TRUE(RegisterPrompt(texts_));
  UnregisterPrompt(texts_, false);
  EXPECT_FALSE(env_.registry().KeyExists(RegRoot::kCurrentUser, key_));
}

TEST_F(PromptLogicTest, WithTheMainWindowUpTheKeyNamesIt) {
  ASSERT_TRUE(RegisterPrompt(texts_));
  UnregisterPrompt(texts_, true);
  EXPECT_EQ(Value("CLSID"), "ZELT");
  EXPECT_EQ(Value("WndTitle"), "Box Keeper");
  // A title longer than the buffer of 100 characters is cut to 99.
  texts_.Set(kTextMainTitle, std::string(150, 'T'));
  UnregisterPrompt(texts_, true);
  EXPECT_EQ(Value("WndTitle"), std::string(99, 'T'));
}

TEST_F(PromptLogicTest, AMissingKeyAtTheEndIsIgnored) {
  UnregisterPrompt(texts_, true);
  UnregisterPrompt(texts_, false);
  EXPECT_FALSE(env_.registry().KeyExists(RegRoot::kCurrentUser, key_));
}

TEST_F(PromptLogicTest, AKeyThatCannotBeCreatedEndsTheProcessAfterAMessage) {
  // The registry file cannot be written: a folder stands in its place.
  std::string file = env_.registry().FileOf(RegRoot::kCurrentUser);
  std::filesystem::remove(file);
  std::filesystem::create_directories(file);
  desktop::FakeScreen screen(&texts_);
  int ended = 0;
  EXPECT_FALSE(StartPrompt(texts_, screen, [&] { ++ended; }));
  EXPECT_EQ(ended, 1);
  auto shown = screen.shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].message.text.id, kTextInternalError);
  EXPECT_EQ(shown[0].message.caption.id, kTextErrorCaption);
  EXPECT_EQ(shown[0].message.icon, desktop::Icon::kWarning);
}

TEST_F(PromptLogicTest, ASuccessfulStartShowsNothing) {
  desktop::FakeScreen screen(&texts_);
  int ended = 0;
  EXPECT_TRUE(StartPrompt(texts_, screen, [&] { ++ended; }));
  EXPECT_EQ(ended, 0);
  EXPECT_TRUE(screen.shown().empty());
}

}  // namespace
}  // namespace authdlg
