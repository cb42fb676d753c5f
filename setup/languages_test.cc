#include "setup/languages.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "setup/strings_file.h"

namespace setup {
namespace {

TEST(FamilyTest, EverySystemLanguageOfAFamily) {
  struct Case {
    Family family;
    std::vector<uint16_t> ids;
  } cases[] = {
      {Family::kChineseSimplified, {0x0804, 0x0C04, 0x1004, 0x1404}},
      {Family::kChineseTraditional, {0x0404}},
      {Family::kDanish, {0x0406}},
      {Family::kGerman, {0x0407, 0x0807, 0x0C07, 0x1007, 0x1407}},
      {Family::kSpanish, {0x040A, 0x080A, 0x0C0A, 0x100A, 0x140A, 0x180A,
                          0x1C0A, 0x200A, 0x240A, 0x280A, 0x2C0A, 0x300A,
                          0x340A, 0x380A, 0x3C0A, 0x400A, 0x440A, 0x480A,
                          0x4C0A, 0x500A, 0x540A}},
      {Family::kFinnish, {0x040B}},
      {Family::kFrench, {0x040C, 0x080C, 0x0C0C, 0x100C, 0x140C, 0x180C,
                         0x1C0C, 0x240C, 0x280C, 0x2C0C, 0x300C, 0x340C,
                         0x380C}},
      {Family::kItalian, {0x0410, 0x0810}},
      {Family::kJapanese, {0x0411}},
      {Family::kDutch, {0x0413, 0x0813}},
      {Family::kNorwegian, {0x0414, 0x0814}},
      {Family::kPolish, {0x0415}},
      {Family::kPortuguese, {0x0416, 0x0816}},
      {Family::kRussian, {0x0419, 0x0819}},
      {Family::kSwedish, {0x041D, 0x081D}},
      {Family::kTurkish, {0x041F}},
      // Every other identifier is English, also neighbours of the lists.
      {Family::kEnglish, {0x0409, 0x0809, 0x0412, 0x0000, 0x200C, 0x580A,
                          0x0C10, 0x0417, 0x1804, 0xFFFF}},
  };
  for (const Case& c : cases)
    for (uint16_t id : c.ids)
      EXPECT_EQ(FamilyOf(id), c.family) << std::hex << id;
}

TEST(FolderTest, FolderTextBySystemLanguageCode) {
  struct Case {
    std::string code, folder;
  } cases[] = {
      {"0804", "\\STRINGS\\CHN\\"}, {"0404", "\\STRINGS\\TCN\\"},
      {"0406", "\\STRINGS\\DAN\\"}, {"0413", "\\STRINGS\\DUT\\"},
      {"040B", "\\STRINGS\\FIN\\"}, {"040b", "\\STRINGS\\FIN\\"},
      {"040C", "\\STRINGS\\FRE\\"}, {"0407", "\\STRINGS\\GER\\"},
      {"0410", "\\STRINGS\\ITA\\"}, {"0411", "\\STRINGS\\JPN\\"},
      {"0414", "\\STRINGS\\NOR\\"}, {"0415", "\\STRINGS\\POL\\"},
      {"0416", "\\STRINGS\\PTB\\"}, {"0816", "\\STRINGS\\PTB\\"},
      {"0419", "\\STRINGS\\RUS\\"}, {"040A", "\\STRINGS\\SPA\\"},
      {"0C0A", "\\STRINGS\\SPA\\"}, {"0c0a", "\\STRINGS\\SPA\\"},
      {"041D", "\\STRINGS\\SWE\\"}, {"041F", "\\STRINGS\\TUR\\"},
      {"0409", "\\STRINGS\\ENG\\"}, {"0807", "\\STRINGS\\ENG\\"},
      {"080C", "\\STRINGS\\ENG\\"}, {"", "\\STRINGS\\ENG\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(FolderText(c.code), c.folder) << c.code;
  EXPECT_EQ(LanguageCode(0x0c0a), "0C0A");
  EXPECT_EQ(LanguageCode(0x0409), "0409");
  EXPECT_EQ(FamilyOfFolder("\\STRINGS\\GER\\"), Family::kGerman);
  EXPECT_EQ(FamilyOfFolder("\\STRINGS\\PTB\\"), Family::kPortuguese);
}

TEST(NameTableTest, SeventeenTablesOfSixteenDistinctNames) {
  for (int f = 0; f < kFamilyCount; ++f) {
    Family family = static_cast<Family>(f);
    const NameTable& table = NameTableOf(family);
    std::set<std::string_view> names;
    for (int i = 0; i < kInstallableCount; ++i) {
      EXPECT_FALSE(table[i].name.empty());
      EXPECT_EQ(table[i].transform, InstallableLanguages()[i]);
      names.insert(table[i].name);
    }
    EXPECT_EQ(names.size(), 16u) << f;
    EXPECT_FALSE(names.contains(EnglishNameIn(family))) << f;
    // The family's own language is written so that the preselection finds
    // it (English has no entry: it is the 17th list item).
    if (family == Family::kEnglish) continue;
    bool found = false;
    for (const NamedLanguage& n : table)
      if (n.transform == FamilyLanguage(family))
        found = n.name.starts_with(PreselectionPrefix(family));
    EXPECT_TRUE(found) << f;
  }
}

TEST(NameTableTest, EnglishTableAsItReads) {
  const char* expected[] = {
      "Chinese(Simplified)", "Chinese(Traditional)", "Danish", "Dutch",
      "Finnish", "French", "German", "Italian", "Japanese", "Norwegian",
      "Polish", "Portuguese", "Russian", "Spanish", "Swedish", "Turkish"};
  const uint16_t ids[] = {2052, 1028, 1030, 1043, 1035, 1036, 1031, 1040,
                          1041, 1044, 1045, 1046, 1049, 1034, 1053, 1055};
  const NameTable& t = NameTableOf(Family::kEnglish);
  for (int i = 0; i < kInstallableCount; ++i) {
    EXPECT_EQ(t[i].name, expected[i]);
    EXPECT_EQ(t[i].transform, ids[i]);
  }
  EXPECT_EQ(PreselectionPrefix(Family::kJapanese), "日本語");
  EXPECT_EQ(PreselectionPrefix(Family::kEnglish), "English");
}

std::string ReadShipped(const std::string& folder) {
  std::ifstream in(std::string(ZELT_SOURCE_DIR) + "/setup/STRINGS/" + folder +
                   "/COMM_BR.ini", std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The shipped strings files name the languages exactly as the tables of
// their language do, and have every text of the dialog.
TEST(ShippedStringsTest, AgreeWithTheNameTables) {
  for (Family family : {Family::kEnglish, Family::kGerman}) {
    std::string folder(FolderTextOf(family));
    folder = folder.substr(9, 3);  // "\STRINGS\GER\" -> "GER"
    std::string bytes = ReadShipped(folder);
    ASSERT_FALSE(bytes.empty()) << folder;
    SetupStrings s = ReadSetupStrings(ProfileText::Parse(bytes));
    for (int i = 0; i < kFamilyCount; ++i) {
      Family named = LanguageKeys()[i].family;
      std::string_view want;
      if (named == Family::kEnglish) {
        want = EnglishNameIn(family);
      } else {
        for (const NamedLanguage& n : NameTableOf(family))
          if (n.transform == FamilyLanguage(named)) want = n.name;
      }
      EXPECT_EQ(s.languages[i], want) << folder << " " << LanguageKeys()[i].key;
    }
    for (const std::string* text : {&s.ok, &s.cancel, &s.prompt, &s.title, &s.failed})
      EXPECT_FALSE(text->empty()) << folder;
  }
}

TEST(LocaleTest, LanguageNumberOfALocale) {
  struct Case {
    const char* locale;
    uint16_t id;
  } cases[] = {
      {"de_DE.UTF-8", 0x0407}, {"de_CH.UTF-8", 0x0807}, {"de_AT", 0x0C07},
      {"de", 0x0407},          {"de_BE.UTF-8", 0x0407}, {"ja_JP.UTF-8", 0x0411},
      {"pt_BR.UTF-8", 0x0416}, {"pt_PT.UTF-8", 0x0816}, {"es_ES.UTF-8", 0x0C0A},
      {"es_MX", 0x080A},       {"fr_BE@euro", 0x080C},  {"zh_TW.UTF-8", 0x0404},
      {"zh_CN.GB18030", 0x0804}, {"nb_NO.UTF-8", 0x0414}, {"en_US.UTF-8", 0x0409},
      {"C", 0x0409},           {"POSIX", 0x0409},       {"", 0x0409},
      {"ko_KR.UTF-8", 0x0409}, {"sv-FI", 0x081D},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LanguageOfLocale(c.locale), c.id) << c.locale;
}

}  // namespace
}  // namespace setup
