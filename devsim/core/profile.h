// What a simulated device is: its identity, the services it offers and how
// its box store is laid out. A profile is a plain value; services read it
// from their Device and never keep a copy, so a test may change it between
// requests (Device::mutable_profile()).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace devsim {

// The three box-store layouts. Which one a device has follows from its
// engine version; the profile carries both so a test can pair them freely.
enum class Layout { kShared, kClassic, kStorage };

// "shared", "classic", "storage".
std::string_view LayoutName(Layout layout);
std::optional<Layout> ParseLayout(std::string_view name);

struct SnmpV3User {
  std::string name;
  int auth_protocol = 0;        // 0 none, 1 HMAC-MD5, 2 HMAC-SHA
  std::string auth_password;
  int priv_protocol = 1;        // 1 none, 2 DES, 4 AES
  std::string priv_password;
};

// root is relative to the store root; empty means the store root itself.
struct FtpAccount { std::string user, password; std::string root; };

struct Profile {
  std::string engine_version;   // decides layout and transfer family
  Layout layout = Layout::kShared;
  std::string model;
  std::string network_name;     // also sysName
  std::array<uint8_t, 6> mac{};
  std::string storage_description;
  uint16_t web_port = 8080;  bool web_tls = false;
  uint16_t ftp_port = 21;    bool ftp_tls = false;
  uint16_t snmp_port = 161;
  // The SNMP versions the agent answers (a device may have either off).
  bool snmp_v1 = true;
  bool snmp_v3 = true;
  // Listen on every address of the device's network (IPv4 and IPv6), as a
  // device does, instead of on its one loopback address: broadcasts and
  // multicasts reach only such a socket. Refused outside a network
  // namespace of the test's own.
  bool snmp_listen_any = false;
  // How many broadcast or multicast requests the agent answers per address
  // family and SNMP version; -1 all of them. 1 makes a device that answers
  // only the first (short) pass of a discovery.
  int snmp_broadcast_answers = -1;
  int auto_auth_mode = 0;
  std::string community = "public";
  std::vector<SnmpV3User> v3_users;
  std::string sys_object_id;    // dotted
  std::string maker = "Corvane";
  std::string location;
  std::string admin_password;
  std::vector<FtpAccount> ftp_accounts;
  std::map<std::string, std::string> extra;   // free key=value for services

  static Profile Defaults(Layout layout);     // sensible device per layout

  // "00:1a:2b:3c:4d:5e".
  std::string MacText() const;
};

// Reads "key = value" lines ('#' starts a comment line; blank lines are
// skipped). The result is Profile::Defaults of the file's "layout" key (or
// of out->layout when the file has none) with every other key applied, in
// file order. Unknown keys go to extra. Returns false and sets *error,
// naming the line number, on bad input; *out is then unchanged.
bool LoadProfile(const std::filesystem::path& file, Profile* out, std::string* error);

// Applies one setting, as a profile file line would. Keys:
//   engine_version model network_name storage_description sys_object_id
//   maker location community admin_password   text
//   layout                                    shared | classic | storage
//   mac                                       six hex pairs, ':' or '-'
//   web_port ftp_port snmp_port               1..65535
//   snmp_v1 snmp_v3 snmp_listen_any           true|false|yes|no|1|0
//   snmp_broadcast_answers                    -1 (all) or a count
//   web_tls ftp_tls                           true|false|yes|no|1|0
//   auto_auth_mode                            0 | 1
//   v3_user      name,auth_protocol,auth_password,priv_protocol,priv_password
//                (appends; "v3_users = none" clears the list)
//   ftp_account  user,password[,root]        (appends; "none" clears)
//   anything else                             stored in extra
// "layout" here only sets the field; it does not reload the defaults.
bool ApplyProfileSetting(Profile* profile, std::string_view key,
                         std::string_view value, std::string* error);

}  // namespace devsim
