// Fuzz target of the rule-file reader and of the model tables read through
// it. Any crash, sanitizer report or broken invariant is a finding.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "boxlink/convert/convert_rules.h"
#include "boxlink/convert/ini_file.h"
#include "boxlink/convert/model_tables.h"

namespace boxlink::fuzz {

namespace {

void Require(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

int RuleFileInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  CIniFile ini;
  ini.Parse(text);
  for (const CIniFile::Section& s : ini.sections()) {
    for (const CIniFile::Entry& e : s.entries) {
      // A key that is there never reads as the default of a missing one
      // unless its value says so, and reading twice gives the same.
      if (e.has_value) {
        Require(ini.GetInt(s.name, e.key, 12345) == ini.GetInt(s.name, e.key, 12345));
        Require(ini.GetString(s.name, e.key).has_value());
      }
      Require(e.key.find('\n') == std::string::npos);
    }
    ConvertChecks c = ReadChecks(ini, s.name);
    Require((c.SummaryBits() & ~7u) == 0);
  }
  Require(ini.GetInt("\x01 no such section", "key", 7) == 7);
  (void)ProfileInt(text.substr(0, 64));

  ModelTables t = ModelTables::FromIni(ini);
  std::string probe(text.substr(0, 80));
  (void)t.IsClassicSource(probe);
  (void)t.TargetAllowed(probe, probe);
  (void)t.WidePaper(probe, probe);
  (void)t.RelabelVersion(probe, probe);
  for (const auto& row : t.relabel) Require(!row.version.empty());
  return 0;
}

}  // namespace boxlink::fuzz

#ifndef ZELT_FUZZ_REPLAY
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return boxlink::fuzz::RuleFileInput(data, size);
}
#endif
