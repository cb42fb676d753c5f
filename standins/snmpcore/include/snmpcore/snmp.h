// snmpcore: a small SNMP client library in the class style its callers
// expect (Snmp, Pdu, Vb, Oid, addresses, targets, collections), with the
// one-request wrapper CCoSnmp in snmpcore/cco_snmp.h.
//
// Results: 0 is success; positive codes are the error status an agent
// answered with (2 = noSuchName); negative codes are the library's own
// (the SNMP_CLASS_ constants below). Requests block the calling thread.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "snmpcore/export.h"

namespace snmpcore {

enum : int {
  SNMP_CLASS_SUCCESS = 0,
  SNMP_CLASS_ERROR = -1,
  SNMP_CLASS_RESOURCE_UNAVAIL = -2,
  SNMP_CLASS_INTERNAL_ERROR = -3,
  SNMP_CLASS_TIMEOUT = -5,
  SNMP_CLASS_INVALID_ADDRESS = -6,
  SNMP_CLASS_INVALID_OID = -7,
  SNMP_CLASS_INVALID_PDU = -8,
  SNMP_CLASS_AUTH_FAILED = -9,    // SNMPv3 user, key or time window refused
  SNMP_CLASS_TL_UNSUPPORTED = -10,  // transport not available (IPX)
  SNMP_CLASS_TL_FAILED = -11,       // socket could not be made or bound
  // The agent answered, but has no such object or instance (the SNMPv2
  // and SNMPv3 exception values; SNMPv1 agents answer noSuchName, 2).
  SNMP_CLASS_NO_SUCH_OBJECT = -57,
};

enum snmp_version { version1 = 0, version2c = 1, version3 = 3 };

class SNMPCORE_API OctetStr {
 public:
  OctetStr() = default;
  OctetStr(const char* text);  // NOLINT: texts convert as in callers' code
  OctetStr(const unsigned char* bytes, size_t length);
  const std::string& data() const { return bytes_; }
  size_t len() const { return bytes_.size(); }
  bool valid() const { return true; }
  // The bytes as text when they are printable, else "0x" followed by
  // hexadecimal pairs separated by single spaces.
  const char* get_printable() const;

 private:
  std::string bytes_;
  mutable std::string printable_;
};

class SNMPCORE_API Oid {
 public:
  Oid() = default;
  explicit Oid(const char* dotted);  // "1.3.6.1..." (a leading dot is fine)
  explicit Oid(std::vector<uint32_t> ids) : ids_(std::move(ids)) {}
  bool valid() const { return ids_.size() >= 2; }
  size_t len() const { return ids_.size(); }
  const std::vector<uint32_t>& ids() const { return ids_; }
  const char* get_printable() const;
  bool operator==(const Oid& other) const { return ids_ == other.ids_; }

 private:
  std::vector<uint32_t> ids_;
  mutable std::string printable_;
};

// An agent address: IPv4 or IPv6 (with scope id) and a UDP port, or an
// IPX socket address, which is accepted as text but has no transport.
class SNMPCORE_API Address {
 public:
  enum Kind { kInvalid, kIpv4, kIpv6, kIpx };
  virtual ~Address() = default;
  bool valid() const { return kind_ != kInvalid; }
  Kind kind() const { return kind_; }
  // IPv4 dotted, IPv6 compressed with "%scope" when scoped; UDP addresses
  // add "/port". IPX: the text as given.
  const char* get_printable() const { return printable_.c_str(); }
  uint16_t port() const { return port_; }  // 0 when none was given
  uint32_t scope_id() const { return scope_id_; }
  // The host part alone (no port), in the printable form.
  std::string host_text() const;
  // Filled for IPv4 and IPv6 addresses; port 161 when none was given.
  bool ToSockaddr(sockaddr_storage* out, socklen_t* length) const;

  friend SNMPCORE_API bool operator==(const Address& a, const Address& b);
  friend class Snmp;

 protected:
  Address() = default;
  bool ParseHost(std::string text);        // no port
  bool ParseHostPort(std::string text);    // host with an optional port
  bool ParseIpx(std::string text);
  void SetFromSockaddr(const sockaddr* sa);
  void UpdatePrintable();

  Kind kind_ = kInvalid;
  in6_addr addr6_{};   // IPv4 kept in the first four bytes
  uint16_t port_ = 0;
  uint32_t scope_id_ = 0;
  bool with_port_ = false;
  std::string ipx_;
  std::string printable_;
};

SNMPCORE_API bool operator==(const Address& a, const Address& b);
inline bool operator!=(const Address& a, const Address& b) { return !(a == b); }

class SNMPCORE_API IpAddress : public Address {
 public:
  IpAddress() = default;
  // Dotted IPv4, IPv6 (optionally "%scope", optionally in brackets), or a
  // host name, which is resolved.
  explicit IpAddress(const char* text);
};

class SNMPCORE_API UdpAddress : public IpAddress {
 public:
  UdpAddress() = default;
  // As IpAddress, followed by ":port" or "/port" ("[v6]:port", "v6/port").
  explicit UdpAddress(const char* text);
  UdpAddress(const IpAddress& host, uint16_t port);
  void set_port(uint16_t port);
  uint16_t get_port() const { return port_; }
};

class SNMPCORE_API IpxSockAddress : public Address {
 public:
  IpxSockAddress() = default;
  // "NNNNNNNN:HHHHHHHHHHHH/SSSS": network, node and socket in hexadecimal.
  explicit IpxSockAddress(const char* text);
};

// Any of the above, chosen from the text or copied from another address.
class SNMPCORE_API GenAddress : public Address {
 public:
  GenAddress() = default;
  explicit GenAddress(const char* text);
  GenAddress(const Address& other);  // NOLINT: addresses convert freely
};

template <typename T>
class SnmpCollection {
 public:
  int size() const { return static_cast<int>(items_.size()); }
  SnmpCollection& operator+=(const T& item) {
    items_.push_back(item);
    return *this;
  }
  const T& operator[](int i) const { return items_[i]; }
  T& operator[](int i) { return items_[i]; }
  void clear() { items_.clear(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<T> items_;
};

// One variable binding: an OID and, after a GET, its value.
class SNMPCORE_API Vb {
 public:
  Vb() = default;
  explicit Vb(const Oid& oid) : oid_(oid) {}
  void set_oid(const Oid& oid) { oid_ = oid; }
  const Oid& get_oid() const { return oid_; }
  void get_oid(Oid& out) const { out = oid_; }

  void set_value(int64_t number);                // INTEGER
  void set_value(const OctetStr& bytes);         // OCTET STRING
  // Any syntax (an ASN.1 tag of ber.h) with its raw content bytes.
  void set_raw(uint8_t syntax, std::string content);
  void set_null() { set_raw(0x05, {}); }
  uint8_t get_syntax() const { return syntax_; }
  const std::string& raw() const { return raw_; }
  // True for the exception values that stand for a missing object.
  bool is_exception() const;

  // Numbers as decimal text, octet strings as text (or in hexadecimal,
  // see OctetStr), OIDs and IP addresses dotted. Null when the binding
  // holds no value or an exception.
  const char* get_printable_value() const;

 private:
  Oid oid_;
  uint8_t syntax_ = 0x05;
  std::string raw_;
  mutable std::string printable_;
};

class SNMPCORE_API Pdu {
 public:
  Pdu& operator+=(const Vb& vb) {
    vbs_.push_back(vb);
    return *this;
  }
  // Removes the last n bindings (fewer when there are fewer).
  void trim(int n = 1);
  bool get_vb(Vb& out, int index) const;
  int get_vb_count() const { return static_cast<int>(vbs_.size()); }
  std::vector<Vb>& vbs() { return vbs_; }
  const std::vector<Vb>& vbs() const { return vbs_; }
  int get_error_status() const { return error_status_; }
  int get_error_index() const { return error_index_; }
  void set_error(int status, int index) {
    error_status_ = status;
    error_index_ = index;
  }

 private:
  std::vector<Vb> vbs_;
  int error_status_ = 0;
  int error_index_ = 0;
};

// Where and how to send a community request. The defaults are the
// library's: community "public", SNMP version 1, a time-out of one second
// and one retry.
class SNMPCORE_API CTarget {
 public:
  CTarget() = default;
  explicit CTarget(const Address& address) : address_(address) {}
  bool valid() const { return address_.valid(); }
  const GenAddress& get_address() const { return address_; }
  void set_address(const Address& address) { address_ = address; }
  void set_readcommunity(const OctetStr& community) { community_ = community; }
  const OctetStr& get_readcommunity() const { return community_; }
  void set_version(snmp_version v) { version_ = v; }
  snmp_version get_version() const { return version_; }
  // In hundredths of a second, per attempt.
  void set_timeout(unsigned long hundredths) { timeout_ = hundredths; }
  unsigned long get_timeout() const { return timeout_; }
  void set_retry(int retries) { retries_ = retries; }
  int get_retry() const { return retries_; }

 private:
  GenAddress address_;
  OctetStr community_{"public"};
  snmp_version version_ = version1;
  unsigned long timeout_ = 100;
  int retries_ = 1;
};

// How a caller follows and ends a broadcast wait: `answered` is called (on
// the waiting thread) for each new agent as it answers, `cancelled` is
// asked at least every tenth of a second and ends the wait early.
struct BroadcastControl {
  std::function<void(const GenAddress&)> answered;
  std::function<bool()> cancelled;
};

class SNMPCORE_API Snmp {
 public:
  // status := 0 when the session is usable. local_port is the UDP port
  // broadcast probes are sent from (0: any; a taken port falls back to
  // any); ipv6 selects the family of that socket.
  Snmp(int& status, unsigned short local_port = 0, bool ipv6 = false);
  // There is no IPX transport: status := SNMP_CLASS_TL_UNSUPPORTED.
  Snmp(int& status, const IpxSockAddress& address);
  ~Snmp();
  Snmp(const Snmp&) = delete;
  Snmp& operator=(const Snmp&) = delete;

  // Kept for callers that bracket their network work with them.
  static int socket_startup();
  static void socket_cleanup();

  // GET of the bindings of pdu; their values are filled in. 0 on success,
  // the agent's error status, SNMP_CLASS_NO_SUCH_OBJECT when a binding came
  // back as an exception, or a library code.
  int get(Pdu& pdu, const CTarget& target);

  // Sends one GET (sysObjectID.0) to the broadcast (or any) address and
  // collects, without duplicates, the address of every agent that answers
  // within `seconds`. SNMPv1/v2c use the community ("public" when null);
  // SNMPv3 sends an engine discovery probe, to which every agent answers
  // with a report. Returns 0 or a library code; an empty collection with 0
  // means nobody answered.
  int broadcast_discovery(SnmpCollection<GenAddress>& addresses, int seconds,
                          const Address& address, snmp_version version,
                          const OctetStr* community = nullptr);
  // The same, followed and ended through control.
  int broadcast_discovery(SnmpCollection<GenAddress>& addresses, int seconds,
                          const Address& address, snmp_version version,
                          const OctetStr* community,
                          const BroadcastControl& control);

  static const char* error_msg(int code);

 private:
  int fd_ = -1;
  bool ipv6_ = false;
};

// Test hook: divides every request time-out and broadcast wait by
// `divisor` (1 restores real time), so that tests of unreachable agents
// finish quickly. Not for use while requests are running.
SNMPCORE_API void SetTimeoutDivisor(unsigned divisor);

}  // namespace snmpcore
