// User-based security for the agent: the users' localized keys, message
// digests and privacy, done with net-snmp's stateless key and crypto
// routines (its user list and engine state are process-wide and would be
// shared by every device of a process, and by the client under test).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "devsim/core/profile.h"

namespace devsim::snmp {

struct UsmUser {
  std::string name;
  int auth_protocol = 0;  // 0 none, 1 HMAC-MD5, 2 HMAC-SHA
  int priv_protocol = 1;  // 1 none, 2 DES, 4 AES-128
  std::string auth_key;   // localized to the engine id
  std::string priv_key;
  // 1 noAuthNoPriv, 2 authNoPriv, 3 authPriv: the level its messages use.
  int level() const {
    return auth_protocol == 0 ? 1 : priv_protocol == 1 ? 2 : 3;
  }
};

class Usm {
 public:
  // Users whose protocols are unknown or whose passwords are too short for
  // the key derivation (under 8 characters) are left out.
  Usm(std::string engine_id, const std::vector<SnmpV3User>& users);

  const std::string& engine_id() const { return engine_id_; }
  const UsmUser* Find(std::string_view name) const;

  // The 12-byte HMAC-96 of message.
  static bool Digest(const UsmUser& user, std::string_view message,
                     std::string* mac);
  static bool Decrypt(const UsmUser& user, uint32_t boots, uint32_t time,
                      std::string_view salt, std::string_view cipher,
                      std::string* plain);
  // Picks a fresh salt (the privacy parameters to send) and encrypts.
  bool Encrypt(const UsmUser& user, uint32_t boots, uint32_t time,
               std::string_view plain, std::string* salt, std::string* cipher);

 private:
  std::string engine_id_;
  std::vector<UsmUser> users_;
  uint64_t salt_counter_ = 0;
};

}  // namespace devsim::snmp
