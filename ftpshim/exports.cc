// The library's two exports. Nothing is kept between calls: each object
// owns its FTP library object and nothing else.
#include <cstdint>
#include <memory>
#include <new>

#include "ftpshim/ftp_wrapper.h"

extern "C" IFtp* CreateFtpHandle(uint32_t family_flag, uint32_t ipv6) {
  try {
    auto lib = std::make_unique<ftplib>(static_cast<int>(family_flag),
                                        static_cast<int>(ipv6));
    // Handed across the C interface; ReleaseFtpHandle deletes it.
    return new ftpshim::IFtpImplements(std::move(lib));
  } catch (...) {
    return nullptr;
  }
}

extern "C" uint32_t ReleaseFtpHandle(IFtp* ftp) {
  if (!ftp) return FTPSHIM_ERR_INVALID_PARAMETER;
  try {
    // The handle came from CreateFtpHandle, so it is this implementation.
    delete static_cast<ftpshim::IFtpImplements*>(ftp);
    return 0;
  } catch (uint32_t code) {
    return code;
  } catch (...) {
    return FTPSHIM_ERR_INTERNAL_ERROR;
  }
}
