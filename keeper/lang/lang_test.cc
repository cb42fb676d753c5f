// keeper's language libraries: complete, the same numbers in every
// language, the same format directives, and every number the code asks for.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "desktop/format.h"
#include "desktop/language.h"
#include "desktop/reg_path.h"

namespace {

using desktop::LanguageLibrary;

// The numbers the desktop program's windows, its result log and the
// password dialog are built on.
constexpr uint32_t kCited[] = {
    1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 19, 20, 21,
    22, 24, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 38, 39, 40, 41, 42,
    43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60,
    61, 62, 63, 64, 65, 66, 67, 68, 74, 75, 81, 82, 83, 84, 85, 86, 87, 88,
    89, 90, 91, 92, 93, 94, 95, 96, 97, 98, 99, 102, 103, 107, 108, 110,
    111, 113, 114, 115, 116, 117, 118, 120, 121, 125, 126, 128, 129, 131,
    132, 136, 137, 138, 139, 140, 141, 142, 143, 144, 145, 146, 147, 148,
    149, 150, 151, 152, 153, 154, 155, 157, 158, 159, 160, 161, 162, 163,
    164, 165, 166, 167, 168, 169, 170, 171, 172, 173, 174, 175, 176, 177,
    178, 179, 180, 181, 182, 183, 184, 185, 186, 187, 188, 189, 190, 191,
    192, 193, 194, 195, 196, 199, 200, 201, 204, 205, 206, 207, 208, 209,
    211, 212, 9999, 10000, 10001, 10002, 10005, 10009, 10011, 10012, 10013,
    10014, 10016, 10018, 10019, 10020, 10021, 10022, 12000, 12002, 12004,
    12005, 12006, 12007, 12008, 12009, 12010, 13011, 13012, 13013, 13014,
    13015};

class KeeperLangTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    en_ = LanguageLibrary::Load("keeperlang", "en", &error);
    ASSERT_TRUE(en_) << error;
    de_ = LanguageLibrary::Load("keeperlang", "de", &error);
    ASSERT_TRUE(de_) << error;
  }
  std::unique_ptr<LanguageLibrary> en_, de_;
};

TEST_F(KeeperLangTest, EachLibraryIsItsLanguage) {
  EXPECT_EQ(en_->LanguageId(), desktop::kLangEnglishUS);
  EXPECT_EQ(de_->LanguageId(), desktop::kLangGerman);
  EXPECT_NE(en_->Text(88), de_->Text(88));
}

TEST_F(KeeperLangTest, EveryCitedNumberHasATextInBothLanguages) {
  for (uint32_t id : kCited) {
    EXPECT_FALSE(en_->Text(id).empty()) << "English lacks " << id;
    EXPECT_FALSE(de_->Text(id).empty()) << "German lacks " << id;
  }
}

TEST_F(KeeperLangTest, BothLanguagesHoldTheSameNumbersAndDirectives) {
  EXPECT_EQ(en_->Numbers(), de_->Numbers());
  for (uint32_t id : en_->Numbers()) {
    EXPECT_EQ(desktop::Placeholders(en_->Text(id)),
              desktop::Placeholders(de_->Text(id)))
        << "string " << id << ": \"" << en_->Text(id) << "\" / \""
        << de_->Text(id) << "\"";
  }
}

TEST_F(KeeperLangTest, TextsTheCodeReadsAsDataAgreeInBothLanguages) {
  // Registry paths, file names and the instance name are data, not prose.
  for (uint32_t id : {10000u, 10001u, 10002u, 10005u, 10011u, 10019u,
                      12000u, 12002u, 12005u, 12010u, 211u, 212u})
    EXPECT_EQ(en_->Text(id), de_->Text(id)) << id;
  EXPECT_EQ(desktop::CollapseBackslashes(en_->Text(10000)),
            "Software\\TALLIS\\Corvane TALLIS Client\\BRD");
  // Texts that are cut before their last line break need one.
  for (uint32_t id : {58u, 171u}) {
    EXPECT_NE(en_->Text(id).find('\n'), std::string_view::npos) << id;
    EXPECT_NE(de_->Text(id).find('\n'), std::string_view::npos) << id;
  }
  // Formats filled with one text each.
  for (uint32_t id : {167u, 175u, 176u})
    EXPECT_EQ(desktop::Placeholders(en_->Text(id)),
              std::vector<std::string>{"%s"})
        << id;
}

// Every number the code of the desktop program and of the password dialog
// asks for, as written in its sources: Id(n), Text(n), S(n), T(n) and
// KeeperString(n).
std::set<uint32_t> NumbersAskedFor() {
  std::set<uint32_t> out;
  const std::regex call(R"(\b(?:Id|Text|S|T|KeeperString|texts)\((\d+)u?\))");
  for (const char* dir : {"keeper/app", "keeper/ui", "authdlg"}) {
    std::filesystem::path root = std::filesystem::path(ZELT_SOURCE_DIR) / dir;
    if (!std::filesystem::exists(root)) continue;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(root)) {
      std::string ext = entry.path().extension().string();
      if (ext != ".cc" && ext != ".h") continue;
      std::ifstream in(entry.path());
      std::stringstream text;
      text << in.rdbuf();
      std::string s = text.str();
      for (std::sregex_iterator it(s.begin(), s.end(), call), end; it != end;
           ++it)
        out.insert(static_cast<uint32_t>(std::stoul((*it)[1].str())));
    }
  }
  return out;
}

TEST_F(KeeperLangTest, EveryNumberTheCodeAsksForExists) {
  std::set<uint32_t> asked = NumbersAskedFor();
  ASSERT_GT(asked.size(), 40u) << "the source scan found too little";
  for (uint32_t id : asked) {
    EXPECT_FALSE(en_->Text(id).empty()) << "English lacks " << id;
    EXPECT_FALSE(de_->Text(id).empty()) << "German lacks " << id;
  }
}

TEST_F(KeeperLangTest, PicturesAreThere) {
  for (uint32_t id : {128u, 132u, 157u, 163u, 183u, 203u}) {
    EXPECT_GT(en_->Picture(id).size(), 8u) << id;
    EXPECT_EQ(en_->Picture(id).size(), de_->Picture(id).size()) << id;
    // A PNG file.
    auto p = en_->Picture(id);
    ASSERT_GT(p.size(), 4u) << id;
    EXPECT_EQ(p[1], 'P') << id;
  }
}

}  // namespace
