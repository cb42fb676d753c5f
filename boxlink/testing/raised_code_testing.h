// For tests of operations that raise: the code they end with.
#pragma once

#include <cstdint>
#include <functional>

#include "boxlink/base/box_error.h"

namespace boxlink {

// The code `fn` raises, or 0 when it returns.
inline uint32_t RaisedCode(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const BoxError& e) {
    return e.code();
  }
  return 0;
}

}  // namespace boxlink
