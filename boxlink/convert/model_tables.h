// The model tables of the format conversion: which engine versions convert
// how, to which targets, and which engine version a converted index states.
//
// They are product data of the device line and ship as the INI file
// "ZELT_ConvertModels.ini" beside the library (config/ in the source tree
// documents every section). Entries compare case-sensitively, as
// substrings of the archive's engine version or of the caller's target
// model name.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "boxlink/convert/ini_file.h"

namespace boxlink {

inline constexpr char kModelTablesFileName[] = "ZELT_ConvertModels.ini";

enum class WidePaperCheck { kNone, kStrict, kNarrow };

class ModelTables {
 public:
  struct Pair {
    std::string source;  // engine version text
    std::string target;  // target series name
  };
  struct AllowedTargets {
    std::string source;
    std::vector<std::string> targets;
  };
  struct WidePaperPair {
    Pair pair;
    WidePaperCheck check = WidePaperCheck::kStrict;
  };
  struct Relabel {
    Pair pair;
    std::string version;
  };

  // The shipped file, from the program's folder or else the library's own
  // folder; nullopt when neither has a readable one.
  static std::optional<ModelTables> LoadShipped();
  static std::optional<ModelTables> LoadFile(const std::string& path);
  static ModelTables FromIni(const CIniFile& ini);

  bool IsClassicSource(std::string_view version) const;
  bool IsStorageSource(std::string_view version) const;
  // Whether some storage source row matching the version lists a series
  // that the target model name contains.
  bool TargetAllowed(std::string_view version, std::string_view target_model) const;
  WidePaperCheck WidePaper(std::string_view version, std::string_view target_model) const;
  bool IsByteOrderTarget(std::string_view target_model) const;
  bool IsByteOrderExempt(std::string_view version) const;
  // The engine version the converted index states; nullopt when no row
  // names the pair.
  std::optional<std::string> RelabelVersion(std::string_view version,
                                            std::string_view target_model) const;

  std::vector<std::string> classic_sources;
  std::vector<std::string> storage_sources;
  std::vector<AllowedTargets> allowed_targets;
  std::vector<WidePaperPair> wide_paper;
  std::vector<std::string> byte_order_targets;
  std::vector<std::string> byte_order_exempt;
  std::vector<Relabel> relabel;
};

}  // namespace boxlink
