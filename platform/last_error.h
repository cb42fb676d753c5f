// The calling thread's last error, as handle-style calls report it.
#pragma once

#include <cstdint>

namespace platform {

uint32_t GetLastError();
void SetLastError(uint32_t code);

}  // namespace platform
