/*
 * The entry points of the cipher, digest and ID-file libraries, as callers
 * look them up by name. The libraries define them with these exact types;
 * callers cast the looked-up addresses to the pointer types below.
 *
 * Texts are 8-bit and zero-terminated. Byte results are non-zero on success.
 */
#ifndef ZELT_CRYPTO_ENTRY_POINTS_H_
#define ZELT_CRYPTO_ENTRY_POINTS_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Longest text an ID file holds in each of its four fields (the output
 * buffers of DecryptIDFile hold this many bytes plus the zero). */
#define ZELT_IDFILE_TEXT_MAX 255
/* Largest decorated text of Add_Prefix_Suffix, including its zero. */
#define ZELT_DECORATED_MAX 512

/* cipherlib */
typedef int (*AESEncryptWithPwdFn)(const uint8_t* in, uint8_t* out,
                                   uint32_t* length, const uint8_t* key);
typedef int (*AESDecryptWithPwdFn)(const uint8_t* in, uint8_t* out,
                                   uint32_t* length, const uint8_t* key);
typedef uint8_t (*Entry_AES_EncryptFn)(const char* text, uint8_t* out,
                                       uint32_t* out_length);
/* cipherlib and the ID-file library */
typedef uint8_t (*DecryptIDFileFn)(const char* path, char* context,
                                   char* user_name, char* auth_password,
                                   char* priv_password, int* auth_protocol,
                                   int* priv_protocol);
/* the ID-file library */
typedef uint8_t (*EncryptIDFileFn)(const char* path, const char* context,
                                   const char* user_name,
                                   const char* auth_password,
                                   const char* priv_password,
                                   const int* auth_protocol,
                                   const int* priv_protocol,
                                   const int* reserved);
/* digestlib */
typedef void (*MD5_entryFn)(const char* text, uint32_t length, uint8_t* out);
typedef void (*SHA256_entryFn)(const char* text, uint32_t length,
                               uint8_t* out);
typedef const char* (*Encode_BASE64Fn)(const uint8_t* bytes, uint32_t count);
typedef uint8_t (*Add_Prefix_SuffixFn)(const char* text, char* out,
                                       uint32_t* length, int mode);

#ifdef __cplusplus
}
#endif

#endif /* ZELT_CRYPTO_ENTRY_POINTS_H_ */
