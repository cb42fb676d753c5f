#include "desktop/testing/fake_screen.h"

#include <gtest/gtest.h>

namespace desktop {
namespace {

class TwoTexts final : public Texts {
 public:
  std::string_view Text(uint32_t id) const override {
    return id == 88 ? "Error" : id == 49 ? "Cancel?" : "";
  }
  uint32_t LanguageId() const override { return kLangEnglishUS; }
};

TEST(FakeScreenTest, RecordsResolvedTextsAndAnswersFromItsScript) {
  TwoTexts texts;
  FakeScreen screen(&texts);
  screen.Show({UiText::Of("disk full"), UiText::Id(88), Icon::kError});
  screen.answers = {Answer::kYes};
  int asked_while_open = 0;
  screen.while_asking = [&](const Message& m) {
    asked_while_open = static_cast<int>(m.text.id);
  };
  EXPECT_EQ(screen.Ask({UiText::Id(49), UiText::Id(88), Icon::kQuestion},
                       Buttons::kYesNo, Answer::kNo),
            Answer::kYes);
  // The script is used up: the default answer.
  EXPECT_EQ(screen.Ask({UiText::Id(49), {}, Icon::kQuestion}, Buttons::kYesNo,
                       Answer::kNo),
            Answer::kNo);
  EXPECT_EQ(asked_while_open, 49);
  auto shown = screen.shown();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].text, "disk full");
  EXPECT_EQ(shown[0].caption, "Error");
  EXPECT_EQ(shown[1].kind, FakeScreen::Shown::kQuestion);
  EXPECT_EQ(shown[1].text, "Cancel?");
  EXPECT_EQ(shown[1].default_answer, Answer::kNo);

  auto notice = screen.OpenNotice({UiText::Of("n"), {}, Icon::kWarning});
  EXPECT_EQ(screen.open_notices(), 1);
  notice->Close();
  EXPECT_EQ(screen.open_notices(), 0);
  EXPECT_FALSE(screen.PickFile({}).has_value());
}

}  // namespace
}  // namespace desktop
