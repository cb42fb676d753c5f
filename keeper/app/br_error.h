// cZBBoxBRError: the text keeper shows for an error code of a job, a
// connection or a device call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "desktop/texts.h"

namespace keeper {

class cZBBoxBRError {
 public:
  // The longest text, in bytes; longer ones are cut (never inside a
  // character).
  static constexpr size_t kMaxText = 256;

  // storage_type only matters for 39 (no room on the device): 0 box
  // storage, 1 and 2 the two kinds of storage-layout devices.
  explicit cZBBoxBRError(uint32_t code, uint32_t storage_type = 0)
      : code_(code), storage_type_(storage_type) {}

  // The text for the device at `address`, from the process's keeper texts.
  // Code 0 stands for the calling thread's last error; when that is 0 as
  // well the text is empty.
  std::string Text(std::string_view address) const;
  // The same from the given texts (a block of the result log loads its
  // own language library).
  std::string Text(std::string_view address,
                   const desktop::Texts& texts) const;

  // True for the codes after which a stored credential must not be reused
  // without asking again (timeouts and network failures).
  bool ClearsSkipDialog() const;

 private:
  uint32_t code_;
  uint32_t storage_type_;
};

}  // namespace keeper
