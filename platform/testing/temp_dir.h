// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes away.
#pragma once

#include <string>
#include <string_view>

namespace platform {

class ScopedTempDir {
 public:
  explicit ScopedTempDir(std::string_view prefix = "zelt-test");
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string Sub(std::string_view name) const;

 private:
  std::string path_;
};

// Writes a whole file; creates the parent folders. Aborts the test program
// on failure (fixture set-up cannot go on without it).
void WriteTestFile(const std::string& path, std::string_view content);
std::string ReadTestFile(const std::string& path);

}  // namespace platform
