#include "devsim/tls/self_signed.h"

#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <fstream>
#include <memory>

namespace devsim {
namespace {

template <auto F>
struct Deleter {
  template <typename T>
  void operator()(T* p) const { F(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Deleter<X509_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO_free>>;
using CtxPtr = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX_free>>;

std::string BioText(BIO* bio) {
  char* data = nullptr;
  long len = BIO_get_mem_data(bio, &data);
  return std::string(data, static_cast<size_t>(len));
}

}  // namespace

bool MakeSelfSignedCertificate(const std::string& common_name, int days, PemPair* out,
                               KeyKind kind) {
  KeyPtr key(kind == KeyKind::kEcP256 ? EVP_EC_gen("prime256v1") : EVP_RSA_gen(2048));
  if (!key) return false;
  CertPtr cert(X509_new());
  if (!cert) return false;
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), static_cast<long>(days) * 86400);
  X509_set_pubkey(cert.get(), key.get());
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(common_name.c_str()),
                             -1, -1, 0);
  X509_set_issuer_name(cert.get(), name);
  unsigned char addr[16];
  bool is_ip = inet_pton(AF_INET, common_name.c_str(), addr) == 1 ||
               inet_pton(AF_INET6, common_name.c_str(), addr) == 1;
  std::string san = (is_ip ? "IP:" : "DNS:") + common_name;
  X509V3_CTX v3;
  X509V3_set_ctx_nodb(&v3);
  X509V3_set_ctx(&v3, cert.get(), cert.get(), nullptr, nullptr, 0);
  if (X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &v3, NID_subject_alt_name, san.c_str())) {
    X509_add_ext(cert.get(), ext, -1);
    X509_EXTENSION_free(ext);
  }
  if (X509_sign(cert.get(), key.get(), EVP_sha256()) <= 0) return false;

  BioPtr cbio(BIO_new(BIO_s_mem())), kbio(BIO_new(BIO_s_mem()));
  if (!cbio || !kbio || !PEM_write_bio_X509(cbio.get(), cert.get()) ||
      !PEM_write_bio_PrivateKey(kbio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr))
    return false;
  out->certificate = BioText(cbio.get());
  out->private_key = BioText(kbio.get());
  return true;
}

bool WritePemFiles(const PemPair& pem, const std::string& cert_path,
                   const std::string& key_path) {
  std::ofstream c(cert_path, std::ios::binary | std::ios::trunc);
  c << pem.certificate;
  std::ofstream k(key_path, std::ios::binary | std::ios::trunc);
  k << pem.private_key;
  c.close();
  k.close();
  return c.good() && k.good();
}

SslCtxPtr MakeSelfSignedServerContext(const std::string& common_name, std::string* error) {
  PemPair pem;
  SslCtxPtr ctx(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
  // Simulated devices start by the hundred in a test run: an EC key.
  if (!ctx || !MakeSelfSignedCertificate(common_name, 3650, &pem, KeyKind::kEcP256)) {
    *error = "cannot make the device certificate";
    return {nullptr, SSL_CTX_free};
  }
  BioPtr cbio(BIO_new_mem_buf(pem.certificate.data(), int(pem.certificate.size())));
  BioPtr kbio(BIO_new_mem_buf(pem.private_key.data(), int(pem.private_key.size())));
  CertPtr cert(cbio ? PEM_read_bio_X509(cbio.get(), nullptr, nullptr, nullptr) : nullptr);
  KeyPtr key(kbio ? PEM_read_bio_PrivateKey(kbio.get(), nullptr, nullptr, nullptr) : nullptr);
  if (!cert || !key || SSL_CTX_use_certificate(ctx.get(), cert.get()) != 1 ||
      SSL_CTX_use_PrivateKey(ctx.get(), key.get()) != 1) {
    *error = "cannot load the device certificate";
    return {nullptr, SSL_CTX_free};
  }
  static const unsigned char kContext[] = "devsim-tls";
  SSL_CTX_set_session_id_context(ctx.get(), kContext, sizeof kContext - 1);
  SSL_CTX_set_session_cache_mode(ctx.get(), SSL_SESS_CACHE_SERVER);
  return ctx;
}

}  // namespace devsim
