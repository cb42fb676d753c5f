// The library's two exports. Nothing is kept between calls: each object
// owns its FTP library object and nothing else.
#include <dlfcn.h>

#include <cstdint>
#include <memory>
#include <new>

#include "ftpshim/ftp_wrapper.h"

extern "C" IFtp* CreateFtpHandle(uint32_t family_flag, uint32_t ipv6) {
  try {
    auto lib = std::make_unique<ftplib>(static_cast<int>(family_flag),
                                        static_cast<int>(ipv6));
    // The thread's last error belongs to the process, as the loader's
    // callers expect to read it after a failed call. It lives in boxlink,
    // which exports it; without boxlink the library keeps its own.
    if (void* sink = dlsym(RTLD_DEFAULT, "zbBoxSetLastError"))
      lib->SetErrorSink(reinterpret_cast<void (*)(uint32_t)>(sink));
    // Handed across the C interface; ReleaseFtpHandle deletes it.
    return new ftpshim::IFtpImplements(std::move(lib));
  } catch (...) {
    return nullptr;
  }
}

extern "C" uint32_t ReleaseFtpHandle(IFtp* ftp) {
  if (!ftp) return 87;
  try {
    // The handle came from CreateFtpHandle, so it is this implementation.
    delete static_cast<ftpshim::IFtpImplements*>(ftp);
    return 0;
  } catch (uint32_t code) {
    return code;
  } catch (...) {
    return 1359;
  }
}
