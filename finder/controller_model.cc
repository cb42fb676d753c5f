#include "finder/controller_model.h"

#include "platform/text.h"
#include "snmpcore/cco_snmp.h"

namespace finder {
namespace {

constexpr char kDeviceTypes[] = "1.3.6.1.4.1.58231.2.3.";
constexpr char kSharedControllerModel[] = "1.3.6.1.4.1.58231.2.3.50.1.2.3.1.3.1";

}  // namespace

std::optional<std::string> SnmpGet(const std::string& address, const std::string& oid) {
  snmpcore::CCoSnmp s;
  s.SetPduAndTimeoutAndAddress(oid.c_str(), 3, address.c_str());
  const char* v = s.SnmpGetPtrToStringValue();
  if (!v) return std::nullopt;
  return std::string(v);
}

int GetControllerModelType(const char* address, int product_code,
                           const OidReader& get, const std::string& text67,
                           const std::string& text68) {
  if (!address) return 0;
  auto id = get("1.3.6.1.2.1.1.2.0");
  if (!id) return 1;
  if (product_code == -1) return -1;
  const std::string base = kDeviceTypes;
  if (platform::EqualsIgnoreCase(*id, base + "14.1") ||
      platform::EqualsIgnoreCase(*id, base + "14.2"))
    return 1;
  if (*id == "1.3.6.1.4.1.8072.3.2.10") return 2;
  if (*id == "1.3.6.1.4.1.311.1.1.3.1.2") {
    std::string model = get(kSharedControllerModel).value_or("");
    if (platform::EqualsIgnoreCase(model, text67) ||
        platform::EqualsIgnoreCase(model, text68))
      return 3;
    return 4;
  }
  static const struct {
    int arc;
    int type;
  } kTable[] = {{15, 5},  {16, 6},  {17, 7},  {18, 9},  {19, 10}, {20, 11},
                {21, 12}, {24, 12}, {22, 13}, {26, 14}, {27, 15}, {25, 16},
                {28, 17}, {29, 18}, {32, 19}, {33, 20}, {34, 21}, {43, 22},
                {44, 23}, {45, 24}};
  for (const auto& e : kTable)
    if (id->find(base + std::to_string(e.arc)) != std::string::npos) return e.type;
  return 25;
}

int IsControllerCompatibleWith(const char* address, int model_type) {
  if (!address) return 0;
  return model_type == 22 ? 12 : 11;
}

}  // namespace finder
