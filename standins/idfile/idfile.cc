// The ID-file library: SNMPv3 credentials in an authenticated file.

#include "standins/cryptocore/crypto_core.h"
#include "standins/cryptocore/entry_points.h"

#define ZELT_EXPORT extern "C" __attribute__((visibility("default")))

namespace zc = zelt::crypto;

ZELT_EXPORT uint8_t EncryptIDFile(const char* path, const char* context,
                                  const char* user_name,
                                  const char* auth_password,
                                  const char* priv_password,
                                  const int* auth_protocol,
                                  const int* priv_protocol,
                                  const int* reserved) {
  if (!path || !context || !user_name || !auth_password || !priv_password ||
      !auth_protocol || !priv_protocol)
    return 0;
  // Reserved for a later format; anything but 0 asks for what we lack.
  if (reserved && *reserved != 0) return 0;
  zc::IdFileContent c{context, user_name, auth_password, priv_password,
                      *auth_protocol, *priv_protocol};
  return zc::WriteIdFile(path, c) ? 1 : 0;
}

ZELT_EXPORT uint8_t DecryptIDFile(const char* path, char* context,
                                  char* user_name, char* auth_password,
                                  char* priv_password, int* auth_protocol,
                                  int* priv_protocol) {
  return zc::DecryptIdFileInto(path, context, user_name, auth_password,
                               priv_password, auth_protocol, priv_protocol);
}
