// Which box-store layout a device keeps, and which transfer family talks to
// it, decided from the engine version text.
#pragma once

#include <string>
#include <string_view>

namespace boxlink {

enum class DeviceLayout { kShared, kClassic, kStorage };

struct LayoutPaths {
  DeviceLayout layout = DeviceLayout::kClassic;
  std::string data_path;      // device FTP path of the box data
  std::string database_path;  // device FTP path of the box index files
};

// The shared-store engines, the first three known versions.
bool IsSharedEngine(std::string_view version);
// The layout by the order of tests the engine relies on: shared strings,
// then the model file, then classic.
LayoutPaths ClassifyLayout(std::string_view version);

enum class TransferFamily { kOriel, kBrisk };
// The twelve "Series" strings pick the Oriel family; for box transfers (not
// the index step) so does the model file.
TransferFamily ChooseFamily(std::string_view version, bool for_box_transfer);

}  // namespace boxlink
