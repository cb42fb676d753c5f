// The basic encoding rules, as far as SNMP messages need them.
//
// The client needs its own encoder for the broadcast probes (net-snmp's
// session layer keeps only the first answer to a request), and the
// simulated device's agent decodes and encodes whole messages with it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "snmpcore/export.h"

namespace snmpcore::ber {

enum Tag : uint8_t {
  kInteger = 0x02,
  kOctetString = 0x04,
  kNull = 0x05,
  kObjectId = 0x06,
  kSequence = 0x30,
  kIpAddress = 0x40,
  kCounter32 = 0x41,
  kGauge32 = 0x42,
  kTimeTicks = 0x43,
  kOpaque = 0x44,
  kCounter64 = 0x46,
  kNoSuchObject = 0x80,
  kNoSuchInstance = 0x81,
  kEndOfMibView = 0x82,
  kGetRequest = 0xA0,
  kGetNextRequest = 0xA1,
  kResponse = 0xA2,
  kSetRequest = 0xA3,
  kGetBulkRequest = 0xA5,
  kReport = 0xA8,
};

SNMPCORE_API std::string Tlv(uint8_t tag, std::string_view content);
SNMPCORE_API std::string Integer(int64_t value, uint8_t tag = kInteger);
// Unsigned application types (counters, gauges, time ticks).
SNMPCORE_API std::string Unsigned(uint64_t value, uint8_t tag);
SNMPCORE_API std::string OctetString(std::string_view bytes,
                                     uint8_t tag = kOctetString);
SNMPCORE_API std::string Null(uint8_t tag = kNull);
SNMPCORE_API std::string ObjectId(std::span<const uint32_t> ids);

// Reads TLVs one after another from a buffer. Every accessor returns false
// on malformed input instead of reading past the end.
class SNMPCORE_API Reader {
 public:
  explicit Reader(std::string_view data) : data_(data) {}
  bool Next(uint8_t* tag, std::string_view* content);
  // Next() that also demands the tag.
  bool Expect(uint8_t tag, std::string_view* content);
  bool ReadInteger(int64_t* value);
  bool ReadOctetString(std::string_view* bytes);
  bool empty() const { return data_.empty(); }
  // Offset of the next TLV from the start of the buffer given.
  size_t consumed() const { return consumed_; }

 private:
  std::string_view data_;
  size_t consumed_ = 0;
};

SNMPCORE_API bool DecodeInteger(std::string_view content, int64_t* value);
SNMPCORE_API bool DecodeUnsigned(std::string_view content, uint64_t* value);
SNMPCORE_API bool DecodeObjectId(std::string_view content,
                                 std::vector<uint32_t>* ids);

}  // namespace snmpcore::ber
