// libFuzzer target for the retry settings, which anyone who may write the
// user's registry file can set to any text: whatever it holds, the value
// used lies within its limits.
#include <cstdint>
#include <string_view>

#include "keeper/app/schedule_time.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  for (uint32_t max : {keeper::kMaxRetryInterval, keeper::kMaxRetryCount}) {
    uint32_t v = keeper::ClampRetryValue(text, max);
    if (v < 1 || v > max) __builtin_trap();
  }
  return 0;
}
