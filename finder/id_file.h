// SNMPv3 credentials live only in ID files, written and read by the
// ID-file library through its two exports. This is the library's caller:
// it loads the library by name for one call and unloads it again.
#pragma once

#include <optional>
#include <string>

namespace finder {

struct V3Credentials {
  std::string context;        // T1
  std::string user;           // T2
  std::string auth_password;  // T3
  std::string priv_password;  // T4
  int auth_protocol = 1;      // 1 HMAC-MD5, 2 HMAC-SHA
  int priv_protocol = 1;      // 1 none, 2 DES, 4 AES
  bool operator==(const V3Credentials&) const = default;
};

// The context text every ID file written by the settings dialog carries.
inline constexpr char kIdFileContext[] = "MFP";
// The literal message box of a failed write (the library has no number
// for it).
inline constexpr char kEncryptFailedText[] = "Unable to Generate IDFIle";
inline constexpr char kEncryptFailedCaption[] = "Error";

class IdFileLibrary {
 public:
  // library: the file name of the ID-file library (loaded through the
  // platform, so from the program's folder first).
  explicit IdFileLibrary(std::string library) : library_(std::move(library)) {}

  // nullopt when the library cannot be loaded, lacks the export or refuses
  // the file; *error then says which.
  std::optional<V3Credentials> Decrypt(const std::string& path,
                                       std::string* error = nullptr) const;
  bool Encrypt(const std::string& path, const V3Credentials& c,
               std::string* error = nullptr) const;

  const std::string& library() const { return library_; }

 private:
  std::string library_;
};

}  // namespace finder
