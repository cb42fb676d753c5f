#include "devsim/ftp/tls_identity.h"

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace devsim {

SslCtxPtr MakeSelfSignedServerContext(const std::string& common_name,
                                      std::string* error) {
  SslCtxPtr ctx(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
  std::unique_ptr<EVP_PKEY, void (*)(EVP_PKEY*)> key(
      EVP_EC_gen("prime256v1"), EVP_PKEY_free);
  std::unique_ptr<X509, void (*)(X509*)> cert(X509_new(), X509_free);
  if (!ctx || !key || !cert) {
    *error = "cannot create TLS objects";
    return {nullptr, SSL_CTX_free};
  }
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3650L * 24 * 3600);
  X509_set_pubkey(cert.get(), key.get());
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(
      name, "CN", MBSTRING_ASC,
      reinterpret_cast<const unsigned char*>(common_name.c_str()), -1, -1, 0);
  X509_set_issuer_name(cert.get(), name);
  if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0 ||
      SSL_CTX_use_certificate(ctx.get(), cert.get()) != 1 ||
      SSL_CTX_use_PrivateKey(ctx.get(), key.get()) != 1) {
    *error = "cannot make the device certificate";
    return {nullptr, SSL_CTX_free};
  }
  static const unsigned char kContext[] = "devsim-ftp";
  SSL_CTX_set_session_id_context(ctx.get(), kContext, sizeof kContext - 1);
  SSL_CTX_set_session_cache_mode(ctx.get(), SSL_SESS_CACHE_SERVER);
  return ctx;
}

}  // namespace devsim
