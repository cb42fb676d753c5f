// Fuzz targets of setup's readers of outside input: the strings files
// beside it and its command line. Each checks what must hold whatever the
// input: values within their limit; a command line setup accepts composes
// an installer command within its limit that maps onto the package tools
// with the language the command line named.
//
// Every build runs them over seeds and mutations (input_fuzz_test.cc);
// scripts/fuzz runs them under libFuzzer.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "setup/installer_command.h"
#include "setup/package_command.h"
#include "setup/strings_file.h"

namespace setup::fuzz {
namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

int StringsFileInput(const uint8_t* data, size_t size) {
  ProfileText p = ProfileText::Parse(
      std::string_view(reinterpret_cast<const char*>(data), size));
  SetupStrings s = ReadSetupStrings(p);
  for (const std::string& v : s.languages) Check(Utf16Units(v) <= kMaxStringUnits);
  for (const std::string* v : {&s.ok, &s.cancel, &s.prompt, &s.title})
    Check(Utf16Units(*v) <= kMaxStringUnits);
  return 0;
}

int CommandLineInput(const uint8_t* data, size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  std::string error;
  auto request = ReadUnattended(line, &error);
  if (!request) {
    Check(!error.empty());
    return 0;
  }
  Places places{"/usr", "/media/cd/", "/media/cd/tarnkeeper_1.0_amd64.deb"};
  auto command = UnattendedCommand(places, *request, &error);
  if (!command) {
    Check(!error.empty());
    return 0;
  }
  Check(Utf16Units(*command) <= kMaxCommandUnits);
  HostFacts host;
  host.root = true;
  auto mapped = MapInstallerCommand(*command, host, &error);
  Check(mapped.has_value());
  Check(mapped->argv.size() >= 4);
  if (request->remove) {
    Check(mapped->argv[1] == "remove" && mapped->argv.back() == "tarnkeeper");
  } else {
    Check(mapped->argv.back() == places.package_path);
    // The transform of the command line's own language comes first.
    if (request->language != "1033") Check(mapped->language == request->language);
  }
  return 0;
}

}  // namespace setup::fuzz

#if defined(ZELT_SETUP_FUZZ_STRINGS)
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return setup::fuzz::StringsFileInput(data, size);
}
#elif defined(ZELT_SETUP_FUZZ_COMMAND_LINE)
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return setup::fuzz::CommandLineInput(data, size);
}
#endif
