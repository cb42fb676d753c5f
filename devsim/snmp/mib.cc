#include "devsim/snmp/mib.h"

#include "snmpcore/ber.h"

namespace devsim::snmp {

namespace ber = snmpcore::ber;

namespace {

std::string ContentOf(const std::string& tlv) {
  ber::Reader r(tlv);
  uint8_t tag;
  std::string_view content;
  r.Next(&tag, &content);
  return std::string(content);
}

}  // namespace

std::optional<OidIds> ParseOid(const std::string& dotted) {
  OidIds ids;
  std::string_view s = dotted;
  if (!s.empty() && s.front() == '.') s.remove_prefix(1);
  uint64_t v = 0;
  bool digit = false;
  for (size_t i = 0; i <= s.size(); ++i) {
    if (i == s.size() || s[i] == '.') {
      if (!digit) return std::nullopt;
      ids.push_back(static_cast<uint32_t>(v));
      v = 0;
      digit = false;
    } else if (s[i] >= '0' && s[i] <= '9') {
      v = v * 10 + (s[i] - '0');
      if (v > 0xFFFFFFFFull) return std::nullopt;
      digit = true;
    } else {
      return std::nullopt;
    }
  }
  if (ids.size() < 2) return std::nullopt;
  return ids;
}

std::string DottedOid(const OidIds& oid) {
  std::string out;
  for (size_t i = 0; i < oid.size(); ++i) {
    if (i) out += '.';
    out += std::to_string(oid[i]);
  }
  return out;
}

MibValue IntegerValue(int64_t v) {
  return {ber::kInteger, ContentOf(ber::Integer(v))};
}
MibValue TextValue(std::string bytes) {
  return {ber::kOctetString, std::move(bytes)};
}
MibValue OidValue(const OidIds& oid) {
  return {ber::kObjectId, ContentOf(ber::ObjectId(oid))};
}
MibValue TicksValue(uint32_t hundredths) {
  return {ber::kTimeTicks, ContentOf(ber::Unsigned(hundredths, ber::kTimeTicks))};
}

Mib Mib::FromProfile(const Profile& p) {
  Mib mib;
  auto set = [&mib](const char* dotted, MibValue v) {
    mib.Set(*ParseOid(dotted), std::move(v));
  };
  const std::string dev = "1.3.6.1.4.1.58231.2.3.50.1.";
  auto set_dev = [&](const std::string& tail, MibValue v) {
    mib.Set(*ParseOid(dev + tail), std::move(v));
  };
  // TruthValue: 1 true, 2 false.
  auto truth = [](bool b) { return IntegerValue(b ? 1 : 2); };

  // MIB-II system group, as discovery reads it.
  set("1.3.6.1.2.1.1.1.0", TextValue(p.maker + " " + p.model));
  if (auto oid = ParseOid(p.sys_object_id)) set("1.3.6.1.2.1.1.2.0", OidValue(*oid));
  set("1.3.6.1.2.1.1.5.0", TextValue(p.network_name));
  set("1.3.6.1.2.1.1.6.0", TextValue(p.location));
  // Printer MIB: prtGeneralPrinterName, what a manual entry asks first.
  set("1.3.6.1.2.1.43.5.1.1.16.1", TextValue(p.network_name));

  // The device's own objects. The web and FTP servers each listen on one
  // port; with TLS the port is also given as the TLS port.
  set_dev("6.1.4.11.1.1.6.1.1", IntegerValue(p.web_port));
  set_dev("6.1.23.1.1.2.1.1", truth(p.web_tls));
  if (p.web_tls) set_dev("6.1.23.1.1.3.1.1", IntegerValue(p.web_port));
  set_dev("6.1.4.13.1.1.3.1.1", IntegerValue(p.ftp_port));
  set_dev("6.1.23.3.1.2.1.1", truth(p.ftp_tls));
  if (p.ftp_tls) set_dev("6.1.23.3.1.3.1.1", IntegerValue(p.ftp_port));
  set_dev("2.3.1.2.1.1", TextValue(p.network_name));
  set_dev("2.3.1.3.1", TextValue(p.model));
  set_dev("2.4.1.7.1.1", TextValue(p.maker));
  set_dev("3.21.7.1.7.1.1", IntegerValue(p.auto_auth_mode));

  // One Ethernet interface, and the storage entries.
  set("1.3.6.1.2.1.2.2.1.1.1", IntegerValue(1));
  set("1.3.6.1.2.1.2.2.1.2.1", TextValue("eth0"));
  set("1.3.6.1.2.1.2.2.1.3.1", IntegerValue(6));
  set("1.3.6.1.2.1.2.2.1.6.1",
      TextValue(std::string(p.mac.begin(), p.mac.end())));
  set("1.3.6.1.2.1.25.2.3.1.3.1", TextValue("Physical Memory"));
  if (!p.storage_description.empty())
    set("1.3.6.1.2.1.25.2.3.1.3.2", TextValue(p.storage_description));

  for (const auto& [key, value] : p.extra) {
    if (key.rfind("snmp.", 0) != 0) continue;
    auto oid = ParseOid(key.substr(5));
    if (!oid) continue;
    if (value == "null") {
      mib.Remove(*oid);
    } else if (value.rfind("int:", 0) == 0) {
      mib.Set(*oid, IntegerValue(std::strtoll(value.c_str() + 4, nullptr, 10)));
    } else if (value.rfind("oid:", 0) == 0) {
      if (auto v = ParseOid(value.substr(4))) mib.Set(*oid, OidValue(*v));
    } else {
      mib.Set(*oid, TextValue(value));
    }
  }
  return mib;
}

const MibValue* Mib::Find(const OidIds& oid) const {
  auto it = values_.find(oid);
  return it == values_.end() ? nullptr : &it->second;
}

const std::pair<const OidIds, MibValue>* Mib::Next(const OidIds& oid) const {
  auto it = values_.upper_bound(oid);
  return it == values_.end() ? nullptr : &*it;
}

}  // namespace devsim::snmp
