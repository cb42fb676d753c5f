// The shared inside of the cipher, digest and ID-file libraries. The formats
// fixed here are read back by every later build: see docs/crypto.md before
// changing anything.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "standins/cryptocore/entry_points.h"

namespace zelt::crypto {

inline constexpr size_t kAesBlock = 16;
inline constexpr size_t kAesKey = 16;

// AES-128-CBC, zero IV, PKCS#7 padding: `out` receives in.size() rounded up
// to the next multiple of 16 (always at least one byte more). `out` must hold
// in.size() + 16 bytes. Returns the number written, or nullopt on failure.
std::optional<size_t> CbcEncrypt(std::span<const uint8_t> in, uint8_t* out,
                                 const uint8_t key[kAesKey]);
// The reverse. Writes only the plain bytes (never more than in.size() - 1),
// so `out` may be exactly as large as the plain text can be. Refuses input
// that is empty, not a multiple of 16 or badly padded.
std::optional<size_t> CbcDecrypt(std::span<const uint8_t> in, uint8_t* out,
                                 const uint8_t key[kAesKey]);

std::array<uint8_t, 16> Md5(std::span<const uint8_t> data);
std::array<uint8_t, 32> Sha256(std::span<const uint8_t> data);

// RFC 4648 Base64, standard alphabet, "=" padding, no line breaks.
std::string Base64Encode(std::span<const uint8_t> data);
// Strict: refuses other characters, missing padding and non-zero pad bits.
std::optional<std::vector<uint8_t>> Base64Decode(std::string_view text);

// The decoration of credential forms, mode 1 or 2.
std::optional<std::string> Decorate(std::string_view text, int mode);
std::optional<std::string> Undecorate(std::string_view text, int mode);

// The fixed key of Entry_AES_Encrypt, which the device shares.
const uint8_t* CredentialKey();

// Device side of the credential forms: the credential hidden in a mode-1
// form, and whether a mode-2 form was made from `credential`.
std::optional<std::string> DecodeCredentialMode1(std::string_view form);
std::string EncodeCredentialMode1(std::string_view credential);
std::string EncodeCredentialMode2(std::string_view credential);

// SNMPv3 credentials as an ID file holds them.
struct IdFileContent {
  std::string context;
  std::string user_name;
  std::string auth_password;
  std::string priv_password;
  int auth_protocol = 0;  // 1 HMAC-MD5, 2 HMAC-SHA
  int priv_protocol = 0;  // 1 none, 2 DES, 4 AES
};

// The whole file image; nullopt when a text is too long or a code unknown.
std::optional<std::vector<uint8_t>> SealIdFile(const IdFileContent& content);
// Nullopt for anything that is not an intact ID file of a known version.
std::optional<IdFileContent> OpenIdFile(std::span<const uint8_t> image);

// Whole-file helpers. Writing goes through a temporary file and a rename,
// so a failed write never leaves a half-written ID file behind.
bool WriteIdFile(const std::string& path, const IdFileContent& content);
std::optional<IdFileContent> ReadIdFile(const std::string& path);

// DecryptIDFile of the libraries that export it: reads the file into the
// caller's buffers (each ZELT_IDFILE_TEXT_MAX bytes plus the zero). 1 on
// success, 0 for a missing argument or a file that does not open.
uint8_t DecryptIdFileInto(const char* path, char* context, char* user_name,
                          char* auth_password, char* priv_password,
                          int* auth_protocol, int* priv_protocol);

}  // namespace zelt::crypto
