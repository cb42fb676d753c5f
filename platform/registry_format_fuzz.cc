// libFuzzer target for the registry's text format, which anyone who may
// write the file (an administrator with an editor, a half-finished copy)
// can hand the program. Whatever is read must come out the same after one
// round of writing and reading: what the program saves it reads back.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  platform::RegNode root;
  platform::ParseRegistryText(text, "HKEY_CURRENT_USER", &root);
  std::string written = platform::FormatRegistryText(root, "HKEY_CURRENT_USER");
  platform::RegNode again;
  platform::ParseRegistryText(written, "HKEY_CURRENT_USER", &again);
  if (platform::FormatRegistryText(again, "HKEY_CURRENT_USER") != written) __builtin_trap();
  return 0;
}
