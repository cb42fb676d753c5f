// Texts for tests, from a map.
#pragma once

#include <map>
#include <string>

#include "desktop/texts.h"

namespace desktop {

class MapTexts final : public Texts {
 public:
  MapTexts(std::map<uint32_t, std::string> texts,
           uint32_t language = kLangEnglishUS)
      : texts_(std::move(texts)), language_(language) {}
  std::string_view Text(uint32_t id) const override {
    auto it = texts_.find(id);
    return it == texts_.end() ? std::string_view() : it->second;
  }
  uint32_t LanguageId() const override { return language_; }
  void Set(uint32_t id, std::string text) { texts_[id] = std::move(text); }

 private:
  std::map<uint32_t, std::string> texts_;
  uint32_t language_;
};

}  // namespace desktop
