// libFuzzer target for the SNMP message decoder: a datagram is read as a
// message (sequence, version, community or v3 header, PDU, variable
// bindings), every TLV inside it is walked, integers, counters and object
// ids are decoded, and each binding's value is turned into its printable
// text as a Vb would show it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "snmpcore/ber.h"
#include "snmpcore/snmp.h"

namespace {

namespace ber = snmpcore::ber;

void Walk(std::string_view data, int depth) {
  if (depth > 12) return;
  ber::Reader r(data);
  uint8_t tag = 0;
  std::string_view content;
  while (!r.empty() && r.Next(&tag, &content)) {
    int64_t i = 0;
    uint64_t u = 0;
    std::vector<uint32_t> ids;
    switch (tag) {
      case ber::kInteger:
        (void)ber::DecodeInteger(content, &i);
        break;
      case ber::kCounter32:
      case ber::kGauge32:
      case ber::kTimeTicks:
      case ber::kCounter64:
        (void)ber::DecodeUnsigned(content, &u);
        break;
      case ber::kObjectId:
        (void)ber::DecodeObjectId(content, &ids);
        break;
      default:
        break;
    }
    // Constructed tags (sequences, PDUs) hold further TLVs.
    if (tag & 0x20) Walk(content, depth + 1);
    snmpcore::Vb vb;
    vb.set_raw(tag, std::string(content));
    (void)vb.get_printable_value();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view datagram(reinterpret_cast<const char*>(data), size);
  Walk(datagram, 0);
  // The message as an answer is read: version, community, PDU header.
  ber::Reader outer(datagram);
  std::string_view message, community, pdu;
  if (!outer.Expect(ber::kSequence, &message)) return 0;
  ber::Reader m(message);
  int64_t version = 0;
  uint8_t tag = 0;
  if (!m.ReadInteger(&version) || !m.ReadOctetString(&community) || !m.Next(&tag, &pdu))
    return 0;
  ber::Reader p(pdu);
  int64_t id = 0, status = 0, index = 0;
  std::string_view bindings;
  if (!p.ReadInteger(&id) || !p.ReadInteger(&status) || !p.ReadInteger(&index) ||
      !p.Expect(ber::kSequence, &bindings))
    return 0;
  ber::Reader b(bindings);
  std::string_view binding;
  while (b.Expect(ber::kSequence, &binding)) {
    ber::Reader v(binding);
    std::string_view oid, value;
    std::vector<uint32_t> ids;
    if (!v.Expect(ber::kObjectId, &oid) || !ber::DecodeObjectId(oid, &ids)) break;
    if (!v.Next(&tag, &value)) break;
    snmpcore::Vb vb;
    vb.set_raw(tag, std::string(value));
    (void)vb.get_printable_value();
  }
  return 0;
}
