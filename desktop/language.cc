#include "desktop/language.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>

#include "platform/env.h"
#include "platform/library.h"
#include "platform/registry.h"

namespace desktop {
namespace {

constexpr std::array<std::string_view, 2> kTags = {"en", "de"};

struct LangNumber {
  uint32_t id;
  std::string_view tag;
};
// Primary language of a Windows language number: the low ten bits.
constexpr LangNumber kPrimary[] = {{0x09, "en"}, {0x07, "de"}};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(
                          static_cast<unsigned char>(c)));
  return out;
}

std::string LocaleName() {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return v;
  }
  return {};
}

}  // namespace

std::span<const std::string_view> LanguageTags() { return kTags; }

std::string LanguageTagOf(std::string_view choice) {
  if (choice.empty()) return "en";
  if (std::all_of(choice.begin(), choice.end(),
                  [](char c) { return c >= '0' && c <= '9'; })) {
    uint32_t n = 0;
    for (char c : choice) {
      n = n * 10 + static_cast<uint32_t>(c - '0');
      if (n > 0xFFFF) return "en";
    }
    for (const LangNumber& l : kPrimary)
      if ((n & 0x3FF) == l.id) return std::string(l.tag);
    return "en";
  }
  // "de", "de_AT.UTF-8", "de-CH@euro": the letters before the region.
  size_t end = choice.find_first_of("_-.@");
  std::string tag = Lower(choice.substr(0, end));
  for (std::string_view t : kTags)
    if (t == tag) return tag;
  return "en";
}

std::string ChooseLanguage() {
  platform::Registry& reg = platform::Env::Current()->registry();
  auto key = platform::RegKey::Open(reg, platform::RegRoot::kLocalMachine,
                                    kLanguageKey);
  if (key) {
    if (auto v = key->GetString(kLanguageValue); v && !v->empty())
      return LanguageTagOf(*v);
  }
  return LanguageTagOf(LocaleName());
}

LanguageLibrary::~LanguageLibrary() = default;

std::unique_ptr<LanguageLibrary> LanguageLibrary::LoadPath(
    std::string_view path, std::string* error) {
  std::unique_ptr<platform::Library> lib =
      platform::Env::Current()->LoadLibrary(path, error);
  if (!lib) return nullptr;
  auto id = lib->Function<ZeltLangIdFn>(ZELT_LANG_ID_SYMBOL);
  auto strings = lib->Function<ZeltLangStringsFn>(ZELT_LANG_STRINGS_SYMBOL);
  auto picture = lib->Function<ZeltLangPictureFn>(ZELT_LANG_PICTURE_SYMBOL);
  if (!id || !strings || !picture) {
    if (error) *error = lib->path() + ": not a language library";
    return nullptr;
  }
  std::unique_ptr<LanguageLibrary> out(new LanguageLibrary);
  out->strings_ = strings(&out->count_);
  out->language_id_ = id();
  out->picture_ = picture;
  out->lib_ = std::move(lib);
  return out;
}

std::unique_ptr<LanguageLibrary> LanguageLibrary::Load(std::string_view base,
                                                       std::string_view tag,
                                                       std::string* error) {
  std::string chosen = tag.empty() ? ChooseLanguage() : std::string(tag);
  std::string name = std::string(base) + "_" + chosen;
  if (auto lib = LoadPath(name, error)) return lib;
  if (chosen == "en") return nullptr;
  return LoadPath(std::string(base) + "_en", error);
}

std::string_view LanguageLibrary::Text(uint32_t id) const {
  const ZeltLangString* end = strings_ + count_;
  const ZeltLangString* it = std::lower_bound(
      strings_, end, id,
      [](const ZeltLangString& s, uint32_t v) { return s.id < v; });
  if (it == end || it->id != id || !it->text) return {};
  return it->text;
}

std::span<const unsigned char> LanguageLibrary::Picture(uint32_t id) const {
  uint32_t size = 0;
  const unsigned char* data = picture_(id, &size);
  if (!data) return {};
  return {data, size};
}

std::vector<uint32_t> LanguageLibrary::Numbers() const {
  std::vector<uint32_t> out;
  out.reserve(count_);
  for (uint32_t i = 0; i < count_; ++i) out.push_back(strings_[i].id);
  return out;
}

const std::string& LanguageLibrary::path() const { return lib_->path(); }

}  // namespace desktop
