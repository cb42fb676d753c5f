// zelt-modelinfo: writes or lists a model information file.
//
//   zelt-modelinfo write OUT [--utf16] CATEGORY=MODEL[,MODEL...] ...
//   zelt-modelinfo list FILE
//
// "write" makes the file that the program ships beside itself to declare
// new models; "list" shows what a file holds (and where it ends early).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "boxlink/base/model_file.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: zelt-modelinfo write OUT [--utf16] "
               "CATEGORY=MODEL[,MODEL...] ...\n"
               "       zelt-modelinfo list FILE\n");
  return 2;
}

int Write(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::string out = argv[2];
  bool utf16 = false;
  std::vector<boxlink::ModelFileRecord> records;
  for (int i = 3; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--utf16") {
      utf16 = true;
      continue;
    }
    size_t eq = arg.find('=');
    if (eq == std::string_view::npos || eq == 0) return Usage();
    boxlink::ModelFileRecord r;
    r.category = std::string(arg.substr(0, eq));
    std::string_view rest = arg.substr(eq + 1);
    while (!rest.empty()) {
      size_t comma = rest.find(',');
      r.models.emplace_back(rest.substr(0, comma));
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    records.push_back(std::move(r));
  }
  if (!boxlink::WriteModelFile(out, records, utf16)) {
    std::fprintf(stderr, "zelt-modelinfo: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}

int List(const char* path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    std::fprintf(stderr, "zelt-modelinfo: cannot open %s\n", path);
    return 1;
  }
  std::string bytes((std::istreambuf_iterator<char>(f)),
                    std::istreambuf_iterator<char>());
  boxlink::FrameworkReader in(bytes);
  uint32_t n = 0;
  if (!in.ReadU32(&n)) {
    std::puts("endOfFile reached");
    return 1;
  }
  for (uint32_t i = 0; i < n; ++i) {
    std::string category;
    uint32_t m = 0;
    if (!in.ReadString(&category) || !in.ReadU32(&m)) {
      std::puts("endOfFile reached");
      return 1;
    }
    std::printf("%s\n", category.c_str());
    for (uint32_t j = 0; j < m; ++j) {
      std::string model;
      if (!in.ReadString(&model)) {
        std::puts("endOfFile reached");
        return 1;
      }
      std::printf("  %s\n", model.c_str());
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string_view(argv[1]) == "write")
    return Write(argc, argv);
  if (argc == 3 && std::string_view(argv[1]) == "list") return List(argv[2]);
  return Usage();
}
