// boxkeeper convert: legacy and model conversion of archives, on local
// files only.
//
//   boxkeeper convert --from MODEL --to MODEL [--summary] [--force]
//                     [--progress MODE] SOURCE.zip OUTPUT.zip
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "keeper/cli/cli_args.h"

namespace keeper::cli {

struct ConvertOptions {
  std::string from;            // the model that wrote the source archive
  std::string to;              // the model it is converted for
  std::string source, output;
  bool summary = false;        // only tell what would be dropped
  bool force = false;          // replace an existing output
  ProgressMode progress = ProgressMode::kAuto;
};

// Parses the arguments after "convert". nullopt and *error on bad input;
// a request for help comes back as nullopt with an empty error.
std::optional<ConvertOptions> ParseConvertArgs(const std::vector<std::string>& args,
                                               std::string* error);

// The conversions the library offers, and which one an archive takes.
enum class ConvertKind {
  kArchiveData,  // legacy document archive (Archive.XML): filtered
  kBackupData,   // legacy backup with a rule file for its model: filtered
  kFormat,       // any other backup archive: the model tables decide
};

// "drops colour documents, documents on wide paper and compound copies",
// or that nothing is dropped.
std::string SummaryText(uint32_t bits, const ConvertOptions& o);
// What an error code of a conversion means, for the user.
std::string ConvertErrorText(uint32_t code, ConvertKind kind, const ConvertOptions& o);

std::string ConvertHelpText();

// Runs the command; returns the exit code (see cli_args.h).
int RunConvert(const std::vector<std::string>& args);

}  // namespace keeper::cli
