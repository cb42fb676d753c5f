// What the machine knows about its network: whether it is connected at all,
// and whether a given server answers right now.
//
// Both are process-wide questions, so the answers come from one replaceable
// NetworkState. Tests install their own with ScopedNetworkState to play an
// offline computer or a device that stops answering.
#pragma once

#include <string_view>

namespace inet {

class NetworkState {
 public:
  virtual ~NetworkState() = default;

  // False when the question itself cannot be answered; otherwise *online
  // tells whether any network interface is up.
  virtual bool ConnectedState(bool* online) = 0;
  // Whether the server of `url` ("http://host:port/path", IPv6 hosts in
  // brackets, an optional "%scope" inside them) answers. With `force` the
  // server is contacted even when the machine thinks it is offline.
  virtual bool CheckConnection(std::string_view url, bool force) = 0;

  // The installed override, or the machine's own.
  static NetworkState& Current();
};

// The machine's answers: interfaces from the system, and a connection check
// that is a TCP connect to the URL's host and port (no request is sent, so
// a server busy with another client still counts as there).
class SystemNetworkState final : public NetworkState {
 public:
  bool ConnectedState(bool* online) override;
  bool CheckConnection(std::string_view url, bool force) override;
};

class ScopedNetworkState {
 public:
  explicit ScopedNetworkState(NetworkState* state);
  ~ScopedNetworkState();
  ScopedNetworkState(const ScopedNetworkState&) = delete;
  ScopedNetworkState& operator=(const ScopedNetworkState&) = delete;

 private:
  NetworkState* previous_;
};

}  // namespace inet
