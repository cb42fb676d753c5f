#include "platform/testing/temp_dir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace platform {

ScopedTempDir::ScopedTempDir(std::string_view prefix) {
  std::string base = std::filesystem::temp_directory_path().string();
  std::string tmpl = base + "/" + std::string(prefix) + "-XXXXXX";
  if (!::mkdtemp(tmpl.data())) {
    std::perror("mkdtemp");
    std::abort();
  }
  path_ = tmpl;
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ScopedTempDir::Sub(std::string_view name) const {
  return path_ + "/" + std::string(name);
}

void WriteTestFile(const std::string& path, std::string_view content) {
  std::filesystem::create_directories(
      std::filesystem::path(path).parent_path());
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!f) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::abort();
  }
}

std::string ReadTestFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

}  // namespace platform
