// A throw-away self-signed certificate for a TLS server on a test or
// simulated device: RSA 2048, valid from an hour ago for `days`, the given
// common name and an IP or DNS subject name.
#pragma once

#include <string>

namespace inet {

struct PemPair {
  std::string certificate;
  std::string private_key;
};

// False when OpenSSL refuses; *out is then unchanged.
bool MakeSelfSignedCertificate(const std::string& common_name, int days, PemPair* out);
// Writes both PEM texts to files; false on any write error.
bool WritePemFiles(const PemPair& pem, const std::string& cert_path,
                   const std::string& key_path);

}  // namespace inet
