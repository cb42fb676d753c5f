// The model type of a device, from its sysObjectID.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace finder {

// A GET of one OID from the device (time-out 3): the value, or nullopt.
using OidReader = std::function<std::optional<std::string>(const std::string& oid)>;

// 0 for no address; 1 when the device does not answer; -1 for product code
// -1; otherwise the number of the device family (see the table in the .cc).
// texts67_68: the two language texts that name the two models of the
// shared-controller family.
int GetControllerModelType(const char* address, int product_code,
                           const OidReader& get, const std::string& text67,
                           const std::string& text68);

// 0 for no address; 12 when the model type is 22, else 11.
int IsControllerCompatibleWith(const char* address, int model_type);

// A GET through snmpcore with the library's defaults.
std::optional<std::string> SnmpGet(const std::string& address, const std::string& oid);

}  // namespace finder
