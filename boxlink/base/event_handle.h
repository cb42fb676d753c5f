// What a ZBEVENT handle is inside the library.
#pragma once

#include <memory>

#include "boxlink.h"
#include "platform/event.h"

struct ZBEVENT_ {
  std::shared_ptr<platform::Event> event;
};

namespace boxlink {
inline platform::Event* EventOf(ZBEVENT handle) {
  return handle ? handle->event.get() : nullptr;
}
}  // namespace boxlink
