// The objects the simulated device's SNMP agent answers, made from its
// profile: the device's own OIDs, the discovery objects of MIB-II and the
// Ethernet interface and storage entries of the standard tables.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "devsim/core/profile.h"

namespace devsim::snmp {

struct MibValue {
  uint8_t syntax = 0;    // an ASN.1 tag of snmpcore/ber.h
  std::string content;   // its BER content bytes
};

using OidIds = std::vector<uint32_t>;

class Mib {
 public:
  // Values are read from the profile once; a running agent keeps them.
  // profile.extra entries "snmp.<dotted oid> = <value>" add or replace an
  // object: "int:<n>" an INTEGER, "oid:<dotted>" an OBJECT IDENTIFIER,
  // "null" removes it, anything else an OCTET STRING.
  static Mib FromProfile(const Profile& profile);

  void Set(const OidIds& oid, MibValue value) { values_[oid] = std::move(value); }
  void Remove(const OidIds& oid) { values_.erase(oid); }
  const MibValue* Find(const OidIds& oid) const;
  // The first object after oid in OID order, for GETNEXT.
  const std::pair<const OidIds, MibValue>* Next(const OidIds& oid) const;
  size_t size() const { return values_.size(); }

 private:
  std::map<OidIds, MibValue> values_;
};

// "1.3.6..." to ids; nullopt for bad text.
std::optional<OidIds> ParseOid(const std::string& dotted);
std::string DottedOid(const OidIds& oid);

MibValue IntegerValue(int64_t v);
MibValue TextValue(std::string bytes);
MibValue OidValue(const OidIds& oid);
MibValue TicksValue(uint32_t hundredths);

}  // namespace devsim::snmp
