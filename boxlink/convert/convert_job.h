// What the conversion exports share: the cancel and progress events of the
// caller, the short waits that let a display follow, and folders of their
// own for unpacked trees.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "boxlink.h"

namespace boxlink {

class ConvertSignals {
 public:
  ConvertSignals(ZBEVENT cancel, ZBEVENT progress) : cancel_(cancel), progress_(progress) {}
  // Sets the progress event, when there is one.
  void Notify() const;
  // Throws 995 when the cancel event is signalled; never waits.
  void CheckCancel() const;
  // Waits through the platform clock.
  static void Wait(uint32_t ms);

 private:
  ZBEVENT cancel_;
  ZBEVENT progress_;
};

// A folder of this call alone below `parent`: "<parent>/<prefix>XXXXXX",
// mode 0700. Throws the system error.
std::string MakePrivateFolder(const std::string& parent, std::string_view prefix);

// Whether two paths name the same file (also when spelt differently).
bool SameFile(const std::string& a, const std::string& b);

// Copies text into a fixed progress field, cut to fit.
void SetField(char (&field)[512], std::string_view text);

}  // namespace boxlink
