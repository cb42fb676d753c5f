#include "platform/notifier.h"

#include <atomic>

namespace platform {
namespace {
std::atomic<Notifier*> g_installed{nullptr};
}  // namespace

Notifier* Notifier::Installed() { return g_installed.load(); }

Notifier* Notifier::Install(Notifier* notifier) {
  return g_installed.exchange(notifier);
}

}  // namespace platform
