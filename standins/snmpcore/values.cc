// Octet strings, OIDs, variable bindings and PDUs, and the printable forms
// of values.
#include <algorithm>
#include <cstdio>

#include "snmpcore/ber.h"
#include "snmpcore/snmp.h"

namespace snmpcore {

namespace {

// Text that reads as text: valid UTF-8 without control characters other
// than tab and line breaks.
bool IsText(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F)
        return false;
      ++i;
      continue;
    }
    int extra = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2
              : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || c == 0xC0 || c == 0xC1 || i + extra >= s.size())
      return false;
    for (int k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

std::string Hex(std::string_view s) {
  if (s.empty()) return {};
  std::string out = "0x";
  char buf[4];
  for (size_t i = 0; i < s.size(); ++i) {
    std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X",
                  static_cast<unsigned char>(s[i]));
    out += buf;
  }
  return out;
}

// ifPhysAddress: always shown as an address, even when its bytes happen
// to be printable.
bool IsPhysAddressColumn(const Oid& oid) {
  static const std::vector<uint32_t> kColumn = {1, 3, 6, 1, 2, 1, 2, 2, 1, 6};
  const auto& ids = oid.ids();
  return ids.size() > kColumn.size() &&
         std::equal(kColumn.begin(), kColumn.end(), ids.begin());
}

std::string Dotted(const std::vector<uint32_t>& ids) {
  std::string out;
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i) out += '.';
    out += std::to_string(ids[i]);
  }
  return out;
}

}  // namespace

OctetStr::OctetStr(const char* text) : bytes_(text ? text : "") {}

OctetStr::OctetStr(const unsigned char* bytes, size_t length)
    : bytes_(reinterpret_cast<const char*>(bytes), length) {}

const char* OctetStr::get_printable() const {
  printable_ = IsText(bytes_) ? bytes_ : Hex(bytes_);
  return printable_.c_str();
}

Oid::Oid(const char* dotted) {
  if (!dotted) return;
  std::string_view s = dotted;
  if (!s.empty() && s.front() == '.') s.remove_prefix(1);
  uint64_t v = 0;
  bool digit = false;
  for (size_t i = 0; i <= s.size(); ++i) {
    if (i == s.size() || s[i] == '.') {
      if (!digit) {
        ids_.clear();
        return;
      }
      ids_.push_back(static_cast<uint32_t>(v));
      v = 0;
      digit = false;
    } else if (s[i] >= '0' && s[i] <= '9') {
      v = v * 10 + (s[i] - '0');
      if (v > 0xFFFFFFFFull) {
        ids_.clear();
        return;
      }
      digit = true;
    } else {
      ids_.clear();
      return;
    }
  }
  if (ids_.size() < 2 || ids_[0] > 2) ids_.clear();
}

const char* Oid::get_printable() const {
  printable_ = Dotted(ids_);
  return printable_.c_str();
}

void Vb::set_value(int64_t number) {
  std::string tlv = ber::Integer(number);
  set_raw(ber::kInteger, tlv.substr(2));
}

void Vb::set_value(const OctetStr& bytes) {
  set_raw(ber::kOctetString, bytes.data());
}

void Vb::set_raw(uint8_t syntax, std::string content) {
  syntax_ = syntax;
  raw_ = std::move(content);
}

bool Vb::is_exception() const {
  return syntax_ == ber::kNoSuchObject || syntax_ == ber::kNoSuchInstance ||
         syntax_ == ber::kEndOfMibView;
}

const char* Vb::get_printable_value() const {
  switch (syntax_) {
    case ber::kInteger: {
      int64_t v;
      if (!ber::DecodeInteger(raw_, &v)) return nullptr;
      printable_ = std::to_string(v);
      break;
    }
    case ber::kCounter32:
    case ber::kGauge32:
    case ber::kTimeTicks:
    case ber::kCounter64: {
      uint64_t v;
      if (!ber::DecodeUnsigned(raw_, &v)) return nullptr;
      printable_ = std::to_string(v);
      break;
    }
    case ber::kOctetString:
    case ber::kOpaque:
      printable_ = IsPhysAddressColumn(oid_) || !IsText(raw_) ? Hex(raw_) : raw_;
      break;
    case ber::kObjectId: {
      std::vector<uint32_t> ids;
      if (!ber::DecodeObjectId(raw_, &ids)) return nullptr;
      printable_ = Dotted(ids);
      break;
    }
    case ber::kIpAddress: {
      if (raw_.size() != 4) return nullptr;
      char buf[16];
      std::snprintf(buf, sizeof buf, "%u.%u.%u.%u",
                    static_cast<unsigned char>(raw_[0]),
                    static_cast<unsigned char>(raw_[1]),
                    static_cast<unsigned char>(raw_[2]),
                    static_cast<unsigned char>(raw_[3]));
      printable_ = buf;
      break;
    }
    default:  // null, exceptions, unknown syntaxes: no usable value
      return nullptr;
  }
  return printable_.c_str();
}

void Pdu::trim(int n) {
  while (n-- > 0 && !vbs_.empty()) vbs_.pop_back();
}

bool Pdu::get_vb(Vb& out, int index) const {
  if (index < 0 || index >= static_cast<int>(vbs_.size())) return false;
  out = vbs_[index];
  return true;
}

}  // namespace snmpcore
