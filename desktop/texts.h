// Texts by number: what every window of the desktop programs shows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace desktop {

class Texts {
 public:
  virtual ~Texts() = default;
  // The text of that number; empty when there is none.
  virtual std::string_view Text(uint32_t id) const = 0;
  // The Windows language number of the texts (1033 U.S. English, ...).
  virtual uint32_t LanguageId() const = 0;

  std::string operator()(uint32_t id) const { return std::string(Text(id)); }
};

inline constexpr uint32_t kLangEnglishUS = 1033;
inline constexpr uint32_t kLangGerman = 1031;

}  // namespace desktop
