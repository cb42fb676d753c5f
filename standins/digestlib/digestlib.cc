// digestlib: digests, Base64 and the decoration of credential forms.
#include <cstring>

#include "standins/cryptocore/crypto_core.h"
#include "standins/cryptocore/entry_points.h"

#define ZELT_EXPORT extern "C" __attribute__((visibility("default")))

namespace zc = zelt::crypto;

namespace {
// Encode_BASE64 hands out text it keeps; callers never free it. One buffer
// per thread, valid until that thread's next call. It is a plain array so
// that unloading the library leaves no destructor behind.
constexpr uint32_t kBase64MaxInput = 3072;
thread_local char base64_text[kBase64MaxInput / 3 * 4 + 1];
}  // namespace

ZELT_EXPORT void MD5_entry(const char* text, uint32_t length, uint8_t* out) {
  if (!out || (!text && length)) return;
  auto d = zc::Md5({reinterpret_cast<const uint8_t*>(text), length});
  std::memcpy(out, d.data(), d.size());
}

ZELT_EXPORT void SHA256_entry(const char* text, uint32_t length,
                              uint8_t* out) {
  if (!out || (!text && length)) return;
  auto d = zc::Sha256({reinterpret_cast<const uint8_t*>(text), length});
  std::memcpy(out, d.data(), d.size());
}

// Null when the input is missing or longer than the buffer allows.
ZELT_EXPORT const char* Encode_BASE64(const uint8_t* bytes, uint32_t count) {
  if ((!bytes && count) || count > kBase64MaxInput) return nullptr;
  std::string s = zc::Base64Encode({bytes, count});
  std::memcpy(base64_text, s.c_str(), s.size() + 1);
  return base64_text;
}

// `out` holds ZELT_DECORATED_MAX bytes; *length receives the text's length.
ZELT_EXPORT uint8_t Add_Prefix_Suffix(const char* text, char* out,
                                      uint32_t* length, int mode) {
  if (!text || !out || !length) return 0;
  auto d = zc::Decorate(text, mode);
  if (!d) return 0;
  std::memcpy(out, d->c_str(), d->size() + 1);
  *length = static_cast<uint32_t>(d->size());
  return 1;
}
