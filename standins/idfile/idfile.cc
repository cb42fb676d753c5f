// The ID-file library: SNMPv3 credentials in an authenticated file.
#include <cstring>

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
  if (!path || !context || !user_name || !auth_password || !priv_password ||
      !auth_protocol || !priv_protocol)
    return 0;
  auto c = zc::ReadIdFile(path);
  if (!c) return 0;
  auto out = [](char* dst, const std::string& s) {
    std::memcpy(dst, s.data(), s.size());
    dst[s.size()] = '\0';
  };
  out(context, c->context);
  out(user_name, c->user_name);
  out(auth_password, c->auth_password);
  out(priv_password, c->priv_password);
  *auth_protocol = c->auth_protocol;
  *priv_protocol = c->priv_protocol;
  return 1;
}
