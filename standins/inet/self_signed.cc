#include "standins/inet/self_signed.h"

#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <fstream>
#include <memory>

namespace inet {
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

bool MakeSelfSignedCertificate(const std::string& common_name, int days, PemPair* out) {
  CtxPtr kctx(EVP_PKEY_CTX_new_id(EVP_PKEY_RSA, nullptr));
  EVP_PKEY* raw = nullptr;
  if (!kctx || EVP_PKEY_keygen_init(kctx.get()) <= 0 ||
      EVP_PKEY_CTX_set_rsa_keygen_bits(kctx.get(), 2048) <= 0 ||
      EVP_PKEY_keygen(kctx.get(), &raw) <= 0)
    return false;
  KeyPtr key(raw);
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

}  // namespace inet
