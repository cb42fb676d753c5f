// The forms in which the box service takes the device password. The
// desktop program and boxkeeper build them the same way:
//
//   plain   the credential in UTF-8
//   mode 1  cipher library: AES of the credential; digest library: Base64,
//           decoration of mode 1, Base64 again. For the authentication.
//   mode 2  digest library: SHA-256 of the credential, Base64, decoration of
//           mode 2, Base64 again. For the administrative calls and the jobs
//           of a session that authenticated (EncodeMode2, device_link.h).
//
// A step that cannot be done (a library or an entry point missing, an
// entry point that refuses) leaves the value of the step before.
#pragma once

#include <string>

namespace keeper {

// The two outside libraries, by path.
struct CryptoLibraries {
  std::string cipher;  // the cipher library (AES, ID files)
  std::string digest;  // the digest library (SHA-256, Base64, decoration)

  // The libraries beside the running program.
  static CryptoLibraries BesideProgram();
};

struct Mode1Form {
  // True when the cipher library could be loaded: the value is then sent
  // as an encoded password.
  bool encoded = false;
  std::string value;
};

Mode1Form EncodeMode1(const std::string& credential,
                      const CryptoLibraries& libraries);

}  // namespace keeper
