#include "keeper/cli/discover.h"

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "desktop/language.h"
#include "finder/discovery_session.h"
#include "finder/id_file.h"
#include "finder/network.h"
#include "finder/product_definition.h"
#include "finder/snmp_settings.h"
#include "finder/texts.h"
#include "keeper/cli/cli_args.h"
#include "platform/env.h"

namespace keeper::cli {
namespace {

constexpr char kDefinitionFile[] = "ZELT_Discovery.bin";

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted = true; }

std::string Field(std::string s) {
  for (char& c : s)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return s;
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string Label(int version, const desktop::Texts& texts) {
  return finder::VersionLabel(version, texts);
}

// The SNMP settings the desktop's discovery stored: its version, ID file
// and community name. Nothing stored leaves SNMPv1/v2c with "public".
bool UseStoredSettings(const finder::CDiscoveryModule& module,
                       const desktop::Texts& texts, DiscoverOptions* o) {
  const finder::StoreContext store =
      finder::ContextFor(module, texts, finder::kResStoreRegBase);
  if (module.DeclaresCommunityName())
    o->community = finder::ReadStoredCommunity(store).value_or("");
  auto stored = finder::CSNMPRegistry(store).Read();
  if (!stored) return true;
  if (stored->version != finder::kSnmpV3 && stored->version != finder::kSnmpV1V3)
    return true;
  o->mode = stored->version;
  o->v3_id_file = stored->id_file_path;
  if (o->v3_id_file.empty() && o->mode == finder::kSnmpV3) {
    std::fprintf(stderr,
                 "boxkeeper: the stored SNMP settings ask for SNMPv3 but name no "
                 "ID file; give --snmpv3-id FILE\n");
    return false;
  }
  if (o->v3_id_file.empty()) o->mode = finder::kSnmpV1;
  return true;
}

}  // namespace

std::optional<DiscoverOptions> ParseDiscoverArgs(const std::vector<std::string>& args,
                                                 std::string* error) {
  DiscoverOptions o;
  bool mode_given = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        *error = a + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--mode") {
      if (!value(&v)) return std::nullopt;
      if (v != "1" && v != "3" && v != "13") {
        *error = "--mode must be 1, 3 or 13";
        return std::nullopt;
      }
      o.mode = static_cast<uint32_t>(std::stoul(v));
      mode_given = true;
      o.snmp_given = true;
    } else if (a == "--community") {
      if (!value(&o.community)) return std::nullopt;
      o.snmp_given = true;
      if (o.community.empty()) {
        *error = "--community needs a name";
        return std::nullopt;
      }
    } else if (a == "--snmpv3-id") {
      if (!value(&o.v3_id_file)) return std::nullopt;
      o.snmp_given = true;
    } else if (a == "--range") {
      if (!value(&v)) return std::nullopt;
      size_t dash = v.find('-');
      auto from = finder::ParseIpv4(v.substr(0, dash));
      auto to = dash == std::string::npos ? std::nullopt
                                          : finder::ParseIpv4(v.substr(dash + 1));
      if (!from || !to || *to < *from) {
        *error = "--range must be FROM-TO, two IPv4 addresses, FROM not above TO";
        return std::nullopt;
      }
      o.range = finder::Ipv4Range{*from, *to};
    } else if (a == "--timeout") {
      if (!value(&v)) return std::nullopt;
      char* end = nullptr;
      long s = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end || s < 3 || s > 30) {
        *error = "--timeout must be 3 to 30 seconds";
        return std::nullopt;
      }
      o.timeout_seconds = static_cast<int>(s);
    } else {
      *error = "unknown option " + a;
      return std::nullopt;
    }
  }
  if (!mode_given && !o.v3_id_file.empty()) o.mode = 13;
  if (o.mode != 1 && o.v3_id_file.empty() && !o.help) {
    *error = "SNMPv3 (--mode 3 or 13) needs --snmpv3-id FILE";
    return std::nullopt;
  }
  return o;
}

std::string RowLine(const finder::DeviceRow& r, const desktop::Texts& texts) {
  return Field(r.name) + "\t" + Field(r.address) + "\t" + Label(r.version, texts) +
         "\t" +
         Field(r.location) + "\t" + Field(r.model);
}

std::string RowsJson(const std::vector<finder::DeviceRow>& rows,
                     const desktop::Texts& texts) {
  std::string out = "[";
  for (size_t i = 0; i < rows.size(); ++i) {
    const finder::DeviceRow& r = rows[i];
    out += i ? ",\n " : "\n ";
    out += "{\"name\": " + JsonString(r.name) +
           ", \"address\": " + JsonString(r.address) +
           ", \"snmp_version\": " + JsonString(Label(r.version, texts)) +
           ", \"location\": " + JsonString(r.location) +
           ", \"model\": " + JsonString(r.model) + "}";
  }
  return out + (rows.empty() ? "]\n" : "\n]\n");
}

std::string DiscoverHelpText() {
  return R"(usage: boxkeeper discover [--mode 1|3|13] [--community NAME]
                          [--snmpv3-id FILE] [--range FROM-TO]
                          [--timeout S] [--json]

Finds the devices on the local network by SNMP broadcast (IPv4) and
multicast (IPv6), as the desktop program's discovery does, and prints one
line per device: name, address, SNMP version, location and model,
separated by tabs (or a JSON array with --json).

  --mode M           1 SNMPv1/v2c, 3 SNMPv3, 13 both (a device answering
                     both is listed twice); 13 with an ID file
  --community NAME   community of SNMPv1/v2c requests (default public)
  --snmpv3-id FILE   SNMPv3 credentials from this ID file

Without --mode, --community and --snmpv3-id the SNMP settings of the
desktop program's discovery apply (version, ID file, community name), so
that the same devices answer; with none stored, SNMPv1/v2c and "public".
  --range FROM-TO    only IPv4 devices in this range (default: the subnet
                     of this machine's first network interface)
  --timeout S        wait of the main broadcast pass, 3 to 30 seconds
                     (default 15); a short 3-second pass runs first
  --json             JSON output

Ctrl-C ends the search early and prints what was found.
)";
}

int RunDiscover(const std::vector<std::string>& args) {
  std::string error;
  auto o = ParseDiscoverArgs(args, &error);
  if (!o) {
    std::fprintf(stderr, "boxkeeper: %s (see boxkeeper discover --help)\n",
                 error.c_str());
    return kExitUsage;
  }
  if (o->help) {
    std::fputs(DiscoverHelpText().c_str(), stdout);
    return kExitOk;
  }
  platform::Env* env = platform::Env::Current();
  finder::CDiscoveryModule module;
  const std::string definition = env->ProgramDir() + "/" + kDefinitionFile;
  if (!module.LoadArchive(definition)) {
    std::fprintf(stderr, "boxkeeper: cannot read the product definition %s\n",
                 definition.c_str());
    return kExitFailed;
  }
  // The discovery's texts: the version labels and the names it looks up.
  std::string lang_error;
  auto lang = desktop::LanguageLibrary::Load(module.language_library(), "", &lang_error);
  if (!lang) {
    std::fprintf(stderr, "boxkeeper: cannot load the language library %s: %s\n",
                 module.language_library().c_str(), lang_error.c_str());
    return kExitFailed;
  }
  const std::string id_file_library =
      finder::TextOf(*lang, module.generic().ResourceId(finder::kResIdFileLibrary));
  if (!o->snmp_given && !UseStoredSettings(module, *lang, &*o)) return kExitFailed;

  finder::DiscoveryConfig c;
  c.snmp_mode = o->mode;
  c.protocols = finder::CheckInstalledProtocols2();
  c.ipx_search = false;
  c.community = o->community;
  c.actual_wait_seconds = o->timeout_seconds;
  c.ipv6_os_allowed = finder::SystemMajorVersion() >
                      std::atoi(module.checks().Value(finder::kCheckOsVersion).c_str());
  if (o->range) {
    c.use_subnet = false;
    c.ipv4_range = *o->range;
  } else {
    c.ipv4_range = finder::SubnetRange(c.protocols.local_ipv4, c.protocols.mask);
  }
  if (!c.protocols.tcpip) {
    std::fprintf(stderr, "boxkeeper: this machine has no usable IPv4 or IPv6 "
                         "network interface\n");
    return kExitFailed;
  }
  if (!o->v3_id_file.empty()) {
    std::string why;
    c.v3 = finder::IdFileLibrary(id_file_library).Decrypt(o->v3_id_file, &why);
    if (!c.v3 && (o->snmp_given || c.snmp_mode == finder::kSnmpV3)) {
      std::fprintf(stderr, "boxkeeper: %s\n", why.c_str());
      return kExitFailed;
    }
    if (!c.v3)  // stored, with both versions: SNMPv1/v2c still searches
      std::fprintf(stderr, "boxkeeper: %s; SNMPv3 devices are left out\n", why.c_str());
  }

  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);

  finder::DiscoveryEngine engine(c, module.products());
  engine.Start();
  std::vector<finder::DeviceRow> all;
  for (;;) {
    bool done = engine.WaitFinished(100);
    if (g_interrupted) engine.Stop();
    for (finder::DeviceRow& r : engine.TakeRows()) {
      if (!o->json) {
        std::printf("%s\n", RowLine(r, *lang).c_str());
        std::fflush(stdout);
      }
      all.push_back(std::move(r));
    }
    if (done || g_interrupted) break;
  }
  engine.Stop();
  for (finder::DeviceRow& r : engine.TakeRows()) {
    if (!o->json) std::printf("%s\n", RowLine(r, *lang).c_str());
    all.push_back(std::move(r));
  }
  if (o->json) std::fputs(RowsJson(all, *lang).c_str(), stdout);
  if (all.empty()) std::fprintf(stderr, "boxkeeper: no device found\n");
  return g_interrupted ? kExitCancelled : kExitOk;
}

}  // namespace keeper::cli
