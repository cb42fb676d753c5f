#include "boxlink/client/engine_cache.h"

#include <atomic>
#include <cstring>

namespace boxlink {
namespace {
std::atomic<EngineInfoFill> g_fill{nullptr};
}  // namespace

EngineInfoRecord& EngineInfoCache() {
  static EngineInfoRecord cache{};
  return cache;
}

void ClearEngineInfoCache() { std::memset(&EngineInfoCache(), 0, sizeof(EngineInfoRecord)); }

void SetEngineInfoFill(EngineInfoFill fill) { g_fill = fill; }
EngineInfoFill GetEngineInfoFill() { return g_fill; }

}  // namespace boxlink
