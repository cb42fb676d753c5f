#include "finder/library_state.h"

#include <dlfcn.h>

#include <filesystem>

#include "platform/env.h"
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

std::string FinderFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&FinderFolder), &info) && info.dli_fname) {
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(info.dli_fname, ec);
    if (!ec && path.has_parent_path()) return path.parent_path().string();
  }
  return platform::Env::Current()->ProgramDir();
}

std::string FromWide(const char16_t* text) {
  if (!text) return {};
  return platform::Utf16ToUtf8(std::u16string_view(text, platform::U16Length(text)));
}

}  // namespace finder
