#include "finder/device_query.h"

#include "snmpcore/cco_snmp.h"

namespace finder {

int LevelOf(int priv_protocol) {
  return priv_protocol == 2 || priv_protocol == 4 ? 3 : 2;
}

std::optional<std::string> DeviceGet(const std::string& address,
                                     const std::string& oid, int version,
                                     const DeviceCredentials& credentials,
                                     int timeout) {
  snmpcore::CCoSnmp s;
  if (version == 3) {
    if (!credentials.v3) return std::nullopt;
    const V3Credentials& c = *credentials.v3;
    s.SetSnmpVersion(3);
    s.PopulateV3Parameters("", c.priv_password.c_str(), c.user.c_str(),
                           c.auth_password.c_str(), c.context.c_str(), "", 3,
                           LevelOf(c.priv_protocol), 1, c.auth_protocol,
                           c.priv_protocol);
  } else {
    s.SetSnmpVersion(1);
  }
  s.SetIPOrIPXAddress(address.c_str());
  s.FormPduWithOid(oid.c_str());
  s.SetTimeOut(timeout);
  if (version != 3 && !credentials.community.empty())
    s.SetReadCommunity(credentials.community.c_str());
  const char* value = s.SnmpGetPtrToStringValue();
  if (!value) return std::nullopt;
  return std::string(value);
}

}  // namespace finder
