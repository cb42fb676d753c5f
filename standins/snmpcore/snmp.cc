// The Snmp session class: GET through net-snmp, and the broadcast probe on
// a socket of our own, since a broadcast has many answers to one request.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>

#include "request.h"
#include "snmpcore/ber.h"
#include "snmpcore/snmp.h"

namespace snmpcore {

namespace {

int MakeSocket(bool ipv6, unsigned short port) {
  int fd = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int on = 1;
  if (!ipv6) setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  if (port == 0) return fd;
  sockaddr_storage local{};
  socklen_t length;
  if (ipv6) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&local);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(port);
    in6->sin6_addr = in6addr_any;
    length = sizeof *in6;
  } else {
    auto* in = reinterpret_cast<sockaddr_in*>(&local);
    in->sin_family = AF_INET;
    in->sin_port = htons(port);
    in->sin_addr.s_addr = htonl(INADDR_ANY);
    length = sizeof *in;
  }
  // A taken port (an agent on this machine) leaves the socket on any port.
  bind(fd, reinterpret_cast<sockaddr*>(&local), length);
  return fd;
}

int32_t NewRequestId() {
  static thread_local std::mt19937 gen{std::random_device{}()};
  return static_cast<int32_t>(gen() & 0x7FFFFFFF);
}

const std::vector<uint32_t> kSysObjectId = {1, 3, 6, 1, 2, 1, 1, 2, 0};

std::string CommunityProbe(snmp_version version, std::string_view community,
                           int32_t id) {
  std::string binding =
      ber::Tlv(ber::kSequence, ber::ObjectId(kSysObjectId) + ber::Null());
  std::string pdu = ber::Tlv(ber::kGetRequest,
                             ber::Integer(id) + ber::Integer(0) +
                                 ber::Integer(0) +
                                 ber::Tlv(ber::kSequence, binding));
  return ber::Tlv(ber::kSequence,
                  ber::Integer(version == version2c ? 1 : 0) +
                      ber::OctetString(community) + pdu);
}

// An unauthenticated request without an engine id: every SNMPv3 agent
// answers it with a report that carries its engine id.
std::string EngineProbe(int32_t id) {
  std::string header =
      ber::Tlv(ber::kSequence, ber::Integer(id) + ber::Integer(65507) +
                                   ber::OctetString(std::string(1, '\x04')) +
                                   ber::Integer(3));
  std::string usm = ber::Tlv(
      ber::kSequence, ber::OctetString("") + ber::Integer(0) +
                          ber::Integer(0) + ber::OctetString("") +
                          ber::OctetString("") + ber::OctetString(""));
  std::string pdu = ber::Tlv(ber::kGetRequest,
                             ber::Integer(id) + ber::Integer(0) +
                                 ber::Integer(0) + ber::Tlv(ber::kSequence, ""));
  std::string scoped = ber::Tlv(
      ber::kSequence, ber::OctetString("") + ber::OctetString("") + pdu);
  return ber::Tlv(ber::kSequence, ber::Integer(3) + header +
                                      ber::OctetString(usm) + scoped);
}

// Whether a datagram answers our probe with that id.
bool Answers(std::string_view datagram, snmp_version version, int32_t id) {
  ber::Reader outer(datagram);
  std::string_view message;
  if (!outer.Expect(ber::kSequence, &message)) return false;
  ber::Reader r(message);
  int64_t v;
  if (!r.ReadInteger(&v)) return false;
  if (version == version3) {
    std::string_view header;
    if (v != 3 || !r.Expect(ber::kSequence, &header)) return false;
    ber::Reader h(header);
    int64_t msg_id;
    return h.ReadInteger(&msg_id) && msg_id == id;
  }
  std::string_view community, pdu;
  uint8_t tag;
  if (!r.ReadOctetString(&community) || !r.Next(&tag, &pdu)) return false;
  if (tag != ber::kResponse) return false;
  ber::Reader p(pdu);
  int64_t request_id;
  return p.ReadInteger(&request_id) && request_id == id;
}

}  // namespace

Snmp::Snmp(int& status, unsigned short local_port, bool ipv6) : ipv6_(ipv6) {
  fd_ = MakeSocket(ipv6, local_port);
  status = fd_ >= 0 ? SNMP_CLASS_SUCCESS : SNMP_CLASS_TL_FAILED;
}

Snmp::Snmp(int& status, const IpxSockAddress&) {
  status = SNMP_CLASS_TL_UNSUPPORTED;
}

Snmp::~Snmp() {
  if (fd_ >= 0) close(fd_);
}

int Snmp::socket_startup() { return 0; }
void Snmp::socket_cleanup() {}

int Snmp::get(Pdu& pdu, const CTarget& target) {
  if (fd_ < 0) return SNMP_CLASS_TL_FAILED;
  detail::Request request;
  request.address = target.get_address();
  request.version = target.get_version() == version2c ? version2c : version1;
  request.community = target.get_readcommunity().data();
  request.timeout = std::chrono::milliseconds(target.get_timeout() * 10);
  request.retries = target.get_retry();
  return detail::Get(request, pdu);
}

int Snmp::broadcast_discovery(SnmpCollection<GenAddress>& addresses,
                              int seconds, const Address& address,
                              snmp_version version,
                              const OctetStr* community) {
  return broadcast_discovery(addresses, seconds, address, version, community,
                             BroadcastControl{});
}

int Snmp::broadcast_discovery(SnmpCollection<GenAddress>& addresses,
                              int seconds, const Address& address,
                              snmp_version version, const OctetStr* community,
                              const BroadcastControl& control) {
  if (fd_ < 0) return SNMP_CLASS_TL_FAILED;
  if (address.kind() == Address::kIpx) return SNMP_CLASS_TL_UNSUPPORTED;
  sockaddr_storage to;
  socklen_t to_length;
  if (!address.ToSockaddr(&to, &to_length)) return SNMP_CLASS_INVALID_ADDRESS;

  // The socket made for the other family cannot send this probe.
  int fd = fd_;
  int own = -1;
  if ((address.kind() == Address::kIpv6) != ipv6_) {
    own = fd = MakeSocket(address.kind() == Address::kIpv6, 0);
    if (fd < 0) return SNMP_CLASS_TL_FAILED;
  }
  struct Closer {
    int fd;
    ~Closer() {
      if (fd >= 0) close(fd);
    }
  } closer{own};

  int32_t id = NewRequestId();
  std::string probe = version == version3
                          ? EngineProbe(id)
                          : CommunityProbe(version, community
                                                        ? community->data()
                                                        : std::string("public"),
                                           id);
  if (sendto(fd, probe.data(), probe.size(), 0,
             reinterpret_cast<sockaddr*>(&to), to_length) < 0)
    return SNMP_CLASS_TL_FAILED;

  using Clock = std::chrono::steady_clock;
  const auto deadline =
      Clock::now() + detail::Scaled(std::chrono::seconds(seconds > 0 ? seconds : 0));
  std::string buffer(65536, '\0');
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - Clock::now());
    if (left.count() <= 0) break;
    if (control.cancelled && control.cancelled()) break;
    constexpr long kCancelSliceMs = 100;
    const long slice = control.cancelled
                           ? std::min<long>(left.count(), kCancelSliceMs)
                           : static_cast<long>(left.count());
    pollfd p{fd, POLLIN, 0};
    int ready = poll(&p, 1, static_cast<int>(slice));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) break;
    if (ready == 0) continue;
    sockaddr_storage from;
    socklen_t from_length = sizeof from;
    ssize_t n = recvfrom(fd, buffer.data(), buffer.size(), 0,
                         reinterpret_cast<sockaddr*>(&from), &from_length);
    if (n <= 0) continue;
    if (!Answers(std::string_view(buffer.data(), n), version, id)) continue;
    GenAddress agent;
    agent.SetFromSockaddr(reinterpret_cast<sockaddr*>(&from));
    agent.with_port_ = true;
    agent.UpdatePrintable();
    bool known = false;
    for (const GenAddress& a : addresses) known = known || a == agent;
    if (!known) {
      addresses += agent;
      if (control.answered) control.answered(agent);
    }
  }
  return SNMP_CLASS_SUCCESS;
}

const char* Snmp::error_msg(int code) {
  switch (code) {
    case SNMP_CLASS_SUCCESS: return "Success";
    case SNMP_CLASS_TIMEOUT: return "No answer within the time-out";
    case SNMP_CLASS_INVALID_ADDRESS: return "Invalid address";
    case SNMP_CLASS_INVALID_OID: return "Invalid OID";
    case SNMP_CLASS_INVALID_PDU: return "Invalid PDU";
    case SNMP_CLASS_AUTH_FAILED: return "SNMPv3 authentication failed";
    case SNMP_CLASS_TL_UNSUPPORTED: return "Transport not supported";
    case SNMP_CLASS_TL_FAILED: return "Transport failed";
    case SNMP_CLASS_NO_SUCH_OBJECT: return "No such object";
    case 2: return "No such name";
    default: return code > 0 ? "Agent error" : "SNMP error";
  }
}

}  // namespace snmpcore
