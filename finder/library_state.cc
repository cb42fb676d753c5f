#include "finder/library_state.h"

#include "platform/event.h"
#include "platform/text.h"

namespace finder {

LibraryState& State() {
  static LibraryState state;
  return state;
}

bool IsKnownProductCode(int code) {
  switch (code) {
    case -1: case 14: case 20: case 29: case 86: case 94: case 119: case 133:
    case 147: case 153:
      return true;
    default:
      return false;
  }
}

std::shared_ptr<platform::Event> AcquireDiscoveryGuard(const std::string& name) {
  bool existed = false;
  auto event = platform::Event::CreateNamed(name, /*manual_reset=*/false,
                                            /*initial_state=*/false, &existed);
  if (!event || existed) return nullptr;
  return event;
}

std::string FromWide(const char16_t* text) {
  if (!text) return {};
  return platform::Utf16ToUtf8(std::u16string_view(text, platform::U16Length(text)));
}

}  // namespace finder
