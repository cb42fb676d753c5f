// cipherlib: AES for archive members and credentials, and reading ID files.
#include <cstring>
#include <span>

#include "standins/cryptocore/crypto_core.h"
#include "standins/cryptocore/entry_points.h"

#define ZELT_EXPORT extern "C" __attribute__((visibility("default")))

namespace zc = zelt::crypto;

ZELT_EXPORT int AESEncryptWithPwd(const uint8_t* in, uint8_t* out,
                                  uint32_t* length, const uint8_t* key) {
  if (!out || !length || !key || (!in && *length)) return 0;
  auto n = zc::CbcEncrypt({in, *length}, out, key);
  if (!n) return 0;
  *length = static_cast<uint32_t>(*n);
  return 1;
}

ZELT_EXPORT int AESDecryptWithPwd(const uint8_t* in, uint8_t* out,
                                  uint32_t* length, const uint8_t* key) {
  if (!in || !out || !length || !key) return 0;
  auto n = zc::CbcDecrypt({in, *length}, out, key);
  if (!n) return 0;
  *length = static_cast<uint32_t>(*n);
  return 1;
}

// *out_length: on entry the room in `out`, on return the bytes written.
ZELT_EXPORT uint8_t Entry_AES_Encrypt(const char* text, uint8_t* out,
                                      uint32_t* out_length) {
  if (!text || !out || !out_length) return 0;
  size_t len = std::strlen(text);
  if (len / zc::kAesBlock * zc::kAesBlock + zc::kAesBlock > *out_length)
    return 0;
  auto n = zc::CbcEncrypt({reinterpret_cast<const uint8_t*>(text), len}, out,
                          zc::CredentialKey());
  if (!n) return 0;
  *out_length = static_cast<uint32_t>(*n);
  return 1;
}

ZELT_EXPORT uint8_t DecryptIDFile(const char* path, char* context,
                                  char* user_name, char* auth_password,
                                  char* priv_password, int* auth_protocol,
                                  int* priv_protocol) {
  return zc::DecryptIdFileInto(path, context, user_name, auth_password,
                               priv_password, auth_protocol, priv_protocol);
}
