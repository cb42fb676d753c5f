// A real snmpd for tests: started on a loopback address of its own with a
// generated configuration, stopped when the object goes away.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/testing/temp_dir.h"

namespace snmpcore::testing {

struct SnmpdValue {
  std::string oid;    // numeric, dotted
  std::string type;   // "integer", "octet_str", "object_id", ...
  std::string value;  // as the configuration takes it ("0x..." for bytes)
};

struct SnmpdUser {
  std::string name;
  std::string auth;           // "MD5" or "SHA"
  std::string auth_password;
  std::string priv;           // "", "DES" or "AES"
  std::string priv_password;
};

struct SnmpdConfig {
  std::vector<std::string> communities = {"public"};
  std::vector<SnmpdUser> users;
  std::vector<SnmpdValue> values;
  std::string sys_name, sys_location;
  bool ipv6 = false;  // also listen on [::1], on a port of this process
};

class SnmpdProcess {
 public:
  // Starts snmpd and waits until it answers; started() false and the
  // reason in error() when it does not.
  explicit SnmpdProcess(const SnmpdConfig& config);
  ~SnmpdProcess();
  SnmpdProcess(const SnmpdProcess&) = delete;
  SnmpdProcess& operator=(const SnmpdProcess&) = delete;

  bool started() const { return started_; }
  const std::string& error() const { return error_; }
  const std::string& address() const { return address_; }  // "127.x.y.z"
  // 161 when the test runs with the right to bind it, else 16100.
  unsigned short port() const { return port_; }
  // "127.x.y.z:port", as snmpcore and the command-line tools take it.
  std::string endpoint() const;
  // "[::1]:port" when the configuration asked for IPv6, else empty.
  const std::string& endpoint6() const { return endpoint6_; }

 private:
  platform::ScopedTempDir dir_{"snmpd"};
  std::string address_;
  unsigned short port_ = 0;
  std::string endpoint6_;
  pid_t pid_ = -1;
  bool started_ = false;
  std::string error_;
};

// Whether snmpd is installed (tests skip without it).
bool SnmpdAvailable();

// A fresh 127.x.y.z on which nothing listens (for time-out tests, too).
std::string FreshLoopbackAddress();

}  // namespace snmpcore::testing
