#include "setup/languages.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace setup {
namespace {

constexpr std::array<uint16_t, kInstallableCount> kInstallable = {
    2052, 1028, 1030, 1043, 1035, 1036, 1031, 1040,
    1041, 1044, 1045, 1046, 1049, 1034, 1053, 1055};

// The names of the 16 installable languages in one language, in the order
// of kInstallable, and that language's name for English.
struct Names {
  std::array<std::string_view, kInstallableCount> names;
  std::string_view english;
};

NameTable Table(const Names& n) {
  NameTable t{};
  for (int i = 0; i < kInstallableCount; ++i)
    t[i] = NamedLanguage{n.names[i], kInstallable[i]};
  return t;
}

// Indexed by Family. Each table writes its own language with the family's
// preselection name (or a word beginning with it), so that the preselected
// entry is found in the table again. The strings files of a language hold
// the same names in their Languages section.
constexpr std::array<Names, kFamilyCount> kNames = {{
    // Chinese (Simplified)
    {{"中文(简体)", "中文(繁体)", "丹麦语", "荷兰语", "芬兰语", "法语",
      "德语", "意大利语", "日语", "挪威语", "波兰语", "葡萄牙语", "俄语",
      "西班牙语", "瑞典语", "土耳其语"},
     "英语"},
    // Chinese (Traditional)
    {{"中文(簡體)", "中文(繁體)", "丹麥文", "荷蘭文", "芬蘭文", "法文",
      "德文", "義大利文", "日文", "挪威文", "波蘭文", "葡萄牙文", "俄文",
      "西班牙文", "瑞典文", "土耳其文"},
     "英文"},
    // Danish
    {{"Kinesisk(forenklet)", "Kinesisk(traditionelt)", "Dansk",
      "Hollandsk", "Finsk", "Fransk", "Tysk", "Italiensk", "Japansk",
      "Norsk", "Polsk", "Portugisisk", "Russisk", "Spansk", "Svensk",
      "Tyrkisk"},
     "Engelsk"},
    // German
    {{"Chinesisch(Vereinfacht)", "Chinesisch(Traditionell)", "Dänisch",
      "Niederländisch", "Finnisch", "Französisch", "Deutsch",
      "Italienisch", "Japanisch", "Norwegisch", "Polnisch", "Portugiesisch",
      "Russisch", "Spanisch", "Schwedisch", "Türkisch"},
     "Englisch"},
    // Spanish
    {{"Chino(simplificado)", "Chino(tradicional)", "Danés", "Neerlandés",
      "Finés", "Francés", "Alemán", "Italiano", "Japonés", "Noruego",
      "Polaco", "Portugués", "Ruso", "Español", "Sueco", "Turco"},
     "Inglés"},
    // Finnish
    {{"Kiina(yksinkertaistettu)", "Kiina(perinteinen)", "Tanska",
      "Hollanti", "Suomi", "Ranska", "Saksa", "Italia", "Japani", "Norja",
      "Puola", "Portugali", "Venäjä", "Espanja", "Ruotsi", "Turkki"},
     "Englanti"},
    // French
    {{"Chinois(simplifié)", "Chinois(traditionnel)", "Danois",
      "Néerlandais", "Finnois", "Français", "Allemand", "Italien",
      "Japonais", "Norvégien", "Polonais", "Portugais", "Russe", "Espagnol",
      "Suédois", "Turc"},
     "Anglais"},
    // Italian
    {{"Cinese(semplificato)", "Cinese(tradizionale)", "Danese", "Olandese",
      "Finlandese", "Francese", "Tedesco", "Italiano", "Giapponese",
      "Norvegese", "Polacco", "Portoghese", "Russo", "Spagnolo", "Svedese",
      "Turco"},
     "Inglese"},
    // Japanese
    {{"中国語(簡体字)", "中国語(繁体字)", "デンマーク語", "オランダ語",
      "フィンランド語", "フランス語", "ドイツ語", "イタリア語", "日本語",
      "ノルウェー語", "ポーランド語", "ポルトガル語", "ロシア語",
      "スペイン語", "スウェーデン語", "トルコ語"},
     "英語"},
    // Dutch
    {{"Chinees(vereenvoudigd)", "Chinees(traditioneel)", "Deens",
      "Nederlands", "Fins", "Frans", "Duits", "Italiaans", "Japans",
      "Noors", "Pools", "Portugees", "Russisch", "Spaans", "Zweeds",
      "Turks"},
     "Engels"},
    // Norwegian
    {{"Kinesisk(forenklet)", "Kinesisk(tradisjonell)", "Dansk",
      "Nederlandsk", "Finsk", "Fransk", "Tysk", "Italiensk", "Japansk",
      "Norsk", "Polsk", "Portugisisk", "Russisk", "Spansk", "Svensk",
      "Tyrkisk"},
     "Engelsk"},
    // Polish
    {{"Chiński(uproszczony)", "Chiński(tradycyjny)", "Duński",
      "Niderlandzki", "Fiński", "Francuski", "Niemiecki", "Włoski",
      "Japoński", "Norweski", "Polski", "Portugalski", "Rosyjski",
      "Hiszpański", "Szwedzki", "Turecki"},
     "Angielski"},
    // Portuguese
    {{"Chinês(simplificado)", "Chinês(tradicional)", "Dinamarquês",
      "Holandês", "Finlandês", "Francês", "Alemão", "Italiano", "Japonês",
      "Norueguês", "Polonês", "Português", "Russo", "Espanhol", "Sueco",
      "Turco"},
     "Inglês"},
    // Russian
    {{"Китайский(упрощенный)", "Китайский(традиционный)", "Датский",
      "Нидерландский", "Финский", "Французский", "Немецкий",
      "Итальянский", "Японский", "Норвежский", "Польский", "Португальский",
      "Русский", "Испанский", "Шведский", "Турецкий"},
     "Английский"},
    // Swedish
    {{"Kinesiska(förenklad)", "Kinesiska(traditionell)", "Danska",
      "Nederländska", "Finska", "Franska", "Tyska", "Italienska",
      "Japanska", "Norska", "Polska", "Portugisiska", "Ryska", "Spanska",
      "Svenska", "Turkiska"},
     "Engelska"},
    // Turkish
    {{"Çince(Basitleştirilmiş)", "Çince(Geleneksel)", "Danca", "Felemenkçe",
      "Fince", "Fransızca", "Almanca", "İtalyanca", "Japonca", "Norveççe",
      "Lehçe", "Portekizce", "Rusça", "İspanyolca", "İsveççe", "Türkçe"},
     "İngilizce"},
    // English
    {{"Chinese(Simplified)", "Chinese(Traditional)", "Danish", "Dutch",
      "Finnish", "French", "German", "Italian", "Japanese", "Norwegian",
      "Polish", "Portuguese", "Russian", "Spanish", "Swedish", "Turkish"},
     "English"},
}};

struct FamilyFacts {
  std::string_view prefix;
  uint16_t language;       // transform number of the family's own language
  std::string_view folder;
};
constexpr std::array<FamilyFacts, kFamilyCount> kFamilies = {{
    {"中文(简体)", 2052, "\\STRINGS\\CHN\\"},
    {"中文(繁體)", 1028, "\\STRINGS\\TCN\\"},
    {"Dansk", 1030, "\\STRINGS\\DAN\\"},
    {"Deutsch", 1031, "\\STRINGS\\GER\\"},
    {"Español", 1034, "\\STRINGS\\SPA\\"},
    {"Suomi", 1035, "\\STRINGS\\FIN\\"},
    {"Français", 1036, "\\STRINGS\\FRE\\"},
    {"Italiano", 1040, "\\STRINGS\\ITA\\"},
    {"日本語", 1041, "\\STRINGS\\JPN\\"},
    {"Nederlands", 1043, "\\STRINGS\\DUT\\"},
    {"Norsk", 1044, "\\STRINGS\\NOR\\"},
    {"Polski", 1045, "\\STRINGS\\POL\\"},
    {"Português", 1046, "\\STRINGS\\PTB\\"},
    {"Русский", 1049, "\\STRINGS\\RUS\\"},
    {"Svenska", 1053, "\\STRINGS\\SWE\\"},
    {"Türk", 1055, "\\STRINGS\\TUR\\"},
    {"English", kEnglishLanguage, "\\STRINGS\\ENG\\"},
}};

struct FamilyMembers {
  Family family;
  std::span<const uint16_t> ids;
};
constexpr uint16_t kChs[] = {0x0804, 0x0C04, 0x1004, 0x1404};
constexpr uint16_t kCht[] = {0x0404};
constexpr uint16_t kDan[] = {0x0406};
constexpr uint16_t kGer[] = {0x0407, 0x0807, 0x0C07, 0x1007, 0x1407};
constexpr uint16_t kSpa[] = {0x040A, 0x080A, 0x0C0A, 0x100A, 0x140A, 0x180A,
                             0x1C0A, 0x200A, 0x240A, 0x280A, 0x2C0A, 0x300A,
                             0x340A, 0x380A, 0x3C0A, 0x400A, 0x440A, 0x480A,
                             0x4C0A, 0x500A, 0x540A};
constexpr uint16_t kFin[] = {0x040B};
constexpr uint16_t kFre[] = {0x040C, 0x080C, 0x0C0C, 0x100C, 0x140C, 0x180C,
                             0x1C0C, 0x240C, 0x280C, 0x2C0C, 0x300C, 0x340C,
                             0x380C};
constexpr uint16_t kIta[] = {0x0410, 0x0810};
constexpr uint16_t kJpn[] = {0x0411};
constexpr uint16_t kDut[] = {0x0413, 0x0813};
constexpr uint16_t kNor[] = {0x0414, 0x0814};
constexpr uint16_t kPol[] = {0x0415};
constexpr uint16_t kPtb[] = {0x0416, 0x0816};
constexpr uint16_t kRus[] = {0x0419, 0x0819};
constexpr uint16_t kSwe[] = {0x041D, 0x081D};
constexpr uint16_t kTur[] = {0x041F};
constexpr FamilyMembers kMembers[] = {
    {Family::kChineseSimplified, kChs}, {Family::kChineseTraditional, kCht},
    {Family::kDanish, kDan},            {Family::kGerman, kGer},
    {Family::kSpanish, kSpa},           {Family::kFinnish, kFin},
    {Family::kFrench, kFre},            {Family::kItalian, kIta},
    {Family::kJapanese, kJpn},          {Family::kDutch, kDut},
    {Family::kNorwegian, kNor},         {Family::kPolish, kPol},
    {Family::kPortuguese, kPtb},        {Family::kRussian, kRus},
    {Family::kSwedish, kSwe},           {Family::kTurkish, kTur},
};

// The system language codes that have a strings folder of their own.
struct CodeFolder {
  std::string_view code;
  Family family;
};
constexpr CodeFolder kCodeFolders[] = {
    {"0804", Family::kChineseSimplified}, {"0404", Family::kChineseTraditional},
    {"0406", Family::kDanish},            {"0413", Family::kDutch},
    {"040B", Family::kFinnish},           {"040C", Family::kFrench},
    {"0407", Family::kGerman},            {"0410", Family::kItalian},
    {"0411", Family::kJapanese},          {"0414", Family::kNorwegian},
    {"0415", Family::kPolish},            {"0416", Family::kPortuguese},
    {"0816", Family::kPortuguese},        {"0419", Family::kRussian},
    {"040A", Family::kSpanish},           {"0C0A", Family::kSpanish},
    {"041D", Family::kSwedish},           {"041F", Family::kTurkish},
};

constexpr std::array<LanguageKey, kFamilyCount> kLanguageKeys = {{
    {"0x0804", Family::kChineseSimplified}, {"0x0404", Family::kChineseTraditional},
    {"0x0406", Family::kDanish},            {"0x0413", Family::kDutch},
    {"0x0409", Family::kEnglish},           {"0x040B", Family::kFinnish},
    {"0x040C", Family::kFrench},            {"0x0407", Family::kGerman},
    {"0x0410", Family::kItalian},           {"0x0411", Family::kJapanese},
    {"0x0414", Family::kNorwegian},         {"0x0415", Family::kPolish},
    {"0x0416", Family::kPortuguese},        {"0x0419", Family::kRussian},
    {"0x040A", Family::kSpanish},           {"0x041D", Family::kSwedish},
    {"0x041F", Family::kTurkish},
}};

// Locale names (language, or language_REGION) and their language numbers.
struct LocaleLanguage {
  std::string_view locale;
  uint16_t language;
};
constexpr LocaleLanguage kLocales[] = {
    {"zh", 0x0804},    {"zh_CN", 0x0804}, {"zh_SG", 0x1004},
    {"zh_TW", 0x0404}, {"zh_HK", 0x0C04}, {"zh_MO", 0x1404},
    {"da", 0x0406},    {"nl", 0x0413},    {"nl_BE", 0x0813},
    {"en", 0x0409},    {"fi", 0x040B},    {"fr", 0x040C},
    {"fr_BE", 0x080C}, {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C},
    {"fr_LU", 0x140C}, {"fr_MC", 0x180C}, {"de", 0x0407},
    {"de_CH", 0x0807}, {"de_AT", 0x0C07}, {"de_LU", 0x1007},
    {"de_LI", 0x1407}, {"it", 0x0410},    {"it_CH", 0x0810},
    {"ja", 0x0411},    {"nb", 0x0414},    {"no", 0x0414},
    {"nn", 0x0814},    {"pl", 0x0415},    {"pt", 0x0416},
    {"pt_PT", 0x0816}, {"ru", 0x0419},    {"ru_MD", 0x0819},
    {"es", 0x0C0A},    {"es_MX", 0x080A}, {"es_GT", 0x100A},
    {"es_CR", 0x140A}, {"es_PA", 0x180A}, {"es_DO", 0x1C0A},
    {"es_VE", 0x200A}, {"es_CO", 0x240A}, {"es_PE", 0x280A},
    {"es_AR", 0x2C0A}, {"es_EC", 0x300A}, {"es_CL", 0x340A},
    {"es_UY", 0x380A}, {"es_PY", 0x3C0A}, {"es_BO", 0x400A},
    {"es_SV", 0x440A}, {"es_HN", 0x480A}, {"es_NI", 0x4C0A},
    {"es_PR", 0x500A}, {"es_US", 0x540A}, {"sv", 0x041D},
    {"sv_FI", 0x081D}, {"tr", 0x041F},
};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::span<const uint16_t, kInstallableCount> InstallableLanguages() {
  return kInstallable;
}

Family FamilyOf(uint16_t system_language) {
  for (const FamilyMembers& m : kMembers)
    if (std::find(m.ids.begin(), m.ids.end(), system_language) != m.ids.end())
      return m.family;
  return Family::kEnglish;
}

uint16_t FamilyLanguage(Family family) {
  return kFamilies[static_cast<int>(family)].language;
}

std::string_view PreselectionPrefix(Family family) {
  return kFamilies[static_cast<int>(family)].prefix;
}

const NameTable& NameTableOf(Family family) {
  static const std::array<NameTable, kFamilyCount> tables = [] {
    std::array<NameTable, kFamilyCount> t{};
    for (int i = 0; i < kFamilyCount; ++i) t[i] = Table(kNames[i]);
    return t;
  }();
  return tables[static_cast<int>(family)];
}

std::string_view EnglishNameIn(Family family) {
  return kNames[static_cast<int>(family)].english;
}

std::string_view FolderText(std::string_view language_code) {
  for (const CodeFolder& c : kCodeFolders)
    if (SameIgnoringCase(c.code, language_code)) return FolderTextOf(c.family);
  return FolderTextOf(Family::kEnglish);
}

Family FamilyOfFolder(std::string_view folder_text) {
  for (int i = 0; i < kFamilyCount; ++i)
    if (kFamilies[i].folder == folder_text) return static_cast<Family>(i);
  return Family::kEnglish;
}

std::string_view FolderTextOf(Family family) {
  return kFamilies[static_cast<int>(family)].folder;
}

std::span<const LanguageKey, kFamilyCount> LanguageKeys() {
  return kLanguageKeys;
}

std::string LanguageCode(uint16_t language) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(language));
  return buf;
}

uint16_t LanguageOfLocale(std::string_view locale) {
  // "de_CH.UTF-8@euro" -> "de", "CH"
  locale = locale.substr(0, locale.find_first_of(".@"));
  size_t sep = locale.find_first_of("_-");
  std::string lang(locale.substr(0, sep));
  for (char& c : lang)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string full = lang;
  if (sep != std::string_view::npos) {
    full += '_';
    for (char c : locale.substr(sep + 1))
      full += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  for (const LocaleLanguage& l : kLocales)
    if (l.locale == full) return l.language;
  for (const LocaleLanguage& l : kLocales)
    if (l.locale == lang) return l.language;
  return 0x0409;
}

}  // namespace setup
