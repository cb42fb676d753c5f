// CEncrypt: whole files encrypted and decrypted chunk by chunk through the
// cipher library, with a key made by the hash library.
//
// Each plain chunk of ENC_AES128_NORMAL_BUFF_SIZE bytes (the last one
// shorter) is sealed on its own; a full chunk becomes exactly
// ENC_AES128_ENCRYPT_BUFF_SIZE bytes, so decryption reads the file back in
// steps of that size. Both libraries are loaded for one file and freed
// after it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "boxlink/engine/crypto_module.h"
#include "boxlink/zip/zip_file.h"

namespace boxlink {

inline constexpr uint32_t ENC_AES128_NORMAL_BUFF_SIZE = 0xFFFFF;
inline constexpr uint32_t ENC_AES128_ENCRYPT_BUFF_SIZE = 0x100000;
// Every encrypted archive member is sealed with this password.
inline constexpr char kArchivePassword[] = "KTQ@zip_lok#word73";

class CEncrypt {
 public:
  CEncrypt();
  virtual ~CEncrypt();
  CEncrypt(const CEncrypt&) = delete;
  CEncrypt& operator=(const CEncrypt&) = delete;

  // UTF-8 paths; null leaves the setting as it is, "" unconfigures it.
  void SetEncryptDllName(const char* path);
  void SetHashDllName(const char* path);

  // 0, 87 for a missing argument or no cipher library, or the failure's
  // code. A failed file leaves no output file behind. Encryption needs the
  // hash library (126 without it, 127 when it lacks its entry point);
  // decryption falls back to the password itself, padded to 16 bytes.
  uint32_t fnEncryptFile(const char* input, const char* output,
                         const char* password);
  uint32_t fnDecryptFile(const char* input, const char* output,
                         const char* password);
  // The 16-byte key (and a zero) as MD5 of the password: 0 when made,
  // 87 without a hash library or argument, else the failure's code.
  uint32_t HashBuff(const char* password, uint8_t key[17]);

 private:
  uint32_t Run(bool encrypt, const char* input, const char* output,
               const char* password);
  void Initialize(bool encrypt, const char* input, const char* output,
                  const char* password);
  void ChunkLoop(bool encrypt);
  void Release();

  char m_szEncryptDllName[520];
  char m_szHashDllName[520];
  CZipFile m_hInputFile;
  CZipFile output_file_;
  std::string output_path_;
  std::unique_ptr<uint8_t[]> input_buffer_, output_buffer_;
  uint32_t input_size_ = 0, output_size_ = 0;
  std::unique_ptr<CryptoModule> cipher_library_;
  AESEncryptWithPwdFn cipher_entry_ = nullptr;  // same type both ways
  uint8_t key_[17];
};

// The box password form of converted storage properties: "%3%" +
// Base64(SHA-256(text)) + "%3%", appended to *out. 0, or 1359 when an
// argument is missing or the library or an entry point cannot be had.
uint32_t AppendHashedPassword(const char* hash_library, const char* text,
                              std::string* out);

}  // namespace boxlink
