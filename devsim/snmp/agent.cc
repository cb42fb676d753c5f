#include "devsim/snmp/agent.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <net/if.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "snmpcore/ber.h"

namespace devsim::snmp {

namespace ber = snmpcore::ber;

namespace {

// usmStats counters, reported to SNMPv3 requests that cannot be served.
constexpr const char kUnsupportedSecLevels[] = "1.3.6.1.6.3.15.1.1.1.0";
constexpr const char kNotInTimeWindows[] = "1.3.6.1.6.3.15.1.1.2.0";
constexpr const char kUnknownUserNames[] = "1.3.6.1.6.3.15.1.1.3.0";
constexpr const char kUnknownEngineIds[] = "1.3.6.1.6.3.15.1.1.4.0";
constexpr const char kWrongDigests[] = "1.3.6.1.6.3.15.1.1.5.0";
constexpr const char kDecryptionErrors[] = "1.3.6.1.6.3.15.1.1.6.0";

const OidIds kSysUpTime = {1, 3, 6, 1, 2, 1, 1, 3, 0};

constexpr int kNoSuchName = 2;
constexpr int kGenErr = 5;
constexpr int kNotWritable = 17;
constexpr uint32_t kTimeWindowSeconds = 150;

std::string Binding(const OidIds& oid, uint8_t syntax, std::string_view content) {
  return ber::Tlv(ber::kSequence, ber::ObjectId(oid) + ber::Tlv(syntax, content));
}

// The request id of a plaintext scoped PDU, for reports; 0 when unknown.
int64_t RequestIdOf(uint8_t tag, std::string_view data) {
  if (tag != ber::kSequence) return 0;
  ber::Reader s(data);
  std::string_view engine, context, pdu;
  uint8_t pdu_tag;
  int64_t id = 0;
  if (!s.ReadOctetString(&engine) || !s.ReadOctetString(&context) ||
      !s.Next(&pdu_tag, &pdu))
    return 0;
  ber::Reader p(pdu);
  return p.ReadInteger(&id) ? id : 0;
}

}  // namespace

Agent::Agent(Mib mib, std::string community, Usm usm, FaultPlan* faults,
             AgentOptions options)
    : mib_(std::move(mib)), community_(std::move(community)),
      usm_(std::move(usm)), faults_(faults),
      started_(std::chrono::steady_clock::now()), options_(options) {
  mib_.Set(kSysUpTime, TicksValue(0));
}

Agent::~Agent() { Stop(); }

std::string Agent::EngineIdFor(const std::string& address) {
  std::string id("\x80\x00\xE3\x77\x01", 5);
  in_addr a{};
  inet_pton(AF_INET, address.c_str(), &a);
  id.append(reinterpret_cast<const char*>(&a), 4);
  return id;
}

bool Agent::InPrivateNetworkNamespace() {
  // A namespace made with "ip netns add" is bound under /var/run/netns; the
  // machine's own is not (and /proc/1 may not be readable to compare).
  struct stat mine {};
  if (stat("/proc/thread-self/ns/net", &mine) != 0) return false;
  DIR* dir = opendir("/var/run/netns");
  if (!dir) return false;
  bool named = false;
  while (dirent* e = readdir(dir)) {
    struct stat st {};
    std::string path = std::string("/var/run/netns/") + e->d_name;
    if (e->d_name[0] != '.' && stat(path.c_str(), &st) == 0 &&
        st.st_ino == mine.st_ino && st.st_dev == mine.st_dev)
      named = true;
  }
  closedir(dir);
  struct stat machine {};
  if (named && stat("/proc/1/ns/net", &machine) == 0 &&
      machine.st_ino == mine.st_ino)
    return false;
  return named;
}

bool Agent::Listen(int family, const std::string& address, uint16_t port,
                   int* fd, std::string* error) {
  *fd = socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_storage ss{};
  socklen_t length = 0;
  int on = 1;
  bool ok = *fd >= 0;
  if (ok && family == AF_INET) {
    auto* sa = reinterpret_cast<sockaddr_in*>(&ss);
    sa->sin_family = AF_INET;
    sa->sin_port = htons(port);
    ok = inet_pton(AF_INET, address.c_str(), &sa->sin_addr) == 1;
    length = sizeof *sa;
    setsockopt(*fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
  } else if (ok) {
    auto* sa = reinterpret_cast<sockaddr_in6*>(&ss);
    sa->sin6_family = AF_INET6;
    sa->sin6_port = htons(port);
    // A link-local address names its interface: "fe80::7%veth0".
    std::string host = address;
    size_t pct = host.find('%');
    if (pct != std::string::npos) {
      std::string scope = host.substr(pct + 1);
      host.resize(pct);
      sa->sin6_scope_id = if_nametoindex(scope.c_str());
      if (sa->sin6_scope_id == 0)
        sa->sin6_scope_id = static_cast<uint32_t>(std::strtoul(scope.c_str(), nullptr, 10));
    }
    ok = inet_pton(AF_INET6, host.c_str(), &sa->sin6_addr) == 1;
    length = sizeof *sa;
    setsockopt(*fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    setsockopt(*fd, IPPROTO_IPV6, IPV6_RECVPKTINFO, &on, sizeof on);
  }
  if (!ok || bind(*fd, reinterpret_cast<sockaddr*>(&ss), length) != 0) {
    *error = "snmp: cannot listen on udp " + address + ":" +
             std::to_string(port) + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool Agent::Start(const std::string& address, uint16_t port, std::string* error) {
  bool ok;
  if (options_.listen_any) {
    // A socket on every address answers the whole network: only where
    // the network is a test's own.
    if (!InPrivateNetworkNamespace()) {
      *error = "snmp: listening on every address needs a network namespace "
               "of its own";
      return false;
    }
    ok = Listen(AF_INET, "0.0.0.0", port, &fd_, error) &&
         Listen(AF_INET6, "::", port, &fd6_, error);
  } else if (address.find(':') != std::string::npos) {
    ok = Listen(AF_INET6, address, port, &fd6_, error);
  } else {
    ok = Listen(AF_INET, address, port, &fd_, error);
  }
  if (!ok || pipe2(wake_, O_CLOEXEC) != 0) {
    if (ok) *error = std::string("snmp: pipe: ") + std::strerror(errno);
    Stop();
    return false;
  }
  thread_ = std::thread([this] { Run(); });
  return true;
}

void Agent::Stop() {
  {
    std::lock_guard<std::mutex> g(mu_);
    stopping_ = true;
  }
  cv_.notify_all();
  if (wake_[1] >= 0) {
    char c = 0;
    (void)!write(wake_[1], &c, 1);
  }
  if (thread_.joinable()) thread_.join();
  for (int* fd : {&fd_, &fd6_, &wake_[0], &wake_[1]}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

bool Agent::Wait(std::chrono::milliseconds delay) {
  std::unique_lock<std::mutex> lock(mu_);
  return !cv_.wait_for(lock, delay, [this] { return stopping_; });
}

void Agent::Run() {
  for (;;) {
    pollfd fds[3] = {{wake_[0], POLLIN, 0}, {fd_, POLLIN, 0}, {fd6_, POLLIN, 0}};
    if (poll(fds, fd6_ >= 0 ? 3 : 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents) return;
    if (fds[1].revents & POLLIN) Serve(fd_);
    if (fd6_ >= 0 && (fds[2].revents & POLLIN)) Serve(fd6_);
  }
}

void Agent::Serve(int fd) {
  std::string buffer(65536, '\0');
  sockaddr_storage from;
  char control[256];
  iovec iov{buffer.data(), buffer.size()};
  msghdr msg{};
  msg.msg_name = &from;
  msg.msg_namelen = sizeof from;
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  ssize_t n = recvmsg(fd, &msg, 0);
  if (n <= 0) return;
  // Whether the request was sent to everyone rather than to this device.
  bool broadcast = false;
  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
      in_pktinfo info;
      std::memcpy(&info, CMSG_DATA(c), sizeof info);
      broadcast = info.ipi_addr.s_addr != info.ipi_spec_dst.s_addr ||
                  IN_MULTICAST(ntohl(info.ipi_addr.s_addr));
    } else if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_PKTINFO) {
      in6_pktinfo info;
      std::memcpy(&info, CMSG_DATA(c), sizeof info);
      broadcast = IN6_IS_ADDR_MULTICAST(&info.ipi6_addr);
    }
  }
  std::string reply = Handle(std::string_view(buffer.data(), n), broadcast,
                             from.ss_family);
  if (!reply.empty())
    sendto(fd, reply.data(), reply.size(), 0,
           reinterpret_cast<sockaddr*>(&from), msg.msg_namelen);
}

uint32_t Agent::EngineTime() const {
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(
                                   std::chrono::steady_clock::now() - started_)
                                   .count());
}

MibValue Agent::ValueOf(const OidIds& oid, const MibValue& stored) const {
  if (oid != kSysUpTime) return stored;
  auto ticks = std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - started_)
                   .count() / 10;
  return TicksValue(static_cast<uint32_t>(ticks));
}

std::string Agent::Handle(std::string_view datagram) {
  return Handle(datagram, false, AF_INET);
}

std::string Agent::Handle(std::string_view datagram, bool broadcast,
                          int family) {
  ber::Reader outer(datagram);
  std::string_view message;
  if (!outer.Expect(ber::kSequence, &message)) return {};
  ber::Reader r(message);
  int64_t version;
  if (!r.ReadInteger(&version)) return {};
  std::string_view rest = message.substr(r.consumed());
  const bool v1 = version == 0 || version == 1;
  if ((v1 && !options_.v1) || (version == 3 && !options_.v3) || (!v1 && version != 3))
    return {};
  if (broadcast && options_.broadcast_answers >= 0) {
    std::lock_guard<std::mutex> g(count_mu_);
    int& answered = broadcast_answered_[family == AF_INET6 ? 1 : 0][v1 ? 0 : 1];
    if (answered >= options_.broadcast_answers) return {};
    ++answered;
  }
  return v1 ? HandleCommunity(version, rest) : HandleV3(datagram, rest);
}

std::string Agent::HandleCommunity(int64_t version, std::string_view rest) {
  ber::Reader r(rest);
  std::string_view community, pdu;
  uint8_t tag;
  // A wrong community gets no answer, as with any agent.
  if (!r.ReadOctetString(&community) || community != community_ ||
      !r.Next(&tag, &pdu))
    return {};
  std::string response;
  if (!Respond(tag, pdu, version, &response)) return {};
  return ber::Tlv(ber::kSequence, ber::Integer(version) +
                                      ber::OctetString(community) + response);
}

bool Agent::Respond(uint8_t tag, std::string_view pdu, int64_t version,
                    std::string* response) {
  if (tag != ber::kGetRequest && tag != ber::kGetNextRequest &&
      tag != ber::kGetBulkRequest && tag != ber::kSetRequest)
    return false;
  if (tag == ber::kGetBulkRequest && version == 0) return false;
  ber::Reader p(pdu);
  int64_t request_id, field2, field3;
  std::string_view list;
  if (!p.ReadInteger(&request_id) || !p.ReadInteger(&field2) ||
      !p.ReadInteger(&field3) || !p.Expect(ber::kSequence, &list))
    return false;
  std::vector<OidIds> oids;
  ber::Reader l(list);
  while (!l.empty()) {
    std::string_view binding, name;
    if (!l.Expect(ber::kSequence, &binding)) return false;
    ber::Reader b(binding);
    OidIds ids;
    if (!b.Expect(ber::kObjectId, &name) || !ber::DecodeObjectId(name, &ids))
      return false;
    oids.push_back(std::move(ids));
  }

  bool v1 = version == 0;
  int error = 0, index = 0;
  auto fail = [&](int code, size_t i) {
    if (!error) {
      error = code;
      index = static_cast<int>(i) + 1;
    }
  };
  // Faults first: one point per OID asked for.
  for (size_t i = 0; i < oids.size(); ++i) {
    if (!faults_) break;
    Fault f = faults_->Take("snmp." + DottedOid(oids[i]));
    switch (f.kind) {
      case Fault::Kind::kNone:
        break;
      case Fault::Kind::kFailWith:
        fail(f.code ? f.code : kGenErr, i);
        break;
      case Fault::Kind::kDelay:
        if (!Wait(f.delay)) return false;
        break;
      case Fault::Kind::kDropConnection:
      case Fault::Kind::kHang:
        return false;
    }
  }

  std::string bindings;
  auto next_of = [&](const OidIds& oid, size_t i) {
    if (const auto* next = mib_.Next(oid)) {
      MibValue v = ValueOf(next->first, next->second);
      bindings += Binding(next->first, v.syntax, v.content);
      return next->first;
    }
    if (v1) fail(kNoSuchName, i);
    bindings += Binding(oid, ber::kEndOfMibView, "");
    return oid;
  };
  if (tag == ber::kGetRequest) {
    for (size_t i = 0; i < oids.size(); ++i) {
      if (const MibValue* stored = mib_.Find(oids[i])) {
        MibValue v = ValueOf(oids[i], *stored);
        bindings += Binding(oids[i], v.syntax, v.content);
      } else {
        if (v1) fail(kNoSuchName, i);
        bindings += Binding(oids[i], ber::kNoSuchObject, "");
      }
    }
  } else if (tag == ber::kGetNextRequest) {
    for (size_t i = 0; i < oids.size(); ++i) next_of(oids[i], i);
  } else if (tag == ber::kGetBulkRequest) {
    size_t non_repeaters = static_cast<size_t>(std::max<int64_t>(field2, 0));
    int64_t repetitions = std::min<int64_t>(std::max<int64_t>(field3, 0), 64);
    non_repeaters = std::min(non_repeaters, oids.size());
    for (size_t i = 0; i < non_repeaters; ++i) next_of(oids[i], i);
    std::vector<OidIds> cursor(oids.begin() + non_repeaters, oids.end());
    for (int64_t r = 0; r < repetitions && !cursor.empty(); ++r)
      for (size_t j = 0; j < cursor.size(); ++j)
        cursor[j] = next_of(cursor[j], non_repeaters + j);
  } else {
    fail(v1 ? kNoSuchName : kNotWritable, 0);
  }
  if (error) {
    // An error answer carries the bindings as they were asked for.
    bindings.clear();
    for (const OidIds& oid : oids) bindings += Binding(oid, ber::kNull, "");
  }
  *response = ber::Tlv(ber::kResponse,
                       ber::Integer(request_id) + ber::Integer(error) +
                           ber::Integer(index) +
                           ber::Tlv(ber::kSequence, bindings));
  return true;
}

std::string Agent::HandleV3(std::string_view whole, std::string_view rest) {
  ber::Reader r(rest);
  std::string_view header, security;
  if (!r.Expect(ber::kSequence, &header) || !r.ReadOctetString(&security))
    return {};
  ber::Reader h(header);
  int64_t msg_id, max_size, model;
  std::string_view flag_bytes;
  if (!h.ReadInteger(&msg_id) || !h.ReadInteger(&max_size) ||
      !h.ReadOctetString(&flag_bytes) || flag_bytes.size() != 1 ||
      !h.ReadInteger(&model) || model != 3)
    return {};
  const auto flags = static_cast<uint8_t>(flag_bytes[0]);
  const bool auth = flags & 1, priv = flags & 2, reportable = flags & 4;
  if (priv && !auth) return {};

  ber::Reader s(security);
  std::string_view params;
  if (!s.Expect(ber::kSequence, &params)) return {};
  ber::Reader u(params);
  std::string_view engine, user_name, auth_params, priv_params;
  int64_t boots, time;
  if (!u.ReadOctetString(&engine) || !u.ReadInteger(&boots) ||
      !u.ReadInteger(&time) || !u.ReadOctetString(&user_name) ||
      !u.ReadOctetString(&auth_params) || !u.ReadOctetString(&priv_params))
    return {};
  uint8_t data_tag;
  std::string_view data;
  if (!r.Next(&data_tag, &data)) return {};
  const int64_t request_id = priv ? 0 : RequestIdOf(data_tag, data);
  auto report = [&](const char* counter, const UsmUser* signer) {
    return reportable ? Report(msg_id, user_name, counter, signer, request_id)
                      : std::string();
  };

  if (engine != usm_.engine_id()) return report(kUnknownEngineIds, nullptr);
  const UsmUser* user = usm_.Find(user_name);
  if (!user) return report(kUnknownUserNames, nullptr);
  int level = auth ? (priv ? 3 : 2) : 1;
  if (level != user->level()) return report(kUnsupportedSecLevels, nullptr);
  if (auth) {
    if (auth_params.size() != 12) return report(kWrongDigests, nullptr);
    std::string zeroed(whole);
    size_t at = static_cast<size_t>(auth_params.data() - whole.data());
    std::memset(zeroed.data() + at, 0, 12);
    std::string mac;
    if (!Usm::Digest(*user, zeroed, &mac) || mac != auth_params)
      return report(kWrongDigests, nullptr);
    uint32_t now = EngineTime();
    uint64_t t = static_cast<uint64_t>(time);
    if (boots != boots_ || time < 0 ||
        (t > now ? t - now : now - t) > kTimeWindowSeconds)
      return report(kNotInTimeWindows, user);
  }

  std::string plain;
  std::string_view scoped;
  if (priv) {
    if (data_tag != ber::kOctetString ||
        !Usm::Decrypt(*user, static_cast<uint32_t>(boots),
                      static_cast<uint32_t>(time), priv_params, data, &plain))
      return report(kDecryptionErrors, nullptr);
    ber::Reader p(plain);
    if (!p.Expect(ber::kSequence, &scoped)) return report(kDecryptionErrors, nullptr);
  } else {
    if (data_tag != ber::kSequence) return {};
    scoped = data;
  }
  ber::Reader sc(scoped);
  std::string_view context_engine, context_name, pdu;
  uint8_t pdu_tag;
  if (!sc.ReadOctetString(&context_engine) || !sc.ReadOctetString(&context_name) ||
      !sc.Next(&pdu_tag, &pdu))
    return {};
  std::string response;
  if (!Respond(pdu_tag, pdu, 3, &response)) return {};
  std::string scoped_out =
      ber::Tlv(ber::kSequence, ber::OctetString(usm_.engine_id()) +
                                   ber::OctetString(context_name) + response);
  return Wrap(msg_id, flags & 3, user, user_name, scoped_out);
}

std::string Agent::Report(int64_t msg_id, std::string_view user_name,
                          const char* counter_oid, const UsmUser* auth_user,
                          int64_t request_id) {
  std::string binding = ber::Tlv(
      ber::kSequence, ber::ObjectId(*ParseOid(counter_oid)) +
                          ber::Unsigned(++report_counter_, ber::kCounter32));
  std::string pdu = ber::Tlv(ber::kReport, ber::Integer(request_id) +
                                               ber::Integer(0) + ber::Integer(0) +
                                               ber::Tlv(ber::kSequence, binding));
  std::string scoped = ber::Tlv(
      ber::kSequence, ber::OctetString(usm_.engine_id()) + ber::OctetString("") + pdu);
  return Wrap(msg_id, auth_user ? 1 : 0, auth_user, user_name, scoped);
}

std::string Agent::Wrap(int64_t msg_id, uint8_t flags, const UsmUser* user,
                        std::string_view user_name, const std::string& scoped) {
  const bool auth = (flags & 1) && user;
  const bool priv = auth && (flags & 2);
  const uint32_t boots = boots_, time = EngineTime();
  std::string data = scoped, salt;
  if (priv) {
    std::string cipher;
    if (!usm_.Encrypt(*user, boots, time, scoped, &salt, &cipher)) return {};
    data = ber::OctetString(cipher);
  }
  // The digest is computed over the whole message with its own field
  // zeroed, so the field's place in the message is tracked while building.
  std::string usm = ber::OctetString(usm_.engine_id()) + ber::Integer(boots) +
                    ber::Integer(time) + ber::OctetString(user_name);
  size_t at = usm.size() + 2;  // after the 12-byte field's tag and length
  usm += ber::OctetString(auth ? std::string(12, '\0') : "") +
         ber::OctetString(salt);
  std::string usm_seq = ber::Tlv(ber::kSequence, usm);
  at += usm_seq.size() - usm.size();
  std::string usm_octets = ber::OctetString(usm_seq);
  at += usm_octets.size() - usm_seq.size();
  std::string header = ber::Tlv(
      ber::kSequence, ber::Integer(msg_id) + ber::Integer(65507) +
                          ber::OctetString(std::string(1, static_cast<char>(
                                                              auth ? (priv ? 3 : 1) : 0))) +
                          ber::Integer(3));
  std::string body = ber::Integer(3) + header;
  at += body.size();
  body += usm_octets + data;
  std::string whole = ber::Tlv(ber::kSequence, body);
  at += whole.size() - body.size();
  if (auth) {
    std::string mac;
    if (!Usm::Digest(*user, whole, &mac)) return {};
    whole.replace(at, 12, mac);
  }
  return whole;
}

}  // namespace devsim::snmp
