#include "devsim/core/profile.h"

#include <charconv>
#include <cstdio>
#include <fstream>

namespace devsim {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

std::vector<std::string> SplitCommas(std::string_view s) {
  std::vector<std::string> parts;
  for (;;) {
    size_t comma = s.find(',');
    parts.emplace_back(Trim(s.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    s.remove_prefix(comma + 1);
  }
  return parts;
}

bool ParseInt(std::string_view s, long min, long max, long* out) {
  long v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || v < min || v > max) return false;
  *out = v;
  return true;
}

bool ParseBool(std::string_view s, bool* out) {
  if (s == "true" || s == "yes" || s == "1") { *out = true; return true; }
  if (s == "false" || s == "no" || s == "0") { *out = false; return true; }
  return false;
}

bool ParseMac(std::string_view s, std::array<uint8_t, 6>* out) {
  std::array<uint8_t, 6> mac{};
  for (size_t i = 0; i < 6; ++i) {
    if (s.size() < 2) return false;
    unsigned v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + 2, v, 16);
    if (ec != std::errc() || end != s.data() + 2) return false;
    mac[i] = static_cast<uint8_t>(v);
    s.remove_prefix(2);
    if (i < 5) {
      if (s.empty() || (s.front() != ':' && s.front() != '-')) return false;
      s.remove_prefix(1);
    }
  }
  if (!s.empty()) return false;
  *out = mac;
  return true;
}

}  // namespace

std::string_view LayoutName(Layout layout) {
  switch (layout) {
    case Layout::kShared: return "shared";
    case Layout::kClassic: return "classic";
    case Layout::kStorage: return "storage";
  }
  return "shared";
}

std::optional<Layout> ParseLayout(std::string_view name) {
  if (name == "shared") return Layout::kShared;
  if (name == "classic") return Layout::kClassic;
  if (name == "storage") return Layout::kStorage;
  return std::nullopt;
}

// The engine versions are ones the client classifies into the matching
// layout: the shared generation by its fixed strings, the classic one by
// being none of the known kinds (it is one of the older "Series" engines, so
// it gets that transfer family), the storage one only through the model
// information file, which must list "Varda 8000" for a client to treat it so.
Profile Profile::Defaults(Layout layout) {
  Profile p;
  p.layout = layout;
  p.community = "public";
  p.maker = "Corvane";
  p.location = "Loopback lab";
  p.admin_password = "admin00";
  p.v3_users = {
      {"noauth", 0, "", 1, ""},
      {"authonly", 2, "authpass123", 1, ""},
      {"authpriv", 2, "authpass123", 4, "privpass123"},
  };
  switch (layout) {
    case Layout::kShared:
      p.engine_version = "Varda7120/7140 V1.3";
      p.model = "Varda 7140";
      p.network_name = "VARDA7140-SIM";
      p.mac = {0x00, 0x17, 0xc8, 0x10, 0x00, 0x01};
      p.storage_description = "Hard Disk";
      p.sys_object_id = "1.3.6.1.4.1.58231.2.3.14.1";
      break;
    case Layout::kClassic:
      p.engine_version = "Varda 910 Series V1.0";
      p.model = "Varda 910";
      p.network_name = "VARDA910-SIM";
      p.mac = {0x00, 0x17, 0xc8, 0x20, 0x00, 0x02};
      p.storage_description = "Device Memory";
      p.sys_object_id = "1.3.6.1.4.1.58231.2.3.14.1";
      break;
    case Layout::kStorage:
      p.engine_version = "Varda 8000 Series V1.0 build 12";
      p.model = "Varda 8000";
      p.network_name = "VARDA8000-SIM";
      p.mac = {0x00, 0x17, 0xc8, 0x30, 0x00, 0x03};
      p.storage_description = "Solid State Drive";
      p.sys_object_id = "1.3.6.1.4.1.58231.2.3.14.2";
      p.auto_auth_mode = 1;
      // Models that the client knows only through its model file answer
      // the connect with the restricted session.
      p.extra["web.connect_result"] = "4";
      break;
  }
  // The storage layout's box paths are relative to the FTP home folder.
  p.ftp_accounts = {{"boxuser", "boxpass",
                     layout == Layout::kStorage ? "storage/box/TarnBoxes" : ""}};
  return p;
}

std::string Profile::MacText() const {
  char buf[18];
  std::snprintf(buf, sizeof buf, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1],
                mac[2], mac[3], mac[4], mac[5]);
  return buf;
}

bool ApplyProfileSetting(Profile* p, std::string_view key, std::string_view value,
                         std::string* error) {
  auto fail = [&](std::string_view what) {
    if (error) *error = std::string(key) + ": " + std::string(what);
    return false;
  };
  long n = 0;
  if (key == "engine_version") p->engine_version = value;
  else if (key == "model") p->model = value;
  else if (key == "network_name") p->network_name = value;
  else if (key == "storage_description") p->storage_description = value;
  else if (key == "sys_object_id") p->sys_object_id = value;
  else if (key == "maker") p->maker = value;
  else if (key == "location") p->location = value;
  else if (key == "community") p->community = value;
  else if (key == "admin_password") p->admin_password = value;
  else if (key == "layout") {
    auto layout = ParseLayout(value);
    if (!layout) return fail("expected shared, classic or storage");
    p->layout = *layout;
  } else if (key == "mac") {
    if (!ParseMac(value, &p->mac)) return fail("expected six hex pairs");
  } else if (key == "web_port" || key == "ftp_port" || key == "snmp_port") {
    if (!ParseInt(value, 1, 65535, &n)) return fail("expected a port 1-65535");
    uint16_t port = static_cast<uint16_t>(n);
    (key == "web_port" ? p->web_port : key == "ftp_port" ? p->ftp_port : p->snmp_port) = port;
  } else if (key == "snmp_v1" || key == "snmp_v3" || key == "snmp_listen_any") {
    bool b = false;
    if (!ParseBool(value, &b)) return fail("expected true or false");
    (key == "snmp_v1" ? p->snmp_v1 : key == "snmp_v3" ? p->snmp_v3
                                                      : p->snmp_listen_any) = b;
  } else if (key == "snmp_broadcast_answers") {
    if (!ParseInt(value, -1, 1000000, &n)) return fail("expected -1 or a count");
    p->snmp_broadcast_answers = static_cast<int>(n);
  } else if (key == "web_tls" || key == "ftp_tls") {
    bool b = false;
    if (!ParseBool(value, &b)) return fail("expected true or false");
    (key == "web_tls" ? p->web_tls : p->ftp_tls) = b;
  } else if (key == "auto_auth_mode") {
    if (!ParseInt(value, 0, 1, &n)) return fail("expected 0 or 1");
    p->auto_auth_mode = static_cast<int>(n);
  } else if (key == "v3_user" || key == "v3_users") {
    if (value == "none") { p->v3_users.clear(); return true; }
    auto f = SplitCommas(value);
    if (f.size() != 5 || f[0].empty())
      return fail("expected name,auth_protocol,auth_password,priv_protocol,priv_password");
    SnmpV3User u;
    u.name = f[0];
    long auth = 0, priv = 0;
    if (!ParseInt(f[1], 0, 2, &auth)) return fail("auth_protocol must be 0, 1 or 2");
    if (!ParseInt(f[3], 1, 4, &priv) || priv == 3) return fail("priv_protocol must be 1, 2 or 4");
    if (auth == 0 && priv != 1) return fail("privacy needs authentication");
    if (auth != 0 && f[2].size() < 8) return fail("auth_password needs 8 characters");
    if (priv != 1 && f[4].size() < 8) return fail("priv_password needs 8 characters");
    u.auth_protocol = static_cast<int>(auth);
    u.auth_password = f[2];
    u.priv_protocol = static_cast<int>(priv);
    u.priv_password = f[4];
    p->v3_users.push_back(std::move(u));
  } else if (key == "ftp_account" || key == "ftp_accounts") {
    if (value == "none") { p->ftp_accounts.clear(); return true; }
    auto f = SplitCommas(value);
    if (f.size() < 2 || f.size() > 3 || f[0].empty())
      return fail("expected user,password[,root]");
    p->ftp_accounts.push_back({f[0], f[1], f.size() == 3 ? f[2] : ""});
  } else {
    p->extra[std::string(key)] = std::string(value);
  }
  return true;
}

bool LoadProfile(const std::filesystem::path& file, Profile* out, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    if (error) *error = file.string() + ": cannot open";
    return false;
  }
  struct Line { int number; std::string key, value; };
  std::vector<Line> lines;
  std::string text;
  for (int number = 1; std::getline(in, text); ++number) {
    std::string_view line = Trim(text);
    if (line.empty() || line.front() == '#') continue;
    size_t eq = line.find('=');
    std::string_view key = eq == std::string_view::npos ? line : Trim(line.substr(0, eq));
    if (eq == std::string_view::npos || key.empty()) {
      if (error) *error = file.string() + ":" + std::to_string(number) + ": expected key = value";
      return false;
    }
    lines.push_back({number, std::string(key), std::string(Trim(line.substr(eq + 1)))});
  }
  Layout layout = out->layout;
  for (const Line& l : lines) {
    if (l.key != "layout") continue;
    auto parsed = ParseLayout(l.value);
    if (!parsed) {
      if (error)
        *error = file.string() + ":" + std::to_string(l.number) +
                 ": layout: expected shared, classic or storage";
      return false;
    }
    layout = *parsed;
  }
  Profile p = Profile::Defaults(layout);
  for (const Line& l : lines) {
    std::string why;
    if (!ApplyProfileSetting(&p, l.key, l.value, &why)) {
      if (error) *error = file.string() + ":" + std::to_string(l.number) + ": " + why;
      return false;
    }
  }
  *out = std::move(p);
  return true;
}

}  // namespace devsim
