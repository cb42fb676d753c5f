// finder's language libraries: complete for discovery and its dialogs, the
// same numbers and format directives in every language, and the texts
// other code reads as data.
#include <filesystem>

#include <gtest/gtest.h>

#include "desktop/format.h"
#include "desktop/language.h"
#include "desktop/reg_path.h"
#include "platform/env.h"

namespace {

using desktop::LanguageLibrary;

// The numbers discovery, the SNMP settings and the discovery dialogs use.
constexpr uint32_t kCited[] = {
    1,   2,   3,   4,   6,   7,   8,   9,   10,  12,  13,  14,  15,  16,
    17,  18,  19,  24,  26,  40,  41,  42,  43,  44,  45,  46,  47,  49,
    50,  51,  52,  53,  54,  59,  60,  67,  68,  69,  70,  71,  87,  88,
    89,  90,  91,  92,  93,  98,  111, 119, 133, 134, 135, 136, 137, 138,
    139, 141, 142, 143, 144, 149, 172, 190, 192, 193, 205, 206, 207, 208,
    209, 210, 211, 217, 224, 246, 263, 264, 310, 324, 400, 12031, 12032,
    // This system's own texts of the dialogs.
    13001, 13002, 13003, 13004, 13005, 13006, 13007, 13008, 13009, 13010,
    13011, 13012, 13013, 13014, 13015, 13016, 13017, 13018, 13019, 13020,
    13021, 13022, 13023};

class FinderLangTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    en_ = LanguageLibrary::Load("finderlang", "en", &error);
    ASSERT_TRUE(en_) << error;
    de_ = LanguageLibrary::Load("finderlang", "de", &error);
    ASSERT_TRUE(de_) << error;
  }
  std::unique_ptr<LanguageLibrary> en_, de_;
};

TEST_F(FinderLangTest, EveryCitedNumberHasATextInBothLanguages) {
  EXPECT_EQ(en_->LanguageId(), desktop::kLangEnglishUS);
  EXPECT_EQ(de_->LanguageId(), desktop::kLangGerman);
  for (uint32_t id : kCited) {
    EXPECT_FALSE(en_->Text(id).empty()) << "English lacks " << id;
    EXPECT_FALSE(de_->Text(id).empty()) << "German lacks " << id;
  }
}

TEST_F(FinderLangTest, BothLanguagesHoldTheSameNumbersAndDirectives) {
  EXPECT_EQ(en_->Numbers(), de_->Numbers());
  for (uint32_t id : en_->Numbers())
    EXPECT_EQ(desktop::Placeholders(en_->Text(id)),
              desktop::Placeholders(de_->Text(id)))
        << id;
}

TEST_F(FinderLangTest, DataTextsMatchWhatKeeperExpects) {
  for (uint32_t id : {139u, 141u, 142u, 143u, 144u, 149u, 192u, 193u,
                      207u, 208u, 210u, 224u, 310u, 324u, 400u})
    EXPECT_EQ(en_->Text(id), de_->Text(id)) << id;
  // The column order lies under keeper's key too: keeper's list of
  // discovered devices shows the columns in the same order.
  EXPECT_EQ(en_->Text(139), en_->Text(141));
  // Each language has its help pages.
  for (const LanguageLibrary* lang : {en_.get(), de_.get()}) {
    std::string file = std::string(lang->Text(172));
    for (const char* context : {"-1002.html", "-1003.html"}) {
      std::string page = platform::Env::Default()->ProgramDir() + "/" +
                         file.substr(0, file.size() - 5) + context;
      EXPECT_TRUE(std::filesystem::exists(page)) << page;
    }
  }
  // keeper compares the stored SNMP version with "V3".
  EXPECT_EQ(en_->Text(193), "V3");
  // The chosen device travels through one key: finder's selection key (141
  // and "\BRD") is keeper's base key (its text 10000).
  std::string error;
  auto keeper = LanguageLibrary::Load("keeperlang", "en", &error);
  ASSERT_TRUE(keeper) << error;
  EXPECT_EQ(desktop::CollapseBackslashes(std::string(en_->Text(141)) + "\\BRD"),
            desktop::CollapseBackslashes(keeper->Text(10000)));
}

TEST_F(FinderLangTest, PicturesAreThere) {
  for (uint32_t id : {128u, 130u, 183u, 205u, 206u})
    EXPECT_GT(en_->Picture(id).size(), 8u) << id;
}

}  // namespace
