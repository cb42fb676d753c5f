#include "devsim/snmp/usm.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <random>

namespace devsim::snmp {

namespace {

const oid* HashOid(int auth, size_t* length) {
  if (auth == 1) {
    *length = OID_LENGTH(usmHMACMD5AuthProtocol);
    return usmHMACMD5AuthProtocol;
  }
  *length = OID_LENGTH(usmHMACSHA1AuthProtocol);
  return usmHMACSHA1AuthProtocol;
}

bool Localize(int auth, const std::string& password,
              const std::string& engine_id, std::string* key) {
  size_t hash_len;
  const oid* hash = HashOid(auth, &hash_len);
  u_char ku[USM_AUTH_KU_LEN];
  size_t ku_len = sizeof ku;
  if (generate_Ku(hash, hash_len, reinterpret_cast<const u_char*>(password.data()),
                  password.size(), ku, &ku_len) != SNMPERR_SUCCESS)
    return false;
  u_char kul[USM_AUTH_KU_LEN];
  size_t kul_len = sizeof kul;
  if (generate_kul(hash, hash_len,
                   reinterpret_cast<const u_char*>(engine_id.data()),
                   engine_id.size(), ku, ku_len, kul, &kul_len) != SNMPERR_SUCCESS)
    return false;
  key->assign(reinterpret_cast<char*>(kul), kul_len);
  return true;
}

// DES: IV = last 8 key bytes XOR salt. AES: IV = boots, time, salt.
bool MakeIv(const UsmUser& u, uint32_t boots, uint32_t time,
            std::string_view salt, std::string* iv) {
  if (salt.size() != 8) return false;
  if (u.priv_protocol == 2) {
    if (u.priv_key.size() < 16) return false;
    iv->resize(8);
    for (int i = 0; i < 8; ++i) (*iv)[i] = u.priv_key[8 + i] ^ salt[i];
    return true;
  }
  iv->clear();
  for (uint32_t v : {boots, time})
    for (int shift = 24; shift >= 0; shift -= 8)
      iv->push_back(static_cast<char>((v >> shift) & 0xFF));
  iv->append(salt);
  return true;
}

const oid* PrivOid(int priv, size_t* length) {
  if (priv == 2) {
    *length = OID_LENGTH(usmDESPrivProtocol);
    return usmDESPrivProtocol;
  }
  *length = OID_LENGTH(usmAESPrivProtocol);
  return usmAESPrivProtocol;
}

// DES takes the first 8 bytes as its key (the next 8 make the IV), AES-128
// the first 16.
constexpr size_t kPrivKeyLength = 16;

}  // namespace

Usm::Usm(std::string engine_id, const std::vector<SnmpV3User>& users)
    : engine_id_(std::move(engine_id)) {
  std::random_device rd;
  salt_counter_ = (static_cast<uint64_t>(rd()) << 32) | rd();
  for (const SnmpV3User& in : users) {
    UsmUser u;
    u.name = in.name;
    u.auth_protocol = in.auth_protocol;
    u.priv_protocol = in.priv_protocol;
    if (u.auth_protocol < 0 || u.auth_protocol > 2) continue;
    if (u.priv_protocol != 1 && u.priv_protocol != 2 && u.priv_protocol != 4)
      continue;
    if (u.auth_protocol == 0) {
      u.priv_protocol = 1;  // privacy needs authentication
    } else {
      if (!Localize(u.auth_protocol, in.auth_password, engine_id_, &u.auth_key))
        continue;
      if (u.priv_protocol != 1 &&
          !Localize(u.auth_protocol, in.priv_password, engine_id_, &u.priv_key))
        continue;
    }
    users_.push_back(std::move(u));
  }
}

const UsmUser* Usm::Find(std::string_view name) const {
  for (const UsmUser& u : users_)
    if (u.name == name) return &u;
  return nullptr;
}

bool Usm::Digest(const UsmUser& u, std::string_view message, std::string* mac) {
  size_t hash_len;
  const oid* hash = HashOid(u.auth_protocol, &hash_len);
  u_char out[64];
  size_t out_len = 12;
  if (sc_generate_keyed_hash(hash, hash_len,
                             reinterpret_cast<const u_char*>(u.auth_key.data()),
                             u.auth_key.size(),
                             reinterpret_cast<const u_char*>(message.data()),
                             message.size(), out, &out_len) != SNMPERR_SUCCESS ||
      out_len != 12)
    return false;
  mac->assign(reinterpret_cast<char*>(out), 12);
  return true;
}

bool Usm::Decrypt(const UsmUser& u, uint32_t boots, uint32_t time,
                  std::string_view salt, std::string_view cipher,
                  std::string* plain) {
  std::string iv;
  if (!MakeIv(u, boots, time, salt, &iv)) return false;
  if (u.priv_protocol == 2 && cipher.size() % 8) return false;
  size_t len;
  const oid* priv = PrivOid(u.priv_protocol, &len);
  std::string key = u.priv_key.substr(0, kPrivKeyLength);
  plain->assign(cipher.size() + 16, '\0');
  size_t out_len = plain->size();
  if (sc_decrypt(priv, len, reinterpret_cast<u_char*>(key.data()), key.size(),
                 reinterpret_cast<u_char*>(iv.data()), iv.size(),
                 reinterpret_cast<u_char*>(const_cast<char*>(cipher.data())),
                 cipher.size(), reinterpret_cast<u_char*>(plain->data()),
                 &out_len) != SNMPERR_SUCCESS)
    return false;
  plain->resize(out_len);
  return true;
}

bool Usm::Encrypt(const UsmUser& u, uint32_t boots, uint32_t time,
                  std::string_view plain, std::string* salt,
                  std::string* cipher) {
  uint64_t n = ++salt_counter_;
  salt->clear();
  for (int shift = 56; shift >= 0; shift -= 8)
    salt->push_back(static_cast<char>((n >> shift) & 0xFF));
  std::string iv;
  if (!MakeIv(u, boots, time, *salt, &iv)) return false;
  size_t len;
  const oid* priv = PrivOid(u.priv_protocol, &len);
  std::string key = u.priv_key.substr(0, kPrivKeyLength);
  std::string padded(plain);
  if (u.priv_protocol == 2) padded.resize((padded.size() + 7) / 8 * 8, '\0');
  cipher->assign(padded.size() + 16, '\0');
  size_t out_len = cipher->size();
  if (sc_encrypt(priv, len, reinterpret_cast<u_char*>(key.data()), key.size(),
                 reinterpret_cast<u_char*>(iv.data()), iv.size(),
                 reinterpret_cast<const u_char*>(padded.data()), padded.size(),
                 reinterpret_cast<u_char*>(cipher->data()),
                 &out_len) != SNMPERR_SUCCESS)
    return false;
  cipher->resize(out_len);
  return true;
}

}  // namespace devsim::snmp
