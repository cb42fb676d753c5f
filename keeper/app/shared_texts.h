// Text numbers that several of keeper's windows show alike: the error
// caption, the caption of backup messages and the refusal of a target
// without a name.
#pragma once

#include <cstdint>

namespace keeper {

inline constexpr uint32_t kTextErrorCaption = 88;
inline constexpr uint32_t kTextBackupCaption = 43;
inline constexpr uint32_t kTextBadTargetName = 64;

}  // namespace keeper
