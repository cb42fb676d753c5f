// Throw-away self-signed certificates for the TLS servers of simulated
// devices and of tests, as a device makes its own: no authority signed
// them, and clients take them anyway. Valid from an hour ago for `days`,
// with the given common name and an IP or DNS subject name.
// The one maker of test certificates; no product library holds it.
#pragma once

#include <openssl/ssl.h>

#include <memory>
#include <string>

namespace devsim {

struct PemPair {
  std::string certificate;
  std::string private_key;
};

// RSA for servers that expect an RSA certificate (vsftpd's settings are
// named so); EC keys are made in a fraction of the time.
enum class KeyKind { kRsa2048, kEcP256 };

// False when OpenSSL refuses; *out is then unchanged.
bool MakeSelfSignedCertificate(const std::string& common_name, int days, PemPair* out,
                               KeyKind kind = KeyKind::kRsa2048);
// Writes both PEM texts to files; false on any write error.
bool WritePemFiles(const PemPair& pem, const std::string& cert_path,
                   const std::string& key_path);

using SslCtxPtr = std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)>;

// A TLS server context holding a fresh EC certificate for `common_name`;
// null and *error on failure. Sessions are cached so that data connections
// can resume the control connection's session.
SslCtxPtr MakeSelfSignedServerContext(const std::string& common_name, std::string* error);

}  // namespace devsim
