// One SNMP GET to one device with the credentials a discovery uses: the
// community name for version 1, the ID file's texts for version 3. The
// engine, the list dialog's device link and the manual entry all ask
// devices this way.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "finder/id_file.h"

namespace finder {

struct DeviceCredentials {
  std::string community;            // "" the library's default ("public")
  std::optional<V3Credentials> v3;  // none: no version 3 request is made
};

// The GET of one OID; the value as text, or nullopt when the device does
// not answer (or version 3 is asked without credentials). `address` may
// carry a port ("10.0.0.5:1161", "[fe80::5%eth0]:1161").
std::optional<std::string> DeviceGet(const std::string& address,
                                     const std::string& oid, int version,
                                     const DeviceCredentials& credentials,
                                     int timeout = 3);

// The same as a replaceable function, for logic that tests drive without
// a network.
using DeviceGetFn = std::function<std::optional<std::string>(
    const std::string& address, const std::string& oid, int version)>;

// The security level of a privacy protocol: 3 (authPriv) for DES and AES,
// else 2 (authNoPriv).
int LevelOf(int priv_protocol);

}  // namespace finder
