// boxkeeper discover: the discovery library's broadcast passes and device
// queries without a window, for machines without a display.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "desktop/texts.h"
#include "finder/discovery_engine.h"

namespace keeper::cli {

struct DiscoverOptions {
  uint32_t mode = 1;  // 1, 3 or 13
  std::string community;
  std::string v3_id_file;
  std::optional<finder::Ipv4Range> range;
  int timeout_seconds = finder::kDefaultActualWaitSeconds;
  bool json = false;
  bool help = false;
  // Whether --mode, --community or --snmpv3-id was given; without any of
  // them the desktop's stored SNMP settings apply.
  bool snmp_given = false;
};

// Parses the arguments after "discover". nullopt and *error on bad input.
std::optional<DiscoverOptions> ParseDiscoverArgs(const std::vector<std::string>& args,
                                                 std::string* error);

// One line per row: name, address, SNMP version label, location, model,
// separated by tabs (tabs and line breaks inside a field become spaces).
// The labels are the discovery's ("V1/V2", and finderlang's text for
// SNMPv3: "V3" in every language).
std::string RowLine(const finder::DeviceRow& row, const desktop::Texts& texts);
// All rows as a JSON array of objects.
std::string RowsJson(const std::vector<finder::DeviceRow>& rows,
                     const desktop::Texts& texts);

std::string DiscoverHelpText();

// Runs the command; the exit code.
int RunDiscover(const std::vector<std::string>& args);

}  // namespace keeper::cli
