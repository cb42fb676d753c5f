// The platform services that callers of the exports need: the last error of
// handle-style results, the memory blocks they return, and the events of
// the job protocol.
#include <memory>

#include "boxlink.h"
#include "boxlink/base/event_handle.h"
#include "platform/event.h"
#include "platform/last_error.h"
#include "platform/mem_block.h"


namespace {
platform::BlockHandle AsBlock(ZBBLOCK b) {
  return reinterpret_cast<platform::BlockHandle>(b);
}
}  // namespace

ZB_API uint32_t zbBoxGetLastError(void) { return platform::GetLastError(); }

ZB_API void zbBoxSetLastError(uint32_t code) { platform::SetLastError(code); }

ZB_API void* zbBoxLockBlock(ZBBLOCK block) {
  return platform::BlockLock(AsBlock(block));
}

ZB_API size_t zbBoxBlockSize(ZBBLOCK block) {
  return platform::BlockSize(AsBlock(block));
}

ZB_API void zbBoxFreeBlock(ZBBLOCK block) { platform::BlockFree(AsBlock(block)); }

ZB_API ZBEVENT zbBoxCreateEvent(int manualReset, int initialState,
                                const char* name) {
  auto handle = std::make_unique<ZBEVENT_>();
  handle->event = name && *name
                      ? platform::Event::CreateNamed(name, manualReset != 0,
                                                     initialState != 0)
                      : platform::Event::Create(manualReset != 0,
                                                initialState != 0);
  return handle.release();  // the caller closes it with zbBoxCloseEvent
}

ZB_API int zbBoxSetEvent(ZBEVENT event) {
  if (!event) return 0;
  event->event->Set();
  return 1;
}

ZB_API int zbBoxResetEvent(ZBEVENT event) {
  if (!event) return 0;
  event->event->Reset();
  return 1;
}

ZB_API uint32_t zbBoxWaitEvent(ZBEVENT event, uint32_t milliseconds) {
  if (!event) return platform::kWaitFailed;
  return event->event->Wait(milliseconds);
}

ZB_API void zbBoxCloseEvent(ZBEVENT event) {
  std::unique_ptr<ZBEVENT_> owned(event);
}
