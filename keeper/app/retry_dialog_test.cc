#include "keeper/app/retry_dialog.h"

#include <gtest/gtest.h>

#include "desktop/language.h"
#include "desktop/testing/fake_screen.h"

namespace keeper {
namespace {

class RetryDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    en_ = desktop::LanguageLibrary::Load("keeperlang", "en", &error);
    de_ = desktop::LanguageLibrary::Load("keeperlang", "de", &error);
    ASSERT_TRUE(en_ && de_) << error;
  }
  std::unique_ptr<desktop::LanguageLibrary> en_, de_;
};

TEST_F(RetryDialogTest, SixModes) {
  const desktop::Texts& t = *en_;
  const std::string a = "127.0.0.9";
  const std::string net = a + "\n" + t(67) + "\n" + t(125);
  struct Case {
    RetryMode mode;
    uint32_t title;
    std::string line1, line2;
    desktop::Icon icon;
    bool compact;
  } cases[] = {
      {RetryMode::kDone, 43, t(51), "", desktop::Icon::kInformation, true},
      {RetryMode::kCancelled, 43, t(10012), "", desktop::Icon::kWarning, true},
      {RetryMode::kFailed, 88, t(52), net, desktop::Icon::kError, false},
      {RetryMode::kRetriesExhausted, 88, t(52), t(173), desktop::Icon::kError,
       false},
      {RetryMode::kRetryPending, 88, t(52), net + "\n" + t(172),
       desktop::Icon::kError, false},
      {RetryMode::kStoppedForDeletedBoxes, 88, t(52), t(171),
       desktop::Icon::kError, false},
  };
  for (const Case& c : cases) {
    RetryDialogContent got = RetryContent(c.mode, 12029, 0, a, t);
    EXPECT_EQ(got.title, c.title) << int(c.mode);
    EXPECT_EQ(got.line1, c.line1) << int(c.mode);
    EXPECT_EQ(got.line2, c.line2) << int(c.mode);
    EXPECT_EQ(got.icon, c.icon) << int(c.mode);
    EXPECT_EQ(got.compact, c.compact) << int(c.mode);
  }
  // Outside U.S. English the cancelled run says 53.
  EXPECT_EQ(RetryContent(RetryMode::kCancelled, 0, 0, a, *de_).line1,
            (*de_)(53));
  // A successful run shows no error line even with an error code set.
  EXPECT_EQ(RetryContent(RetryMode::kDone, 5, 0, a, t).line2, "");
}

TEST_F(RetryDialogTest, OpenDialogsAreCountedOnceEach) {
  const int base = RetryDialogLogic::OpenCount();
  {
    RetryDialogLogic one(RetryMode::kDone, 0, 0, "", *en_);
    RetryDialogLogic two(RetryMode::kFailed, 5, 0, "", *en_);
    EXPECT_EQ(RetryDialogLogic::OpenCount(), base + 2);
    one.OnOk();
    one.OnOk();
    EXPECT_EQ(RetryDialogLogic::OpenCount(), base + 1);
  }
  EXPECT_EQ(RetryDialogLogic::OpenCount(), base);
}

TEST_F(RetryDialogTest, ViewLogFileOpensTheLogAndStaysOpen) {
  desktop::FakeScreen screen;
  RetryDialogLogic dialog(RetryMode::kDone, 0, 0, "", *en_);
  screen.url_result = false;  // no viewer: nothing is shown
  dialog.OnViewLogFile(screen, "/tmp/u/ZELT_Log.txt");
  EXPECT_EQ(screen.urls(), std::vector<std::string>{"/tmp/u/ZELT_Log.txt"});
  EXPECT_TRUE(screen.shown().empty());
  EXPECT_GT(RetryDialogLogic::OpenCount(), 0);
}

TEST(AlertBoxTest, ModesChooseIconButtonsAndClose) {
  AlertBoxContent ask = AlertContent(1);
  EXPECT_EQ(ask.icon, desktop::Icon::kQuestion);
  EXPECT_EQ(ask.ok_text, 207u);
  EXPECT_EQ(ask.cancel_text, 208u);
  EXPECT_TRUE(ask.close_allowed);
  for (uint32_t mode : {0u, 2u, 7u}) {
    AlertBoxContent warn = AlertContent(mode);
    EXPECT_EQ(warn.icon, desktop::Icon::kWarning);
    EXPECT_EQ(warn.ok_text, 15u);
    EXPECT_EQ(warn.cancel_text, 26u);
    EXPECT_FALSE(warn.close_allowed);
  }
}

}  // namespace
}  // namespace keeper
