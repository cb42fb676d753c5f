// The cipher and digest libraries, loaded by path for the time of one use.
//
// They are outside components that the caller names by path; a missing file
// or entry point is the caller's to report, so lookups return null rather
// than throw.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/library.h"
#include "standins/cryptocore/entry_points.h"

namespace boxlink {

// Entry-point names, as the libraries export them.
inline constexpr char kAesEncryptEntry[] = "AESEncryptWithPwd";
inline constexpr char kAesDecryptEntry[] = "AESDecryptWithPwd";
inline constexpr char kCredentialEncryptEntry[] = "Entry_AES_Encrypt";
inline constexpr char kDecryptIdFileEntry[] = "DecryptIDFile";
inline constexpr char kEncryptIdFileEntry[] = "EncryptIDFile";
inline constexpr char kMd5Entry[] = "MD5_entry";
inline constexpr char kSha256Entry[] = "SHA256_entry";
inline constexpr char kBase64Entry[] = "Encode_BASE64";
inline constexpr char kPrefixSuffixEntry[] = "Add_Prefix_Suffix";

// Owns the loaded library; unloads it when destroyed. Function pointers taken
// from it must not outlive it.
class CryptoModule {
 public:
  // Loads through Env::Current(); null, and the loader's reason in *error,
  // when the path is empty or the library cannot be loaded.
  static std::unique_ptr<CryptoModule> Load(std::string_view path,
                                            std::string* error = nullptr);

  // The entry point, or null when the library lacks it.
  template <typename Fn>
  Fn Find(const char* name) const {
    return lib_->Function<Fn>(name);
  }

  const std::string& path() const { return lib_->path(); }

  explicit CryptoModule(std::unique_ptr<platform::Library> lib)
      : lib_(std::move(lib)) {}

 private:
  std::unique_ptr<platform::Library> lib_;
};

}  // namespace boxlink
