// What the entry points keep for the process: the product code, the
// SNMPv3 support flag and the folder of the language library (specified
// as the library's process-wide state), and the single-discovery guard.
#pragma once

#include <memory>
#include <string>

namespace platform {
class Event;
}

namespace finder {

struct LibraryState {
  int product_code = -1;
  bool v3_support = false;
  std::string language_path;  // folder joined with the language library
};
LibraryState& State();

// The product codes the library serves: -1 and those of the other
// applications that use it.
bool IsKnownProductCode(int code);

// The named event that marks an open discovery dialog, created for as long
// as the result is held; null when another discovery holds it already, in
// this program or in another of the same user.
std::shared_ptr<platform::Event> AcquireDiscoveryGuard(const std::string& name);

// The folder the library's code lies in (libfinder.so, or the program
// that links it): where its language libraries, help pages and
// "finderconf.ini" are looked for.
std::string FinderFolder();

// UTF-16 argument to UTF-8; "" for null.
std::string FromWide(const char16_t* text);

}  // namespace finder
