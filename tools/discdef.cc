// zelt-discdef: makes the archive form of a product definition from its
// XML form, and shows what an archive holds.
//
//   zelt-discdef write OUT.bin IN.xml
//   zelt-discdef list FILE.bin
//
// The programs ship the archive form beside themselves; people write the
// XML form.
#include <cstdio>
#include <string>
#include <string_view>

#include "finder/product_definition.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: zelt-discdef write OUT.bin IN.xml\n"
               "       zelt-discdef list FILE.bin\n");
  return 2;
}

int Write(const char* out, const char* in) {
  finder::CDiscoveryModule module;
  std::string message;
  if (!module.LoadXml(in, &message)) {
    std::fprintf(stderr, "zelt-discdef: %s: %s\n", in, message.c_str());
    return 1;
  }
  if (!module.SaveArchive(out)) {
    std::fprintf(stderr, "zelt-discdef: cannot write %s\n", out);
    return 1;
  }
  // Read back what was written: a definition the library cannot load must
  // not ship.
  finder::CDiscoveryModule check;
  if (!check.LoadArchive(out) || !(check == module)) {
    std::fprintf(stderr, "zelt-discdef: %s does not read back as written\n", out);
    return 1;
  }
  return 0;
}

const char* YesNo(bool b) { return b ? "yes" : "no"; }

int List(const char* path) {
  finder::CDiscoveryModule m;
  if (!m.LoadArchive(path)) {
    std::fprintf(stderr, "zelt-discdef: %s is no readable product definition\n",
                 path);
    return 1;
  }
  std::printf("module %s%s\nlanguage library %s\n", m.module_type().c_str(),
              m.new_format() ? " (new format)" : "",
              m.language_library().c_str());
  for (const auto& [name, value] : m.generic().ids())
    std::printf("resource %s = %d\n", name.c_str(), value);
  for (const auto& [name, value] : m.checks().values())
    std::printf("check %s = %s\n", name.c_str(), value.c_str());
  for (const finder::COID* p : m.products().List()) {
    std::printf("product %s: id %s, model type %d, priority %d, family %d, "
                "enabled %s, checked %s\n",
                p->key.c_str(), p->id.c_str(), p->model_type, p->priority,
                p->family, YesNo(p->enabled), YesNo(p->checked));
    for (const auto& [name, f] : p->specific.finds())
      std::printf("  find %s = %s (prefix %s, suffix %s)\n", name.c_str(),
                  f.value.c_str(), f.prefix.c_str(), f.suffix.c_str());
    for (const auto& [name, value] : p->specific.ids())
      std::printf("  resource %s = %d\n", name.c_str(), value);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string_view(argv[1]) == "write")
    return Write(argv[2], argv[3]);
  if (argc == 3 && std::string_view(argv[1]) == "list") return List(argv[2]);
  return Usage();
}
