#include "desktop/reg_path.h"

namespace desktop {

std::string CollapseBackslashes(std::string_view path) {
  std::string out(path);
  for (;;) {
    size_t at = out.find("\\\\");
    if (at == std::string::npos) return out;
    out.erase(at, 1);
  }
}

}  // namespace desktop
