// The discovery engine: broadcast passes on one thread, device queries on
// a second, accepted devices handed to the owner's thread as rows.
//
// The broadcast thread runs, per protocol (IPX, IPv4, IPv6) and SNMP
// version of the mode, a short "dummy" pass and then the actual pass; each
// answering agent lands in that pass's address list at once. The query
// thread walks the actual lists while they grow, asks each address (in
// range) for its sysObjectID, name, model, maker and location, and accepts
// it when a product of the definition matches and the maker is ours. When
// a list is complete, the dummy pass's addresses that the actual pass
// missed are merged in and queried too.
//
// Both threads are stopped cooperatively and joined: Stop() (and the
// destructor) ask them to end and wait; a pass ends within a tenth of a
// second, a device query within its own time-out. Rows never touch a
// window: the owner takes them with TakeRows() on its own thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "finder/id_file.h"
#include "finder/network.h"
#include "finder/product_definition.h"

namespace finder {

// The maker every accepted device must report (when it reports one).
inline constexpr char kOurMaker[] = "Corvane";
inline constexpr char kV1Label[] = "V1/V2";

inline constexpr char kOidSysObjectId[] = "1.3.6.1.2.1.1.2.0";
inline constexpr char kOidSysName[] = "1.3.6.1.2.1.1.5.0";
inline constexpr char kOidSysLocation[] = "1.3.6.1.2.1.1.6.0";
inline constexpr char kOidDeviceNameBase[] = "1.3.6.1.4.1.58231.2.3.50.1.2.3.1.2.1";
inline constexpr char kOidMaker[] = "1.3.6.1.4.1.58231.2.3.50.1.2.4.1.7.1.1";

inline constexpr int kDummyWaitSeconds = 3;
inline constexpr int kDefaultActualWaitSeconds = 15;
inline constexpr int kQueryTimeout = 3;

struct DiscoveryConfig {
  int product_code = -1;
  uint32_t snmp_mode = 1;  // 1, 3 or 13
  Protocols protocols;
  bool ip_search = true;          // "DoIpDiscovery": TCP/IP search
  bool ipv4_search = true;        // the two families of it, as the
  bool ipv6_search = true;        // discovery settings dialog chose them
  bool ipx_search = false;
  bool ipv6_os_allowed = true;
  Ipv4Range ipv4_range{0, 0xFFFFFFFF};
  bool use_subnet = true;
  std::string ipv6_from, ipv6_to;  // used when use_subnet is off
  // The community of version 1 passes and queries; empty: "public" (the
  // library's default).
  std::string community;
  // SNMPv3 credentials from the ID file; none: every v3 query is left out.
  std::optional<V3Credentials> v3;
  int actual_wait_seconds = kDefaultActualWaitSeconds;
  // Broadcast addresses; tests may aim them elsewhere.
  std::string ipv4_broadcast = "255.255.255.255/161";
  std::string ipv6_broadcast = "FF02::1/161";
  std::string ipx_broadcast = "00000000:ffffffffffff/36879";
  // The local port of IPv6 passes (161 as specified; 0 picks any port when
  // an agent on this machine holds 161).
  uint16_t ipv6_local_port = 161;
};

struct DeviceRow {
  std::string name;      // column 0
  std::string address;   // column 1 (IPv6 in the expanded form)
  int version = 1;       // column 2: 1 "V1/V2", 3 the v3 label
  std::string location;  // column 3
  std::string model;     // column 4 (sysName)
  bool operator==(const DeviceRow&) const = default;
};

// The wait of an actual pass from the time-out file's "TimeoutValue": used
// when it lies in 3 to 30, else 15.
int ActualWaitSeconds(std::optional<int> timeout_value);

class DiscoveryEngine {
 public:
  // products: a copy is kept; Found flags are set on it.
  DiscoveryEngine(DiscoveryConfig config, CProducts products);
  ~DiscoveryEngine();  // Stop()
  DiscoveryEngine(const DiscoveryEngine&) = delete;
  DiscoveryEngine& operator=(const DiscoveryEngine&) = delete;

  // Starts both threads. wake, when given, is called (from a worker
  // thread) whenever rows arrive or the run ends.
  void Start(std::function<void()> wake = {});
  // Asks both threads to end and joins them. Idempotent.
  void Stop();
  // Whether the run has ended (finished or stopped).
  bool Finished() const { return finished_.load(); }
  // Waits until the run ends; false when timeout_ms passed first.
  bool WaitFinished(uint32_t timeout_ms);

  // Rows accepted since the last call, in order.
  std::vector<DeviceRow> TakeRows();
  // Broadcast answers so far (for progress), over every list.
  int AnswerCount() const;
  CProducts products() const;

 private:
  struct AddressList;
  struct Lists;
  void BroadcastThread();
  void QueryThread();
  void Pass(int protocol, int version, bool dummy);
  void WalkVersion(int protocol, int version);
  void Query(const std::string& address, const std::string& host, int version);
  bool Stopping() const { return stop_.load(); }
  void Wake();

  const DiscoveryConfig config_;
  std::unique_ptr<Lists> lists_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> finished_{false};
  std::function<void()> wake_;
  std::thread broadcaster_, querier_;

  mutable std::mutex mu_;  // rows, discovered addresses, products
  std::condition_variable finished_cv_;
  std::vector<DeviceRow> rows_;
  CProducts products_;
};

}  // namespace finder
