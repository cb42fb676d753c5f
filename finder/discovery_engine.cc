#include "finder/discovery_engine.h"

#include <algorithm>
#include <chrono>

#include "finder/device_query.h"
#include "snmpcore/snmp.h"

namespace finder {
namespace {

enum Protocol { kIpx = 0, kIpv4 = 1, kIpv6 = 2 };
constexpr int kProtocols = 3;
constexpr int kVersionSlots = 2;  // v1, v3
constexpr auto kPollInterval = std::chrono::milliseconds(20);
constexpr int kMinActualWait = 3, kMaxActualWait = 30;

int Slot(int version) { return version == 3 ? 1 : 0; }

std::vector<int> VersionsOf(uint32_t mode) {
  std::vector<int> v;
  if (mode == 1 || mode == 13) v.push_back(1);
  if (mode == 3 || mode == 13) v.push_back(3);
  return v;
}

}  // namespace

int ActualWaitSeconds(std::optional<int> v) {
  if (v && *v >= kMinActualWait && *v <= kMaxActualWait) return *v;
  return kDefaultActualWaitSeconds;
}

// The addresses of one pass, appended by the broadcast thread while the
// query thread reads them.
struct DiscoveryEngine::AddressList {
  mutable std::mutex mu;
  std::vector<snmpcore::GenAddress> items;

  bool Add(const snmpcore::GenAddress& a) {
    std::lock_guard<std::mutex> g(mu);
    for (const auto& have : items)
      if (have == a) return false;
    items.push_back(a);
    return true;
  }
  size_t Size() const {
    std::lock_guard<std::mutex> g(mu);
    return items.size();
  }
  snmpcore::GenAddress At(size_t i) const {
    std::lock_guard<std::mutex> g(mu);
    return items[i];
  }
  std::vector<snmpcore::GenAddress> Copy() const {
    std::lock_guard<std::mutex> g(mu);
    return items;
  }
};

struct DiscoveryEngine::Lists {
  AddressList actual[kProtocols][kVersionSlots];
  AddressList dummy[kProtocols][kVersionSlots];
  std::atomic<size_t> final_count[kProtocols][kVersionSlots] = {};
  std::atomic<bool> finished[kProtocols] = {};
};

DiscoveryEngine::DiscoveryEngine(DiscoveryConfig config, CProducts products)
    : config_(std::move(config)), lists_(std::make_unique<Lists>()),
      products_(std::move(products)) {}

DiscoveryEngine::~DiscoveryEngine() { Stop(); }

void DiscoveryEngine::Start(std::function<void()> wake) {
  wake_ = std::move(wake);
  broadcaster_ = std::thread([this] { BroadcastThread(); });
  querier_ = std::thread([this] { QueryThread(); });
}

void DiscoveryEngine::Stop() {
  stop_ = true;
  if (broadcaster_.joinable()) broadcaster_.join();
  if (querier_.joinable()) querier_.join();
  if (!finished_.exchange(true)) {
    std::lock_guard<std::mutex> g(mu_);
    finished_cv_.notify_all();
  }
}

bool DiscoveryEngine::WaitFinished(uint32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(mu_);
  return finished_cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                               [this] { return finished_.load(); });
}

void DiscoveryEngine::Wake() {
  if (wake_) wake_();
}

std::vector<DeviceRow> DiscoveryEngine::TakeRows() {
  std::lock_guard<std::mutex> g(mu_);
  std::vector<DeviceRow> out;
  out.swap(rows_);
  return out;
}

int DiscoveryEngine::AnswerCount() const {
  size_t n = 0;
  for (int p = 0; p < kProtocols; ++p)
    for (int v = 0; v < kVersionSlots; ++v)
      n += lists_->actual[p][v].Size() + lists_->dummy[p][v].Size();
  return static_cast<int>(n);
}

CProducts DiscoveryEngine::products() const {
  std::lock_guard<std::mutex> g(mu_);
  return products_;
}

void DiscoveryEngine::Pass(int protocol, int version, bool dummy) {
  if (Stopping()) return;
  AddressList& list = dummy ? lists_->dummy[protocol][Slot(version)]
                            : lists_->actual[protocol][Slot(version)];
  const int wait = dummy ? kDummyWaitSeconds : config_.actual_wait_seconds;
  snmpcore::Snmp::socket_startup();
  int status = 0;
  std::unique_ptr<snmpcore::Snmp> snmp;
  std::unique_ptr<snmpcore::Address> to;
  if (protocol == kIpx) {
    snmpcore::IpxSockAddress ipx(config_.ipx_broadcast.c_str());
    snmp = std::make_unique<snmpcore::Snmp>(status, ipx);
    to = std::make_unique<snmpcore::IpxSockAddress>(ipx);
  } else if (protocol == kIpv4) {
    snmp = std::make_unique<snmpcore::Snmp>(status, 0, false);
    to = std::make_unique<snmpcore::UdpAddress>(config_.ipv4_broadcast.c_str());
  } else {
    snmp = std::make_unique<snmpcore::Snmp>(status, config_.ipv6_local_port, true);
    to = std::make_unique<snmpcore::UdpAddress>(config_.ipv6_broadcast.c_str());
  }
  // A pass that cannot run (no IPX transport, a refused address) finds
  // nothing; the walk goes on with the next one.
  if (status == snmpcore::SNMP_CLASS_SUCCESS && to->valid()) {
    snmpcore::SnmpCollection<snmpcore::GenAddress> found;
    const std::string community =
        config_.community.empty() ? "public" : config_.community;
    snmpcore::OctetStr octets(community.c_str());
    snmpcore::BroadcastControl control;
    control.answered = [&](const snmpcore::GenAddress& a) {
      if (list.Add(a)) Wake();
    };
    control.cancelled = [this] { return Stopping(); };
    snmp->broadcast_discovery(
        found, wait, *to,
        version == 3 ? snmpcore::version3 : snmpcore::version1,
        version == 3 ? nullptr : &octets, control);
  }
  snmpcore::Snmp::socket_cleanup();
}

void DiscoveryEngine::BroadcastThread() {
  const std::vector<int> versions = VersionsOf(config_.snmp_mode);
  const Protocols& p = config_.protocols;
  auto record = [&](int protocol) {
    for (int v : versions)
      lists_->final_count[protocol][Slot(v)] =
          lists_->actual[protocol][Slot(v)].Size();
    lists_->finished[protocol] = true;
  };
  if (p.ipx && config_.ipx_search)
    for (int v : versions) Pass(kIpx, v, false);
  record(kIpx);
  const bool ipv4 = p.tcpip && config_.ip_search && config_.ipv4_search && p.ipv4;
  const bool ipv6 = config_.ipv6_os_allowed && p.tcpip && p.ipv6 &&
                    config_.ip_search && config_.ipv6_search;
  for (int protocol : {kIpv4, kIpv6}) {
    if (protocol == kIpv4 ? ipv4 : ipv6) {
      for (int v : versions) {
        Pass(protocol, v, true);
        Pass(protocol, v, false);
      }
    }
    record(protocol);
  }
}

void DiscoveryEngine::QueryThread() {
  const std::vector<int> versions = VersionsOf(config_.snmp_mode);
  for (int protocol : {kIpx, kIpv4, kIpv6})
    for (int v : versions) {
      if (Stopping()) break;
      WalkVersion(protocol, v);
    }
  {
    std::lock_guard<std::mutex> g(mu_);
    finished_ = true;
    finished_cv_.notify_all();
  }
  Wake();
}

void DiscoveryEngine::WalkVersion(int protocol, int version) {
  AddressList& actual = lists_->actual[protocol][Slot(version)];
  AddressList& dummy = lists_->dummy[protocol][Slot(version)];
  std::atomic<size_t>& final_count = lists_->final_count[protocol][Slot(version)];
  // An IPv6 range filters only when both bounds are addresses.
  std::optional<std::string> v6_from, v6_to;
  if (protocol == kIpv6 && !config_.use_subnet) {
    auto full = [](const std::string& bound) -> std::optional<std::string> {
      if (bound.size() == 39) return bound;
      return ExpandIpv6(bound);
    };
    v6_from = full(config_.ipv6_from);
    v6_to = full(config_.ipv6_to);
    if (!v6_from || !v6_to) v6_from.reset();
  }
  size_t next = 0;
  for (;;) {
    while (next < actual.Size()) {
      if (Stopping()) return;
      snmpcore::GenAddress entry = actual.At(next++);
      std::string host = entry.host_text();
      if (protocol == kIpv4) {
        auto a = ParseIpv4(host);
        if (!a || *a < config_.ipv4_range.from || *a > config_.ipv4_range.to)
          continue;
      } else if (protocol == kIpv6 && v6_from) {
        auto full = ExpandIpv6(host);
        if (!full || *full < *v6_from || *full > *v6_to) continue;
      }
      // Agents answer from port 161; one that answered from another port
      // (a simulated device beside others on one machine) is asked there.
      std::string target = host;
      if (entry.port() != 0 && entry.port() != 161)
        target = protocol == kIpv6 ? "[" + host + "]:" + std::to_string(entry.port())
                                   : host + ":" + std::to_string(entry.port());
      Query(target, host, version);
    }
    if (lists_->finished[protocol] && final_count == actual.Size()) {
      if (protocol == kIpx) return;
      // Devices that answered only the short pass are queried too.
      bool grew = false;
      for (const auto& a : dummy.Copy()) grew = actual.Add(a) || grew;
      if (!grew) return;
      final_count = actual.Size();
      continue;
    }
    if (Stopping()) return;
    std::this_thread::sleep_for(kPollInterval);
  }
}

void DiscoveryEngine::Query(const std::string& address, const std::string& host,
                            int version) {
  if (version == 3 && !config_.v3) return;  // no readable ID file
  const DeviceCredentials credentials{config_.community, config_.v3};
  auto get = [&](const std::string& oid) -> std::optional<std::string> {
    if (Stopping()) return std::nullopt;
    return DeviceGet(address, oid, version, credentials, kQueryTimeout);
  };

  auto sys_object_id = get(kOidSysObjectId);
  if (!sys_object_id) return;
  {
    std::lock_guard<std::mutex> g(mu_);
    COID* product = products_.ForSysObjectId(*sys_object_id);
    if (!product) return;
    product->found = true;
  }
  DeviceRow row;
  row.name = get(std::string(kOidDeviceNameBase) + ".1").value_or("");
  row.model = get(kOidSysName).value_or("");
  auto maker = get(kOidMaker);
  row.location = get(kOidSysLocation).value_or("");
  if (Stopping()) return;
  if (maker && *maker != kOurMaker) return;
  row.version = version;
  row.address = host.substr(0, 200);
  if (std::count(host.begin(), host.end(), ':') >= 2)
    row.address = ExpandIpv6(host).value_or(row.address);
  {
    std::lock_guard<std::mutex> g(mu_);
    rows_.push_back(std::move(row));
  }
  Wake();
}

}  // namespace finder
