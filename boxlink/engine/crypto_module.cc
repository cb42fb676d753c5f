#include "boxlink/engine/crypto_module.h"

#include "platform/env.h"

namespace boxlink {

std::unique_ptr<CryptoModule> CryptoModule::Load(std::string_view path,
                                                 std::string* error) {
  if (path.empty()) {
    if (error) *error = "no library path configured";
    return nullptr;
  }
  auto lib = platform::Env::Current()->LoadLibrary(path, error);
  if (!lib) return nullptr;
  return std::make_unique<CryptoModule>(std::move(lib));
}

}  // namespace boxlink
