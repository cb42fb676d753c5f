#include "boxlink/engine/layout.h"

#include "boxlink/base/engine_versions.h"
#include "boxlink/base/model_addition_check.h"

namespace boxlink {

bool IsSharedEngine(std::string_view version) {
  return ContainsAny(version, kSupportedEngines.begin(),
                     kSupportedEngines.begin() + kFirstSeriesEngine);
}

LayoutPaths ClassifyLayout(std::string_view version) {
  if (IsSharedEngine(version))
    return {DeviceLayout::kShared, "/SHR/BOX/DATA", "/SHR/BOX/DATABASE"};
  if (IsSupportedModel(version))
    return {DeviceLayout::kStorage, "/storage/box/TarnBoxes", ""};
  return {DeviceLayout::kClassic, "/BOX/DATA", "/BOX/DATABASE"};
}

TransferFamily ChooseFamily(std::string_view version, bool for_box_transfer) {
  if (IsSeriesEngine(version)) return TransferFamily::kOriel;
  if (for_box_transfer && IsSupportedModel(version))
    return TransferFamily::kOriel;
  return TransferFamily::kBrisk;
}

}  // namespace boxlink
