// A shared library loaded by name, unloaded when the object goes away.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class Library {
 public:
  virtual ~Library() = default;
  // Address of an exported symbol, or null.
  virtual void* Symbol(const char* name) = 0;
  // The file the library was loaded from.
  virtual const std::string& path() const = 0;

  template <typename Fn>
  Fn Function(const char* name) {
    return reinterpret_cast<Fn>(Symbol(name));
  }
};

// The file names tried for a bare library name, in order: the name as given
// when it looks like a file ("x.so", "x.so.1"), else "lib<name>.so" and
// "<name>.so" in `program_dir`, then "lib<name>.so" by the loader's own
// search. A name with a "/" is used as the path itself.
std::vector<std::string> LibraryCandidates(std::string_view name_or_path,
                                           std::string_view program_dir);

// dlopen over the candidates; null and the loader's reason on failure.
std::unique_ptr<Library> OpenLibrary(std::string_view name_or_path,
                                     std::string_view program_dir,
                                     std::string* error);

}  // namespace platform
