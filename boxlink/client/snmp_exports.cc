// The SNMP exports. Each catches everything: a code raised inside is set
// as the last error and returned, anything else becomes 1359; SNMP
// failures themselves never reach the caller as library codes.
#include <cstring>
#include <functional>

#include "boxlink.h"
#include "boxlink/base/box_error.h"
#include "boxlink/base/logger.h"
#include "boxlink/client/snmp_query.h"
#include "platform/last_error.h"
#include "snmpcore/snmp.h"

namespace boxlink {
namespace {

uint32_t Guarded(const char* name, const std::function<void()>& body) {
  uint32_t code = 0;
  try {
    body();
    return 0;
  } catch (const BoxError& e) {
    code = e.code();
  } catch (...) {
    code = ZB_ERR_INTERNAL_ERROR;
  }
  platform::SetLastError(code);
  CLogger::LogError(name, code, code == ZB_ERR_INTERNAL_ERROR);
  return code;
}

void MacAddress(const char* host, const ZBSNMPSETTINGS* settings, char* mac) {
  if (!host || !settings || !mac) Raise(ZB_ERR_INTERNAL_ERROR);
  // The first Ethernet interface (ifType 6) among the first three.
  int index = 0;
  for (int i = 1; i <= 3 && !index; ++i) {
    std::string oid = std::string(snmp_oid::kIfType) + "." + std::to_string(i);
    auto type = SnmpGetTextEx(host, oid.c_str(), settings, nullptr);
    if (type && TextToNumber(*type) == 6) index = i;
  }
  if (!index) return;  // none named: mac stays as it was
  std::string oid =
      std::string(snmp_oid::kIfPhysAddress) + "." + std::to_string(index);
  auto phys = SnmpGetTextEx(host, oid.c_str(), settings, nullptr);
  // Two leading characters, then 17 of hexadecimal pairs and spaces: the
  // value must hold all 19, not just 18, or the copy would run past it.
  if (!phys || phys->size() < 19) return;
  for (size_t i = 0; i < 17; ++i) {
    char c = (*phys)[2 + i];
    mac[i] = c == ' ' ? ':' : c;
  }
}

void AutoAuthMode(const char* host, const ZBSNMPSETTINGS* settings,
                  uint32_t* status) {
  if (!status) Raise(ZB_ERR_INTERNAL_ERROR);
  if (!host || !settings) {
    *status = 2;
    Raise(ZB_ERR_INTERNAL_ERROR);
  }
  auto text = SnmpGetTextEx(host, snmp_oid::kAutoAuthMode, settings, nullptr);
  if (!text) {
    *status = 2;
    Raise(ZB_ERR_INTERNAL_ERROR);
  }
  long v = TextToNumber(*text);
  if (v == 0 || v == 1) *status = static_cast<uint32_t>(v);
}

void StorageType(const char* host, const ZBSNMPSETTINGS* settings,
                 uint32_t* type) {
  if (!host || !type) Raise(ZB_ERR_INTERNAL_ERROR);
  int error = 0;
  auto text = SnmpGetTextEx(host, snmp_oid::kStorageDescr2, settings, &error);
  // A device that answers without that storage entry has an unknown
  // storage; one that does not answer at all is an error.
  if (!text && error != 2 && error != snmpcore::SNMP_CLASS_NO_SUCH_OBJECT)
    Raise(ZB_ERR_INTERNAL_ERROR);
  *type = ZB_STORAGE_UNKNOWN;
  if (text && *text == "Solid State Drive") *type = ZB_STORAGE_SSD;
  if (text && *text == "Device Memory") *type = ZB_STORAGE_DEVICE_MEMORY;
}

}  // namespace
}  // namespace boxlink

ZB_API uint32_t GetMacAddress(const char* host,
                              const ZBSNMPSETTINGS* snmpSettings, char* mac) {
  return boxlink::Guarded("GetMacAddress", [&] {
    boxlink::MacAddress(host, snmpSettings, mac);
  });
}

ZB_API uint32_t GetAutoAuthModeStatus(const char* host,
                                      const ZBSNMPSETTINGS* snmpSettings,
                                      uint32_t* status) {
  return boxlink::Guarded("GetAutoAuthModeStatus", [&] {
    boxlink::AutoAuthMode(host, snmpSettings, status);
  });
}

ZB_API uint32_t zbBoxGetStorageType(const char* host,
                                    const ZBSNMPSETTINGS* snmpSettings,
                                    uint32_t* storageType) {
  return boxlink::Guarded("zbBoxGetStorageType", [&] {
    boxlink::StorageType(host, snmpSettings, storageType);
  });
}
