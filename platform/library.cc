#include "platform/library.h"

#include <dlfcn.h>

namespace platform {
namespace {

class DlLibrary final : public Library {
 public:
  DlLibrary(void* handle, std::string path)
      : handle_(handle), path_(std::move(path)) {}
  ~DlLibrary() override { dlclose(handle_); }
  void* Symbol(const char* name) override { return dlsym(handle_, name); }
  const std::string& path() const override { return path_; }

 private:
  void* handle_;
  std::string path_;
};

bool LooksLikeFile(std::string_view n) {
  return n.ends_with(".so") || n.find(".so.") != std::string_view::npos;
}

}  // namespace

std::vector<std::string> LibraryCandidates(std::string_view name,
                                           std::string_view program_dir) {
  std::vector<std::string> out;
  if (name.empty()) return out;
  if (name.find('/') != std::string_view::npos) {
    out.emplace_back(name);
    return out;
  }
  std::string dir(program_dir);
  if (!dir.empty() && dir.back() != '/') dir += '/';
  std::string n(name);
  if (LooksLikeFile(n)) {
    if (!dir.empty()) out.push_back(dir + n);
    out.push_back(n);
    return out;
  }
  if (!dir.empty()) {
    out.push_back(dir + "lib" + n + ".so");
    out.push_back(dir + n + ".so");
  }
  out.push_back("lib" + n + ".so");
  return out;
}

std::unique_ptr<Library> OpenLibrary(std::string_view name_or_path,
                                     std::string_view program_dir,
                                     std::string* error) {
  std::string last;
  for (const auto& candidate : LibraryCandidates(name_or_path, program_dir)) {
    void* h = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (h) return std::make_unique<DlLibrary>(h, candidate);
    const char* e = dlerror();
    last = e ? e : "cannot load " + candidate;
  }
  if (error) *error = last.empty() ? "empty library name" : last;
  return nullptr;
}

}  // namespace platform
