#include "standins/cryptocore/crypto_core.h"

#include <fcntl.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/rand.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace zelt::crypto {
namespace {

struct CtxFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CtxFree>;

constexpr uint8_t kZeroIv[kAesBlock] = {};

// Raw CBC over whole blocks, no padding: exactly `n` bytes out.
bool CbcRaw(const uint8_t* in, size_t n, uint8_t* out, const uint8_t* key,
            const uint8_t* iv, bool encrypt) {
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return false;
  if (EVP_CipherInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr, key, iv,
                        encrypt ? 1 : 0) != 1)
    return false;
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  int produced = 0;
  if (n > 0 && EVP_CipherUpdate(ctx.get(), out, &produced, in,
                                static_cast<int>(n)) != 1)
    return false;
  return static_cast<size_t>(produced) == n;
}

constexpr char kPrefix1[] = "<ZCPW1>";
constexpr char kSuffix1[] = "</ZCPW1>";
constexpr char kPrefix2[] = "<ZCPW2>";
constexpr char kSuffix2[] = "</ZCPW2>";

// Fixed secrets. Anyone holding the libraries can recover what they
// protect; they keep credentials out of plain sight and make damage
// detectable, nothing more (docs/crypto.md).
constexpr uint8_t kCredentialKey[kAesKey] = {
    0x5a, 0x45, 0x4c, 0x54, 0x2d, 0x63, 0x72, 0x65,
    0x64, 0x2d, 0x6b, 0x65, 0x79, 0x2d, 0x76, 0x31};  // "ZELT-cred-key-v1"
constexpr uint8_t kIdMasterKey[32] = {
    0x3b, 0x91, 0x0e, 0xc4, 0x7a, 0x25, 0xd8, 0x66, 0x13, 0xaf, 0x50,
    0xe2, 0x8d, 0x04, 0xb7, 0x39, 0xc1, 0x6e, 0x92, 0x2a, 0xf5, 0x48,
    0x0b, 0xdc, 0x77, 0x1f, 0xa3, 0x58, 0xe9, 0x34, 0x86, 0xcd};

constexpr uint8_t kIdMagic[8] = {'Z', 'E', 'L', 'T', 'I', 'D', '\r', '\n'};
constexpr uint8_t kIdVersion = 1;
constexpr size_t kSaltLen = 16, kNonceLen = 12, kTagLen = 16;
constexpr size_t kHeaderLen = 8 + 4 + kSaltLen + kNonceLen;  // 40, the AAD
constexpr size_t kMaxPlain = 2 + 4 * (1 + 255);
constexpr size_t kMaxIdFile = kHeaderLen + kMaxPlain + kTagLen;
constexpr char kHkdfInfo[] = "ZELT ID file v1";

bool DeriveIdKey(const uint8_t* salt, uint8_t out[32]) {
  EVP_KDF* kdf = EVP_KDF_fetch(nullptr, "HKDF", nullptr);
  if (!kdf) return false;
  EVP_KDF_CTX* kctx = EVP_KDF_CTX_new(kdf);
  EVP_KDF_free(kdf);
  if (!kctx) return false;
  char digest[] = "SHA256";
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
      OSSL_PARAM_construct_octet_string(
          OSSL_KDF_PARAM_KEY, const_cast<uint8_t*>(kIdMasterKey),
          sizeof kIdMasterKey),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT,
                                        const_cast<uint8_t*>(salt), kSaltLen),
      OSSL_PARAM_construct_octet_string(
          OSSL_KDF_PARAM_INFO, const_cast<char*>(kHkdfInfo),
          sizeof kHkdfInfo - 1),
      OSSL_PARAM_construct_end()};
  bool ok = EVP_KDF_derive(kctx, out, 32, params) == 1;
  EVP_KDF_CTX_free(kctx);
  return ok;
}

bool Gcm(bool encrypt, const uint8_t* key, const uint8_t* nonce,
         std::span<const uint8_t> aad, std::span<const uint8_t> in,
         uint8_t* out, uint8_t* tag) {
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return false;
  if (EVP_CipherInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr,
                        nullptr, encrypt ? 1 : 0) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kNonceLen,
                          nullptr) != 1 ||
      EVP_CipherInit_ex(ctx.get(), nullptr, nullptr, key, nonce, -1) != 1)
    return false;
  int n = 0;
  if (EVP_CipherUpdate(ctx.get(), nullptr, &n, aad.data(),
                       static_cast<int>(aad.size())) != 1)
    return false;
  if (!in.empty() && EVP_CipherUpdate(ctx.get(), out, &n, in.data(),
                                      static_cast<int>(in.size())) != 1)
    return false;
  if (!encrypt &&
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTagLen, tag) != 1)
    return false;
  uint8_t rest[kAesBlock];
  if (EVP_CipherFinal_ex(ctx.get(), rest, &n) != 1) return false;
  if (encrypt &&
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTagLen, tag) != 1)
    return false;
  return true;
}

bool ValidAuth(int p) { return p == 1 || p == 2; }
bool ValidPriv(int p) { return p == 1 || p == 2 || p == 4; }

}  // namespace

std::optional<size_t> CbcEncrypt(std::span<const uint8_t> in, uint8_t* out,
                                 const uint8_t key[kAesKey]) {
  if (!out || !key) return std::nullopt;
  size_t whole = in.size() / kAesBlock * kAesBlock;
  uint8_t last[kAesBlock];
  size_t tail = in.size() - whole;
  if (tail) std::memcpy(last, in.data() + whole, tail);
  std::memset(last + tail, static_cast<int>(kAesBlock - tail),
              kAesBlock - tail);
  if (!CbcRaw(in.data(), whole, out, key, kZeroIv, true)) return std::nullopt;
  const uint8_t* iv = whole ? out + whole - kAesBlock : kZeroIv;
  if (!CbcRaw(last, kAesBlock, out + whole, key, iv, true))
    return std::nullopt;
  return whole + kAesBlock;
}

std::optional<size_t> CbcDecrypt(std::span<const uint8_t> in, uint8_t* out,
                                 const uint8_t key[kAesKey]) {
  if (!out || !key || in.empty() || in.size() % kAesBlock)
    return std::nullopt;
  size_t whole = in.size() - kAesBlock;
  // The last block goes to a scratch block first, so that the padding is
  // never written into the caller's buffer.
  uint8_t last[kAesBlock];
  const uint8_t* iv = whole ? in.data() + whole - kAesBlock : kZeroIv;
  if (!CbcRaw(in.data() + whole, kAesBlock, last, key, iv, false))
    return std::nullopt;
  uint8_t pad = last[kAesBlock - 1];
  if (pad == 0 || pad > kAesBlock) return std::nullopt;
  for (size_t i = kAesBlock - pad; i < kAesBlock; ++i)
    if (last[i] != pad) return std::nullopt;
  // Checked first, so that a refused chunk leaves the output untouched.
  if (!CbcRaw(in.data(), whole, out, key, kZeroIv, false)) return std::nullopt;
  std::memcpy(out + whole, last, kAesBlock - pad);
  return whole + kAesBlock - pad;
}

std::array<uint8_t, 16> Md5(std::span<const uint8_t> data) {
  std::array<uint8_t, 16> out{};
  unsigned n = 0;
  EVP_Digest(data.data(), data.size(), out.data(), &n, EVP_md5(), nullptr);
  return out;
}

std::array<uint8_t, 32> Sha256(std::span<const uint8_t> data) {
  std::array<uint8_t, 32> out{};
  unsigned n = 0;
  EVP_Digest(data.data(), data.size(), out.data(), &n, EVP_sha256(), nullptr);
  return out;
}

std::string Base64Encode(std::span<const uint8_t> data) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= data.size(); i += 3) {
    uint32_t v = data[i] << 16 | data[i + 1] << 8 | data[i + 2];
    for (int s = 18; s >= 0; s -= 6) out += kAlphabet[(v >> s) & 63];
  }
  size_t rest = data.size() - i;
  if (rest) {
    uint32_t v = data[i] << 16 | (rest == 2 ? data[i + 1] << 8 : 0);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::optional<std::vector<uint8_t>> Base64Decode(std::string_view text) {
  if (text.size() % 4) return std::nullopt;
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  std::vector<uint8_t> out;
  out.reserve(text.size() / 4 * 3);
  for (size_t i = 0; i < text.size(); i += 4) {
    bool last = i + 4 == text.size();
    int pads = 0;
    uint32_t v = 0;
    for (size_t j = 0; j < 4; ++j) {
      char c = text[i + j];
      if (c == '=' && last && j >= 2) {
        ++pads;
        v <<= 6;
        continue;
      }
      int d = value(c);
      if (d < 0 || pads) return std::nullopt;
      v = v << 6 | static_cast<uint32_t>(d);
    }
    if ((pads == 1 && (v & 0xff)) || (pads == 2 && (v & 0xffff)))
      return std::nullopt;
    out.push_back(static_cast<uint8_t>(v >> 16));
    if (pads < 2) out.push_back(static_cast<uint8_t>(v >> 8));
    if (pads < 1) out.push_back(static_cast<uint8_t>(v));
  }
  return out;
}

std::optional<std::string> Decorate(std::string_view text, int mode) {
  if (mode != 1 && mode != 2) return std::nullopt;
  std::string out = mode == 1 ? kPrefix1 : kPrefix2;
  out += text;
  out += mode == 1 ? kSuffix1 : kSuffix2;
  if (out.size() + 1 > ZELT_DECORATED_MAX) return std::nullopt;
  return out;
}

std::optional<std::string> Undecorate(std::string_view text, int mode) {
  if (mode != 1 && mode != 2) return std::nullopt;
  std::string_view prefix = mode == 1 ? kPrefix1 : kPrefix2;
  std::string_view suffix = mode == 1 ? kSuffix1 : kSuffix2;
  if (text.size() < prefix.size() + suffix.size() ||
      !text.starts_with(prefix) || !text.ends_with(suffix))
    return std::nullopt;
  text.remove_prefix(prefix.size());
  text.remove_suffix(suffix.size());
  return std::string(text);
}

const uint8_t* CredentialKey() { return kCredentialKey; }

namespace {
std::span<const uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}
}  // namespace

std::string EncodeCredentialMode1(std::string_view credential) {
  std::vector<uint8_t> cipher(credential.size() + kAesBlock);
  auto n = CbcEncrypt(Bytes(credential), cipher.data(), kCredentialKey);
  cipher.resize(n.value_or(0));
  auto decorated = Decorate(Base64Encode(cipher), 1);
  return decorated ? Base64Encode(Bytes(*decorated)) : std::string();
}

std::optional<std::string> DecodeCredentialMode1(std::string_view form) {
  auto outer = Base64Decode(form);
  if (!outer) return std::nullopt;
  auto inner = Undecorate(
      std::string_view(reinterpret_cast<const char*>(outer->data()),
                       outer->size()),
      1);
  if (!inner) return std::nullopt;
  auto cipher = Base64Decode(*inner);
  if (!cipher) return std::nullopt;
  std::string plain(cipher->size(), '\0');
  auto n = CbcDecrypt(*cipher, reinterpret_cast<uint8_t*>(plain.data()),
                      kCredentialKey);
  if (!n) return std::nullopt;
  plain.resize(*n);
  return plain;
}

std::string EncodeCredentialMode2(std::string_view credential) {
  auto digest = Sha256(Bytes(credential));
  auto decorated = Decorate(Base64Encode(digest), 2);
  return decorated ? Base64Encode(Bytes(*decorated)) : std::string();
}

std::optional<std::vector<uint8_t>> SealIdFile(const IdFileContent& c) {
  const std::string* texts[] = {&c.context, &c.user_name, &c.auth_password,
                                &c.priv_password};
  if (!ValidAuth(c.auth_protocol) || !ValidPriv(c.priv_protocol))
    return std::nullopt;
  std::vector<uint8_t> plain;
  plain.push_back(static_cast<uint8_t>(c.auth_protocol));
  plain.push_back(static_cast<uint8_t>(c.priv_protocol));
  for (const std::string* t : texts) {
    if (t->size() > ZELT_IDFILE_TEXT_MAX ||
        t->find('\0') != std::string::npos)
      return std::nullopt;
    plain.push_back(static_cast<uint8_t>(t->size()));
    plain.insert(plain.end(), t->begin(), t->end());
  }
  std::vector<uint8_t> image(kHeaderLen + plain.size() + kTagLen);
  std::memcpy(image.data(), kIdMagic, sizeof kIdMagic);
  image[8] = kIdVersion;
  uint8_t* salt = image.data() + 12;
  uint8_t* nonce = salt + kSaltLen;
  if (RAND_bytes(salt, kSaltLen + kNonceLen) != 1) return std::nullopt;
  uint8_t key[32];
  if (!DeriveIdKey(salt, key)) return std::nullopt;
  bool ok = Gcm(true, key, nonce, {image.data(), kHeaderLen}, plain,
                image.data() + kHeaderLen,
                image.data() + kHeaderLen + plain.size());
  OPENSSL_cleanse(key, sizeof key);
  OPENSSL_cleanse(plain.data(), plain.size());
  if (!ok) return std::nullopt;
  return image;
}

std::optional<IdFileContent> OpenIdFile(std::span<const uint8_t> image) {
  if (image.size() < kHeaderLen + 2 + 4 + kTagLen || image.size() > kMaxIdFile)
    return std::nullopt;
  if (std::memcmp(image.data(), kIdMagic, sizeof kIdMagic) != 0 ||
      image[8] != kIdVersion || image[9] || image[10] || image[11])
    return std::nullopt;
  const uint8_t* salt = image.data() + 12;
  const uint8_t* nonce = salt + kSaltLen;
  size_t plain_len = image.size() - kHeaderLen - kTagLen;
  std::vector<uint8_t> plain(plain_len);
  uint8_t key[32];
  if (!DeriveIdKey(salt, key)) return std::nullopt;
  uint8_t tag[kTagLen];
  std::memcpy(tag, image.data() + image.size() - kTagLen, kTagLen);
  bool ok = Gcm(false, key, nonce, image.first(kHeaderLen),
                image.subspan(kHeaderLen, plain_len), plain.data(), tag);
  OPENSSL_cleanse(key, sizeof key);
  if (!ok) return std::nullopt;
  // The tag vouches for the bytes; the layout is still checked field by
  // field so that no future writer bug can make us read past them.
  IdFileContent c;
  c.auth_protocol = plain[0];
  c.priv_protocol = plain[1];
  if (!ValidAuth(c.auth_protocol) || !ValidPriv(c.priv_protocol))
    return std::nullopt;
  std::string* texts[] = {&c.context, &c.user_name, &c.auth_password,
                          &c.priv_password};
  size_t pos = 2;
  for (std::string* t : texts) {
    if (pos >= plain.size()) return std::nullopt;
    size_t n = plain[pos++];
    if (plain.size() - pos < n) return std::nullopt;
    t->assign(reinterpret_cast<const char*>(plain.data() + pos), n);
    if (t->find('\0') != std::string::npos) return std::nullopt;
    pos += n;
  }
  if (pos != plain.size()) return std::nullopt;
  OPENSSL_cleanse(plain.data(), plain.size());
  return c;
}

bool WriteIdFile(const std::string& path, const IdFileContent& content) {
  auto image = SealIdFile(content);
  if (!image || path.empty()) return false;
  std::string tmp = path + ".tmp";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < image->size()) {
    ssize_t n = ::write(fd, image->data() + done, image->size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bool ok = done == image->size() && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(tmp.c_str());
  return ok;
}

std::optional<IdFileContent> ReadIdFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::vector<uint8_t> image(kMaxIdFile + 1);
  size_t got = 0;
  while (got < image.size()) {
    ssize_t n = ::read(fd, image.data() + got, image.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  image.resize(got);
  return OpenIdFile(image);
}

uint8_t DecryptIdFileInto(const char* path, char* context, char* user_name,
                          char* auth_password, char* priv_password,
                          int* auth_protocol, int* priv_protocol) {
  if (!path || !context || !user_name || !auth_password || !priv_password ||
      !auth_protocol || !priv_protocol)
    return 0;
  auto c = ReadIdFile(path);
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

}  // namespace zelt::crypto
