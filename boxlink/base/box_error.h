// Failures inside the library travel as BoxError, carrying the system error
// code that the export will return. Every export catches them (and anything
// else, which becomes 1359); none crosses the library boundary.
#pragma once

#include <cstdint>

namespace boxlink {

class BoxError {
 public:
  explicit BoxError(uint32_t code) : code_(code) {}
  uint32_t code() const { return code_; }

 private:
  uint32_t code_;
};

[[noreturn]] inline void Raise(uint32_t code) { throw BoxError(code); }

}  // namespace boxlink
