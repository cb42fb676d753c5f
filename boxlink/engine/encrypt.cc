#include "boxlink/engine/encrypt.h"

#include <unistd.h>

#include <cstring>
#include <new>

#include "boxlink/base/box_error.h"
#include "boxlink/base/logger.h"
#include "boxlink.h"
#include "platform/text.h"

namespace boxlink {
namespace {

[[noreturn]] void Fail(const char* label, uint32_t code) {
  CLogger::LogError(label, code);
  Raise(code);
}

}  // namespace

CEncrypt::CEncrypt() {
  m_szEncryptDllName[0] = '\0';
  m_szHashDllName[0] = '\0';
  std::memset(key_, 0, sizeof key_);
}

CEncrypt::~CEncrypt() { Release(); }

void CEncrypt::SetEncryptDllName(const char* path) {
  if (path) platform::CopyBounded(m_szEncryptDllName, sizeof m_szEncryptDllName, path);
}

void CEncrypt::SetHashDllName(const char* path) {
  if (path) platform::CopyBounded(m_szHashDllName, sizeof m_szHashDllName, path);
}

uint32_t CEncrypt::HashBuff(const char* password, uint8_t key[17]) {
  if (!password || !key || m_szHashDllName[0] == '\0') return ZB_ERR_INVALID_PARAMETER;
  std::unique_ptr<CryptoModule> lib;
  try {
    lib = CryptoModule::Load(m_szHashDllName);
    if (!lib) Fail("HashBuff - LoadLibrary(m_szHashDllName)", ZB_ERR_MOD_NOT_FOUND);
    auto md5 = lib->Find<MD5_entryFn>(kMd5Entry);
    if (!md5) Fail("HashBuff - LoadLibrary(m_szHashDllName)", ZB_ERR_PROC_NOT_FOUND);
    md5(password, uint32_t(std::strlen(password)), key);
    key[16] = 0;
    return 0;
  } catch (const BoxError& e) {
    return e.code();
  }
}

void CEncrypt::Release() {
  input_buffer_.reset();
  output_buffer_.reset();
  input_size_ = output_size_ = 0;
  cipher_entry_ = nullptr;
  cipher_library_.reset();
  m_hInputFile.Close();
  output_file_.Close();
  std::memset(key_, 0, sizeof key_);
}

void CEncrypt::Initialize(bool encrypt, const char* input, const char* output,
                          const char* password) {
  try {
    m_hInputFile.Open(input, CZipFile::Mode::kRead);
  } catch (const BoxError& e) {
    Fail("fnOpenInputFile - CreateFile()", e.code());
  }
  cipher_library_ = CryptoModule::Load(m_szEncryptDllName);
  if (!cipher_library_)
    Fail("fnEncInitialize - LoadLibrary(m_szEncryptDllName)", ZB_ERR_MOD_NOT_FOUND);
  cipher_entry_ = cipher_library_->Find<AESEncryptWithPwdFn>(
      encrypt ? kAesEncryptEntry : kAesDecryptEntry);
  if (!cipher_entry_)
    Fail(encrypt ? "fnEncInitialize - GetProcAddress(ENC_AES128_ENCRYPT_API)"
                 : "DecryptBuff - GetProcAddress(ENC_AES128_DECRYPT_API)",
         ZB_ERR_PROC_NOT_FOUND);

  if (uint32_t rc = HashBuff(password, key_)) {
    // A key made without the digest library opens nowhere the library
    // works: nothing is sealed with it. Opening still tries it, so that
    // files sealed that way stay readable.
    if (encrypt)
      Fail("fnEncInitialize - HashBuff(m_szHashDllName)",
           rc == ZB_ERR_INVALID_PARAMETER ? uint32_t{ZB_ERR_MOD_NOT_FOUND} : rc);
    std::memset(key_, 0, sizeof key_);
    std::memcpy(key_, password, std::min<size_t>(16, std::strlen(password)));
  }

  uint64_t size;
  try {
    size = m_hInputFile.Length();
  } catch (const BoxError& e) {
    Fail("fnEncInitialize - GetFileSize(m_hInputFile)", e.code());
  }
  if (encrypt) {
    input_size_ = size <= ENC_AES128_NORMAL_BUFF_SIZE
                      ? uint32_t(size) : ENC_AES128_NORMAL_BUFF_SIZE;
    output_size_ = size <= ENC_AES128_NORMAL_BUFF_SIZE
                       ? uint32_t(size) + 17 : ENC_AES128_ENCRYPT_BUFF_SIZE;
  } else {
    input_size_ = size <= ENC_AES128_ENCRYPT_BUFF_SIZE
                      ? uint32_t(size) : ENC_AES128_ENCRYPT_BUFF_SIZE;
    output_size_ = size <= ENC_AES128_ENCRYPT_BUFF_SIZE
                       ? uint32_t(size) : ENC_AES128_NORMAL_BUFF_SIZE;
  }
  input_buffer_.reset(new (std::nothrow) uint8_t[input_size_ + 1]);
  if (!input_buffer_)
    Fail(encrypt ? "fnEncInitialize - Input Buffer new TBYTE[ENC_AES128_NORMAL_BUFF_SIZE]"
                 : "fnEncInitialize - Input Buffer new TBYTE[ENC_AES128_ENCRYPT_BUFF_SIZE]",
         8);
  output_buffer_.reset(new (std::nothrow) uint8_t[output_size_ + 1]);
  if (!output_buffer_)
    Fail(encrypt ? "fnEncInitialize - Output Buffer new TBYTE[ENC_AES128_ENCRYPT_BUFF_SIZE]"
                 : "fnEncInitialize - Output Buffer new TBYTE[ENC_AES128_NORMAL_BUFF_SIZE]",
         8);
  try {
    output_file_.Open(output, CZipFile::Mode::kCreate);
    output_path_ = output;
  } catch (const BoxError& e) {
    Fail("fnOpenOutputFile - CreateFile()", e.code());
  }
}

void CEncrypt::ChunkLoop(bool encrypt) {
  for (;;) {
    std::memset(input_buffer_.get(), 0, input_size_ + 1);
    std::memset(output_buffer_.get(), 0, output_size_ + 1);
    size_t got;
    try {
      got = m_hInputFile.Read(input_buffer_.get(), input_size_);
    } catch (const BoxError& e) {
      Fail("fnReadFromFileToBuff - ReadFile()", e.code());
    }
    // Only bytes read make a chunk: a file that ends on a chunk border
    // gets no empty chunk after it.
    if (got == 0) break;
    uint32_t length = uint32_t(got);
    int ok = cipher_entry_(input_buffer_.get(), output_buffer_.get(), &length,
                           key_);
    // A refused chunk would leave a hole in the output that nobody notices
    // until the data is needed: the whole file fails instead.
    if (!ok)
      Fail(encrypt ? "EncryptBuff - m_fnAESEncryptWithPwd"
                   : "DecryptBuff - fnEntryAESDecrypt",
           1359);
    if (length > output_size_) Fail("EncryptBuff - output length", 1359);
    try {
      output_file_.Write(output_buffer_.get(), length);
    } catch (const BoxError& e) {
      Fail("WriteToFileFromBuff - WriteFile(lpszFileName)", e.code());
    }
    if (got < input_size_) break;
  }
}

uint32_t CEncrypt::Run(bool encrypt, const char* input, const char* output,
                       const char* password) {
  const char* label = encrypt ? "fnEncryptFile" : "fnDecryptFile";
  if (!input || !output || !password || !*input || !*output ||
      m_szEncryptDllName[0] == '\0')
    return ZB_ERR_INVALID_PARAMETER;
  uint32_t code = 0;
  output_path_.clear();
  try {
    Initialize(encrypt, input, output, password);
    ChunkLoop(encrypt);
  } catch (const BoxError& e) {
    code = e.code();
  } catch (...) {
    code = ZB_ERR_INTERNAL_ERROR;
  }
  bool made_output = output_file_.IsOpen();
  Release();
  if (code != 0) {
    CLogger::LogError(label, code);
    if (made_output) ::unlink(output_path_.c_str());
  }
  return code;
}

uint32_t CEncrypt::fnEncryptFile(const char* input, const char* output,
                                 const char* password) {
  return Run(true, input, output, password);
}

uint32_t CEncrypt::fnDecryptFile(const char* input, const char* output,
                                 const char* password) {
  return Run(false, input, output, password);
}

uint32_t AppendHashedPassword(const char* hash_library, const char* text,
                              std::string* out) {
  if (!hash_library || !text || !out) return ZB_ERR_INTERNAL_ERROR;
  auto lib = CryptoModule::Load(hash_library);
  if (!lib) return ZB_ERR_INTERNAL_ERROR;
  auto sha = lib->Find<SHA256_entryFn>(kSha256Entry);
  auto b64 = lib->Find<Encode_BASE64Fn>(kBase64Entry);
  if (!sha || !b64) return ZB_ERR_INTERNAL_ERROR;
  uint8_t digest[32];
  sha(text, uint32_t(std::strlen(text)), digest);
  const char* encoded = b64(digest, sizeof digest);
  if (!encoded) return ZB_ERR_INTERNAL_ERROR;
  *out += "%3%";
  *out += encoded;
  *out += "%3%";
  return 0;
}

}  // namespace boxlink
