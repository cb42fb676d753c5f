#include "keeper/app/password_form.h"

#include <cstring>
#include <memory>
#include <vector>

#include "platform/env.h"
#include "platform/library.h"
#include "standins/cryptocore/entry_points.h"

namespace keeper {
namespace {

constexpr int kMode1 = 1;
constexpr size_t kAesBlock = 16;

std::unique_ptr<platform::Library> Load(const std::string& path) {
  std::string error;
  return platform::Env::Current()->LoadLibrary(path, &error);
}

// Base64 of `bytes`, then the decoration of `mode`, then Base64 again, with
// the digest library; each step that cannot be done keeps the value of the
// one before, starting from `fallback`.
std::string DecorateWithDigestLibrary(const std::vector<uint8_t>& bytes,
                                      int mode, const std::string& digest,
                                      std::string fallback) {
  auto lib = Load(digest);
  if (!lib) return fallback;
  auto b64 = lib->Function<Encode_BASE64Fn>("Encode_BASE64");
  auto decorate = lib->Function<Add_Prefix_SuffixFn>("Add_Prefix_Suffix");
  if (!b64) return fallback;
  const char* text = b64(bytes.data(), static_cast<uint32_t>(bytes.size()));
  if (!text) return fallback;
  std::string value = text;
  if (!decorate) return value;
  char out[ZELT_DECORATED_MAX] = {};
  uint32_t length = 0;
  if (!decorate(value.c_str(), out, &length, mode) || length >= sizeof out)
    return value;
  std::string decorated(out, length);
  text = b64(reinterpret_cast<const uint8_t*>(decorated.data()), length);
  return text ? std::string(text) : decorated;
}

}  // namespace

CryptoLibraries CryptoLibraries::BesideProgram() {
  const std::string dir = platform::Env::Current()->ProgramDir();
  return {dir + "/libcipherlib.so", dir + "/libdigestlib.so"};
}

Mode1Form EncodeMode1(const std::string& credential,
                      const CryptoLibraries& libraries) {
  Mode1Form form;
  form.value = credential;
  auto cipher = Load(libraries.cipher);
  if (!cipher) return form;
  form.encoded = true;
  auto encrypt = cipher->Function<Entry_AES_EncryptFn>("Entry_AES_Encrypt");
  if (!encrypt) return form;
  // PKCS#7 of the text and its terminating zero fits in this many bytes.
  std::vector<uint8_t> bytes((credential.size() / kAesBlock + 1) * kAesBlock +
                             kAesBlock);
  uint32_t length = static_cast<uint32_t>(bytes.size());
  if (!encrypt(credential.c_str(), bytes.data(), &length) ||
      length > bytes.size())
    return form;
  bytes.resize(length);
  std::string raw(bytes.begin(), bytes.end());
  form.value = DecorateWithDigestLibrary(bytes, kMode1, libraries.digest, raw);
  return form;
}

}  // namespace keeper
