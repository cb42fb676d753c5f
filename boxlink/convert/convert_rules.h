// The conversion rules: which documents a conversion from one model to
// another drops, read from the source model's rule file.
//
// The rule file of source model "A/B" is "A_B.ini", found as the system
// finds a file named without a path: in the program's folder, the current
// folder, then the folders of PATH. Its section named after the target
// model switches the checks on with non-zero integer keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "boxlink.h"
#include "boxlink/convert/ini_file.h"

namespace boxlink {

inline constexpr char kColorCheckKey[] = "ColorCheck";
inline constexpr char kWidePaperCheckKey[] = "WidePaperCheck";
inline constexpr char kCopyCompoundCheckKey[] = "CopyCompoundCheck";
inline constexpr char kKSizeCheckKey[] = "K-SizeCheck";

// Summary bits, also the drop reasons of the progress record.
inline constexpr uint32_t kDropColour = ZB_DROP_COLOUR;
inline constexpr uint32_t kDropWidePaper = ZB_DROP_WIDE_PAPER;
inline constexpr uint32_t kDropCopyCompound = ZB_DROP_COPY_COMPOUND;

struct ConvertChecks {
  bool colour = false;
  bool wide_paper = false;
  bool copy_compound = false;
  bool k_size = false;  // read, but drops nothing

  uint32_t SummaryBits() const {
    return (colour ? kDropColour : 0) | (wide_paper ? kDropWidePaper : 0) |
           (copy_compound ? kDropCopyCompound : 0);
  }
};

// "Varda7120/7140" -> "Varda7120_7140.ini".
std::string RuleFileName(std::string_view source_model);
// The first existing file of that name in the program's folder, the current
// folder, then each PATH folder (an empty PATH entry is the current folder).
std::optional<std::string> LocateFile(std::string_view file_name);
// Locates and loads the source model's rule file; false when there is none
// or it cannot be read.
bool LoadRuleFile(std::string_view source_model, CIniFile* ini);
// The checks of the target model's section; a missing key reads as 0.
ConvertChecks ReadChecks(const CIniFile& ini, std::string_view target_model);

}  // namespace boxlink
