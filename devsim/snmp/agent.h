// The simulated device's SNMP agent: SNMPv1 and v2c with the device's
// community, SNMPv3 with its users, answering GET, GETNEXT and GETBULK from
// a Mib, on one UDP socket served by one thread.
//
// An agent of our own rather than net-snmp's agent library or a child
// snmpd: several devices run in one process (beside the client under test,
// which uses net-snmp's client library there too), and that library keeps
// its engine id, users and registered objects per process. A child snmpd
// could not consult the device's fault plan on each request. The message
// layer is small; the key and crypto work is net-snmp's (see usm.h).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "devsim/core/faults.h"
#include "devsim/snmp/mib.h"
#include "devsim/snmp/usm.h"

namespace devsim::snmp {

struct AgentOptions {
  bool v1 = true;            // SNMPv1 and v2c
  bool v3 = true;
  // Every address of the network (0.0.0.0 and ::) instead of the device's
  // own; only inside a network namespace that is not the machine's.
  bool listen_any = false;
  // Broadcast and multicast requests answered per family and version; -1
  // all of them.
  int broadcast_answers = -1;
};

class Agent {
 public:
  // faults may be null. A request for an OID passes the fault point
  // "snmp.<dotted oid>": kFailWith answers with error status code (genErr
  // when 0), kDelay answers late, kDropConnection and kHang not at all.
  Agent(Mib mib, std::string community, Usm usm, FaultPlan* faults,
        AgentOptions options = {});
  ~Agent();
  Agent(const Agent&) = delete;
  Agent& operator=(const Agent&) = delete;

  bool Start(const std::string& address, uint16_t port, std::string* error);
  void Stop();  // idempotent

  // One datagram in, the reply out (empty: no reply). The socket thread
  // calls it; tests may too.
  std::string Handle(std::string_view datagram);
  // The same, for a request that came by broadcast (or multicast) or not,
  // over IPv4 (AF_INET) or IPv6.
  std::string Handle(std::string_view datagram, bool broadcast, int family);

  // Whether the calling thread runs in a network namespace other than the
  // machine's own (that of process 1).
  static bool InPrivateNetworkNamespace();

  // "80 00 E3 77 01" and the IPv4 address: unique per device address.
  static std::string EngineIdFor(const std::string& address);

 private:
  std::string HandleCommunity(int64_t version, std::string_view rest);
  std::string HandleV3(std::string_view whole, std::string_view rest);
  bool Respond(uint8_t tag, std::string_view pdu, int64_t version,
               std::string* response);
  std::string Report(int64_t msg_id, std::string_view user_name,
                     const char* counter_oid, const UsmUser* auth_user,
                     int64_t request_id);
  std::string Wrap(int64_t msg_id, uint8_t flags, const UsmUser* user,
                   std::string_view user_name, const std::string& scoped);
  MibValue ValueOf(const OidIds& oid, const MibValue& stored) const;
  uint32_t EngineTime() const;
  void Run();
  bool Listen(int family, const std::string& address, uint16_t port,
              int* fd, std::string* error);
  void Serve(int fd);
  // false when the agent is stopping.
  bool Wait(std::chrono::milliseconds delay);

  Mib mib_;
  std::string community_;
  Usm usm_;
  FaultPlan* faults_;
  const uint32_t boots_ = 1;
  const std::chrono::steady_clock::time_point started_;
  uint32_t report_counter_ = 0;

  AgentOptions options_;
  std::mutex count_mu_;
  int broadcast_answered_[2][2] = {};  // [IPv4, IPv6][v1, v3]

  int fd_ = -1;
  int fd6_ = -1;  // listen_any only
  int wake_[2] = {-1, -1};
  std::thread thread_;
  std::mutex mu_;
  std::condition_variable cv_;
  bool stopping_ = false;
};

}  // namespace devsim::snmp
